// Reading BRIX text from a file or standard input, with the failures a user can
// cause (missing file, directory, unreadable or invalid UTF-8) as one message.
#pragma once

#include <cstddef>
#include <optional>
#include <string>
#include <string_view>

namespace brix::cli {

// Offset of the first byte that does not belong to a well-formed UTF-8
// sequence (overlong forms, surrogates and code points past U+10FFFF are
// ill-formed), or std::string_view::npos when the whole text is valid.
std::size_t first_invalid_utf8(std::string_view text);

struct SourceText {
  std::string text;
  // "cannot read '<name>': <reason>", without the "brix: " prefix, when the
  // source could not be read or is not UTF-8.
  std::optional<std::string> error;
};

// The whole content of `path` ("-" reads standard input). `shown_name` is how
// the file is named in the error message.
SourceText read_source(const std::string& path, std::string_view shown_name);

}  // namespace brix::cli
