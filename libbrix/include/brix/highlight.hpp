// Syntax highlighting of BRIX text, token by token. The kinds are the token
// types of the project's Pygments lexer (python/brix/lexer.py), which turns any
// text into the same stream, so a page highlighted here looks exactly like a
// guide highlighted there.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string_view>
#include <vector>

namespace brix {

// One list of kinds, shared with the Pygments lexer:
//
//   kind         Pygments token type      CSS   text
//   Whitespace   Text.Whitespace          w     spaces, tabs, line breaks
//   Comment      Comment.Single           c1    "//" to the end of the line
//   String       Literal.String.Double    s2    a quoted text, doubled quotes inside
//   Keyword      Keyword                  k     SELECT, LIMIT, FROM
//   Declaration  Keyword.Declaration      kd    extern
//   Variable     Name.Variable            nv    $name
//   Department   Name.Constant            no    a department code before a course number
//   Function     Name.Builtin             nb    the nine selector functions
//   Name         Name                     n     any other word (a misspelt function)
//   Number       Literal.Number.Integer   mi    counts, priorities, course numbers ("1610L")
//   Operator     Operator                 o     the "-" of a count range
//   Punctuation  Punctuation              p     [ ] ( ) , ; : =
//   Error        Error                    err   any other character
enum class TokenKind : std::uint8_t {
  Whitespace,
  Comment,
  String,
  Keyword,
  Declaration,
  Variable,
  Department,
  Function,
  Name,
  Number,
  Operator,
  Punctuation,
  Error,
};

struct HighlightToken {
  TokenKind kind;
  std::size_t start;  // byte offsets into the text
  std::size_t end;
};

// The tokens of `text`, covering it without gaps. A token never spans a line
// break except a Whitespace token. Invalid UTF-8 is tolerated: a bad byte is an
// Error token of its own.
std::vector<HighlightToken> highlight(std::string_view text);

// "Name.Variable", without the leading "Token.".
std::string_view pygments_token_type(TokenKind kind);
// "nv": the class Pygments' HTML formatter gives the kind.
std::string_view css_class(TokenKind kind);

}  // namespace brix
