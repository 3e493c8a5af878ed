// The BRIX grammar run by the matching engine.
#pragma once

#include <cstdint>
#include <optional>
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

// Why a file does not match the grammar: runs the file rule over `input`
// from `from`, which is 0 or just past the ";" of an assignment or
// requirement that a match from the start would have matched, and returns
// the report a match from the start would give (every attempt it keeps lies
// at or after `from`); nothing when the text matches. Each statement's
// tokens are dropped once it has matched, so the run holds one at a time.
std::optional<Error> explain_file(std::string_view input, std::uint32_t from);

}  // namespace brix::detail
