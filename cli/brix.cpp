// The brix command: checks BRIX files and prints their requirements document.
#include <cstdio>
#include <cstdlib>
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
#include "options.hpp"
#include "ordered_pool.hpp"
#include "render_command.hpp"
#include "report.hpp"

namespace {

using namespace brix::cli;

int usage_error(std::string_view message) {
  std::fprintf(stderr, "brix: %.*s\n", static_cast<int>(message.size()), message.data());
  return kUsageError;
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

  const Context context{options, std::get<brix::ExternValues>(externs), style};
  Outcome (*per_input)(const std::string&, const Context&) = print_file;
  if (options.command == Command::Check) per_input = check_file;
  if (options.command == Command::Value) per_input = show_value;
  if (options.command == Command::Explain) per_input = explain_file;
  if (options.command == Command::Render) per_input = render_file;

  unsigned jobs = options.jobs != 0 ? options.jobs : std::thread::hardware_concurrency();
  // Standard input can be read only once and only by one job at a time.
  for (const std::string& input : options.inputs) {
    if (input == "-" && options.command != Command::Value) jobs = 1;
  }
  return run_in_order(
      options.inputs.size(), jobs,
      [&](std::size_t i) { return per_input(options.inputs[i], context); }, stdout, stderr);
}

}  // namespace

int main(int argc, char** argv) {
  std::vector<std::string_view> args(argv + 1, argv + argc);
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
