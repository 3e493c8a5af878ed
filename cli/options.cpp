#include "options.hpp"

#include <charconv>
#include <optional>

namespace brix::cli {
namespace {

constexpr std::string_view kHelp =
    R"(brix: check BRIX requirement files and print their requirements document

Usage:
  brix [OPTIONS] FILE...          print each file's requirements document as JSON
  brix check [OPTIONS] FILE...    check many files at once and report each one
  brix value [OPTIONS] TEXT...    check the text of an extern value and show it
  brix explain [OPTIONS] FILE...  say in plain English what each file requires
  brix render [OPTIONS] FILE      draw the requirement tree as a web page

A FILE of "-" is read from standard input.

Output:
      --pretty               indent the JSON document by two spaces
      --debug                print the one-line diagnostic text instead of JSON
      --error-format FORMAT  "text" (default) or "json": one JSON object per error
      --color WHEN           "auto" (default), "always" or "never"; auto colours
                             errors only on a terminal and when NO_COLOR is unset
      --stdin-filename NAME  name shown in errors for standard input

Extern values:
  -x, --extern NAME=VALUE    value of an extern declared in the files; the "$" of
                             NAME may be left out; repeatable
      --externs-file FILE    read NAME=VALUE lines from FILE; blank lines and lines
                             starting with "#" are ignored
                             (a later definition of a name replaces an earlier one)

Rendering (brix render):
  -o, --output FILE          write the page to FILE instead of standard output
      --dot                  write a Graphviz graph of the tree instead of a page

Checking (brix check):
  -j, --jobs N               check N files at a time (default: one per core)
  -q, --quiet                do not print "FILE: ok" for valid files

  -h, --help                 show this help
  -V, --version              show the version

Exit status: 0 when every input is valid, 1 when an input has a BRIX error,
2 for a usage error or a file that cannot be read.
)";

// Options that take a value accept it as the next argument or after "=".
enum class Flag {
  Pretty,
  Debug,
  ErrorFormat,
  Color,
  StdinFilename,
  Extern,
  ExternsFile,
  Jobs,
  Quiet,
  Output,
  Dot,
  Help,
  Version,
};

struct OptionInfo {
  std::string_view long_name;
  char short_name;
  bool takes_value;
  Flag flag;
};

constexpr OptionInfo kFlags[] = {
    {"--pretty", 0, false, Flag::Pretty},
    {"--debug", 0, false, Flag::Debug},
    {"--error-format", 0, true, Flag::ErrorFormat},
    {"--color", 0, true, Flag::Color},
    {"--colour", 0, true, Flag::Color},
    {"--stdin-filename", 0, true, Flag::StdinFilename},
    {"--extern", 'x', true, Flag::Extern},
    {"--externs-file", 0, true, Flag::ExternsFile},
    {"--jobs", 'j', true, Flag::Jobs},
    {"--quiet", 'q', false, Flag::Quiet},
    {"--output", 'o', true, Flag::Output},
    {"--dot", 0, false, Flag::Dot},
    {"--help", 'h', false, Flag::Help},
    {"--version", 'V', false, Flag::Version},
};

const OptionInfo* find_long(std::string_view name) {
  for (const OptionInfo& option : kFlags) {
    if (option.long_name == name) return &option;
  }
  return nullptr;
}

const OptionInfo* find_short(char name) {
  for (const OptionInfo& option : kFlags) {
    if (option.short_name == name) return &option;
  }
  return nullptr;
}

std::optional<unsigned> parse_jobs(std::string_view text) {
  unsigned value = 0;
  const char* end = text.data() + text.size();
  auto [ptr, ec] = std::from_chars(text.data(), end, value);
  if (ec != std::errc() || ptr != end || value == 0) return std::nullopt;
  return value;
}

std::string quoted(std::string_view text) {
  std::string out(1, '\'');
  out.append(text).push_back('\'');
  return out;
}

// Applies one flag; returns a usage error text when its value is not valid.
std::optional<std::string> apply(Flag flag, std::string_view name, std::string_view value,
                                 Options& options, bool& saw_pretty, bool& saw_debug) {
  switch (flag) {
    case Flag::Pretty:
      saw_pretty = true;
      options.output = OutputFormat::Pretty;
      break;
    case Flag::Debug:
      saw_debug = true;
      options.output = OutputFormat::Debug;
      break;
    case Flag::ErrorFormat:
      if (value == "text") {
        options.error_format = ErrorFormat::Text;
      } else if (value == "json") {
        options.error_format = ErrorFormat::Json;
      } else {
        return "invalid value " + quoted(value) + " for " + std::string(name) +
               " (expected 'text' or 'json')";
      }
      break;
    case Flag::Color:
      if (value == "auto") {
        options.color = ColorMode::Auto;
      } else if (value == "always") {
        options.color = ColorMode::Always;
      } else if (value == "never") {
        options.color = ColorMode::Never;
      } else {
        return "invalid value " + quoted(value) + " for " + std::string(name) +
               " (expected 'auto', 'always' or 'never')";
      }
      break;
    case Flag::StdinFilename:
      options.stdin_name = std::string(value);
      break;
    case Flag::Extern:
      options.externs.push_back({ExternSource::Kind::Pair, std::string(value)});
      break;
    case Flag::ExternsFile:
      options.externs.push_back({ExternSource::Kind::File, std::string(value)});
      break;
    case Flag::Jobs:
      if (auto jobs = parse_jobs(value)) {
        options.jobs = *jobs;
      } else {
        return "invalid value " + quoted(value) + " for " + std::string(name) +
               " (expected a positive whole number)";
      }
      break;
    case Flag::Quiet:
      options.quiet = true;
      break;
    case Flag::Output:
      options.output_path = std::string(value);
      break;
    case Flag::Dot:
      options.dot = true;
      break;
    case Flag::Help:
      options.command = Command::Help;
      break;
    case Flag::Version:
      options.command = Command::Version;
      break;
  }
  return std::nullopt;
}

}  // namespace

std::string_view help_text() {
  return kHelp;
}

std::variant<Options, std::string> parse_options(const std::vector<std::string_view>& args) {
  Options options;
  std::size_t i = 0;
  if (!args.empty() && args[0] == "check") {
    options.command = Command::Check;
    i = 1;
  } else if (!args.empty() && args[0] == "value") {
    options.command = Command::Value;
    i = 1;
  } else if (!args.empty() && args[0] == "explain") {
    options.command = Command::Explain;
    i = 1;
  } else if (!args.empty() && args[0] == "render") {
    options.command = Command::Render;
    i = 1;
  }
  const Command subcommand = options.command;

  bool saw_pretty = false;
  bool saw_debug = false;
  bool only_inputs = false;
  for (; i < args.size(); ++i) {
    const std::string_view arg = args[i];
    if (only_inputs || arg == "-" || arg.empty() || arg[0] != '-') {
      options.inputs.emplace_back(arg);
      continue;
    }
    if (arg == "--") {
      only_inputs = true;
      continue;
    }

    const OptionInfo* option = nullptr;
    std::string_view name;
    std::optional<std::string_view> value;
    if (arg.starts_with("--")) {
      const std::size_t eq = arg.find('=');
      name = arg.substr(0, eq);
      if (eq != std::string_view::npos) value = arg.substr(eq + 1);
      option = find_long(name);
    } else {
      // "-j4" and "-xNAME=VALUE" carry their value in the same argument.
      name = arg.substr(0, 2);
      if (arg.size() > 2) value = arg.substr(2);
      option = find_short(arg[1]);
    }
    if (option == nullptr) return "unknown option " + quoted(arg) + " (see 'brix --help')";

    if (option->takes_value && !value) {
      if (i + 1 == args.size()) return "option " + quoted(name) + " needs a value";
      value = args[++i];
    } else if (!option->takes_value && value) {
      if (arg.starts_with("--")) return "option " + quoted(name) + " takes no value";
      return "unknown option " + quoted(arg) + " (see 'brix --help')";
    }
    if (auto error =
            apply(option->flag, name, value.value_or(""), options, saw_pretty, saw_debug)) {
      return *error;
    }
  }

  if (options.command == Command::Help || options.command == Command::Version) return options;
  if (saw_pretty && saw_debug) return "--pretty and --debug cannot be used together";
  if (subcommand != Command::Render && (options.dot || !options.output_path.empty())) {
    return "--output and --dot belong to 'brix render' (see 'brix --help')";
  }
  if (subcommand == Command::Render && options.inputs.size() > 1) {
    return "'brix render' takes one FILE (see 'brix --help')";
  }
  if (options.inputs.empty()) {
    switch (subcommand) {
      case Command::Check:
        return "'brix check' needs at least one FILE (see 'brix --help')";
      case Command::Value:
        return "'brix value' needs at least one TEXT (see 'brix --help')";
      case Command::Explain:
        return "'brix explain' needs at least one FILE (see 'brix --help')";
      case Command::Render:
        return "'brix render' needs a FILE (see 'brix --help')";
      default:
        return "no input FILE given (see 'brix --help')";
    }
  }
  return options;
}

}  // namespace brix::cli
