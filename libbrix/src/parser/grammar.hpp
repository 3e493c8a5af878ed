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

// Receives the top-level statements of a file (its extern_decl, var_assign
// and special_statement nodes) one at a time, in source order. A plain
// function pointer and context: it is called once per statement.
struct StatementSink {
  void* context;
  void (*statement)(void* context, Pair node);
  // Forgets every statement received so far; a later run hands them over again.
  void (*restart)(void* context);
};

// Runs the grammar from `file`, handing each statement to `sink` as soon as it
// has matched and then dropping its tokens, so the token list never holds more
// than one statement and stays in the cache. Returns what parse_rule(Rule::file)
// would report on failure, or nothing on success. A statement handed over
// belongs to the file's tree exactly when the whole parse succeeds: a
// repetition never gives back an iteration, so only a failure of the file
// rule itself can undo one.
std::optional<Error> parse_file_statements(std::string_view input, StatementSink sink);

// Goes on with a file from `from`, an offset just past the ";" of an
// assignment or requirement that a parse from the start would have matched:
// matches the statements after it and the end of input, as the file rule
// would there. The report on failure is the one parse_file_statements would
// give for the whole input, since every attempt it keeps lies at or after
// `from`.
std::optional<Error> parse_file_statements_from(std::string_view input, std::uint32_t from,
                                                StatementSink sink);

}  // namespace brix::detail
