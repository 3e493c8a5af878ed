#include "brix/brix.hpp"

#include <string>
#include <utility>
#include <variant>

#include "lib/utf8.hpp"
#include "parser/brix_parser.hpp"
#include "parser/grammar.hpp"

namespace brix {
namespace {

// The grammar, the column counting and the encoders all rely on well-formed
// UTF-8, so bad bytes are turned away before anything else looks at them.
std::optional<ErrorChain> check_utf8(std::string_view text) {
  std::optional<std::size_t> bad = detail::find_invalid_utf8(text);
  if (!bad) return std::nullopt;
  return ErrorChain::from_message("input is not valid UTF-8: invalid byte at offset " +
                                  std::to_string(*bad));
}

ErrorChain syntax_error(const Error& report) {
  return ErrorChain::from_report(report.renamed_rules(renamed_rules_impl));
}

// Builds each statement while the grammar goes on with the next, keeping the
// first semantic error. A syntax error anywhere in the file still wins over
// it, as if the whole file had been matched before building began.
struct StreamingBuild {
  detail::FileBuilder builder;
  detail::Status error;

  detail::StatementSink sink() {
    return detail::StatementSink{this,
                                 [](void* self, detail::Pair node) {
                                   auto& build = *static_cast<StreamingBuild*>(self);
                                   if (!build.error) build.error = build.builder.add(node);
                                 },
                                 [](void* self) {
                                   auto& build = *static_cast<StreamingBuild*>(self);
                                   build.error.reset();
                                   build.builder.restart();
                                 }};
  }
};

}  // namespace

Result<ParseResult> parse_with_externals(std::string_view text, ExternValues externals) {
  if (std::optional<ErrorChain> bad = check_utf8(text)) return std::move(*bad);
  StreamingBuild build{detail::FileBuilder(std::move(externals)), std::nullopt};
  if (std::optional<Error> report = detail::parse_file_statements(text, build.sink())) {
    return syntax_error(*report);
  }
  if (build.error) return std::move(*build.error);
  return ParseResult{std::move(build.builder).take()};
}

Result<ParseResult> parse(std::string_view text) {
  return parse_with_externals(text, {});
}

Result<std::size_t> parse_to_json(std::string_view text, const ExternValues& externals,
                                  std::string& out) {
  Result<ParseResult> parsed = parse_with_externals(text, externals);
  if (!parsed) return std::move(parsed).error();
  const std::size_t before = out.size();
  write_json(parsed->parsed_brix_file, out);
  return out.size() - before;
}

Result<VarValue> parse_extern_value(std::string_view text) {
  if (std::optional<ErrorChain> bad = check_utf8(text)) return std::move(*bad);
  std::variant<detail::ParseTree, Error> parsed = detail::parse_rule(Rule::var_value, text);
  if (const Error* report = std::get_if<Error>(&parsed)) return syntax_error(*report);

  std::optional<detail::Pair> value = std::get<detail::ParseTree>(parsed).pairs().next();
  if (!value) return ErrorChain::from_message("var_value should have a child");
  return detail::parse_extern_var_value(*value);
}

}  // namespace brix
