#include "commands.hpp"

#include <optional>
#include <utility>

#include "source_file.hpp"

namespace brix::cli {
namespace {

// The parsed file, or the outcome that reports why there is none.
struct Parsed {
  std::optional<Result<ParseResult>> result;
  Outcome failure;
  std::string shown_path;
};

Parsed parse_source(const std::string& path, const Context& context) {
  Parsed parsed;
  parsed.shown_path = path == "-" ? context.options.stdin_name : path;
  SourceText source = read_source(path, parsed.shown_path);
  if (source.error) {
    parsed.failure = {kUsageError, {}, "brix: " + *source.error + "\n"};
    return parsed;
  }
  parsed.result.emplace(context.externs.empty()
                            ? parse(source.text)
                            : parse_with_externals(source.text, context.externs));
  if (!*parsed.result) {
    parsed.failure = {
        kBrixError, {}, render_error(parsed.result->error(), parsed.shown_path, context.style)};
  }
  return parsed;
}

bool parsed_ok(const Parsed& parsed) {
  return parsed.result && parsed.result->ok();
}

}  // namespace

Outcome print_file(const std::string& path, const Context& context) {
  Parsed parsed = parse_source(path, context);
  if (!parsed_ok(parsed)) return std::move(parsed.failure);

  const ParseResult& result = parsed.result->value();
  if (context.options.output == OutputFormat::Debug) {
    return {kOk, diagnostic_text(result) + "\n", {}};
  }
  Result<std::string> json = context.options.output == OutputFormat::Pretty
                                 ? result.to_string_pretty()
                                 : result.to_string();
  if (!json) {
    return {kBrixError, {}, render_error(json.error(), parsed.shown_path, context.style)};
  }
  std::string out = std::move(json).value();
  out += '\n';
  return {kOk, std::move(out), {}};
}

Outcome check_file(const std::string& path, const Context& context) {
  Parsed parsed = parse_source(path, context);
  if (!parsed_ok(parsed)) return std::move(parsed.failure);
  if (context.options.quiet) return {};
  return {kOk, parsed.shown_path + ": ok\n", {}};
}

Outcome show_value(const std::string& text, const Context& context) {
  Result<VarValue> value = parse_extern_value(text);
  if (!value) return {kBrixError, {}, render_error(value.error(), std::nullopt, context.style)};
  return {kOk, diagnostic_text(value.value()) + "\n", {}};
}

}  // namespace brix::cli
