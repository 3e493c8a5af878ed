// Diagnostics as data: every error and warning about a file, with stable
// codes, spans an editor can use, help, and fixes that can be applied.
#pragma once

#include "brix/config.hpp"

#include <cstddef>
#include <cstdint>
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

// What an editor needs for an outline, go-to-definition, rename and hover.
// Every list is in text order.
struct Symbols {
  // An extern declaration or an assignment.
  struct Definition {
    std::string name;  // as written, "$" included
    SourceSpan span;   // the name
    SourceSpan statement;
    bool is_extern = false;
    // What the variable holds: "selector list", "selector", "quantity",
    // "string" or "class".
    std::string kind;
  };
  // A variable where it is used.
  struct Use {
    std::string name;
    SourceSpan span;
    // The index in `definitions` of the definition in effect here.
    std::size_t definition = 0;
  };
  struct Requirement {
    SourceSpan statement;  // from SELECT or LIMIT to its ";"
    SourceSpan query;
    std::string description;      // the text value, also when a variable holds it
    SourceSpan description_span;  // the string or the variable
    std::uint16_t priority = 1;
  };
  // A course wherever it stands: in a query, a call or an assignment.
  struct Course {
    std::string department;
    std::uint16_t number = 0;
    bool lab = false;
    SourceSpan span;
    SourceSpan department_span;  // the department code alone
  };
  // A selector function call.
  struct Call {
    std::string function;  // the function's name in capitals, "RANGE_TAG"
    SourceSpan name_span;  // the name as written
    SourceSpan span;       // from the name to ")"
  };

  std::vector<Definition> definitions;
  std::vector<Use> uses;
  std::vector<Requirement> requirements;
  std::vector<Course> courses;
  std::vector<Call> calls;
};

// The symbols of a file. Statements with errors are left out, as check
// leaves them out when it reads on (so a use whose definition has an error
// is left out too); an extern the options give no value still counts as
// defined.
Symbols symbols(std::string_view text, const Options& options = {});

// A position from a byte offset of `text`.
SourcePosition position_at(std::string_view text, std::size_t offset);
SourceSpan span_of(std::string_view text, std::size_t start, std::size_t end);

// `text` with every fix applied; fixes must not overlap.
std::string apply_fixes(std::string_view text, std::vector<FixIt> fixes);

}  // namespace brix
