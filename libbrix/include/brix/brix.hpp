// libbrix: BRIX requirement text in, a requirements document or an exact error
// out. Include this one header and link the one library.
#pragma once

#include "brix/config.hpp"

// Without C++20 the message above is the only one.
#if BRIX_CPLUSPLUS >= 202002L

#include <cstddef>
#include <string>
#include <string_view>
#include <unordered_map>

#include "brix/error.hpp"
#include "brix/error_chain.hpp"
#include "brix/model.hpp"
#include "brix/result.hpp"
#include "brix/rule.hpp"

namespace brix {

// The successful result of parsing a whole file.
struct ParseResult {
  BRIXQueryFile parsed_brix_file;

  // The requirements document as compact JSON (no white space).
  Result<std::string> to_string() const;
  // The requirements document as JSON indented by two spaces.
  Result<std::string> to_string_pretty() const;

  friend bool operator==(const ParseResult&, const ParseResult&) = default;
};

// Values for a file's extern declarations, keyed by the name as written,
// leading "$" included.
using ExternValues = std::unordered_map<std::string, VarValue>;

// Parses a whole BRIX file. The text must be UTF-8; invalid UTF-8 is reported
// as an error naming the first bad byte's offset.
Result<ParseResult> parse(std::string_view text);
Result<ParseResult> parse_with_externals(std::string_view text, ExternValues externals);

// Parses the text of one value, as supplied for an extern. White space and
// comments may follow the value; any other text after it is an error.
Result<VarValue> parse_extern_value(std::string_view text);

// Parses a whole file and appends its compact JSON document to `out`: the
// bytes write_json appends for the result of parse_with_externals, or that
// call's error, with `out` left as it was. A file without errors is turned
// into JSON in one pass that builds no data model, so this is the fast way
// from text to JSON; reusing `out` spares its allocation. Returns the number
// of bytes appended.
Result<std::size_t> parse_to_json(std::string_view text, const ExternValues& externals,
                                  std::string& out);

// Appends the JSON document to `out`, so callers can reuse one buffer.
void write_json(const BRIXQueryFile& file, std::string& out);
void write_json_pretty(const BRIXQueryFile& file, std::string& out);

// Appends `compact`, a document as parse_to_json or write_json wrote it, in
// the indented layout: the bytes write_json_pretty appends for the same file,
// without building its tree. The text is not checked; any other text is laid
// out by the same rules and never read past its end.
void indent_json(std::string_view compact, std::string& out);

// The one-line diagnostic text form ("ParseResult { parsed_brix_file: ... }").
std::string diagnostic_text(const ParseResult& result);
std::string diagnostic_text(const VarValue& value);

}  // namespace brix

#endif  // BRIX_CPLUSPLUS >= 202002L
