#include "brix/brix.hpp"

#include <cctype>
#include <cstdint>
#include <limits>
#include <string>
#include <utility>
#include <variant>

#include "lib/parse_with_catalog.hpp"
#include "lib/utf8.hpp"
#include "parser/grammar.hpp"
#include "parser/rule_names.hpp"
#include "reader/json_sink.hpp"
#include "reader/model_sink.hpp"
#include "reader/reader.hpp"

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
  return ErrorChain::from_report(report.renamed_rules(detail::renamed_rules_impl));
}

// Documents are commonly one to four times as long as their text: room for
// that at once spares copying the document as it grows. Room that is not
// written is never touched.
constexpr std::size_t kJsonBytesPerTextByte = 4;

// The grammar's report on a file the reader could not read past the
// statement that ends at `boundary` (0: none was finished).
ErrorChain explain(std::string_view text, std::uint32_t boundary) {
  if (std::optional<Error> report = detail::explain_file(text, boundary)) {
    return syntax_error(*report);
  }
  return ErrorChain::from_message(
      "the reader stopped at a text the grammar accepts (after offset " + std::to_string(boundary) +
      ")");
}

bool too_large(std::string_view text) {
  return text.size() > std::numeric_limits<std::uint32_t>::max();
}

// The report on a text too large to read: its bad UTF-8 first, as always.
ErrorChain refuse_large(std::string_view text) {
  if (std::optional<ErrorChain> bad = check_utf8(text)) return std::move(*bad);
  return explain(text, 0);
}

// Whitespace and comments from `at`: what may follow an extern's value.
std::size_t layout_end(std::string_view text, std::size_t at) {
  for (;;) {
    while (at < text.size() &&
           (text[at] == ' ' || text[at] == '\t' || text[at] == '\r' || text[at] == '\n')) {
      ++at;
    }
    if (text.substr(at, 2) != "//") return at;
    const std::size_t lf = text.find('\n', at);
    at = lf == std::string_view::npos ? text.size() : lf;
  }
}

std::optional<ErrorChain> trailing_text(std::string_view text, std::size_t value_end) {
  const std::size_t at = layout_end(text, value_end);
  if (at == text.size()) return std::nullopt;
  return syntax_error(
      Error::new_from_pos(CustomError{"unexpected text after the extern value"}, text, at));
}

}  // namespace

// The reader checks the UTF-8 of the strings and comments it reads, where
// alone it accepts bytes that are not ASCII; when it stops short, invalid
// UTF-8 anywhere is the error that counts.
Result<ParseResult> detail::parse_with_catalog(std::string_view text, const ExternValues& externals,
                                               const Catalog* catalog) {
  if (too_large(text)) return refuse_large(text);
  detail::ModelSink sink;
  detail::BRIXParser<detail::ModelSink> reader(text, externals, sink, catalog);
  detail::ReadResult read = reader.parse_file();
  if (read.end != detail::ReadEnd::Done) {
    if (std::optional<ErrorChain> bad = check_utf8(text)) return std::move(*bad);
  }
  switch (read.end) {
    case detail::ReadEnd::Done:
      return ParseResult{std::move(sink.file)};
    case detail::ReadEnd::Syntax:
      return explain(text, read.boundary);
    default:
      return std::move(*read.error);
  }
}

Result<ParseResult> parse_with_externals(std::string_view text, ExternValues externals) {
  return detail::parse_with_catalog(text, externals, nullptr);
}

Result<ParseResult> parse(std::string_view text) {
  return parse_with_externals(text, {});
}

Result<std::size_t> parse_to_json(std::string_view text, const ExternValues& externals,
                                  std::string& out) {
  if (too_large(text)) return refuse_large(text);
  const std::size_t before = out.size();
  out.reserve(before + kJsonBytesPerTextByte * text.size());
  detail::JsonSink sink(out);
  detail::BRIXParser<detail::JsonSink> reader(text, externals, sink, nullptr);
  detail::ReadResult read = reader.parse_file();
  if (read.end == detail::ReadEnd::Done) return out.size() - before;
  sink.abandon();
  out.resize(before);
  if (std::optional<ErrorChain> bad = check_utf8(text)) return std::move(*bad);
  switch (read.end) {
    case detail::ReadEnd::Syntax:
      return explain(text, read.boundary);
    case detail::ReadEnd::Exact: {
      // Only the data model tells which expansion report is due.
      Result<ParseResult> parsed = parse_with_externals(text, externals);
      if (!parsed) return std::move(parsed).error();
      return ErrorChain::from_message("the expansion limits disagree");
    }
    default:
      return std::move(*read.error);
  }
}

Result<VarValue> parse_extern_value(std::string_view text) {
  if (std::optional<ErrorChain> bad = check_utf8(text)) return std::move(*bad);
  if (too_large(text)) return refuse_large(text);
  detail::ModelSink sink;
  const ExternValues none;
  detail::BRIXParser<detail::ModelSink> reader(text, none, sink, nullptr);
  detail::ReadResult read = reader.parse_extern_value();
  if (read.end == detail::ReadEnd::Syntax) {
    // The grammar's value may end before the reader stopped.
    std::variant<detail::ParseTree, Error> parsed = detail::parse_rule(Rule::var_value, text);
    if (const Error* report = std::get_if<Error>(&parsed)) return syntax_error(*report);
    std::optional<detail::Pair> value = std::get<detail::ParseTree>(parsed).pairs().next();
    if (value) {
      if (std::optional<ErrorChain> trailing = trailing_text(text, value->end())) {
        return std::move(*trailing);
      }
    }
    return ErrorChain::from_message("the reader stopped at a value the grammar accepts");
  }
  if (std::optional<ErrorChain> trailing = trailing_text(text, read.value_end)) {
    return std::move(*trailing);
  }
  if (read.error) return std::move(*read.error);
  return std::move(reader.value());
}

}  // namespace brix
