#include "brix/error.hpp"

#include <algorithm>
#include <cstdint>
#include <string>

#if defined(__SSE2__)
#include <emmintrin.h>
#endif

namespace brix {
namespace {

constexpr std::string_view kVisibleCr = "\u240D";
constexpr std::string_view kVisibleLf = "\u240A";

bool is_continuation(char c) {
  return (static_cast<unsigned char>(c) & 0xC0) == 0x80;
}

// Characters (not bytes) in a piece of UTF-8 text.
std::size_t count_chars(std::string_view text) {
  return static_cast<std::size_t>(
      std::count_if(text.begin(), text.end(), [](char c) { return !is_continuation(c); }));
}

// One past the last line feed before p; 0 when there is none.
std::size_t line_start(std::string_view text, std::size_t p) {
  if (p == 0) return 0;
  const std::size_t lf = text.rfind('\n', p - 1);
  return lf == std::string_view::npos ? 0 : lf + 1;
}

// One past the first line feed at or after p; the text's length when there is
// none (or p is the last byte).
std::size_t line_end(std::string_view text, std::size_t p) {
  if (text.empty()) return 0;
  const std::size_t lf = text.find('\n', p);
  return lf == std::string_view::npos ? text.size() : lf + 1;
}

// The line that holds p, with its own line break when it has one.
std::string_view line_of(std::string_view text, std::size_t p) {
  const std::size_t start = line_start(text, p);
  return text.substr(start, line_end(text, p) - start);
}

std::string visible_whitespace(std::string_view line) {
  std::string out;
  out.reserve(line.size() + 4);
  for (char c : line) {
    if (c == '\r') {
      out += kVisibleCr;
    } else if (c == '\n') {
      out += kVisibleLf;
    } else {
      out += c;
    }
  }
  return out;
}

std::string clean(std::string_view line) {
  std::string out;
  out.reserve(line.size());
  for (char c : line) {
    if (c != '\r' && c != '\n') out += c;
  }
  return out;
}

bool is_break(char c) {
  return c == '\n' || c == '\r';
}

std::string enumerate(const std::vector<Rule>& rules,
                      const std::function<std::string_view(Rule)>& name) {
  std::string out;
  for (std::size_t i = 0; i < rules.size(); ++i) {
    if (i > 0) {
      if (rules.size() == 2) {
        out += " or ";
      } else if (i + 1 == rules.size()) {
        out += ", or ";
      } else {
        out += ", ";
      }
    }
    out += name(rules[i]);
  }
  return out;
}

std::string compose(const ParsingError& error, const std::function<std::string_view(Rule)>& name) {
  const bool pos = !error.positives.empty();
  const bool neg = !error.negatives.empty();
  if (pos && neg) {
    return "unexpected " + enumerate(error.negatives, name) + "; expected " +
           enumerate(error.positives, name);
  }
  if (neg) return "unexpected " + enumerate(error.negatives, name);
  if (pos) return "expected " + enumerate(error.positives, name);
  return "unknown parsing error";
}

// Spaces (tabs where the line has tabs) under the first `count` characters.
std::string underline_indent(std::string_view line, std::size_t count) {
  std::string out;
  for (std::size_t i = 0; i < line.size() && count > 0; ++i) {
    if (is_continuation(line[i])) continue;
    out += line[i] == '\t' ? '\t' : ' ';
    --count;
  }
  return out;
}

std::string right_aligned(std::size_t number, std::size_t width) {
  std::string digits = std::to_string(number);
  if (digits.size() < width) digits.insert(0, width - digits.size(), ' ');
  return digits;
}

// Line feeds in the first n bytes of text. A report on the last line of a
// large file counts megabytes, so sixteen bytes at a time where SSE2 is
// there (every x86-64).
std::size_t count_line_feeds(const char* text, std::size_t n) {
  std::size_t count = 0;
  std::size_t i = 0;
#if defined(__SSE2__)
  // Each lane counts its matches (a match is -1, subtracted); the lanes are
  // summed before any can pass 255.
  const __m128i lf = _mm_set1_epi8('\n');
  while (n - i >= 16) {
    __m128i lanes = _mm_setzero_si128();
    const std::size_t blocks = std::min<std::size_t>((n - i) / 16, 255);
    for (std::size_t k = 0; k < blocks; ++k, i += 16) {
      const __m128i v = _mm_loadu_si128(reinterpret_cast<const __m128i*>(text + i));
      lanes = _mm_sub_epi8(lanes, _mm_cmpeq_epi8(v, lf));
    }
    const __m128i sums = _mm_sad_epu8(lanes, _mm_setzero_si128());
    count += static_cast<std::size_t>(_mm_cvtsi128_si32(sums)) +
             static_cast<std::size_t>(_mm_extract_epi16(sums, 4));
  }
#endif
  for (; i < n; ++i) count += text[i] == '\n';
  return count;
}

}  // namespace

namespace {

// line_col of offset p (at most the input's size), given the line feeds
// before it.
LineCol line_col_counted(std::string_view input, std::size_t p, std::size_t breaks) {
  // Between the two bytes of a CR LF pair the break has already been taken.
  if (p > 0 && p < input.size() && input[p - 1] == '\r' && input[p] == '\n') {
    return LineCol{breaks + 2, 1};
  }
  const std::size_t start = line_start(input, p);
  return LineCol{breaks + 1, 1 + count_chars(input.substr(start, p - start))};
}

}  // namespace

LineCol line_col(std::string_view input, std::size_t offset) {
  const std::size_t p = std::min(offset, input.size());
  return line_col_counted(input, p, count_line_feeds(input.data(), p));
}

Error Error::new_from_pos(ErrorVariant variant, std::string_view input, std::size_t pos) {
  Error e;
  e.variant_ = std::move(variant);
  e.location_ = InputLocation{pos, std::nullopt};
  const std::string_view line = line_of(input, pos);
  const bool on_break = pos < input.size() && is_break(input[pos]);
  e.line_ = on_break ? visible_whitespace(line) : clean(line);
  e.line_col_ = LineColLocation{brix::line_col(input, pos), std::nullopt};
  return e;
}

Error Error::new_from_span(ErrorVariant variant, std::string_view input, std::size_t start,
                           std::size_t end) {
  Error e;
  e.variant_ = std::move(variant);
  e.location_ = InputLocation{start, end};

  // The text before the start is counted once: for a report near the end of
  // a large file that is megabytes.
  const std::size_t s = std::min(start, input.size());
  const std::size_t en = std::min(end, input.size());
  const std::size_t start_breaks = count_line_feeds(input.data(), s);
  const LineCol start_lc = line_col_counted(input, s, start_breaks);
  const std::size_t end_breaks = en >= s ? start_breaks + count_line_feeds(input.data() + s, en - s)
                                         : count_line_feeds(input.data(), en);
  LineCol end_lc = line_col_counted(input, en, end_breaks);
  if (end_lc.column == 1) {
    // The span ends just after a line break: point at the break's symbol.
    const std::size_t b = std::min(end > 0 ? end - 1 : 0, input.size());
    const std::size_t before_breaks = end_breaks - (b < en && input[b] == '\n' ? 1 : 0);
    const LineCol before = line_col_counted(input, b, before_breaks);
    end_lc = LineCol{before.line, before.column + 1};
  }
  e.line_col_ = LineColLocation{start_lc, end_lc};

  std::string_view first;
  std::string_view last;
  std::size_t count = 0;
  for (std::size_t q = start; q <= end && q != input.size(); q = line_end(input, q)) {
    last = line_of(input, q);
    if (count++ == 0) first = last;
  }

  const bool marked = start != end && (is_break(input[start]) || is_break(input[end - 1]));
  if (marked) {
    e.line_ = visible_whitespace(first);
    if (count > 1) e.continued_line_ = std::string(last);
  } else {
    e.line_ = clean(first);
    if (count > 1) e.continued_line_ = visible_whitespace(last);
  }
  return e;
}

Error Error::renamed_rules(const std::function<std::string_view(Rule)>& name) const {
  Error e = *this;
  if (const auto* parsing = std::get_if<ParsingError>(&variant_)) {
    e.variant_ = CustomError{compose(*parsing, name)};
  }
  return e;
}

std::string Error::message() const {
  if (const auto* custom = std::get_if<CustomError>(&variant_)) return custom->message;
  return compose(std::get<ParsingError>(variant_), rule_name);
}

std::string Error::to_string(std::optional<std::string_view> path) const {
  const LineCol start = line_col_.start;
  const bool span = line_col_.end.has_value();
  const LineCol end = span ? *line_col_.end : start;
  const std::size_t width = std::to_string(std::max(start.line, end.line)).size();
  const std::string gutter(width, ' ');

  std::size_t a = start.column;
  std::string marks;
  if (span) {
    std::size_t b = end.column;
    if (b < a) {
      const std::size_t swapped_a = b - 1;
      b = a + 1;
      a = swapped_a;
    }
    marks = "^";
    if (b - a > 1) {
      marks.append(b - a - 2, '-');
      marks += '^';
    }
  } else {
    marks = "^---";
  }
  const std::string underline = underline_indent(line_, a > 0 ? a - 1 : 0) + marks;

  std::string out;
  out += gutter + "--> ";
  if (path) {
    out += *path;
    out += ':';
  }
  out += std::to_string(start.line) + ":" + std::to_string(start.column) + "\n";
  out += gutter + " |\n";
  if (continued_line_ && span) {
    out += right_aligned(start.line, width) + " | " + line_ + "\n";
    if (end.line >= start.line + 2) out += gutter + " | ...\n";
    out += right_aligned(end.line, width) + " | " + *continued_line_ + "\n";
  } else {
    out += std::to_string(start.line) + " | " + line_ + "\n";
  }
  out += gutter + " | " + underline + "\n";
  out += gutter + " |\n";
  out += gutter + " = " + message();
  return out;
}

}  // namespace brix
