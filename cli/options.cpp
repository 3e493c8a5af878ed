#include "options.hpp"

#include <CLI/CLI.hpp>
#include <algorithm>
#include <iterator>
#include <optional>

namespace brix::cli {
namespace {

constexpr std::string_view kHelp =
    R"(brix: check BRIX requirement files and print their requirements document

Usage:
  brix [OPTIONS] FILE...          print each file's requirements document as JSON
  brix check [OPTIONS] PATH...    check files (and *.brix below directories)
  brix lint [OPTIONS] PATH...     check, and show warnings too
  brix value [OPTIONS] TEXT...    check the text of an extern value and show it
  brix explain [OPTIONS] FILE...  say in plain English what each file requires
  brix render [OPTIONS] FILE      draw the requirement tree as a web page
  brix fmt [OPTIONS] PATH...      lay files out in the house style, in place

A FILE of "-" is read from standard input. Options may stand before or after
the subcommand; "--" ends them.

Output:
      --pretty               indent the JSON document by two spaces
      --debug                print the one-line diagnostic text instead of JSON
      --error-format FORMAT  "text" (default) or "json": one JSON object per
                             diagnostic, usage and read errors included
      --color WHEN           "auto" (default), "always" or "never"; auto colours
                             errors only on a terminal and when NO_COLOR is unset
      --stdin-filename NAME  name shown in errors for standard input

Extern values:
  -x, --extern NAME=VALUE    value of an extern declared in the files; the "$" of
                             NAME may be left out; repeatable
      --externs-file FILE    read NAME=VALUE lines from FILE; blank lines and lines
                             starting with "#" are ignored
                             (a later definition of a name replaces an earlier one)

Departments:
      --catalog FILE         the department codes that exist, one per line,
                             instead of the built-in catalog

Rendering (brix render):
  -o, --output FILE          write the page to FILE instead of standard output
      --dot                  write a Graphviz graph of the tree instead of a page

Formatting (brix fmt; "-" prints the formatted standard input):
      --check                write nothing; list the files that would change
                             and exit with 1 if there are any
      --diff                 write nothing; show the changes as a unified diff
                             (exit status as for --check)

Checking (brix check, brix lint):
  -j, --jobs N               check N files at a time (default: one per core)
  -q, --quiet                do not print "FILE: ok" for valid files
  -A, --allow CODE           do not report warning CODE (e.g. W0201); repeatable
      --deny-warnings        warnings make the exit status 1 (for CI)

  -h, --help                 show this help
  -V, --version              show the version

Exit status: 0 when every input is valid (warnings alone do not count unless
--deny-warnings is given), 1 when an input has a BRIX error, 2 for a usage
error or a file that cannot be read.
)";

std::string single_quoted(std::string_view text) {
  std::string out(1, '\'');
  out.append(text).push_back('\'');
  return out;
}

std::string invalid(std::string_view value, std::string_view name, std::string_view expected) {
  return "invalid value " + single_quoted(value) + " for " + std::string(name) + " (expected " +
         std::string(expected) + ")";
}

// The options every command shares; they may stand on either side of the
// subcommand's name.
struct Raw {
  bool pretty = false, debug = false, quiet = false, deny = false;
  bool help = false, version = false, dot = false, check = false, diff = false;
  std::string error_format = "text", color = "auto", jobs, stdin_name = "<stdin>", catalog, output;
  std::vector<std::string> allowed;
  std::vector<std::pair<ExternSource::Kind, std::string>> externs;
  std::vector<std::string> inputs;
};

void add_options(CLI::App& app, Raw& raw) {
  app.add_flag("--pretty", raw.pretty);
  app.add_flag("--debug", raw.debug);
  app.add_option("--error-format", raw.error_format);
  app.add_option("--color,--colour", raw.color);
  app.add_option("--stdin-filename", raw.stdin_name);
  app.add_option_function<std::string>(
         "-x,--extern",
         [&raw](const std::string& v) { raw.externs.emplace_back(ExternSource::Kind::Pair, v); })
      ->multi_option_policy(CLI::MultiOptionPolicy::TakeAll)
      ->allow_extra_args(false);
  app.add_option_function<std::string>(
         "--externs-file",
         [&raw](const std::string& v) { raw.externs.emplace_back(ExternSource::Kind::File, v); })
      ->allow_extra_args(false);
  app.add_option("--catalog", raw.catalog);
  app.add_option("-j,--jobs", raw.jobs);
  app.add_flag("-q,--quiet", raw.quiet);
  app.add_option("-A,--allow", raw.allowed)->allow_extra_args(false);
  app.add_flag("--deny-warnings", raw.deny);
  app.add_option("-o,--output", raw.output);
  app.add_flag("--dot", raw.dot);
  app.add_flag("--check", raw.check);
  app.add_flag("--diff", raw.diff);
  app.add_flag("-h,--help", raw.help);
  app.add_flag("-V,--version", raw.version);
}

std::optional<unsigned> parse_jobs(const std::string& text) {
  if (text.empty() || text.size() > 6 || text.find_first_not_of("0123456789") != std::string::npos)
    return std::nullopt;
  const unsigned value = static_cast<unsigned>(std::stoul(text));
  if (value == 0) return std::nullopt;
  return value;
}

}  // namespace

std::string_view help_text() {
  return kHelp;
}

std::variant<Options, std::string> parse_options(const std::vector<std::string_view>& args) {
  Raw raw;
  CLI::App app{"brix", "brix"};
  app.set_help_flag();
  app.allow_extras();
  add_options(app, raw);
  app.add_option("inputs", raw.inputs);

  struct Sub {
    std::string_view name;
    Command command;
  };
  constexpr Sub kSubs[] = {{"check", Command::Check},   {"lint", Command::Lint},
                           {"value", Command::Value},   {"explain", Command::Explain},
                           {"render", Command::Render}, {"fmt", Command::Fmt}};
  std::vector<CLI::App*> subs;
  for (const Sub& sub : kSubs) {
    CLI::App* command = app.add_subcommand(std::string(sub.name));
    command->set_help_flag();
    command->allow_extras();
    command->fallthrough();
    command->add_option("inputs", raw.inputs);
    subs.push_back(command);
  }

  // Everything after "--" is an input, whatever it looks like.
  const auto dashes = std::find(args.begin(), args.end(), "--");
  std::vector<std::string> after(dashes == args.end() ? dashes : dashes + 1, args.end());
  // CLI11 reads the arguments back to front. It would also take "[a, b]"
  // apart as a list, which a BRIX value must never be: such arguments go
  // through it as stand-ins and come back whole.
  std::vector<std::string> argv;
  std::vector<std::string> bracketed;
  for (auto it = std::make_reverse_iterator(dashes); it != args.rend(); ++it) {
    if (it->starts_with('[')) {
      argv.push_back("\x01" + std::to_string(bracketed.size()));
      bracketed.emplace_back(*it);
    } else {
      argv.emplace_back(*it);
    }
  }
  auto restore = [&bracketed](std::string& text) {
    if (text.starts_with('\x01')) text = bracketed[std::stoul(text.substr(1))];
  };
  try {
    app.parse(argv);
  } catch (const CLI::ParseError& error) {
    std::string message = error.what();
    if (message.find("required") != std::string::npos ||
        message.find("requires at least 1") != std::string::npos ||
        message.find("needs 1") != std::string::npos ||
        message.find("requires 1") != std::string::npos) {
      const std::size_t space = message.find(' ');
      std::string name = message.substr(0, space);
      if (name.ends_with(':')) name.pop_back();
      message = "option " + single_quoted(name) + " needs a value";
    }
    return message;
  }

  Options options;
  for (std::size_t i = 0; i < subs.size(); ++i) {
    if (subs[i]->parsed()) options.command = kSubs[i].command;
  }
  // Anything left over is an option nobody knows (a lone "-" is an input).
  std::vector<std::string> extras = app.remaining();
  for (CLI::App* sub : subs) {
    for (std::string& extra : sub->remaining()) extras.push_back(std::move(extra));
  }
  for (const std::string& extra : extras) {
    if (extra.size() > 1 && extra[0] == '-') {
      const std::size_t eq = extra.find('=');
      if (eq != std::string::npos && extra.starts_with("--")) {
        return "option " + single_quoted(extra.substr(0, eq)) + " takes no value";
      }
      return "unknown option " + single_quoted(extra) + " (see 'brix --help')";
    }
  }
  if (raw.help) {
    options.command = Command::Help;
    return options;
  }
  if (raw.version) {
    options.command = Command::Version;
    return options;
  }

  if (raw.error_format == "json") {
    options.error_format = ErrorFormat::Json;
  } else if (raw.error_format != "text") {
    return invalid(raw.error_format, "--error-format", "'text' or 'json'");
  }
  if (raw.color == "always") {
    options.color = ColorMode::Always;
  } else if (raw.color == "never") {
    options.color = ColorMode::Never;
  } else if (raw.color != "auto") {
    return invalid(raw.color, "--color", "'auto', 'always' or 'never'");
  }
  if (!raw.jobs.empty() || app.count("--jobs") > 0) {
    const std::optional<unsigned> jobs = parse_jobs(raw.jobs);
    if (!jobs) return invalid(raw.jobs, "--jobs", "a positive whole number");
    options.jobs = *jobs;
  }
  if (raw.pretty && raw.debug) return "--pretty and --debug cannot be used together";
  options.output =
      raw.pretty ? OutputFormat::Pretty : (raw.debug ? OutputFormat::Debug : OutputFormat::Compact);
  options.quiet = raw.quiet;
  options.deny_warnings = raw.deny;
  options.allowed = raw.allowed;
  options.catalog = raw.catalog;
  options.stdin_name = raw.stdin_name;
  options.output_path = raw.output;
  options.dot = raw.dot;
  options.check = raw.check;
  options.diff = raw.diff;
  // Extern definitions keep their command-line order, across both options,
  // so that a later one wins; CLI11 has checked their shape already.
  for (auto it = args.begin(); it != dashes; ++it) {
    const std::string_view arg = *it;
    const bool has_next = it + 1 != dashes;
    auto add = [&](ExternSource::Kind kind, std::string_view value) {
      std::string text(value);
      restore(text);
      options.externs.push_back({kind, std::move(text)});
    };
    if ((arg == "-x" || arg == "--extern") && has_next) {
      add(ExternSource::Kind::Pair, *++it);
    } else if (arg == "--externs-file" && has_next) {
      add(ExternSource::Kind::File, *++it);
    } else if (arg.starts_with("--extern=")) {
      add(ExternSource::Kind::Pair, arg.substr(9));
    } else if (arg.starts_with("--externs-file=")) {
      add(ExternSource::Kind::File, arg.substr(15));
    } else if (arg.starts_with("-x")) {
      add(ExternSource::Kind::Pair, arg.substr(2));
    }
  }
  for (std::string& input : raw.inputs) restore(input);
  options.inputs = std::move(raw.inputs);
  options.inputs.insert(options.inputs.end(), after.begin(), after.end());

  if (options.command != Command::Value &&
      std::count(options.inputs.begin(), options.inputs.end(), "-") > 1) {
    return "standard input ('-') can be read only once";
  }
  if (options.command != Command::Render && (options.dot || !options.output_path.empty())) {
    return "--output and --dot belong to 'brix render' (see 'brix --help')";
  }
  if (options.command != Command::Fmt && (options.check || options.diff)) {
    return "--check and --diff belong to 'brix fmt' (see 'brix --help')";
  }
  if (options.command == Command::Render && options.inputs.size() > 1) {
    return "'brix render' takes one FILE (see 'brix --help')";
  }
  if (options.inputs.empty()) {
    switch (options.command) {
      case Command::Check:
        return "'brix check' needs at least one FILE (see 'brix --help')";
      case Command::Lint:
        return "'brix lint' needs at least one FILE (see 'brix --help')";
      case Command::Value:
        return "'brix value' needs at least one TEXT (see 'brix --help')";
      case Command::Explain:
        return "'brix explain' needs at least one FILE (see 'brix --help')";
      case Command::Render:
        return "'brix render' needs a FILE (see 'brix --help')";
      case Command::Fmt:
        return "'brix fmt' needs at least one FILE, or '-' (see 'brix --help')";
      default:
        return "no input FILE given (see 'brix --help')";
    }
  }
  return options;
}

}  // namespace brix::cli
