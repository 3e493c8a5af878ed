// The reader's own decisions, seen through both sinks: the compact JSON of
// parse_to_json and the data model of parse_with_externals must give the
// same document or the same error. The rows are the places where the reader
// chooses: which error counts when a file has several, which alternative a
// selector beginning with a keyword is, where the expansion limits and the
// nesting bound stop a file, and where UTF-8 is checked.
#include <gtest/gtest.h>

#include <cstddef>
#include <string>
#include <string_view>
#include <utility>

#include "brix/brix.hpp"
#include "tree_dump.hpp"

namespace brix {
namespace {

std::string repeat(std::string_view piece, std::size_t times) {
  std::string out;
  out.reserve(piece.size() * times);
  for (std::size_t i = 0; i < times; ++i) out += piece;
  return out;
}

constexpr std::string_view kPrior = "[prior]";

// The outcome of both sinks, which must agree: the compact document, or the
// error's summary. `out` keeps what it held before, and nothing more on error.
std::string outcome(std::string_view text, const ExternValues& ext = {}) {
  Result<ParseResult> model = parse_with_externals(text, ext);
  std::string out(kPrior);
  Result<std::size_t> json = parse_to_json(text, ext, out);
  EXPECT_EQ(json.ok(), model.ok()) << text;
  if (!model.ok()) {
    EXPECT_EQ(out, kPrior) << text;
    if (!json.ok()) {
      EXPECT_TRUE(json.error() == model.error()) << text;
    }
    return testing::chain_summary(model.error());
  }
  std::string expected(kPrior);
  write_json(model->parsed_brix_file, expected);
  EXPECT_EQ(out, expected) << text;
  if (json.ok()) {
    EXPECT_EQ(*json, expected.size() - kPrior.size());
  }
  return expected.substr(kPrior.size());
}

struct Row {
  std::string text;
  std::string summary;  // or its beginning
};

void check_rows(const std::vector<Row>& rows, const ExternValues& ext = {}) {
  for (const Row& row : rows) {
    const std::string got = outcome(row.text, ext);
    // Long outcomes are pinned by their beginning.
    EXPECT_EQ(got.substr(0, row.summary.size()), row.summary) << row.text.substr(0, 200);
  }
}

TEST(Reader, TheErrorThatCounts) {
  check_rows({
      // A syntax error anywhere wins over an earlier semantic error.
      {"$a = 1;\nSELECT 0 FROM CSCI 1010 : \"x\";\nSELECT 1 FROM;", "3:14 expected"},
      {"SELECT 0 FROM CSCI 1010 : \"x\"; $a = [", "1:38 expected"},
      // The first semantic error in the file, not a later one.
      {"SELECT 0 FROM CSCI 1010 : \"x\";\n$a = 3-2;",
       "failed parsing quantity | 1:8-1:9 cannot select zero"},
      // Within a requirement: the priority, then the description, then the query.
      {"$r = 1-3; SELECT 0 FROM CSCI 1010 : $d : $r;",
       "1:42-1:44 priority must be a single number, not a range (`$r`)"},
      {"$r = 1; SELECT 0 FROM CSCI 1010 : $d : $r;", "1:35-1:37 undefined variable `$d`"},
      {"SELECT 1 FROM QQQZ 1010 : \"x\" : 65536;",
       "selection could not fit as u16 | number too large to fit in target type"},
      // Within a call: the arguments, then the name.
      {"SELECT 1 FROM FOO(AB 1234) : \"x\";",
       "failed parsing selector | 1:19-1:21 departments must be 3-4 uppercase ASCII character "
       "symbols"},
      {"SELECT 1 FROM FOO($x) : \"x\";",
       "failed parsing selector | 1:19-1:21 undefined variable `$x`"},
      // Within a query: LIMIT, then the count, then the selectors.
      {"SELECT 1 FROM [LIMIT 0 FROM QQQZ 1010] : \"x\";",
       "failed parsing selector | could not parse nested query | 1:16-1:21 LIMIT must be a "
       "top-level query"},
      {"SELECT 65536 FROM QQQZ 1010 : \"x\";",
       "failed parsing quantity | selection could not fit as u16 | number too large to fit in "
       "target type"},
  });
}

TEST(Reader, SelectorsThatBeginWithAKeyword) {
  check_rows({
      {"SELECT 1 FROM SELECTED(CSCI 1010) : \"x\";",
       "failed parsing selector | 1:15-1:23 not a valid query (Did you mean: PLACEMENT)"},
      {"SELECT 1 FROM [LIMIT 1234] : \"x\";",
       "failed parsing selector | 1:16-1:21 departments must be 3-4 uppercase ASCII character "
       "symbols"},
      {"SELECT 1 FROM [SELECT 1234] : \"x\";",
       "failed parsing selector | 1:16-1:22 departments must be 3-4 uppercase ASCII character "
       "symbols"},
      {"SELECT 1 FROM SELECT1FROMX(CSCI 1010) : \"x\";",
       "failed parsing selector | could not parse nested query | failed parsing selector | "
       "1:26-1:27 not a valid query (Did you mean: RANGE_TAG)"},
      {"SELECT 1 FROM SELECT1(CSCI 1010) : \"x\";",
       "failed parsing selector | 1:15-1:22 not a valid query (Did you mean: PLACEMENT)"},
      {"SELECT 1 FROM SELECT 1 FROM CSCI 1010 : \"x\";",
       R"({"version":"0.1.12","requirements":[{"query":{"quantity":{"Single":1},"type":"Select","selector":[{"Query":{"quantity":{"Single":1},"type":"Select","selector":[{"Class":{"department_id":"CSCI","course_number":1010,"lab":false}}]}}]},"description":"x","priority":1}]})"},
      {"$a = LIMIT(\"t\"); SELECT 1 FROM $a : \"x\";",
       "1:6-1:11 not a valid query (Did you mean: DIST)"},
      {"SELECT 1 FROM [SELECT\n\t(CSCI 1010)] : \"x\";",
       "failed parsing selector | 1:16-1:22 not a valid query (Did you mean: PLACEMENT)"},
  });
}

// A function's name in either spelling finds its row; a name that shares
// its length and first letter with one, or differs only in case, does not.
TEST(Reader, FunctionNames) {
  const std::vector<Row> rows = {
      {"CLASS(CSCI 1010)", R"([{"Class":{"department_id":"CSCI")"},
      {"class(CSCI 1010)", R"([{"Class":{"department_id":"CSCI")"},
      {"range(CSCI 1010, CSCI 2000)", R"([{"Range":{"from":{"department_id")"},
      {"RANGE_TAG(CSCI 1010, CSCI 2000, \"t\")", R"([{"RangeTag":{)"},
      {"range_dist(CSCI 1010, CSCI 2000, \"d\")", R"([{"RangeDist":{)"},
      {"tag_dept(\"a\", \"b\")", R"([{"TagCode":{"tag":"a","code":"b"}}])"},
      {"DIST_DEPT(\"a\", \"b\")", R"([{"DistCode":{"dist":"a","code":"b"}}])"},
      {"PLACEMENT(\"p\")", R"([{"Placement":"p"}])"},
      {"dist(\"d\")", R"([{"Dist":"d"}])"},
      {"Tag(\"t\")", "1:15-1:18 not a valid query (Did you mean: TAG)"},
      {"TAX(\"t\")", "1:15-1:18 not a valid query (Did you mean: TAG)"},
      {"CLASP(CSCI 1010)", "1:15-1:20 not a valid query (Did you mean: CLASS)"},
      {"RANGE_TAX(CSCI 1010, CSCI 2000, \"t\")",
       "1:15-1:24 not a valid query (Did you mean: RANGE_TAG)"},
      {"DIST_DEPTS(\"a\", \"b\")", "1:15-1:25 not a valid query (Did you mean: DIST_DEPT)"},
      {"PLACEMENT_PLACEMENT(\"p\")", "1:15-1:34 not a valid query (Did you mean: PLACEMENT)"},
      {"X(\"p\")", "1:15-1:16 not a valid query (Did you mean: "},
  };
  for (const Row& row : rows) {
    const std::string got = outcome("SELECT 1 FROM " + row.text + " : \"x\";");
    EXPECT_NE(got.find(row.summary), std::string::npos) << row.text << "\n" << got;
  }
}

TEST(Reader, InvalidUtf8AnywhereIsTheError) {
  check_rows({
      {"// \xff\n$a = 1; SELECT 0 FROM CSCI 1010 : \"x\";",
       "input is not valid UTF-8: invalid byte at offset 3"},
      {"$a = 1;\nSELECT 1 FROM CSCI 1010 : \"ok \xe2\x82\";",
       "input is not valid UTF-8: invalid byte at offset 38"},
      {"$a = 1; SELECT 0 FROM CSCI 1010 : \"x\"; // \xf0\x9f\x98",
       "input is not valid UTF-8: invalid byte at offset 42"},
      {"$a = \"é\"; SELECT 1 FROM QQQZ 1010 : $a; \"\x80\"",
       "input is not valid UTF-8: invalid byte at offset 42"},
      {"SELECT 1 FROM CSCI 1010 : \"é\"; // ü",
       R"({"version":"0.1.12","requirements":[{"query":{"quantity":{"Single":1},"type":"Select","selector":[{"Class":{"department_id":"CSCI","course_number":1010,"lab":false}}]},"description":"é","priority":1}]})"},
  });
}

// Externs of every kind reach the JSON as the model has them, an empty list
// (which only a caller can supply) adding nothing.
TEST(Reader, ExternsOfEveryKind) {
  ExternValues ext;
  ext.emplace("$list",
              parse_extern_value(R"([CSCI 3300, TAG("QR"), SELECT 0-1 FROM MATH 1010])").value());
  ext.emplace("$sel", parse_extern_value(R"(RANGE_TAG(CSCI 1000, CSCI 2000, "l""ab"))").value());
  ext.emplace("$count", parse_extern_value("2").value());
  ext.emplace("$text", parse_extern_value(R"("Extern ""text"" \ é")").value());
  ext.emplace("$course", parse_extern_value("E&ES 0042L").value());
  ext.emplace("$none", VarValue{VarValue::SelectorList{}});
  ext.emplace(
      "$every",
      parse_extern_value(
          R"([class(CSCI 1010), PLACEMENT("p"), tag("t"), TAG_DEPT("t", "c"), DIST("d"), )"
          R"(dist_dept("d", "c"), RANGE(CSCI 2000, CSCI 1000), )"
          R"(RANGE_DIST(CSCI 1000, MATH 2000L, "d"), range_tag(CSCI 1000, CSCI 1000, "t")])")
          .value());
  check_rows(
      {{"extern $list; extern $sel; extern $count; extern $text; extern $course; "
        "extern $none;\nSELECT $count FROM [$none, $list, $none, $sel, $course, "
        "TAG($text), RANGE($course, $course)] : $text;",
        R"({"version":"0.1.12","requirements":[{"query":{"quantity":{"Single":2},"type":"Select","selector":[{"Class":{"department_)"},
       // Each function's selector told back to the sinks as the call it
       // came from.
       {"extern $every; SELECT 1 FROM $every : \"x\";",
        R"({"version":"0.1.12","requirements":[{"query":{"quantity":{"Single":1},"type":"Select","selector":[{"Class":{"department_id":"CSCI","course_number":1010,"lab":false}},{"Placement":"p"},{"Tag":"t"},{"TagCode":{"tag":"t","code":"c"}},{"Dist":"d"},{"DistCode":{"dist":"d","code":"c"}},{"Range":{"from":{"department_id":"CSCI","course_number":2000,"lab":false},"to":{"department_id":"CSCI","course_number":1000,"lab":false}}},{"RangeDist":{"from":{"department_id":"CSCI","course_number":1000,"lab":false},"to":{"department_id":"MATH","course_number":2000,"lab":true},"dist":"d"}},{"RangeTag":{"from":{"department_id":"CSCI","course_number":1000,"lab":false},"to":{"department_id":"CSCI","course_number":1000,"lab":false},"tag":"t"}}]},"description":"x","priority":1}]})"}},
      ext);
}

// Externs as deep as the bound allows, and one level deeper, supplied from
// C++ (text cannot nest that deep).
TEST(Reader, DeepExternsMeetTheNestingBound) {
  std::string text = repeat("SELECT 1 FROM ", 255);
  text.insert(0, 1, '[');
  text += "CSCI 1010]";
  Result<VarValue> d255 = parse_extern_value(text);
  ASSERT_TRUE(d255.ok());
  const auto wrap = [](const VarValue& inner) {
    return VarValue{VarValue::SelectorList{{Selector{Selector::Query{detail::Box<BRIXQuery>(
        BRIXQuery{Quantity{Quantity::Single{1}}, QueryType::Select,
                  std::get<VarValue::SelectorList>(inner.value).selectors})}}}}};
  };
  const VarValue d256 = wrap(*d255);
  const ExternValues ext{{"$d256", d256}, {"$d257", wrap(d256)}};
  EXPECT_TRUE(outcome("extern $d256; SELECT 1 FROM $d256 : \"x\";", ext).starts_with("{"));
  EXPECT_EQ(outcome("extern $d256; $a = 1; SELECT 1 FROM [SELECT 1 FROM $d256] : \"x\";", ext),
            "failed parsing selector | could not parse nested query | failed parsing selector | "
            "1:52-1:57 variable `$d256` nests queries too deeply (the limit is 256 levels)");
  EXPECT_EQ(outcome("extern $d256;\nextern $d257;", ext),
            "2:8-2:13 variable `$d257` nests queries too deeply (the limit is 256 levels)");
}

// What `out` held stays in front of the document; on error it is left
// exactly as it was.
TEST(Reader, OutKeepsItsContents) {
  const std::string text = "$a = [CSCI 1010];\nSELECT 1 FROM $a : \"x\";";
  std::string expected;
  write_json(parse(text)->parsed_brix_file, expected);
  std::string out(100000, 'x');
  out.reserve(out.size() + 10);
  ASSERT_TRUE(parse_to_json(text, {}, out).ok());
  ASSERT_TRUE(parse_to_json(text, {}, out).ok());
  EXPECT_EQ(out, std::string(100000, 'x') + expected + expected);
  for (std::string_view bad : {"$a = 1; SELECT 0 FROM CSCI 1010 : \"x\";", "SELECT 0",
                               "$a = 1; SELECT 1 FROM [CSCI 1010] : \"x\"; \xff"}) {
    std::string kept = "kept";
    EXPECT_FALSE(parse_to_json(bad, {}, kept).ok());
    EXPECT_EQ(kept, "kept");
  }
}

}  // namespace
}  // namespace brix
