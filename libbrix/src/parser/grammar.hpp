// The BRIX grammar run by the matching engine.
#pragma once

#include <string_view>
#include <variant>

#include "brix/error.hpp"
#include "brix/rule.hpp"
#include "peg/tree.hpp"

namespace brix::detail {

// Deepest nesting of queries and selector lists that a parse accepts; deeper
// input fails with a syntax error instead of exhausting the stack of the
// engine, the builder, the encoders or the destructors.
inline constexpr int MAX_NESTING = 256;

// Runs the grammar from `entry` (Rule::file or Rule::var_value). On failure the
// report is located at the failure position and names the expected rules
// (before renaming).
std::variant<ParseTree, Error> parse_rule(Rule entry, std::string_view input);

}  // namespace brix::detail
