// Diagnostics as data: every error and warning about a file, with stable
// codes, spans an editor can use, help, and fixes that can be applied.
#pragma once

#include "brix/config.hpp"

#include <cstddef>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "brix/brix.hpp"
#include "brix/catalog.hpp"

namespace brix {

enum class Severity { Error, Warning, Note };

// "error", "warning" or "note".
std::string_view severity_name(Severity severity);

// One place in the text. `offset` counts bytes; `line` and the two columns
// start at 1, `column` counting characters and `column_utf16` UTF-16 code
// units (what most editors count).
struct SourcePosition {
  std::size_t offset = 0;
  std::size_t line = 1;
  std::size_t column = 1;
  std::size_t column_utf16 = 1;
  friend bool operator==(const SourcePosition&, const SourcePosition&) = default;
};

// A range of the text; `end` is exclusive.
struct SourceSpan {
  SourcePosition start;
  SourcePosition end;
  friend bool operator==(const SourceSpan&, const SourceSpan&) = default;
};

// A secondary span with what it shows.
struct Label {
  SourceSpan span;
  std::string message;
  friend bool operator==(const Label&, const Label&) = default;
};

// Replaces the text of `span` with `replacement`; an empty span inserts.
struct FixIt {
  SourceSpan span;
  std::string replacement;
  friend bool operator==(const FixIt&, const FixIt&) = default;
};

struct Diagnostic {
  Severity severity = Severity::Error;
  std::string code;  // "E0101", "W0201", ...: see the guide
  std::string message;
  std::optional<SourceSpan> span;  // none for a few errors that have no place
  std::vector<Label> labels;
  std::string help;  // empty when there is none
  std::vector<FixIt> fixes;
  // The library's error exactly as parse_with_externals reports it; set on
  // errors, whose `message` is the chain's first entry.
  std::optional<ErrorChain> chain;
};

// Every code the library and the command report, with what it means.
struct CodeInfo {
  std::string_view code;
  Severity severity;
  std::string_view summary;
};
const std::vector<CodeInfo>& diagnostic_codes();

// The code of a library error.
std::string_view error_code(const ErrorChain& chain);

struct Options {
  ExternValues externs;
  // The departments that exist; the built-in catalog when unset.
  std::optional<Catalog> catalog;
  bool warnings = true;
  // Warning codes that are not reported.
  std::vector<std::string> allowed;
};

// Every diagnostic of a file: its errors in text order (the first exactly
// the one parse_with_externals reports), then its warnings. After an error
// the file is read on from the next statement.
std::vector<Diagnostic> check(std::string_view text, const Options& options = {});

// parse_with_externals with the options' externs and catalog.
Result<ParseResult> parse_with_options(std::string_view text, const Options& options);

// A position from a byte offset of `text`.
SourcePosition position_at(std::string_view text, std::size_t offset);
SourceSpan span_of(std::string_view text, std::size_t start, std::size_t end);

// `text` with every fix applied; fixes must not overlap.
std::string apply_fixes(std::string_view text, std::vector<FixIt> fixes);

}  // namespace brix
