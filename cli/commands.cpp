#include "commands.hpp"

#include <algorithm>
#include <filesystem>
#include <mutex>
#include <optional>
#include <utility>
#include <variant>
#include <vector>

#include "source_file.hpp"

namespace brix::cli {
namespace {

std::string shown_name(const std::string& path, const Context& context) {
  return path == "-" ? context.options.stdin_name : path;
}

// Output buffers handed back after writing, for the next documents. Files may
// be printed on several threads, and as many buffers as are in flight at once
// are kept, up to a few.
class SpareBuffers {
 public:
  std::string take() {
    std::lock_guard lock(mutex_);
    if (spare_.empty()) return {};
    std::string text = std::move(spare_.back());
    spare_.pop_back();
    return text;
  }

  void give(std::string&& text) {
    if (text.capacity() == 0) return;
    text.clear();
    std::lock_guard lock(mutex_);
    if (spare_.size() < kKept) spare_.push_back(std::move(text));
  }

 private:
  static constexpr std::size_t kKept = 8;
  std::mutex mutex_;
  std::vector<std::string> spare_;
};

SpareBuffers spare_buffers;

// The parsed file, or the outcome that reports why there is none.
std::variant<ParseResult, Outcome> parse_source(const std::string& path, const std::string& shown,
                                                const Context& context) {
  SourceText source = read_source(path, shown);
  if (source.error)
    return Outcome{kUsageError, {}, render_read_error(*source.error, shown, context.style)};
  brix::Options options;
  options.externs = context.externs;
  if (context.catalog != nullptr) options.catalog = *context.catalog;
  Result<ParseResult> result = parse_with_options(source.text, options);
  if (!result) return Outcome{kBrixError, {}, render_error(result.error(), shown, context.style)};
  return std::move(result).value();
}

// The document is written straight from the text, without building the
// requirements tree; the indented one is laid out from the compact one.
Outcome print_json(const std::string& path, const std::string& shown, const Context& context) {
  SourceText source = read_source(path, shown);
  if (source.error)
    return Outcome{kUsageError, {}, render_read_error(*source.error, shown, context.style)};
  std::string out = spare_buffers.take();
  // Documents are commonly one to four times as long as their text; room
  // that is reserved but never written is never touched.
  out.reserve(4 * source.text.size() + 1);
  Result<std::size_t> written = parse_to_json(source.text, context.externs, out);
  if (!written) {
    spare_buffers.give(std::move(out));
    return Outcome{kBrixError, {}, render_error(written.error(), shown, context.style)};
  }
  if (context.options.output == OutputFormat::Pretty) {
    std::string pretty = spare_buffers.take();
    indent_json(out, pretty);
    spare_buffers.give(std::move(out));
    out = std::move(pretty);
  }
  out += '\n';
  return {kOk, std::move(out), {}};
}

}  // namespace

void recycle_output(std::string&& text) {
  spare_buffers.give(std::move(text));
}

Outcome print_file(const std::string& path, const Context& context) {
  const std::string shown = shown_name(path, context);
  if (context.options.output != OutputFormat::Debug && context.catalog == nullptr) {
    return print_json(path, shown, context);
  }
  auto parsed = parse_source(path, shown, context);
  if (auto* failure = std::get_if<Outcome>(&parsed)) return std::move(*failure);

  const ParseResult& result = std::get<ParseResult>(parsed);
  if (context.options.output == OutputFormat::Debug) {
    return {kOk, diagnostic_text(result) + "\n", {}};
  }
  if (context.options.output == OutputFormat::Compact) {
    std::string out;
    write_json(result.parsed_brix_file, out);
    out += '\n';
    return {kOk, std::move(out), {}};
  }
  Result<std::string> json = result.to_string_pretty();
  if (!json) return {kBrixError, {}, render_error(json.error(), shown, context.style)};
  std::string out = std::move(json).value();
  out += '\n';
  return {kOk, std::move(out), {}};
}

std::vector<std::string> expand_inputs(const std::vector<std::string>& inputs) {
  std::vector<std::string> out;
  for (const std::string& input : inputs) {
    std::error_code ec;
    if (input == "-" || !std::filesystem::is_directory(input, ec)) {
      out.push_back(input);
      continue;
    }
    std::vector<std::string> found;
    for (auto it = std::filesystem::recursive_directory_iterator(input, ec);
         !ec && it != std::filesystem::recursive_directory_iterator(); it.increment(ec)) {
      if (it->is_regular_file(ec) && it->path().extension() == ".brix") {
        found.push_back(it->path().string());
      }
    }
    std::sort(found.begin(), found.end());
    out.insert(out.end(), found.begin(), found.end());
  }
  return out;
}

Outcome check_file(const std::string& path, const Context& context) {
  const std::string shown = shown_name(path, context);
  SourceText source = read_source(path, shown);
  if (source.error)
    return Outcome{kUsageError, {}, render_read_error(*source.error, shown, context.style)};
  brix::Options options;
  options.externs = context.externs;
  if (context.catalog != nullptr) options.catalog = *context.catalog;
  options.warnings = context.options.command == Command::Lint;
  options.allowed = context.options.allowed;
  const std::vector<Diagnostic> diagnostics = check(source.text, options);

  Outcome outcome;
  for (const Diagnostic& diagnostic : diagnostics) {
    if (diagnostic.severity == Severity::Error) {
      outcome.status = kBrixError;
    } else {
      ++outcome.warnings;
    }
  }
  if (outcome.warnings > 0 && outcome.status == kOk && context.options.deny_warnings) {
    outcome.status = kBrixError;
  }
  if (diagnostics.empty()) {
    if (!context.options.quiet && context.style.format == ErrorFormat::Text) {
      outcome.out = shown + ": ok\n";
    }
    return outcome;
  }
  if (context.style.format == ErrorFormat::Text) outcome.err = shown + ":\n";
  for (const Diagnostic& diagnostic : diagnostics) {
    outcome.err += render_diagnostic(diagnostic, source.text, shown, context.style);
    if (context.style.format == ErrorFormat::Text) outcome.err += '\n';
  }
  return outcome;
}

Outcome show_value(const std::string& text, const Context& context) {
  Result<VarValue> value = parse_extern_value(text);
  if (!value) return {kBrixError, {}, render_error(value.error(), std::nullopt, context.style)};
  return {kOk, diagnostic_text(value.value()) + "\n", {}};
}

}  // namespace brix::cli
