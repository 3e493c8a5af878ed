// The formatter's entry point. It reads the text with the grammar, lays it
// out, and reads its own output again: the output must give the same tree
// (up to the spelling of function names and the spaces inside a course) and
// the same comments in the same order, or the text is left alone.
#include "brix/format.hpp"

#include <string>
#include <variant>
#include <vector>

#include "brix/brix.hpp"
#include "brix/highlight.hpp"
#include "format/statements.hpp"
#include "lib/utf8.hpp"
#include "parser/grammar.hpp"
#include "reader/functions.hpp"

namespace brix {
namespace {

using detail::ParseTree;

// Everything in the tree that carries meaning: each node's rule, and each
// leaf's text, with function names in one case (the grammar takes "class"
// and "CLASS" alike).
std::string reading(const ParseTree& tree, std::string_view text) {
  std::string out;
  const detail::TokenList& tokens = tree.tokens();
  for (std::size_t i = 0; i < tokens.size(); ++i) {
    const detail::Token& token = tokens[i];
    if (!token.closing) continue;
    out.push_back(static_cast<char>(token.rule));
    if (token.match + 1 != i) continue;  // not a leaf
    std::string_view leaf =
        text.substr(tokens[token.match].pos, token.pos - tokens[token.match].pos);
    for (char c : leaf) {
      const bool keyword_case = detail::is_function_rule(token.rule);
      out.push_back(keyword_case && c >= 'a' && c <= 'z' ? static_cast<char>(c - 'a' + 'A') : c);
    }
    out.push_back('\0');
  }
  return out;
}

std::vector<std::string_view> comments(std::string_view text) {
  std::vector<std::string_view> out;
  for (const HighlightToken& token : highlight(text)) {
    if (token.kind != TokenKind::Comment) continue;
    std::string_view comment = text.substr(token.start, token.end - token.start);
    out.push_back(comment.substr(0, comment.find_last_not_of(" \t\r") + 1));
  }
  return out;
}

ErrorChain internal_error() {
  return ErrorChain::from_message(
      "internal error: the formatted text would not read as the original; it is left unchanged");
}

}  // namespace

Result<std::string> format(std::string_view text, const FormatOptions& options) {
  std::variant<ParseTree, Error> tree = detail::parse_rule(Rule::file, text);
  if (std::holds_alternative<Error>(tree) || detail::find_invalid_utf8(text)) {
    // The library's own error for the text, exactly as parse reports it.
    Result<ParseResult> refused = parse(text);
    if (refused) return internal_error();
    return std::move(refused).error();
  }
  std::string out;
  const ParseTree& before = std::get<ParseTree>(tree);
  if (!detail::format_tree(text, before, options.width, out)) return internal_error();

  std::variant<ParseTree, Error> again = detail::parse_rule(Rule::file, out);
  if (std::holds_alternative<Error>(again) ||
      reading(std::get<ParseTree>(again), out) != reading(before, text) ||
      comments(out) != comments(text)) {
    return internal_error();
  }
  return out;
}

}  // namespace brix
