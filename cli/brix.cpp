// The brix command: checks BRIX files and prints their requirements document.
#include <cstdio>
#include <cstdlib>
#include <mutex>
#include <optional>
#include <string>
#include <string_view>
#include <thread>
#include <variant>
#include <vector>

#if defined(_WIN32)
#include <io.h>
#define BRIX_ISATTY(fd) _isatty(fd)
#else
#include <unistd.h>
#define BRIX_ISATTY(fd) isatty(fd)
#endif

#include "brix/brix.hpp"
#include "commands.hpp"
#include "explain_command.hpp"
#include "externs.hpp"
#include "fmt_command.hpp"
#include "options.hpp"
#include "ordered_pool.hpp"
#include "render_command.hpp"
#include "report.hpp"
#include "source_file.hpp"

namespace {

using namespace brix::cli;

// Whether the command line asks for JSON errors, read before it is parsed,
// so that an error in it is reported in that form too.
bool json_errors(const std::vector<std::string_view>& args) {
  bool json = false;
  for (std::size_t i = 0; i < args.size() && args[i] != "--"; ++i) {
    if (args[i] == "--error-format=json") json = true;
    if (args[i] == "--error-format=text") json = false;
    if (args[i] == "--error-format" && i + 1 < args.size()) json = args[i + 1] == "json";
  }
  return json;
}

ErrorFormat usage_format = ErrorFormat::Text;

int usage_error(std::string_view message) {
  const std::string text = render_usage_error(message, ReportStyle{usage_format, false});
  std::fwrite(text.data(), 1, text.size(), stderr);
  return kUsageError;
}

std::string plural(std::size_t n, std::string_view one, std::string_view many) {
  return std::to_string(n) + " " + std::string(n == 1 ? one : many);
}

int run(const Options& options) {
  const ReportStyle style{options.error_format,
                          use_color(options.color, BRIX_ISATTY(2) != 0, std::getenv("NO_COLOR"))};

  auto externs = load_externs(options.externs);
  if (auto* usage = std::get_if<ExternUsageError>(&externs)) return usage_error(usage->message);
  if (auto* bad = std::get_if<ExternValueError>(&externs)) {
    const std::string text = render_extern_error(*bad, style);
    std::fwrite(text.data(), 1, text.size(), stderr);
    return kBrixError;
  }

  std::optional<brix::Catalog> catalog;
  if (!options.catalog.empty()) {
    SourceText source = read_source(options.catalog, options.catalog);
    if (source.error) {
      const std::string text = render_read_error(*source.error, options.catalog, style);
      std::fwrite(text.data(), 1, text.size(), stderr);
      return kUsageError;
    }
    brix::Result<brix::Catalog> read = brix::Catalog::from_text(source.text);
    if (!read) {
      const std::string text = render_read_error(options.catalog + ": " + read.error().to_string(),
                                                 options.catalog, style, "E0503");
      std::fwrite(text.data(), 1, text.size(), stderr);
      return kUsageError;
    }
    catalog = std::move(read).value();
  }

  const Context context{options, std::get<brix::ExternValues>(externs), style,
                        catalog ? &*catalog : nullptr};
  Outcome (*per_input)(const std::string&, const Context&) = print_file;
  const bool checking = options.command == Command::Check || options.command == Command::Lint;
  if (checking) per_input = check_file;
  if (options.command == Command::Value) per_input = show_value;
  if (options.command == Command::Explain) per_input = explain_file;
  if (options.command == Command::Render) per_input = render_file;
  if (options.command == Command::Fmt) per_input = format_file;
  const bool walks = checking || options.command == Command::Fmt;
  const std::vector<std::string> inputs = walks ? expand_inputs(options.inputs) : options.inputs;

  unsigned jobs = options.jobs != 0 ? options.jobs : std::thread::hardware_concurrency();
  // Standard input can be read only once and only by one job at a time.
  for (const std::string& input : inputs) {
    if (input == "-" && options.command != Command::Value) jobs = 1;
  }
  std::size_t ok = 0, failed = 0, warnings = 0;
  const int status = run_in_order(
      inputs.size(), jobs,
      [&](std::size_t i) {
        Outcome outcome = per_input(inputs[i], context);
        // Tallied as outcomes are made; they are written in input order.
        static std::mutex tally;
        const std::lock_guard lock(tally);
        (outcome.status == kOk ? ok : failed) += 1;
        warnings += outcome.warnings;
        return outcome;
      },
      stdout, stderr);
  if (checking && options.error_format == ErrorFormat::Text && !options.quiet) {
    std::printf("%s: %zu ok, %s, %s\n", plural(inputs.size(), "file", "files").c_str(), ok,
                plural(failed, "with errors", "with errors").c_str(),
                plural(warnings, "warning", "warnings").c_str());
  }
  return status;
}

}  // namespace

int main(int argc, char** argv) {
  std::vector<std::string_view> args(argv + 1, argv + argc);
  if (json_errors(args)) usage_format = ErrorFormat::Json;
  auto parsed = parse_options(args);
  if (auto* message = std::get_if<std::string>(&parsed)) return usage_error(*message);

  const Options& options = std::get<Options>(parsed);
  switch (options.command) {
    case Command::Help:
      std::fwrite(help_text().data(), 1, help_text().size(), stdout);
      return kOk;
    case Command::Version:
      std::printf("brix %s\n", brix::VERSION);
      return kOk;
    default:
      break;
  }
  const int status = run(options);
  if (std::fflush(stdout) != 0) return usage_error("cannot write to standard output");
  return status;
}
