// Checks shared by the fuzz targets that the byte comparisons between the
// encoders cannot make: the compact JSON is strict JSON, and error reports
// agree with the input (offsets on character boundaries, line and column,
// the rendered arrow line, valid UTF-8).
#pragma once

#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <optional>
#include <string_view>

#include "brix/brix.hpp"

namespace brix::fuzz {

[[noreturn]] inline void fail(const char* what) {
  std::fprintf(stderr, "fuzz check failed: %s\n", what);
  std::abort();
}
inline void check(bool ok, const char* what) {
  if (!ok) fail(what);
}

inline int hex_digit(char c) {
  if (c >= '0' && c <= '9') return c - '0';
  if (c >= 'a' && c <= 'f') return c - 'a' + 10;
  if (c >= 'A' && c <= 'F') return c - 'A' + 10;
  return -1;
}

// The letters JSON allows after a backslash, besides u.
constexpr std::string_view kJsonEscapeLetters = "\"\\/bfnrt";

// Strict JSON syntax, as a reader of the encoder's output would demand it:
// no trailing commas, no leading zeros, only the escapes JSON knows, and
// \u only for the control bytes the encoder escapes that way.
class JsonSyntax {
 public:
  explicit JsonSyntax(std::string_view s) : s_(s) {}
  bool valid() {
    bool ok = value(0);
    skip_ws();
    return ok && i_ == s_.size();
  }

 private:
  void skip_ws() {
    while (i_ < s_.size() && (s_[i_] == ' ' || s_[i_] == '\n' || s_[i_] == '\t' || s_[i_] == '\r'))
      ++i_;
  }
  bool eat(char c) {
    skip_ws();
    if (i_ < s_.size() && s_[i_] == c) {
      ++i_;
      return true;
    }
    return false;
  }
  bool string() {
    if (!eat('"')) return false;
    while (i_ < s_.size()) {
      char c = s_[i_++];
      if (c == '"') return true;
      if (static_cast<unsigned char>(c) < 0x20) return false;
      if (c != '\\') continue;
      if (i_ >= s_.size()) return false;
      char e = s_[i_++];
      if (kJsonEscapeLetters.find(e) != std::string_view::npos) continue;
      if (e != 'u' || i_ + 4 > s_.size()) return false;
      int v = 0;
      for (int k = 0; k < 4; ++k) {
        int h = hex_digit(s_[i_++]);
        if (h < 0) return false;
        v = v * 16 + h;
      }
      if (v >= 0x20) return false;
    }
    return false;
  }
  bool value(int depth) {
    if (depth > 2000) return false;
    skip_ws();
    if (i_ >= s_.size()) return false;
    char c = s_[i_];
    if (c == '{' || c == '[') {
      ++i_;
      const char close = c == '{' ? '}' : ']';
      if (eat(close)) return true;
      do {
        if (c == '{' && (!string() || !eat(':'))) return false;
        if (!value(depth + 1)) return false;
      } while (eat(','));
      return eat(close);
    }
    if (c == '"') return string();
    if (s_.substr(i_, 4) == "true" || s_.substr(i_, 5) == "false") {
      i_ += c == 't' ? 4 : 5;
      return true;
    }
    if (c < '0' || c > '9') return false;
    if (c == '0' && i_ + 1 < s_.size() && s_[i_ + 1] >= '0' && s_[i_ + 1] <= '9') return false;
    while (i_ < s_.size() && s_[i_] >= '0' && s_[i_] <= '9') ++i_;
    return true;
  }

  std::string_view s_;
  std::size_t i_ = 0;
};

// Documents longer than this are checked only by the byte comparisons: they
// arise from copies of variables, which repeat pieces that shorter documents
// check in full, and scanning megabytes takes seconds under the sanitizers.
inline constexpr std::size_t kLongestScan = std::size_t{1} << 20;

inline void check_json(std::string_view document) {
  if (document.size() > kLongestScan) return;
  check(JsonSyntax(document).valid(), "compact JSON is valid");
}

// Line and column of an offset, counted independently of the library: a line
// feed, or a carriage return with a line feed, ends a line; columns count
// characters.
inline LineCol line_col_of(std::string_view input, std::size_t offset) {
  LineCol at{1, 1};
  std::size_t i = 0;
  while (i < offset) {
    auto c = static_cast<unsigned char>(input[i]);
    if (c == '\n' || (c == '\r' && i + 1 < input.size() && input[i + 1] == '\n')) {
      i += c == '\r' ? 2 : 1;
      ++at.line;
      at.column = 1;
      continue;
    }
    i += c < 0x80 ? 1 : c < 0xE0 ? 2 : c < 0xF0 ? 3 : 4;
    ++at.column;
  }
  return at;
}

inline bool is_boundary(std::string_view input, std::size_t offset) {
  return offset == input.size() ||
         (offset < input.size() && (static_cast<unsigned char>(input[offset]) & 0xC0) != 0x80);
}

inline bool valid_utf8(std::string_view s) {
  std::size_t i = 0;
  while (i < s.size()) {
    auto c = static_cast<unsigned char>(s[i]);
    std::size_t n = c < 0x80 ? 1 : (c >> 5) == 6 ? 2 : (c >> 4) == 14 ? 3 : (c >> 3) == 30 ? 4 : 0;
    if (n == 0 || i + n > s.size()) return false;
    for (std::size_t k = 1; k < n; ++k)
      if ((static_cast<unsigned char>(s[i + k]) & 0xC0) != 0x80) return false;
    i += n;
  }
  return true;
}

// Every property a failure must have: a non-empty chain whose text is valid
// UTF-8 without a trailing line break; a report that located in `input` lies
// on character boundaries inside it, with the line and column that the text
// gives, and renders them on its arrow line. `input` is empty when the report
// may concern another text (an extern value's own text).
inline void check_error(const ErrorChain& error, std::optional<std::string_view> input) {
  check(!error.entries().empty(), "chain has an entry");
  std::string textform = error.to_string();
  check(!textform.empty(), "error text is not empty");
  check(textform.back() != '\n', "error text has no trailing line break");
  check(valid_utf8(textform), "error text is valid UTF-8");
  for (const ErrorChain::Entry& entry : error.entries()) {
    const Error* report = std::get_if<Error>(&entry);
    if (!report) continue;
    check(!std::holds_alternative<ParsingError>(report->variant()),
          "reports leave the library with display names");
    std::string rendered = report->to_string();
    std::size_t spaces = rendered.find_first_not_of(' ');
    check(spaces >= 1 && rendered.compare(spaces, 4, "--> ") == 0, "report starts with the arrow");
    if (!input) continue;
    const InputLocation& where = report->location();
    const LineColLocation& lc = report->line_col();
    check(where.start <= input->size() && is_boundary(*input, where.start),
          "report starts on a character boundary");
    LineCol start = line_col_of(*input, where.start);
    check(lc.start.line == start.line && lc.start.column == start.column,
          "report's line and column");
    if (where.end) {
      check(*where.end >= where.start && *where.end <= input->size() &&
                is_boundary(*input, *where.end),
            "report ends on a character boundary after its start");
    }
    std::string arrow =
        "--> " + std::to_string(start.line) + ":" + std::to_string(start.column) + "\n";
    check(rendered.compare(spaces, arrow.size(), arrow) == 0, "arrow line shows line and column");
  }
}

}  // namespace brix::fuzz
