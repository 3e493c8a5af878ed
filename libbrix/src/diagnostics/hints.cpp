#include "diagnostics/hints.hpp"

#include <algorithm>
#include <array>
#include <cctype>
#include <optional>
#include <string>
#include <variant>
#include <vector>

#include "closest_string/closest_string.hpp"
#include "reader/messages.hpp"

namespace brix::detail {
namespace {

struct Hint {
  std::string help;
  std::string label;
  std::size_t label_start = 0;
  std::size_t label_end = 0;
  std::vector<std::pair<std::pair<std::size_t, std::size_t>, std::string>> edits;
};

bool is_word(char c) {
  return std::isalnum(static_cast<unsigned char>(c)) != 0 || c == '_';
}

std::string upper(std::string_view word) {
  std::string out(word);
  for (char& c : out) c = static_cast<char>(std::toupper(static_cast<unsigned char>(c)));
  return out;
}

std::string innermost_message(const ErrorChain& chain) {
  const ErrorChain::Entry& last = chain.entries().back();
  if (const Error* report = std::get_if<Error>(&last)) return report->message();
  return entry_text(last);
}

std::pair<std::size_t, std::size_t> report_span(const ErrorChain& chain) {
  for (const ErrorChain::Entry& entry : chain.entries()) {
    if (const Error* report = std::get_if<Error>(&entry)) {
      const InputLocation& at = report->location();
      return {at.start, at.end.value_or(at.start)};
    }
  }
  return {0, 0};
}

// The text between the suggestion's lead and the closing ")".
std::optional<std::string> suggested(std::string_view message) {
  constexpr std::string_view kLead = detail::messages::kDidYouMean;
  const std::size_t at = message.find(kLead);
  if (at == std::string_view::npos || !message.ends_with(')')) return std::nullopt;
  const std::size_t from = at + kLead.size();
  return std::string(message.substr(from, message.size() - 1 - from));
}

std::size_t line_of(std::string_view text, std::size_t offset) {
  return static_cast<std::size_t>(
             std::count(text.begin(), text.begin() + static_cast<std::ptrdiff_t>(offset), '\n')) +
         1;
}

// --- hints for syntax errors -------------------------------------------------

std::optional<Hint> hash_comment(std::string_view text, const SourceScan&, std::size_t at) {
  if (at >= text.size() || text[at] != '#') return std::nullopt;
  return Hint{"comments begin with `//`; `#` does not start one",
              "`#` is not a comment",
              at,
              at + 1,
              {{{at, at + 1}, "//"}}};
}

constexpr std::array<std::string_view, 6> kCurlyQuotes = {"\u201C", "\u201D", "\u201E",
                                                          "\u2033", "\u00AB", "\u00BB"};

std::optional<Hint> curly_quotes(std::string_view text, const SourceScan& scan, std::size_t at) {
  auto quote_at = [&](std::size_t i) -> std::size_t {
    for (std::string_view q : kCurlyQuotes) {
      if (text.substr(i).starts_with(q)) return q.size();
    }
    return 0;
  };
  if (at >= text.size() || quote_at(at) == 0) return std::nullopt;
  Hint hint{"strings are written between straight double quotes `\"`",
            "a typographic quote",
            at,
            at + quote_at(at),
            {}};
  // Every typographic double quote in code on the statement's lines.
  const std::size_t end = scan.statement_end(at);
  for (std::size_t i = scan.statement_start(at); i < end; ++i) {
    if (!scan.is_code(i)) continue;
    if (const std::size_t n = quote_at(i)) {
      hint.edits.push_back({{i, i + n}, "\""});
      i += n - 1;
    }
  }
  return hint;
}

constexpr std::array<std::string_view, 3> kKeywords = {"SELECT", "LIMIT", "FROM"};

std::optional<Hint> keyword_case(std::string_view text, const SourceScan& scan, std::size_t at) {
  auto keyword_at = [&](std::size_t i, std::size_t& n) {
    if (i > 0 && is_word(text[i - 1])) return false;
    n = 0;
    while (i + n < text.size() && is_word(text[i + n])) ++n;
    const std::string word = upper(text.substr(i, n));
    return std::find(kKeywords.begin(), kKeywords.end(), word) != kKeywords.end() &&
           word != text.substr(i, n);
  };
  std::size_t n = 0;
  if (at >= text.size() || !keyword_at(at, n)) return std::nullopt;
  const std::string word = upper(text.substr(at, n));
  Hint hint{
      "keywords are written in capitals: `" + word + "`", "write `" + word + "`", at, at + n, {}};
  const std::size_t end = scan.statement_end(at);
  for (std::size_t i = scan.statement_start(at); i < end; ++i) {
    std::size_t m = 0;
    if (scan.is_code(i) && keyword_at(i, m)) {
      hint.edits.push_back({{i, i + m}, upper(text.substr(i, m))});
      i += m;
    }
  }
  return hint;
}

Hint semicolon_after(std::string_view text, std::size_t after) {
  std::string shown(1, text[after - 1]);
  return Hint{"each statement ends with `;` \u2014 add one after `" + shown + "` on line " +
                  std::to_string(line_of(text, after)),
              "`;` missing here",
              after,
              after,
              {{{after, after}, ";"}}};
}

// A ";" at the end of the error's line or of a later line of its statement:
// the grammar often fails well before the place a ";" went missing.
void missing_semicolon(std::string_view text, const SourceScan& scan, std::size_t at,
                       std::vector<std::optional<Hint>>& out) {
  const std::size_t end = scan.statement_end(at);
  for (std::size_t lf = text.find('\n', at); lf != std::string_view::npos && lf < end;
       lf = text.find('\n', lf + 1)) {
    const std::size_t after = scan.end_of_previous_token(lf, 0);
    if (after != 0 && text[after - 1] != ';') out.push_back(semicolon_after(text, after));
  }
}

bool is_requirement(std::string_view text, std::size_t start, std::size_t end) {
  std::string_view statement = text.substr(start, end - start);
  const std::size_t first = statement.find_first_not_of(" \t\r\n");
  if (first == std::string_view::npos) return false;
  statement.remove_prefix(first);
  return statement.starts_with("SELECT") || statement.starts_with("LIMIT");
}

std::optional<Hint> missing_description(std::string_view text, const SourceScan& scan,
                                        std::size_t at) {
  const std::size_t start = scan.statement_start(at);
  const std::size_t end = scan.statement_end(at);
  if (!is_requirement(text, start, end) || end == 0 || text[end - 1] != ';') return std::nullopt;
  for (std::size_t i = start; i < end; ++i) {
    if (scan.is_code(i) && text[i] == ':') return std::nullopt;
  }
  const std::size_t after = scan.end_of_previous_token(end - 1, start);
  return Hint{"every requirement needs a description: add `: \"...\"` before `;`",
              "the description goes here",
              after,
              after,
              {{{after, after}, " : \"Description\""}}};
}

// ": "text"" (and a priority after it) inside brackets: descriptions belong
// to the top-level requirement only.
std::optional<Hint> nested_description(std::string_view text, const SourceScan& scan,
                                       std::size_t at) {
  const std::size_t start = scan.statement_start(at);
  const std::size_t end = scan.statement_end(at);
  int depth = 0;
  for (std::size_t i = start; i < end; ++i) {
    if (!scan.is_code(i)) continue;
    if (text[i] == '[' || text[i] == '(') ++depth;
    if (text[i] == ']' || text[i] == ')') --depth;
    if (text[i] != ':' || depth <= 0) continue;
    // The colon, the string after it, and a ": priority" after that.
    std::size_t j = i + 1;
    auto skip_space = [&] {
      while (j < end && (text[j] == ' ' || text[j] == '\t' || text[j] == '\n' || text[j] == '\r'))
        ++j;
    };
    skip_space();
    while (j < end && (scan.kind(j) == ByteKind::String || is_word(text[j]) || text[j] == '$')) ++j;
    std::size_t k = j;
    skip_space();
    if (j < end && text[j] == ':') {
      ++j;
      skip_space();
      while (j < end && (is_word(text[j]) || text[j] == '$')) ++j;
      k = j;
    }
    const std::size_t from = scan.end_of_previous_token(i, start);
    return Hint{"only a top-level requirement has a description; remove this one",
                "description of a nested requirement",
                i,
                k,
                {{{from, k}, ""}}};
  }
  return std::nullopt;
}

// --- hints for semantic errors -----------------------------------------------

std::optional<Hint> undefined_variable(std::string_view text, const SourceScan& scan,
                                       const ErrorChain& chain) {
  const auto [start, end] = report_span(chain);
  const std::string_view name = text.substr(start, end - start);
  std::vector<std::string_view> names;
  for (std::size_t i = text.find('$'); i != std::string_view::npos && i < start;
       i = text.find('$', i + 1)) {
    if (!scan.is_code(i)) continue;
    std::size_t j = i + 1;
    while (j < text.size() && is_word(text[j])) ++j;
    const std::string_view candidate = text.substr(i, j - i);
    if (candidate.size() > 1 && candidate != name &&
        std::find(names.begin(), names.end(), candidate) == names.end()) {
      names.push_back(candidate);
    }
  }
  std::string_view best;
  double best_score = 0.8;  // below this a name is too different to suggest
  for (std::string_view candidate : names) {
    const double score = jaro_winkler(name.substr(1), candidate.substr(1));
    if (score > best_score) {
      best_score = score;
      best = candidate;
    }
  }
  if (best.empty()) return std::nullopt;
  return Hint{"did you mean `" + std::string(best) + "`?",
              "not defined",
              start,
              end,
              {{{start, end}, std::string(best)}}};
}

std::optional<Hint> suggestion_fix(const ErrorChain& chain, std::string_view what) {
  const std::optional<std::string> suggestion = suggested(innermost_message(chain));
  if (!suggestion || suggestion->empty()) return std::nullopt;
  const auto [start, end] = report_span(chain);
  return Hint{"did you mean `" + *suggestion + "`?",
              std::string(what),
              start,
              end,
              {{{start, end}, *suggestion}}};
}

// Maps an offset of the fixed text back to the text before the fixes.
std::size_t before_fixes(std::size_t offset, const std::vector<FixIt>& fixes) {
  std::ptrdiff_t shift = 0;
  for (const FixIt& fix : fixes) {
    const std::size_t start = fix.span.start.offset + static_cast<std::size_t>(shift);
    if (offset < start) break;
    const std::size_t removed = fix.span.end.offset - fix.span.start.offset;
    if (offset < start + fix.replacement.size()) return fix.span.start.offset;
    shift +=
        static_cast<std::ptrdiff_t>(fix.replacement.size()) - static_cast<std::ptrdiff_t>(removed);
  }
  return static_cast<std::size_t>(static_cast<std::ptrdiff_t>(offset) - shift);
}

}  // namespace

std::size_t find_too_large_number(std::string_view text, const SourceScan& scan, std::size_t* end) {
  for (std::size_t i = 0; i < text.size(); ++i) {
    if (!scan.is_code(i) || !std::isdigit(static_cast<unsigned char>(text[i]))) continue;
    std::size_t j = i;
    unsigned long value = 0;
    while (j < text.size() && std::isdigit(static_cast<unsigned char>(text[j]))) {
      if (value <= 65535) value = value * 10 + static_cast<unsigned long>(text[j] - '0');
      ++j;
    }
    if (value > 65535) {
      if (end != nullptr) *end = j;
      return i;
    }
    i = j;
  }
  return kParsedWhole;
}

void add_hint(Diagnostic& diagnostic, std::string_view text, const SourceScan& scan,
              const ErrorChain& chain, std::size_t at, const Progress& progress) {
  std::vector<std::optional<Hint>> candidates;
  const std::string& code = diagnostic.code;
  if (code == "E0101") {
    for (auto* hint :
         {hash_comment, curly_quotes, keyword_case, missing_description, nested_description}) {
      candidates.push_back(hint(text, scan, at));
    }
    missing_semicolon(text, scan, at, candidates);
  } else if (code == "E0301") {
    candidates.push_back(undefined_variable(text, scan, chain));
  } else if (code == "E0401") {
    candidates.push_back(suggestion_fix(chain, "not in the catalog"));
  } else if (code == "E0403") {
    candidates.push_back(suggestion_fix(chain, "no such function"));
  } else if (code == "E0204") {
    std::size_t end = at;
    if (at != kParsedWhole && find_too_large_number(text, scan, &end) == at) {
      diagnostic.help = "counts and priorities are whole numbers from 1 to 65535";
      diagnostic.labels.push_back({span_of(text, at, end), "too large"});
      if (!diagnostic.span) diagnostic.span = span_of(text, at, end);
    }
    return;
  }
  for (const std::optional<Hint>& hint : candidates) {
    if (!hint) continue;
    std::vector<FixIt> fixes;
    for (const auto& [span, replacement] : hint->edits) {
      fixes.push_back({span_of(text, span.first, span.second), replacement});
    }
    std::sort(fixes.begin(), fixes.end(), [](const FixIt& a, const FixIt& b) {
      return a.span.start.offset < b.span.start.offset;
    });
    const std::size_t reached = progress(apply_fixes(text, fixes));
    if (reached != kParsedWhole && before_fixes(reached, fixes) <= at) continue;
    diagnostic.help = hint->help;
    diagnostic.labels.push_back({span_of(text, hint->label_start, hint->label_end), hint->label});
    diagnostic.fixes = std::move(fixes);
    return;
  }
}

}  // namespace brix::detail
