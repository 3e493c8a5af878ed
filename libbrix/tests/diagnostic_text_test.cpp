#include <gtest/gtest.h>

#include <string>
#include <string_view>

#include "brix/brix.hpp"
#include "model/unicode_properties.hpp"
#include "model_examples.hpp"

namespace brix {
namespace {

using examples::nested;

TEST(DiagnosticText, Values) {
  struct Row {
    VarValue value;
    std::string_view expected;
  };
  // The value kinds a text parses to are shown by the extern value tests.
  const Row rows[] = {
      {VarValue{VarValue::SelectorList{}}, "SelectorList([])"},
      {VarValue{nested(BRIXQuery{Quantity{Quantity::Single{2}}, QueryType::Limit, {}})},
       "Selector(Query(BRIXQuery { quantity: Single(2), type: Limit, selector: [] }))"},
      {VarValue{VarValue::SelectorList{examples::every_selector()}},
       R"(SelectorList([)"
       R"(Class(Class { department_id: "CSCI", course_number: 0, lab: false }), )"
       R"(Placement("calc"), )"
       R"(Tag("wr"), )"
       R"(TagCode { tag: "wr", code: "CSCI" }, )"
       R"(Dist("SS"), )"
       R"(DistCode { dist: "SS", code: "ECON" }, )"
       R"(Range { from: Class { department_id: "MATH", course_number: 100, lab: false }, )"
       R"(to: Class { department_id: "MATH", course_number: 199, lab: false } }, )"
       R"(RangeDist { from: Class { department_id: "BIOL", course_number: 0, lab: false }, )"
       R"(to: Class { department_id: "BIOL", course_number: 9999, lab: true }, dist: "NS" }, )"
       R"(RangeTag { from: Class { department_id: "PHYS", course_number: 1, lab: false }, )"
       R"(to: Class { department_id: "PHYS", course_number: 2, lab: false }, tag: "lab" }, )"
       R"(Query(BRIXQuery { quantity: Many { from: 1, to: 3 }, type: Select, selector: [Tag("x")] }))"
       R"(]))"},
  };
  for (const Row& row : rows) EXPECT_EQ(diagnostic_text(row.value), row.expected);
}

TEST(DiagnosticText, EmptyParseResult) {
  EXPECT_EQ(
      diagnostic_text(ParseResult{}),
      R"(ParseResult { parsed_brix_file: BRIXQueryFile { version: "0.1.12", requirements: [] } })");
}

TEST(DiagnosticText, TextEscapes) {
  struct Row {
    std::string text;
    std::string_view expected;
  };
  const Row rows[] = {
      {"a\tb\rc\nd", R"("a\tb\rc\nd")"},
      {std::string("nul\0!", 5), R"("nul\0!")"},
      {R"(q"b\)", R"("q\"b\\")"},
      {"it's", R"("it's")"},
      {"\x01\x1b\x1f\x7f", R"("\u{1}\u{1b}\u{1f}\u{7f}")"},
      {"\b\f", R"("\u{8}\u{c}")"},
      // Ordinary letters and symbols of any script stay as they are.
      {"caf\xC3\xA9 \xE4\xB8\xAD \xF0\x9F\x98\x80",
       "\"caf\xC3\xA9 \xE4\xB8\xAD \xF0\x9F\x98\x80\""},
      // A combining accent extends the grapheme before it.
      {"e\xCC\x81", R"("e\u{301}")"},
      // Format characters: zero-width space, zero-width joiner, BOM, soft hyphen.
      {"\xE2\x80\x8B\xE2\x80\x8D\xEF\xBB\xBF\xC2\xAD", R"("\u{200b}\u{200d}\u{feff}\u{ad}")"},
      // Separators other than the space: no-break space, ideographic space,
      // line and paragraph separators.
      {"\xC2\xA0\xE3\x80\x80\xE2\x80\xA8\xE2\x80\xA9", R"("\u{a0}\u{3000}\u{2028}\u{2029}")"},
      // Unassigned, private use, the last code point, a C1 control.
      {"\xCD\xB8\xEE\x80\x80\xF4\x8F\xBF\xBF\xC2\x85", R"("\u{378}\u{e000}\u{10ffff}\u{85}")"},
      // Grapheme-extending although printable (a letter modifier); a spacing
      // mark that does not extend stays.
      {"\xEF\xBE\x9E", R"("\u{ff9e}")"},
      {"\xE0\xA4\x83", "\"\xE0\xA4\x83\""},
      // Malformed UTF-8 shows as the replacement character.
      {"a\xFF"
       "b",
       "\"a\xEF\xBF\xBD"
       "b\""},
      {"", R"("")"},
  };
  for (const Row& row : rows) {
    EXPECT_EQ(diagnostic_text(VarValue{VarValue::String{row.text}}),
              "String(" + std::string(row.expected) + ")");
  }
}

TEST(UnicodeProperties, RangeEdges) {
  struct Row {
    char32_t c;
    bool printable;
    bool extend;
  };
  const Row rows[] = {
      {0x1F, false, false},     {0x20, true, false},      {0x7E, true, false},
      {0x7F, false, false},     {0xA0, false, false},     {0xA1, true, false},
      {0x2FF, true, false},     {0x300, true, true},      {0x36F, true, true},
      {0x370, true, false},     {0x377, true, false},     {0x378, false, false},
      {0xD800, false, false},   {0xFFFD, true, false},    {0xE0020, false, true},
      {0x10FFFF, false, false}, {0x110000, false, false},
  };
  for (const Row& row : rows) {
    EXPECT_EQ(detail::is_printable(row.c), row.printable)
        << std::hex << static_cast<unsigned>(row.c);
    EXPECT_EQ(detail::is_grapheme_extend(row.c), row.extend)
        << std::hex << static_cast<unsigned>(row.c);
  }
}

}  // namespace
}  // namespace brix
