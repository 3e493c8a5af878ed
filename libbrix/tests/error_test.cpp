#include "brix/error.hpp"

#include <gtest/gtest.h>

#include <string>

#include "parser/rule_names.hpp"

namespace brix {
namespace {

std::string_view display_name(Rule r) {
  return detail::renamed_rules_impl(r);
}

Error renamed(const Error& e) {
  return e.renamed_rules(display_name);
}

TEST(LineCol, CountsLinesAndCharacters) {
  struct Row {
    std::string text;
    std::size_t offset;
    LineCol expected;
  };
  // CR LF is one break, already taken between its two bytes; a lone CR is an
  // ordinary character.
  const Row rows[] = {
      {"", 0, {1, 1}},        {"abc", 0, {1, 1}},
      {"abc", 3, {1, 4}},     {"a\nb", 1, {1, 2}},
      {"a\nb", 2, {2, 1}},    {"ab\n", 3, {2, 1}},
      {"a\r\nb", 1, {1, 2}},  {"a\r\nb", 2, {2, 1}},
      {"a\r\nb", 3, {2, 1}},  {"a\r\nb", 4, {2, 2}},
      {"a\rb", 2, {1, 3}},    {"\u00e9\u00e9x", 4, {1, 3}},
      {"\u20acx", 3, {1, 2}}, {"\U0001F600\n\U0001F600x", 9, {2, 2}},
  };
  for (const Row& row : rows) {
    EXPECT_EQ(line_col(row.text, row.offset), row.expected) << row.text << " @" << row.offset;
  }
}

TEST(Error, ComposesMessagesFromRuleLists) {
  struct Row {
    ParsingError error;
    std::string plain;
    std::string display = {};  // when the display names give another text
  };
  const Row rows[] = {
      {{{Rule::class_, Rule::string}, {}},
       "expected class or string",
       "expected <CLASS> primitive or <STRING> primitive"},
      {{{Rule::quantity_single}, {}}, "expected quantity_single", "expected quantity (u16)"},
      {{{Rule::quantity, Rule::department_id, Rule::query_argument}, {}},
       "expected quantity, department_id, or query_argument",
       "expected quantity: (single: u16) or (multiple: u16-u16), department id (4-symbols), or "
       "query argument (<CLASS> or <STRING> primitives)"},
      {{{Rule::lpar, Rule::rpar, Rule::semicolon}, {}},
       "expected lpar, rpar, or semicolon",
       "expected (, ), or ;"},
      {{{Rule::variable, Rule::select, Rule::limit}, {}}, "expected variable, select, or limit"},
      {{{Rule::variable, Rule::select, Rule::limit, Rule::from}, {}},
       "expected variable, select, limit, or from"},
      {{{}, {Rule::variable}}, "unexpected variable"},
      {{{Rule::select, Rule::limit}, {Rule::variable}},
       "unexpected variable; expected select or limit"},
      {{{}, {}}, "unknown parsing error"},
  };
  for (const Row& row : rows) {
    const Error e = Error::new_from_pos(row.error, "a\nx", 2);
    EXPECT_EQ(e.message(), row.plain);
    const std::string display = row.display.empty() ? row.plain : row.display;
    EXPECT_EQ(renamed(e), Error::new_from_pos(CustomError{display}, "a\nx", 2)) << display;
  }
  const Error custom = Error::new_from_span(CustomError{"kept"}, "abc", 0, 1);
  EXPECT_EQ(renamed(custom), custom);
}

const ErrorVariant kClassOrString = ParsingError{{Rule::class_, Rule::string}, {}};
const ErrorVariant kCustom = CustomError{"m"};

std::string render(const std::string& text, std::size_t start, std::optional<std::size_t> end,
                   const ErrorVariant& variant = kCustom) {
  const Error e = end ? Error::new_from_span(variant, text, start, *end)
                      : Error::new_from_pos(variant, text, start);
  return renamed(e).to_string();
}

TEST(Error, RendersPositionsAndSpans) {
  struct Row {
    std::string text;
    std::size_t start;
    std::optional<std::size_t> end;  // set for a span
    std::string expected;
  };
  const Row rows[] = {
      // At the very end of a text that ends in a line feed: the empty next line.
      {"abc\n", 4, std::nullopt, " --> 2:1\n  |\n2 | \n  | ^---\n  |\n  = m"},
      // On a line break the line shows its breaks; elsewhere they are dropped.
      {"ab\r\ncd", 2, std::nullopt, " --> 1:3\n  |\n1 | ab␍␊\n  |   ^---\n  |\n  = m"},
      {"ab\r\ncd", 1, std::nullopt, " --> 1:2\n  |\n1 | ab\n  |  ^---\n  |\n  = m"},
      {"1\n2\n3\n4\n5\n6\n7\n8\n9\nx = y;\n", 20, std::nullopt,
       "  --> 10:3\n   |\n10 | x = y;\n   |   ^---\n   |\n   = m"},
      {"\tab\tc", 4, std::nullopt, " --> 1:5\n  |\n1 | \tab\tc\n  | \t  \t^---\n  |\n  = m"},
      {"\u00e9=x", 3, std::nullopt, " --> 1:3\n  |\n1 | é=x\n  |   ^---\n  |\n  = m"},
      {"a\rb", 2, std::nullopt, " --> 1:3\n  |\n1 | ab\n  |   ^---\n  |\n  = m"},
      {"abc def ghi\n", 4, 7, " --> 1:5\n  |\n1 | abc def ghi\n  |     ^-^\n  |\n  = m"},
      {"abc def ghi\n", 4, 5, " --> 1:5\n  |\n1 | abc def ghi\n  |     ^\n  |\n  = m"},
      {"abc def ghi\n", 4, 6, " --> 1:5\n  |\n1 | abc def ghi\n  |     ^^\n  |\n  = m"},
      {"abc def ghi\n", 4, 4, " --> 1:5\n  |\n1 | abc def ghi\n  |     ^\n  |\n  = m"},
      {"", 0, 0, " --> 1:1\n  |\n1 | \n  | ^\n  |\n  = m"},
      {"l1\nl2\nfoo bar\nbaz qux\n", 10, 17,
       " --> 3:5\n  |\n3 | foo bar\n4 | baz qux␊\n  |   ^-^\n  |\n  = m"},
      // Ends right after a line break: the end points at the break's symbol,
      // and the following line, shown as written, leaves an empty row.
      {"abc\ndef\n", 0, 4, " --> 1:1\n  |\n1 | abc␊\n1 | def\n\n  | ^--^\n  |\n  = m"},
      // Starts with a line break.
      {"ab\ncd\n", 2, 4, " --> 1:3\n  |\n1 | ab␊\n2 | cd\n\n  | ^-^\n  |\n  = m"},
      // Neither starts nor ends with a break.
      {"foo\nbar baz\n", 1, 6, " --> 1:2\n  |\n1 | foo\n2 | bar baz␊\n  |  ^\n  |\n  = m"},
      {"x\r\nabc\r\n", 3, 6, " --> 2:1\n  |\n2 | abc\n  | ^-^\n  |\n  = m"},
      // Over three lines, the end column before the start column; a wider gutter.
      {"l1\nl2\nl3\nl4\nl5\nl6\nl7\nl8\nalpha beta\ngamma\ndelta epsilon\n", 30, 46,
       "  --> 9:7\n   |\n 9 | alpha beta\n   | ...\n11 | delta epsilon␊\n   |     ^-^\n   |\n   = "
       "m"},
  };
  for (const Row& row : rows)
    EXPECT_EQ(render(row.text, row.start, row.end), row.expected) << row.text;
}

TEST(Error, ShowsAPathInTheArrowLine) {
  const Error e = renamed(Error::new_from_pos(kClassOrString, "abc def\n", 4));
  EXPECT_TRUE(e.to_string("req.brix").starts_with(" --> req.brix:1:5\n  |\n1 | abc def\n"));
}

TEST(Error, ReportsOnVeryLongLines) {
  std::string text(100'000, 'x');
  text += "\u00e9?";
  const Error e = Error::new_from_pos(kCustom, text, 100'002);
  EXPECT_EQ(e.line_col().start, (LineCol{1, 100'002}));
  const std::string rendered = e.to_string();
  EXPECT_NE(rendered.find("  | " + std::string(100'001, ' ') + "^---\n"), std::string::npos);
}

}  // namespace
}  // namespace brix
