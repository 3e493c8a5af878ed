#include "commands.hpp"

#include <optional>
#include <utility>
#include <variant>

#include "source_file.hpp"

namespace brix::cli {
namespace {

std::string shown_name(const std::string& path, const Context& context) {
  return path == "-" ? context.options.stdin_name : path;
}

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

}  // namespace

Outcome print_file(const std::string& path, const Context& context) {
  const std::string shown = shown_name(path, context);
  auto parsed = parse_source(path, shown, context);
  if (auto* failure = std::get_if<Outcome>(&parsed)) return std::move(*failure);

  const ParseResult& result = std::get<ParseResult>(parsed);
  if (context.options.output == OutputFormat::Debug) {
    return {kOk, diagnostic_text(result) + "\n", {}};
  }
  Result<std::string> json = context.options.output == OutputFormat::Pretty
                                 ? result.to_string_pretty()
                                 : result.to_string();
  if (!json) return {kBrixError, {}, render_error(json.error(), shown, context.style)};
  std::string out = std::move(json).value();
  out += '\n';
  return {kOk, std::move(out), {}};
}

Outcome check_file(const std::string& path, const Context& context) {
  const std::string shown = shown_name(path, context);
  auto parsed = parse_source(path, shown, context);
  if (auto* failure = std::get_if<Outcome>(&parsed)) return std::move(*failure);
  if (context.options.quiet) return {};
  return {kOk, shown + ": ok\n", {}};
}

Outcome show_value(const std::string& text, const Context& context) {
  Result<VarValue> value = parse_extern_value(text);
  if (!value) return {kBrixError, {}, render_error(value.error(), std::nullopt, context.style)};
  return {kOk, diagnostic_text(value.value()) + "\n", {}};
}

}  // namespace brix::cli
