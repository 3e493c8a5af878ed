// The highlighter mirrors the Pygments lexer's rules one for one: at each
// position the first rule that matches wins, in this order. Each rule is
// written as the regular expression it stands for, so the two can be read side
// by side; the tests hold them to the same token stream.
#include "brix/highlight.hpp"

#include "reader/functions.hpp"

namespace brix {
namespace {

bool is_letter(char c) {
  return (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z');
}
bool is_digit(char c) {
  return c >= '0' && c <= '9';
}
bool is_word(char c) {
  return is_letter(c) || is_digit(c) || c == '_';
}

// Each returns the length matched at `at`, or 0.
using Rule = std::size_t (*)(std::string_view text, std::size_t at);

// [ \t\r\n]+
std::size_t whitespace(std::string_view text, std::size_t at) {
  std::size_t end = at;
  while (end < text.size() &&
         (text[end] == ' ' || text[end] == '\t' || text[end] == '\r' || text[end] == '\n')) {
    ++end;
  }
  return end - at;
}

// //[^\n]*
std::size_t comment(std::string_view text, std::size_t at) {
  if (!text.substr(at).starts_with("//")) return 0;
  const std::size_t end = text.find('\n', at);
  return (end == std::string_view::npos ? text.size() : end) - at;
}

// "(?:""|[^"\r\n])*"  -- when no lone quote closes the text before the end of
// the line, the expression backs off to the last doubled quote and closes
// with its first half.
std::size_t string(std::string_view text, std::size_t at) {
  if (text[at] != '"') return 0;
  std::size_t last_pair = 0;
  std::size_t i = at + 1;
  while (i < text.size()) {
    const char c = text[i];
    if (c == '"') {
      if (i + 1 < text.size() && text[i + 1] == '"') {
        last_pair = i;
        i += 2;
        continue;
      }
      return i + 1 - at;
    }
    if (c == '\r' || c == '\n') break;
    ++i;
  }
  return last_pair != 0 ? last_pair + 1 - at : 0;
}

std::size_t literal(std::string_view text, std::size_t at, std::string_view word) {
  return text.substr(at).starts_with(word) ? word.size() : 0;
}

// SELECT|LIMIT|FROM
std::size_t keyword(std::string_view text, std::size_t at) {
  for (std::string_view word : {"SELECT", "LIMIT", "FROM"}) {
    if (std::size_t n = literal(text, at, word)) return n;
  }
  return 0;
}

// extern
std::size_t declaration(std::string_view text, std::size_t at) {
  return literal(text, at, "extern");
}

// \$[A-Za-z_][A-Za-z0-9_]*
std::size_t variable(std::string_view text, std::size_t at) {
  if (text[at] != '$' || at + 1 >= text.size() || !(is_letter(text[at + 1]) || text[at + 1] == '_'))
    return 0;
  std::size_t end = at + 2;
  while (end < text.size() && is_word(text[end])) ++end;
  return end - at;
}

// [A-Za-z&]+(?= *[0-9]{4})  -- only the whole run can be followed by a
// space or digit, so backing off never finds a shorter match.
std::size_t department(std::string_view text, std::size_t at) {
  std::size_t end = at;
  while (end < text.size() && (is_letter(text[end]) || text[end] == '&')) ++end;
  if (end == at) return 0;
  std::size_t digits = end;
  while (digits < text.size() && text[digits] == ' ') ++digits;
  for (std::size_t i = 0; i < 4; ++i) {
    if (digits + i >= text.size() || !is_digit(text[digits + i])) return 0;
  }
  return end - at;
}

std::size_t word_end(std::string_view text, std::size_t at) {
  std::size_t end = at;
  while (end < text.size() && is_word(text[end])) ++end;
  return end;
}

// (?:CLASS|PLACEMENT|TAG_DEPT|TAG|...|class|...)(?![A-Za-z0-9_]), the names
// of the function table -- the lookahead makes it "the whole word is one of
// the names".
std::size_t function(std::string_view text, std::size_t at) {
  const std::string_view word = text.substr(at, word_end(text, at) - at);
  return detail::function_named(word) != nullptr ? word.size() : 0;
}

// [A-Za-z_][A-Za-z0-9_]*
std::size_t name(std::string_view text, std::size_t at) {
  if (!is_letter(text[at]) && text[at] != '_') return 0;
  return word_end(text, at) - at;
}

// [0-9]{4}L|[0-9]+
std::size_t number(std::string_view text, std::size_t at) {
  std::size_t end = at;
  while (end < text.size() && is_digit(text[end])) ++end;
  if (end - at >= 4 && at + 4 < text.size() && text[at + 4] == 'L') return 5;
  return end - at;
}

// -
std::size_t operator_sign(std::string_view text, std::size_t at) {
  return text[at] == '-' ? 1 : 0;
}

// [\[\](),;:=]
std::size_t punctuation(std::string_view text, std::size_t at) {
  return std::string_view("[](),;:=").find(text[at]) != std::string_view::npos ? 1 : 0;
}

// .  -- one character: a whole UTF-8 sequence, or one bad byte.
std::size_t any_character(std::string_view text, std::size_t at) {
  const auto lead = static_cast<unsigned char>(text[at]);
  std::size_t length = 1;
  if (lead >= 0xF0) {
    length = 4;
  } else if (lead >= 0xE0) {
    length = 3;
  } else if (lead >= 0xC0) {
    length = 2;
  }
  if (at + length > text.size()) return 1;
  for (std::size_t i = 1; i < length; ++i) {
    if ((static_cast<unsigned char>(text[at + i]) & 0xC0) != 0x80) return 1;
  }
  return length;
}

struct KindRule {
  TokenKind kind;
  Rule rule;
};

constexpr KindRule kRules[] = {
    {TokenKind::Whitespace, whitespace},
    {TokenKind::Comment, comment},
    {TokenKind::String, string},
    {TokenKind::Keyword, keyword},
    {TokenKind::Declaration, declaration},
    {TokenKind::Variable, variable},
    {TokenKind::Department, department},
    {TokenKind::Function, function},
    {TokenKind::Name, name},
    {TokenKind::Number, number},
    {TokenKind::Operator, operator_sign},
    {TokenKind::Punctuation, punctuation},
    {TokenKind::Error, any_character},
};

struct KindNames {
  std::string_view pygments;
  std::string_view css;
};

constexpr KindNames kNames[] = {
    {"Text.Whitespace", "w"},
    {"Comment.Single", "c1"},
    {"Literal.String.Double", "s2"},
    {"Keyword", "k"},
    {"Keyword.Declaration", "kd"},
    {"Name.Variable", "nv"},
    {"Name.Constant", "no"},
    {"Name.Builtin", "nb"},
    {"Name", "n"},
    {"Literal.Number.Integer", "mi"},
    {"Operator", "o"},
    {"Punctuation", "p"},
    {"Error", "err"},
};

}  // namespace

std::vector<HighlightToken> highlight(std::string_view text) {
  std::vector<HighlightToken> tokens;
  std::size_t at = 0;
  while (at < text.size()) {
    for (const KindRule& rule : kRules) {
      if (const std::size_t length = rule.rule(text, at)) {
        tokens.push_back({rule.kind, at, at + length});
        at += length;
        break;
      }
    }
  }
  return tokens;
}

std::string_view pygments_token_type(TokenKind kind) {
  return kNames[static_cast<std::size_t>(kind)].pygments;
}

std::string_view css_class(TokenKind kind) {
  return kNames[static_cast<std::size_t>(kind)].css;
}

}  // namespace brix
