// Suggestions for misspelt names: the candidate most similar to a text by
// Jaro-Winkler similarity, ignoring the case of ASCII letters.
#pragma once

#include <optional>
#include <span>
#include <string_view>

namespace brix::detail {

// Jaro-Winkler similarity of two texts, counted in characters.
double jaro_winkler(std::string_view a, std::string_view b);

// The candidate whose similarity to `target`, in truncated thousandths, is
// highest; among equal scores the later candidate. Nothing for no candidates.
std::optional<std::string_view> closest_string(std::string_view target,
                                               std::span<const std::string_view> candidates);

}  // namespace brix::detail
