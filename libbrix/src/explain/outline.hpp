// The requirement tree of a file as people are shown it: the document's
// requirements with the places in the text they come from and the variables
// that brought their selectors in. The explanation, the page and the graph
// all read this one structure.
#pragma once

#include <cstddef>
#include <string>
#include <string_view>
#include <vector>

#include "brix/brix.hpp"

namespace brix::detail {

// Byte offsets into the text; empty (start == end) for what has no place in
// it, such as the selectors of an extern's value.
struct TextSpan {
  std::size_t start = 0;
  std::size_t end = 0;
  bool empty() const { return start == end; }
};

struct OutlineQuery;

// One selector of a query.
struct OutlineItem {
  const Selector* selector = nullptr;
  TextSpan span;                     // where it is written (inside the variable's value, if any)
  std::string variable;              // the variable named in the query that brought it, "$core"
  TextSpan use;                      // where that variable is named
  bool from_list = false;            // the variable held a list, spliced in
  std::vector<OutlineQuery> nested;  // the nested query, for a Query selector
};

struct OutlineQuery {
  const BRIXQuery* query = nullptr;
  TextSpan span;
  std::string count_variable;  // "$n" when the count came from a variable
  std::vector<OutlineItem> items;
};

struct OutlineRequirement {
  const BRIXRequirement* requirement = nullptr;
  TextSpan span;  // the whole statement, from SELECT to its last value
  std::string description_variable;
  std::string priority_variable;
  bool priority_written = false;
  OutlineQuery query;
};

struct Outline {
  std::string_view text;
  ParseResult result;  // the document the pointers above point into
  std::vector<OutlineRequirement> requirements;
};

// Parses the file and lays its outline over the document. Fails as
// parse_with_externals does.
Result<Outline> build_outline(std::string_view text, const ExternValues& externals);

// Line starts of a text, for turning offsets into 1-based line numbers.
class LineIndex {
 public:
  explicit LineIndex(std::string_view text);
  std::size_t line_of(std::size_t offset) const;
  std::size_t count() const { return starts_.size(); }

 private:
  std::vector<std::size_t> starts_;
};

}  // namespace brix::detail
