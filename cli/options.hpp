// The brix command line: what the user asked for, read from argv.
#pragma once

#include <string>
#include <string_view>
#include <variant>
#include <vector>

namespace brix::cli {

// The three exit statuses of the command.
enum ExitStatus : int {
  kOk = 0,
  kBrixError = 1,   // some input is not valid BRIX
  kUsageError = 2,  // bad command line, or a file that cannot be read
};

enum class Command { Print, Check, Lint, Value, Explain, Render, Fmt, Help, Version };
enum class OutputFormat { Compact, Pretty, Debug };
enum class ErrorFormat { Text, Json };
enum class ColorMode { Auto, Always, Never };

// One --extern NAME=VALUE or --externs-file FILE, kept in command-line order so
// that a later definition of a name wins over an earlier one.
struct ExternSource {
  enum class Kind { Pair, File } kind;
  std::string text;
};

struct Options {
  Command command = Command::Print;
  OutputFormat output = OutputFormat::Compact;
  ErrorFormat error_format = ErrorFormat::Text;
  ColorMode color = ColorMode::Auto;
  unsigned jobs = 0;  // 0: one per hardware thread
  bool quiet = false;
  bool deny_warnings = false;        // warnings fail `brix lint`
  std::vector<std::string> allowed;  // warning codes not reported
  std::string catalog;               // a catalog file, or empty for the built-in one
  std::string stdin_name = "<stdin>";
  std::vector<ExternSource> externs;
  // brix render: where the page goes (standard output when empty), and
  // whether to write a Graphviz graph instead.
  std::string output_path;
  bool dot = false;
  // brix fmt: report files that would change instead of rewriting them
  // (--check), and show how they would change (--diff).
  bool check = false;
  bool diff = false;
  // Paths (with "-" for standard input), or value texts for `brix value`.
  std::vector<std::string> inputs;
};

// The options, or the text of a usage error (without the "brix: " prefix).
std::variant<Options, std::string> parse_options(const std::vector<std::string_view>& args);

std::string_view help_text();

}  // namespace brix::cli
