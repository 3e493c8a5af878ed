// The formatter's reading of one file: it walks the grammar's tree statement
// by statement, takes the punctuation and comments between the nodes from the
// highlighter's tokens, and lays each statement out.
#pragma once

#include <cstddef>
#include <string>
#include <string_view>

#include "peg/tree.hpp"

namespace brix::detail {

// The formatted text of `text`, whose tree is `tree`, or nothing when the
// tokens do not line up with the tree (which would be a fault of the
// formatter, never of the text).
bool format_tree(std::string_view text, const ParseTree& tree, std::size_t width, std::string& out);

}  // namespace brix::detail
