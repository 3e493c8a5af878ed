// parse_to_json against the model path (parse_with_externals, then
// write_json): for every text, the same bytes appended after what `out`
// held, or the same error with `out` untouched. The one-pass converter must
// finish the valid files it is meant for on its own; where it stops, the full
// parser takes over from the last statement it finished, and must land on the
// model path's answer, whether that is an error (located exactly) or the rest
// of the document.
#include <gtest/gtest.h>

#include <cstddef>
#include <string>
#include <string_view>
#include <utility>

#include "brix/brix.hpp"
#include "direct/direct_json.hpp"
#include "tree_dump.hpp"

namespace brix {
namespace {

using namespace std::string_literals;

// One extern of each kind, and an empty selector list, which only C++ can
// supply (no text parses to one).
const ExternValues& externs() {
  static const ExternValues values = [] {
    ExternValues v;
    v.emplace("$list",
              parse_extern_value(R"([CSCI 3300, TAG("QR"), SELECT 0-1 FROM MATH 1010])").value());
    v.emplace("$sel", parse_extern_value(R"(RANGE_TAG(CSCI 1000, CSCI 2000, "lab"))").value());
    v.emplace("$count", parse_extern_value("2").value());
    v.emplace("$span", parse_extern_value("0-3").value());
    v.emplace("$text", parse_extern_value(R"("Extern ""text"" \ é")").value());
    v.emplace("$course", parse_extern_value("E&ES 0042L").value());
    v.emplace("$none", VarValue{VarValue::SelectorList{}});
    return v;
  }();
  return values;
}

std::string repeat(std::string_view piece, std::size_t times) {
  std::string out;
  out.reserve(piece.size() * times);
  for (std::size_t i = 0; i < times; ++i) out += piece;
  return out;
}

// A requirement whose query nests `levels` queries inside its own.
std::string nested(std::size_t levels, std::string_view innermost) {
  return "SELECT 1 FROM " + repeat("SELECT 1 FROM ", levels) + std::string(innermost);
}

constexpr std::string_view kPrior = "[prior]";

// parse_to_json, appending to `out` that already holds kPrior, against the
// model path. Returns the model's error summary, or "" when it succeeded.
std::string expect_like_model(std::string_view text, const ExternValues& ext = externs()) {
  Result<ParseResult> model = parse_with_externals(text, ext);
  std::string out(kPrior);
  Result<std::size_t> direct = parse_to_json(text, ext, out);
  EXPECT_EQ(direct.ok(), model.ok()) << text;
  if (model.ok()) {
    std::string expected(kPrior);
    write_json(model->parsed_brix_file, expected);
    EXPECT_EQ(out, expected) << text;
    if (direct.ok()) {
      EXPECT_EQ(*direct, expected.size() - kPrior.size());
    }
    return "";
  }
  EXPECT_EQ(out, kPrior) << "out must keep its contents on error: " << text;
  if (!direct.ok()) {
    EXPECT_EQ(direct.error().to_string(), model.error().to_string()) << text;
    EXPECT_TRUE(direct.error() == model.error()) << text;
  }
  return testing::chain_summary(model.error());
}

// Whether the converter finishes `text` on its own, and where it stopped.
struct Converted {
  bool finished;
  std::uint32_t resume;
};
Converted convert(std::string_view text, const ExternValues& ext = externs()) {
  detail::DirectConverter converter(text, ext);
  std::string out;
  const bool finished = converter.run(out);
  return {finished, converter.stop().resume};
}

// Valid files made of everything the converter handles itself: it must
// finish them, and write exactly the model path's JSON.
TEST(DirectJson, ConverterFinishesValidFilesWithTheModelsJson) {
  const std::string_view rows[] = {
      "",
      "  // only a comment, ünïcode ✓\n\n",
      "SELECT 1 FROM CSCI 1010 : \"d\"; // last line without a line break é",
      // Externs of every kind, an empty list spliced among other selectors.
      "extern $list; extern $sel; extern $count; extern $span; extern $text; extern $course;\n"
      "extern $none;\nSELECT $count FROM [$list, $sel, $course, $none] : $text : $count;\n"
      "SELECT 1 FROM [SELECT $span FROM $list, $none] : \"nested span\";",
      "extern $none;\nSELECT 1 FROM $none : \"only empty\";\n"
      "SELECT 1 FROM [$none, CSCI 1010, $none, MATH 1010, $none] : \"commas\";\n"
      "$e = [$none]; $f = [$e, CSCI 2000, $e]; SELECT 1 FROM [$e, $f, $e] : \"via vars\";",
      "extern $course; extern $text;\n"
      "SELECT 1 FROM [CLASS($course), RANGE_DIST($course, CSCI 2000, $text), TAG($text)] : "
      "\"extern args\";",
      "extern $list; extern $list; $list = [CSCI 1010]; SELECT 1 FROM $list : \"rebound\";",
      "extern$count;$c2=CSCI1010;SELECT$count FROM$c2:\"x\":$count;",
      // Assignments of every value kind, each used.
      "$l = [CSCI 1010, MATH 2010L]; $s = TAG(\"QR\"); $n = 3; $r = 0-2; $t = \"text\";\n"
      "$c = C&EE 0042; $p = 0-0; $q = 00007; $m = 1-1;\n"
      "SELECT $n FROM [$l, $s, $c, SELECT $r FROM $l, SELECT $m FROM [$c, SELECT $p FROM $s]] : $t "
      ": $q;",
      // Reuse and rebinding: each statement sees the binding before it.
      "$a = [CSCI 1010];\nSELECT 1 FROM $a : \"first\";\n$a = [MATH 1010, $a];\n"
      "SELECT 1 FROM $a : \"second\";",
      "$a = [CSCI 1010]; $a = [$a, $a, MATH 2020]; $a = [$a, SELECT 1 FROM $a];\n"
      "SELECT 2 FROM [$a, $a] : \"doubled\";",
      "$_ = CSCI 1010; $a_1B = [$_]; SELECT 1 FROM $a_1B : \"names\";",
      // Nested queries, ranges from zero inside, LIMIT at the top.
      "SELECT 1 FROM [SELECT 0-2 FROM [SELECT 1-1 FROM CSCI 1010, SELECT 0-0 FROM ART 1000], "
      "MATH 1010] : \"nested\";",
      "LIMIT 1-2 FROM [CSCI 1010, CSCI 1020] : \"limit\" : 0;\nLIMIT 65535 FROM CSCI 1010 : \"\";",
      "SELECT 0001-0002 FROM CSCI 1010 : \"zeros\" : 00007;\n"
      "SELECT 000000000001 FROM CSCI 1010 : \"many zeros\" : 065535;",
      // The nine functions in both spellings, with literals.
      "SELECT 1 FROM [CLASS(CSCI 1010), PLACEMENT(\"p\"), TAG(\"t\"), TAG_DEPT(\"t\", \"c\"), "
      "DIST(\"d\"), DIST_DEPT(\"d\", \"c\"), RANGE(CSCI 2000, CSCI 1000), "
      "RANGE_DIST(CSCI 1000, MATH 2000L, \"d\"), RANGE_TAG(ART 1000, ART 1999, \"t\")] : "
      "\"upper\";",
      "SELECT 1 FROM [class(CSCI 1010), placement(\"p\"), tag(\"t\"), tag_dept(\"t\", \"c\"), "
      "dist(\"d\"), dist_dept(\"d\", \"c\"), range(CSCI 2000, CSCI 1000), "
      "range_dist(CSCI 1000, MATH 2000L, \"d\"), range_tag(ART 1000, ART 1999, \"t\")] : "
      "\"lower\";",
      // The nine functions with variables as arguments, and as values.
      "$c = CSCI 1010; $d = MATH 2000L; $t = \"T\"\"q\"; $u = \"\";\n"
      "SELECT 1 FROM [CLASS($c), PLACEMENT($t), TAG($t), TAG_DEPT($t, $u), DIST($t), "
      "DIST_DEPT($u, $t), RANGE($c, $d), RANGE_DIST($c, $d, $t), RANGE_TAG($d, $c, $u)] : $t;",
      "$s = range_dist(CSCI 1000, CSCI 2000, \"x\"); $k = CLASS(ART 1000);\n"
      "$g = tag_dept ( \"a\" , \"b\" ); SELECT 1 FROM [$s, $k, $g] : \"function values\";",
      // Descriptions and texts: doubled quotes, control characters,
      // backslashes, non-ASCII.
      "SELECT 1 FROM CSCI 1010 : \"a\"\"b\"; SELECT 1 FROM CSCI 1010 : \"\"\"\";\n"
      "SELECT 1 FROM CSCI 1010 : \"\"; SELECT 1 FROM CSCI 1010 : \"a\\b\\\\ \\u0041\";",
      "SELECT 1 FROM TAG(\"\t\x01\x08\x0c\x1f\x7f\") : \"tab\there \x1b[0m\";",
      "SELECT 1 FROM TAG(\"Électives — 日本 😀\") : \"Naïve \"\"théorie\"\" // not a comment; "
      "still text\";",
      "$t = \"\x01\\\"\"é\"; $l = [TAG($t), DIST_DEPT($t, $t)]; SELECT 1 FROM $l : $t;",
      // Layout wherever it may stand, and where none is needed.
      "SELECT\t1\nFROM//c é\n[ CSCI 1010 ,\r\nTAG ( \"x\" ) // ü\n , CSCI    1010L] : // c\n "
      "\"d\" : 2 ;\r\n",
      "$a\n=\n[CSCI   1010]\n;\n$b = TAG // between name and parenthesis\n (\"x\");\n"
      "SELECT 1 FROM [ $a , $b ] : \"layout\" ;",
      "SELECT1FROM[CSCI1010,ART1000L,E&ES0000]:\"tight\":1;$x2=[CSCI1010];$x=2;"
      "SELECT$x FROM$x2:\"y\";",
      "// header\r\n$a = 1-2;\r\n// between\r\nSELECT $a FROM CSCI 1010 : \"crlf\";\r\n// end",
  };
  // A finished converter's output is parse_to_json's, which must be the model's.
  for (std::string_view text : rows) {
    EXPECT_TRUE(convert(text).finished) << text;
    EXPECT_EQ(expect_like_model(text), "") << text;
  }
}

// Texts where the converter stops, all of them errors. `takes_over` says
// whether the full parser goes on from a statement the converter finished
// rather than starting over. The errors' texts belong to the builder and the
// grammar, whose tests pin them; here the model path is the oracle.
TEST(DirectJson, TakeoverGivesTheModelsAnswer) {
  struct Row {
    std::string_view text;
    bool takes_over;
  };
  const Row rows[] = {
      // Syntax errors in the first, a middle and the last statement.
      {"SELECT 1 FROM CSCI 1010;", false},
      {"$a = [CSCI 1010];\nSELECT 1 FROM $a : \"x\";\nSELECT 1 FROM [CSCI 1010,] : \"y\";\n$b = 2;",
       true},
      {"$a = [CSCI 1010];\nSELECT 1 FROM $a : \"x\";\nSELECT 1 FROM $a : \"z\"", true},
      {"$a = 1; x", true},
      {"$a = 1;\n  extern $b;", true},
      {"$a = 1;\nselect 1 FROM CSCI 1010 : \"x\";", true},
      {"$a = 1; SELECT 1 FROM CSCI 1010 : \"x\n\";", true},
      // Semantic errors in the first, a middle and the last statement.
      {"SELECT 0 FROM CSCI 1010 : \"x\";\n$a = 1;", false},
      {"$a = 1;\nSELECT 1 FROM [CSCI 1010, QQQZ 1010] : \"x\";\n$b = 2;", true},
      {"$a = 1;\n$b = 2;\nSELECT 1 FROM $c : \"x\";", true},
      // A syntax error later in the file wins over a semantic one.
      {"$a = 1;\nSELECT 0 FROM CSCI 1010 : \"x\";\nSELECT 1 FROM;", true},
      // Errors that need the variables bound before the stop, as they were.
      {"$a = [CSCI 1010]; $n = 0-2;\nSELECT $n FROM $a : \"x\";", true},
      {"$t = 5; SELECT 1 FROM CSCI 1010 : $t;", true},
      {"$c = CLASS(CSCI 1010);\nSELECT 1 FROM RANGE($c, CSCI 2000) : \"x\";", true},
      {"$c = CSCI 1010;\nSELECT 1 FROM RANGE($c) : \"x\";", true},
      {"$r = 1-3; SELECT 1 FROM CSCI 1010 : \"x\" : $r;", true},
      {"$l = [CSCI 1010]; SELECT 1 FROM TAG($l) : \"x\";", true},
      {"$s = \"t\"; SELECT 1 FROM [CSCI 1010, $s] : \"x\";", true},
      {"extern $span; $x = 1; SELECT $span FROM CSCI 1010 : \"x\";", true},
      {"extern $sel; $x = 1; SELECT 1 FROM CLASS($sel) : \"x\";", true},
      // A nested LIMIT, and numbers past 16 bits.
      {"$a = 1;\nSELECT 1 FROM [CSCI 1010, LIMIT 1 FROM CSCI 1020] : \"x\";", true},
      {"$a = 1; SELECT 65536 FROM CSCI 1010 : \"x\";", true},
      {"$a = 1; SELECT 1 FROM CSCI 1010 : \"x\" : 000065536;", true},
      {"$a = 1; $b = 3-2;", true},
      {"$a = 1; SELECT 1 FROM SELECT 3-2 FROM CSCI 1010 : \"x\";", true},
      {"$a = 1; SELECT 1 FROM Class(CSCI 1010) : \"x\";", true},
      {"$a = 1; SELECT 1 FROM DIST(\"a\", \"b\") : \"x\";", true},
      // Files whose only statements are extern declarations.
      {"extern $list;\nextern $missing;", false},
      {"extern $list;\nextern $1;", false},
      // Invalid UTF-8 before and after the stop, and in the failing statement.
      {"// \xff\n$a = 1; SELECT 0 FROM CSCI 1010 : \"x\";", false},
      {"$a = 1;\n// \xc3\nSELECT 1 FROM CSCI 1010 : \"x\";", true},
      {"$a = 1;\nSELECT 1 FROM CSCI 1010 : \"ok \xe2\x82\";", true},
      {"$a = 1; SELECT 0 FROM CSCI 1010 : \"x\"; // \xf0\x9f\x98", true},
      {"$a = \"é\"; SELECT 1 FROM QQQZ 1010 : $a; \"\x80\"", true},
  };
  for (const Row& row : rows) {
    const Converted run = convert(row.text);
    EXPECT_FALSE(run.finished) << row.text;
    EXPECT_EQ(run.resume != 0, row.takes_over) << row.text;
    EXPECT_NE(expect_like_model(row.text), "") << row.text;
  }
}

// Nesting deeper than the converter goes (but within the grammar's bound) is
// valid: the full parser takes over, with every variable of every kind as
// the converter left it, and the document must come out whole.
TEST(DirectJson, DeepNestingIsTakenOverAndTheDocumentStaysWhole) {
  const std::string before =
      "extern $list; extern $text; extern $course; extern $none;\n"
      "$t = \"a\"\"b\\c\x01é\"; $c = E&ES 0042L; $q = 2-3; $n = 1; $p = 7;\n"
      "$l = [CSCI 1010, TAG($t), DIST_DEPT(\"d\", $t), RANGE_TAG($c, CSCI 2000, $t), "
      "SELECT 0-1 FROM [$c, $list], $none];\n"
      "$s = range_dist($course, $c, $text); $g = CLASS($c);\n"
      "SELECT $n FROM $l : \"before\";\n";
  const std::string after =
      "SELECT $q FROM [$l, $s, $c, $g, $list, $none, TAG($t), CLASS($course)] : $t : $p;\n"
      "SELECT $n FROM $l : $text;\n$l = [$l, $l]; SELECT $n FROM $l : \"rebound after\";\n";
  for (std::size_t levels :
       {std::size_t{126}, std::size_t{127}, std::size_t{128}, std::size_t{200}, std::size_t{250}}) {
    const std::string text = before + nested(levels, "[$l, $c]") + " : \"deep\";\n" + after;
    const Converted run = convert(text);
    const std::string summary = expect_like_model(text);
    if (levels < 127) {
      EXPECT_TRUE(run.finished) << levels;
    } else {
      EXPECT_FALSE(run.finished) << levels;
      EXPECT_EQ(run.resume, before.size() - 1) << levels;
    }
    EXPECT_EQ(summary, "") << levels;
  }
  // Two deep requirements in a row, the first of the file: the takeover then
  // starts over, and the second one's comma must still be right.
  const std::string two = nested(200, "CSCI 1010") + " : \"a\";\n" + nested(200, "ART 1000") +
                          " : \"b\";\nSELECT 1 FROM MATH 1010 : \"c\";";
  EXPECT_EQ(convert(two).resume, 0u);
  EXPECT_EQ(expect_like_model(two), "");
  // A deep value assigned after the stop, then used.
  const std::string deep_value = "$a = 1;\n$d = [" + nested(150, "CSCI 1010") +
                                 "];\nSELECT 1 FROM [$d, SELECT 1 FROM $d] : \"d\";";
  EXPECT_EQ(convert(deep_value).resume, 7u);
  EXPECT_EQ(expect_like_model(deep_value), "");
  // Past the grammar's bound the takeover gives its report.
  const std::string too_deep = "$a = 1;\n" + nested(300, "CSCI 1010") + " : \"x\";";
  EXPECT_EQ(expect_like_model(too_deep),
            "2:3585 queries and selector lists nest too deeply (the limit is 256 levels)");
}

// The expansion meter's limits crossed at a later statement: the takeover
// starts from the totals the converter had charged, so the crossing is
// reported where the model path reports it.
TEST(DirectJson, MeterLimitsCrossedAfterTheStopAreTheModelsErrors) {
  struct Row {
    std::string name;
    std::string text;
  };
  const Row rows[] = {
      {"doubling", "$a = [CSCI 1010];\n" + repeat("$a = [$a, $a];\n", 25)},
      // A statement the converter leaves (deep nesting) before the crossing:
      // the totals before it must carry over.
      {"doubling after a takeover", "$a = [CSCI 1010];\n" + repeat("$a = [$a, $a];\n", 10) +
                                        nested(150, "$a") + " : \"x\";\n" +
                                        repeat("$a = [$a, $a];\n", 15)},
      {"text of tags",
       "$a = [TAG(\"" + std::string(1000, 't') + "\")];\n" + repeat("$a = [$a, $a];\n", 20)},
      {"text of descriptions", "$t = \"" + std::string(65536, 'd') + "\";\n" +
                                   repeat("SELECT 1 FROM CSCI 1010 : $t;\n", 1100)},
      {"depth through variables",
       "$a = [CSCI 1010];\n" + repeat("$a = [SELECT 1 FROM $a];\n", 300)},
      {"depth of a variable used deep",
       "$a = [CSCI 1010];\n" + repeat("$a = [SELECT 1 FROM $a];\n", 100) + nested(120, "$a") +
           " : \"x\";\n" + nested(160, "$a") + " : \"y\";"},
  };
  for (const Row& row : rows) {
    const Converted run = convert(row.text);
    EXPECT_FALSE(run.finished) << row.name;
    EXPECT_NE(run.resume, 0u) << row.name;
    EXPECT_NE(expect_like_model(row.text), "") << row.name;
  }
}

// Externs as deep as the meter allows, and one level deeper, supplied from
// C++ (text cannot nest that deep): the deepest is turned away at its
// declaration, the other where a use would nest it past the bound.
TEST(DirectJson, DeepExternsMeetTheMetersBound) {
  Result<VarValue> d255 = parse_extern_value("[" + repeat("SELECT 1 FROM ", 255) + "CSCI 1010]");
  ASSERT_TRUE(d255.ok());
  const auto wrap = [](const VarValue& inner) {
    return VarValue{VarValue::SelectorList{{Selector{Selector::Query{
        Box<BRIXQuery>(BRIXQuery{Quantity{Quantity::Single{1}}, QueryType::Select,
                                 std::get<VarValue::SelectorList>(inner.value).selectors})}}}}};
  };
  const VarValue d256 = wrap(*d255);
  const ExternValues ext{{"$d256", d256}, {"$d257", wrap(d256)}};
  EXPECT_EQ(expect_like_model("extern $d256; SELECT 1 FROM $d256 : \"x\";", ext), "");
  EXPECT_TRUE(convert("extern $d256; SELECT 1 FROM $d256 : \"x\";", ext).finished);
  const std::string_view used_deep =
      "extern $d256; $a = 1; SELECT 1 FROM [SELECT 1 FROM $d256] : \"x\";";
  EXPECT_NE(convert(used_deep, ext).resume, 0u);
  EXPECT_EQ(expect_like_model(used_deep, ext),
            "failed parsing selector | could not parse nested query | failed parsing selector | "
            "1:52-1:57 variable `$d256` nests queries too deeply (the limit is 256 levels)");
  EXPECT_EQ(expect_like_model("extern $d256;\nextern $d257;", ext),
            "2:8-2:13 variable `$d257` nests queries too deeply (the limit is 256 levels)");
}

// What `out` held stays in front of the document, however large, whichever
// path writes it; on error it is left exactly as it was.
TEST(DirectJson, OutKeepsItsContents) {
  const std::string valid = "$a = [CSCI 1010];\nSELECT 1 FROM $a : \"x\";";
  const std::string deep = "$a = 1;\n" + nested(200, "CSCI 1010") + " : \"deep\";";
  for (const std::string& text : {valid, deep}) {
    std::string expected;
    write_json(parse(text)->parsed_brix_file, expected);
    std::string out(100000, 'x');
    out.reserve(out.size() + 10);
    Result<std::size_t> appended = parse_to_json(text, {}, out);
    ASSERT_TRUE(appended.ok());
    EXPECT_EQ(*appended, expected.size());
    EXPECT_EQ(out, std::string(100000, 'x') + expected);
    // Twice into the same buffer: two documents, one after the other.
    ASSERT_TRUE(parse_to_json(text, {}, out).ok());
    EXPECT_EQ(out, std::string(100000, 'x') + expected + expected);
  }
  for (std::string_view text : {"$a = 1; SELECT 0 FROM CSCI 1010 : \"x\";", "SELECT 0",
                                "$a = 1; SELECT 1 FROM [CSCI 1010] : \"x\"; \xff"}) {
    std::string out = "kept";
    EXPECT_FALSE(parse_to_json(text, {}, out).ok());
    EXPECT_EQ(out, "kept");
  }
}

}  // namespace
}  // namespace brix
