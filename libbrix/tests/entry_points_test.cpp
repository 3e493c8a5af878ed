// The three entry points: what reaches the builder, what is turned away
// before the grammar runs, and how extern values are read on their own.
#include <gtest/gtest.h>

#include <optional>
#include <string>
#include <string_view>
#include <variant>

#include "brix/brix.hpp"
#include "lib/utf8.hpp"
#include "tree_dump.hpp"

namespace brix {
namespace {

TEST(ParseExternValue, BuildsEachKindOfValue) {
  struct Row {
    std::string_view text;
    std::string_view diagnostic;
  };
  const Row rows[] = {
      {"3", "Quantity(Single(3))"},
      {"0-3", "Quantity(Many { from: 0, to: 3 })"},
      {"CSCI 1234L",
       R"txt(Class(Class { department_id: "CSCI", course_number: 1234, lab: true }))txt"},
      {"[CSCI 1234]",
       R"txt(SelectorList([Class(Class { department_id: "CSCI", course_number: 1234, lab: false })]))txt"},
      {"CLASS(CSCI 1234)",
       R"txt(Selector(Class(Class { department_id: "CSCI", course_number: 1234, lab: false })))txt"},
      {R"txt("say ""hi""")txt", R"txt(String("say \"hi\""))txt"},
      // Whitespace and comments may follow the value, as in a file.
      {"[TAG(\"abc\"), DIST(\"xyz\")] \t// the list\r\n",
       R"txt(SelectorList([Tag("abc"), Dist("xyz")]))txt"},
  };
  for (const Row& row : rows) {
    Result<VarValue> value = parse_extern_value(row.text);
    ASSERT_TRUE(value.ok()) << row.text << "\n" << value.error().to_string();
    EXPECT_EQ(diagnostic_text(*value), row.diagnostic) << row.text;
  }
}

TEST(ParseExternValue, ReportsErrorsAgainstItsOwnText) {
  const std::string_view rows[][2] = {
      {"0", "1:1-1:2 cannot assign zero as a quantity"},
      {"[CSCI 1010,\n $x]", "2:2-2:4 undefined variable `$x`"},
      {" 3", "1:1 expected var_value"},
      // Any other text after the value is refused at its first byte, before
      // the value is built.
      {"[PHYS 3100], [ASTR 3000]", "1:12 unexpected text after the extern value"},
      {"0 // zero\n;", "2:1 unexpected text after the extern value"},
      {"12(CSCI 1010", "1:3 unexpected text after the extern value"},
  };
  for (const auto& [text, chain] : rows) {
    Result<VarValue> value = parse_extern_value(text);
    ASSERT_FALSE(value.ok()) << text;
    EXPECT_EQ(testing::chain_summary(value.error()), chain) << text;
  }
}

TEST(Utf8, FindsTheStartOfTheFirstBadSequence) {
  struct Row {
    std::string_view name;
    std::string_view text;
    std::optional<std::size_t> offset;
  };
  const Row rows[] = {
      {"ascii longer than one word", "SELECT 1 FROM CSCI 1010 : \"x\";", std::nullopt},
      {"two, three and four byte forms", "caf\xC3\xA9 \xE2\x82\xAC \xF0\x9F\x98\x80", std::nullopt},
      {"highest code point", "\xF4\x8F\xBF\xBF", std::nullopt},
      {"lone continuation byte", "\x80", 0},
      {"after a clean eight-byte word", "abcdefghij\xC3(", 10},
      {"truncated at the end", "abc\xE2\x82", 3},
      {"overlong two-byte form", "ab\xC0\x80", 2},
      {"overlong three-byte form", "\xE0\x80\xAF", 0},
      {"surrogate", "x\xED\xA0\x80", 1},
      {"past U+10FFFF", "\xF4\x90\x80\x80", 0},
      {"byte never used", "12345678\xFF", 8},
      {"bad third byte", "0123456789ab\xF0\x9F\x98z", 12},
      {"good then bad", "\xC3\xA9\xC3", 2},
  };
  for (const Row& row : rows) {
    EXPECT_EQ(detail::find_invalid_utf8(row.text), row.offset) << row.name;
  }
}

}  // namespace
}  // namespace brix
