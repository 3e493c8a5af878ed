// Extern values from the command line and from externs files, parsed once
// before any BRIX file is read.
#pragma once

#include <optional>
#include <string>
#include <string_view>
#include <variant>
#include <vector>

#include "brix/brix.hpp"
#include "options.hpp"

namespace brix::cli {

// A malformed --extern argument or externs file line, or an unreadable externs
// file: a one-line message without the "brix: " prefix.
struct ExternUsageError {
  std::string message;
};

// A value whose text is not a valid BRIX value.
struct ExternValueError {
  std::string name;                 // with its "$"
  ErrorChain chain;                 // why the value was rejected
  std::optional<std::string> file;  // the externs file it came from
};

// The values of all sources, a later definition of a name replacing an
// earlier one; or the first problem met.
std::variant<ExternValues, ExternUsageError, ExternValueError> load_externs(
    const std::vector<ExternSource>& sources);

}  // namespace brix::cli
