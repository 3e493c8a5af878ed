#include "commands.hpp"

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
  if (source.error) return Outcome{kUsageError, {}, "brix: " + *source.error + "\n"};
  Result<ParseResult> result = context.externs.empty()
                                   ? parse(source.text)
                                   : parse_with_externals(source.text, context.externs);
  if (!result) return Outcome{kBrixError, {}, render_error(result.error(), shown, context.style)};
  return std::move(result).value();
}

// The compact document is written straight from the text, without building
// the requirements tree.
Outcome print_compact(const std::string& path, const std::string& shown, const Context& context) {
  SourceText source = read_source(path, shown);
  if (source.error) return Outcome{kUsageError, {}, "brix: " + *source.error + "\n"};
  std::string out = spare_buffers.take();
  // Documents are commonly one to four times as long as their text; room
  // that is reserved but never written is never touched.
  out.reserve(4 * source.text.size() + 1);
  Result<std::size_t> written = parse_to_json(source.text, context.externs, out);
  if (!written) {
    spare_buffers.give(std::move(out));
    return Outcome{kBrixError, {}, render_error(written.error(), shown, context.style)};
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
  if (context.options.output == OutputFormat::Compact) return print_compact(path, shown, context);
  auto parsed = parse_source(path, shown, context);
  if (auto* failure = std::get_if<Outcome>(&parsed)) return std::move(*failure);

  const ParseResult& result = std::get<ParseResult>(parsed);
  if (context.options.output == OutputFormat::Debug) {
    return {kOk, diagnostic_text(result) + "\n", {}};
  }
  Result<std::string> json = result.to_string_pretty();
  if (!json) return {kBrixError, {}, render_error(json.error(), shown, context.style)};
  std::string out = std::move(json).value();
  out += '\n';
  return {kOk, std::move(out), {}};
}

// Writing the compact document is the fastest way to check a file: it skips
// the requirements tree. The document itself is thrown away.
Outcome check_file(const std::string& path, const Context& context) {
  const std::string shown = shown_name(path, context);
  SourceText source = read_source(path, shown);
  if (source.error) return Outcome{kUsageError, {}, "brix: " + *source.error + "\n"};
  std::string scratch = spare_buffers.take();
  Result<std::size_t> written = parse_to_json(source.text, context.externs, scratch);
  spare_buffers.give(std::move(scratch));
  if (!written) return Outcome{kBrixError, {}, render_error(written.error(), shown, context.style)};
  if (context.options.quiet) return {};
  return {kOk, shown + ": ok\n", {}};
}

Outcome show_value(const std::string& text, const Context& context) {
  Result<VarValue> value = parse_extern_value(text);
  if (!value) return {kBrixError, {}, render_error(value.error(), std::nullopt, context.style)};
  return {kOk, diagnostic_text(value.value()) + "\n", {}};
}

}  // namespace brix::cli
