// How BRIX errors are written to standard error: the library's text with the
// file's path in the arrow line (optionally coloured), or one JSON object.
#pragma once

#include <optional>
#include <string>
#include <string_view>

#include "brix/diagnostics.hpp"
#include "brix/error_chain.hpp"
#include "externs.hpp"
#include "options.hpp"

namespace brix::cli {

struct ReportStyle {
  ErrorFormat format = ErrorFormat::Text;
  bool color = false;
};

// Whether errors are coloured: --color, else a terminal without NO_COLOR.
bool use_color(ColorMode mode, bool stderr_is_terminal, const char* no_color_env);

// The error of one input, ending in a line feed. `path` is the file's name as
// shown to the user; values given on the command line have none.
std::string render_error(const ErrorChain& chain, std::optional<std::string_view> path,
                         const ReportStyle& style);

// "Error parsing extern value for $NAME: " and the value's error.
std::string render_extern_error(const ExternValueError& error, const ReportStyle& style);

// One diagnostic of `text` from `brix check`: for an error, the library's
// report then its help; for a warning, its code, message and place. In JSON,
// one object per line.
std::string render_diagnostic(const Diagnostic& diagnostic, std::string_view text,
                              std::string_view path, const ReportStyle& style);

// A file that cannot be read ("cannot read 'x': reason"), and a bad command
// line, as "brix: message" or a JSON object with its code.
std::string render_read_error(std::string_view message, std::optional<std::string_view> path,
                              const ReportStyle& style, std::string_view code = "E0504");
std::string render_usage_error(std::string_view message, const ReportStyle& style);

// `text` as a JSON string literal, quotes included.
std::string json_string(std::string_view text);

}  // namespace brix::cli
