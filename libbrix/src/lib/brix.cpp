#include "brix/brix.hpp"

#include <cctype>
#include <cstdint>
#include <limits>
#include <string>
#include <unordered_set>
#include <utility>
#include <variant>

#include "direct/direct_json.hpp"
#include "lib/utf8.hpp"
#include "model/json_pieces.hpp"
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
  // Puts a fresh builder in the state the file starts in (see parse_to_json).
  void (*prepare)(detail::FileBuilder&, const void*) = nullptr;
  const void* prepare_context = nullptr;

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
                                   if (build.prepare)
                                     build.prepare(build.builder, build.prepare_context);
                                 }};
  }
};

// What the full parser needs to take a file over where the one-pass
// converter stopped.
struct Takeover {
  const detail::DirectConverter& converter;
  std::string_view rest;
};

// Binds every variable the rest of the file may name as the converter left
// it, and the meter's totals. Names are found by their "$"; one that turns
// up in a comment or string costs a lookup and nothing else.
void prepare_takeover(detail::FileBuilder& builder, const void* context) {
  const auto& takeover = *static_cast<const Takeover*>(context);
  std::string_view rest = takeover.rest;
  std::unordered_set<std::string_view> seen;
  for (std::size_t at = rest.find('$'); at != std::string_view::npos; at = rest.find('$', at + 1)) {
    std::size_t end = at + 1;
    while (end < rest.size() &&
           (std::isalnum(static_cast<unsigned char>(rest[end])) != 0 || rest[end] == '_')) {
      ++end;
    }
    const std::string_view name = rest.substr(at, end - at);
    if (name.size() < 2 || !seen.insert(name).second) continue;
    if (std::optional<VarValue> value = takeover.converter.binding(name)) {
      builder.preset(name, std::move(*value));
    }
  }
  const detail::DirectStop& stop = takeover.converter.stop();
  builder.meter().restore(stop.selectors_charged, stop.text_charged);
}

// The rest of a file after the converter's stop, appended to the document
// the converter began in `out`.
Result<std::size_t> finish_json(std::string_view text, const detail::DirectConverter& converter,
                                std::string& out) {
  const detail::DirectStop& stop = converter.stop();
  const std::string_view rest = text.substr(stop.resume);
  // The converter read every byte before the stop as valid UTF-8.
  if (std::optional<std::size_t> bad = detail::find_invalid_utf8(rest)) {
    return ErrorChain::from_message("input is not valid UTF-8: invalid byte at offset " +
                                    std::to_string(stop.resume + *bad));
  }
  // No extern declaration can follow an assignment or a requirement, so the
  // builder never needs the caller's values: the bindings carry them.
  const Takeover takeover{converter, rest};
  StreamingBuild build{detail::FileBuilder(ExternValues{}), std::nullopt, prepare_takeover,
                       &takeover};
  prepare_takeover(build.builder, &takeover);
  if (std::optional<Error> report =
          detail::parse_file_statements_from(text, stop.resume, build.sink())) {
    return syntax_error(*report);
  }
  if (build.error) return std::move(*build.error);

  const BRIXQueryFile file = std::move(build.builder).take();
  bool comma = stop.wrote_requirement;
  for (const BRIXRequirement& requirement : file.requirements) {
    if (comma) out += ',';
    comma = true;
    detail::write_json_piece(requirement, out);
  }
  out += "]}";
  return out.size();
}

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

// The one-pass converter does the work; where it stops, the full parser goes
// on from the last statement the converter finished, so a file whose error
// is in its last line costs little more than a file without one. Only when
// the converter finished no assignment or requirement does the full parser
// start over.
Result<std::size_t> parse_to_json(std::string_view text, const ExternValues& externals,
                                  std::string& out) {
  const std::size_t before = out.size();
  if (text.size() < std::numeric_limits<std::uint32_t>::max()) {
    // Documents are commonly one to four times as long as their text: room
    // for that at once spares copying the document as it grows. Room that
    // is not written is never touched.
    out.reserve(before + 4 * text.size());
    detail::DirectConverter converter(text, externals);
    if (converter.run(out)) return out.size() - before;
    const detail::DirectStop& stop = converter.stop();
    if (stop.resume != 0) {
      out.resize(stop.out_size);
      Result<std::size_t> rest = finish_json(text, converter, out);
      if (!rest) out.resize(before);
      return rest ? Result<std::size_t>(out.size() - before) : std::move(rest);
    }
    out.resize(before);
  }
  Result<ParseResult> parsed = parse_with_externals(text, externals);
  if (!parsed) return std::move(parsed).error();
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
