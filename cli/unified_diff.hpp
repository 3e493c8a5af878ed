// A unified diff between two texts, as `diff -u` writes it, so that the output
// of `brix fmt --diff` can be read in a review or applied with patch.
#pragma once

#include <string>
#include <string_view>

namespace brix::cli {

// "--- NAME", "+++ NAME", then hunks with three lines of context; empty when
// the texts are equal. A last line without a line feed is marked the way
// diff marks it.
std::string unified_diff(std::string_view before, std::string_view after, std::string_view name);

}  // namespace brix::cli
