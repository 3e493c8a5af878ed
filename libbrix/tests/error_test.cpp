#include "brix/error.hpp"

#include <gtest/gtest.h>

#include <string>

namespace brix {
namespace {

std::string_view display_name(Rule r) {
  return renamed_rules_impl(r);
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
  const Row rows[] = {
      {"", 0, {1, 1}},
      {"abc", 0, {1, 1}},
      {"abc", 3, {1, 4}},
      {"a\nb", 1, {1, 2}},
      {"a\nb", 2, {2, 1}},
      {"ab\n", 3, {2, 1}},
      // CR LF is one break; between its two bytes the break is already taken.
      {"a\r\nb", 1, {1, 2}},
      {"a\r\nb", 2, {2, 1}},
      {"a\r\nb", 3, {2, 1}},
      {"a\r\nb", 4, {2, 2}},
      // A lone CR is an ordinary character.
      {"a\rb", 2, {1, 3}},
      {"\u00e9\u00e9x", 4, {1, 3}},
      {"\u20acx", 3, {1, 2}},
      {"\U0001F600\n\U0001F600x", 9, {2, 2}},
  };
  for (const Row& row : rows) {
    EXPECT_EQ(line_col(row.text, row.offset), row.expected) << row.text << " @" << row.offset;
  }
}

TEST(Error, ComposesMessagesFromRuleLists) {
  struct Row {
    ParsingError error;
    std::string plain;
    std::string display;
  };
  const Row rows[] = {
      {{{Rule::class_, Rule::string}, {}},
       "expected class or string",
       "expected <CLASS> primitive or <STRING> primitive"},
      {{{Rule::quantity_single}, {}}, "expected quantity_single", "expected quantity (u16)"},
      {{{Rule::variable, Rule::select, Rule::limit}, {}},
       "expected variable, select, or limit",
       "expected variable, select, or limit"},
      {{{Rule::variable, Rule::select, Rule::limit, Rule::from}, {}},
       "expected variable, select, limit, or from",
       "expected variable, select, limit, or from"},
      {{{}, {Rule::variable}}, "unexpected variable", "unexpected variable"},
      {{{Rule::select, Rule::limit}, {Rule::variable}},
       "unexpected variable; expected select or limit",
       "unexpected variable; expected select or limit"},
      {{{}, {}}, "unknown parsing error", "unknown parsing error"},
  };
  for (const Row& row : rows) {
    const Error e = Error::new_from_pos(row.error, "x", 0);
    EXPECT_EQ(e.message(), row.plain);
    const Error r = renamed(e);
    EXPECT_EQ(r.variant(), ErrorVariant(CustomError{row.display}));
    EXPECT_EQ(r.message(), row.display);
    EXPECT_EQ(r.location(), e.location());
  }
  const Error custom = Error::new_from_span(CustomError{"kept"}, "abc", 0, 1);
  EXPECT_EQ(renamed(custom), custom);
}

struct RenderRow {
  std::string text;
  std::size_t start;
  std::optional<std::size_t> end;  // set for a span
  ErrorVariant variant;
  std::string expected;
};

const ErrorVariant kClassOrString = ParsingError{{Rule::class_, Rule::string}, {}};
const ErrorVariant kCustom = CustomError{"m"};

void expect_renders(const RenderRow& row) {
  const Error e = row.end ? Error::new_from_span(row.variant, row.text, row.start, *row.end)
                          : Error::new_from_pos(row.variant, row.text, row.start);
  EXPECT_EQ(renamed(e).to_string(), row.expected) << row.text;
}

TEST(Error, RendersPositions) {
  const RenderRow rows[] = {
      {"abc def\n", 4, std::nullopt, kClassOrString, R"( --> 1:5
  |
1 | abc def
  |     ^---
  |
  = expected <CLASS> primitive or <STRING> primitive)"},
      {"SELECT 1 FROM (ABCD) : \"d\";\n", 14, std::nullopt, kClassOrString, R"( --> 1:15
  |
1 | SELECT 1 FROM (ABCD) : "d";
  |               ^---
  |
  = expected <CLASS> primitive or <STRING> primitive)"},
      // At the very end of a text that ends in a line feed: the empty next line.
      {"abc\n", 4, std::nullopt, kCustom, " --> 2:1\n  |\n2 | \n  | ^---\n  |\n  = m"},
      // On a line break the line shows its breaks; elsewhere they are dropped.
      {"ab\r\ncd", 2, std::nullopt, kCustom, R"( --> 1:3
  |
1 | ab␍␊
  |   ^---
  |
  = m)"},
      {"ab\r\ncd", 1, std::nullopt, kCustom, R"( --> 1:2
  |
1 | ab
  |  ^---
  |
  = m)"},
      {"1\n2\n3\n4\n5\n6\n7\n8\n9\nx = y;\n", 20, std::nullopt, kCustom, R"(  --> 10:3
   |
10 | x = y;
   |   ^---
   |
   = m)"},
      {"\tab\tc", 4, std::nullopt, kCustom,
       " --> 1:5\n  |\n1 | \tab\tc\n  | \t  \t^---\n  |\n  = m"},
      {"\u00e9=x", 3, std::nullopt, kCustom, R"( --> 1:3
  |
1 | é=x
  |   ^---
  |
  = m)"},
      {"a\rb", 2, std::nullopt, kCustom, R"( --> 1:3
  |
1 | ab
  |   ^---
  |
  = m)"},
  };
  for (const RenderRow& row : rows) expect_renders(row);
}

TEST(Error, RendersSpans) {
  const std::string nine_lines =
      "l1\nl2\nl3\nl4\nl5\nl6\nl7\nl8\nalpha beta\ngamma\ndelta epsilon\n";
  const RenderRow rows[] = {
      {"abc def ghi\n", 4, 7, kCustom, R"( --> 1:5
  |
1 | abc def ghi
  |     ^-^
  |
  = m)"},
      {"abc def ghi\n", 4, 5, kCustom, " --> 1:5\n  |\n1 | abc def ghi\n  |     ^\n  |\n  = m"},
      {"abc def ghi\n", 4, 6, kCustom, " --> 1:5\n  |\n1 | abc def ghi\n  |     ^^\n  |\n  = m"},
      {"abc def ghi\n", 4, 9, kCustom, " --> 1:5\n  |\n1 | abc def ghi\n  |     ^---^\n  |\n  = m"},
      {"abc def ghi\n", 4, 4, kCustom, " --> 1:5\n  |\n1 | abc def ghi\n  |     ^\n  |\n  = m"},
      {nine_lines, 30, 46, CustomError{"the custom message"}, R"(  --> 9:7
   |
 9 | alpha beta
   | ...
11 | delta epsilon␊
   |     ^-^
   |
   = the custom message)"},
      {"l1\nl2\nfoo bar\nbaz qux\n", 10, 17, kCustom, R"( --> 3:5
  |
3 | foo bar
4 | baz qux␊
  |   ^-^
  |
  = m)"},
      // Ends right after a line break: the end points at the break's symbol,
      // and the following line, shown as written, leaves an empty row.
      {"abc\ndef\n", 0, 4, kCustom, R"( --> 1:1
  |
1 | abc␊
1 | def

  | ^--^
  |
  = m)"},
      // Starts with a line break.
      {"ab\ncd\n", 2, 4, kCustom, R"( --> 1:3
  |
1 | ab␊
2 | cd

  | ^-^
  |
  = m)"},
      // Neither starts nor ends with a break.
      {"foo\nbar baz\n", 1, 6, kCustom, R"( --> 1:2
  |
1 | foo
2 | bar baz␊
  |  ^
  |
  = m)"},
      {"x\r\nabc\r\n", 3, 6, kCustom, R"( --> 2:1
  |
2 | abc
  | ^-^
  |
  = m)"},
  };
  for (const RenderRow& row : rows) expect_renders(row);
}

TEST(Error, RecordsLocationsAndLines) {
  const Error span = Error::new_from_span(kCustom, "abc\ndef\n", 0, 4);
  EXPECT_EQ(span.location(), (InputLocation{0, 4}));
  EXPECT_EQ(span.line_col(), (LineColLocation{{1, 1}, LineCol{1, 5}}));
  EXPECT_EQ(span.line(), "abc\u240A");
  EXPECT_EQ(span.continued_line(), std::optional<std::string>("def\n"));

  const std::string nine_lines =
      "l1\nl2\nl3\nl4\nl5\nl6\nl7\nl8\nalpha beta\ngamma\ndelta epsilon\n";
  const Error wide = Error::new_from_span(kCustom, nine_lines, 30, 46);
  EXPECT_EQ(wide.line_col(), (LineColLocation{{9, 7}, LineCol{11, 6}}));

  const Error pos = Error::new_from_pos(kCustom, "ab\ncd", 4);
  EXPECT_EQ(pos.location(), (InputLocation{4, std::nullopt}));
  EXPECT_EQ(pos.line_col(), (LineColLocation{{2, 2}, std::nullopt}));
  EXPECT_EQ(pos.line(), "cd");
  EXPECT_FALSE(pos.continued_line().has_value());

  const Error empty = Error::new_from_span(kCustom, "", 0, 0);
  EXPECT_EQ(empty.line(), "");
  EXPECT_EQ(empty.to_string(), " --> 1:1\n  |\n1 | \n  | ^\n  |\n  = m");
}

TEST(Error, ShowsAPathInTheArrowLine) {
  const Error e = renamed(Error::new_from_pos(kClassOrString, "abc def\n", 4));
  EXPECT_EQ(e.to_string("req.brix"), R"( --> req.brix:1:5
  |
1 | abc def
  |     ^---
  |
  = expected <CLASS> primitive or <STRING> primitive)");
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
