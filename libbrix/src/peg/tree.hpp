// The read-only parse tree. A node is a pair of tokens in one flat list: the
// opening token at the node's start, the closing token at its end, and the
// tokens of its descendants in between, in input order.
#pragma once

#include <cstddef>
#include <cstdint>
#include <iterator>
#include <optional>
#include <string_view>
#include <utility>
#include <vector>

#include "brix/error.hpp"
#include "brix/rule.hpp"

namespace brix::detail {

struct Token {
  std::uint32_t pos;    // start offset (opening token) or end offset (closing token)
  std::uint32_t match;  // index of the other token of the pair
  Rule rule;            // set on the closing token
  bool closing;
};
using TokenList = std::vector<Token>;

class Pairs;

// One node: a view into the token list, valid while the tree that owns the
// list is alive.
class Pair {
 public:
  Pair(const Token* tokens, std::string_view input, std::uint32_t open)
      : tokens_(tokens), input_(input), open_(open) {}

  Rule rule() const { return tokens_[close()].rule; }
  std::size_t start() const { return tokens_[open_].pos; }
  std::size_t end() const { return tokens_[close()].pos; }
  std::string_view as_str() const { return input_.substr(start(), end() - start()); }
  std::string_view input() const { return input_; }
  inline Pairs children() const;

 private:
  std::uint32_t close() const { return tokens_[open_].match; }
  const Token* tokens_;
  std::string_view input_;
  std::uint32_t open_;
};

// A run of sibling nodes: the tokens from `first` up to (not including) `last`.
class Pairs {
 public:
  Pairs(const Token* tokens, std::string_view input, std::uint32_t first, std::uint32_t last)
      : tokens_(tokens), input_(input), cur_(first), last_(last) {}

  // Takes the next node of the run, or nothing at the end.
  std::optional<Pair> next() {
    if (cur_ >= last_) return std::nullopt;
    Pair p(tokens_, input_, cur_);
    cur_ = tokens_[cur_].match + 1;
    return p;
  }
  std::optional<Pair> peek() const {
    if (cur_ >= last_) return std::nullopt;
    return Pair(tokens_, input_, cur_);
  }
  bool empty() const { return cur_ >= last_; }

  class iterator {
   public:
    using value_type = Pair;
    using difference_type = std::ptrdiff_t;
    iterator(const Token* t, std::string_view in, std::uint32_t i) : t_(t), in_(in), i_(i) {}
    Pair operator*() const { return Pair(t_, in_, i_); }
    iterator& operator++() {
      i_ = t_[i_].match + 1;
      return *this;
    }
    bool operator==(const iterator& o) const { return i_ == o.i_; }

   private:
    const Token* t_;
    std::string_view in_;
    std::uint32_t i_;
  };
  iterator begin() const { return iterator(tokens_, input_, cur_); }
  iterator end() const { return iterator(tokens_, input_, last_); }

 private:
  const Token* tokens_;
  std::string_view input_;
  std::uint32_t cur_;
  std::uint32_t last_;
};

inline Pairs Pair::children() const {
  return Pairs(tokens_, input_, open_ + 1, close());
}

// The finished tree; owns the token list that every Pair and Pairs views.
class ParseTree {
 public:
  ParseTree(std::string_view input, TokenList tokens) : input_(input), tokens_(std::move(tokens)) {}
  Pairs pairs() const {
    return Pairs(tokens_.data(), input_, 0, static_cast<std::uint32_t>(tokens_.size()));
  }
  const TokenList& tokens() const { return tokens_; }

 private:
  std::string_view input_;
  TokenList tokens_;
};

}  // namespace brix::detail
