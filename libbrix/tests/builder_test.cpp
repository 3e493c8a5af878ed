// The builder's rules, checked through the library's entry points: each row is
// a BRIX text and either the exact compact JSON or the error chain in the
// summary form of tree_dump.hpp.
#include <gtest/gtest.h>

#include <string>
#include <string_view>
#include <utility>
#include <variant>
#include <vector>

#include "brix/brix.hpp"
#include "parser/decimal_u16.hpp"
#include "tree_dump.hpp"

namespace brix {
namespace {

using Externs = std::vector<std::pair<std::string, std::string>>;

// The compact JSON of the parse, or the chain summary when it fails, so a
// wrong outcome shows up in the assertion message either way.
std::string outcome(std::string_view text, const Externs& externs = {}) {
  ExternValues values;
  for (const auto& [name, value_text] : externs) {
    Result<VarValue> value = parse_extern_value(value_text);
    if (!value) return "extern value failed: " + testing::chain_summary(value.error());
    values.emplace(name, std::move(value).value());
  }
  Result<ParseResult> result = parse_with_externals(text, std::move(values));
  if (!result) return testing::chain_summary(result.error());
  return result->to_string().value();
}

TEST(Builder, BuildsDocuments) {
  struct Row {
    std::string_view brix;
    std::string_view json;
    Externs externs = {};
  };
  // One row: a BRIX text, its JSON, then any externs.
  // clang-format off
  const Row rows[] = {
      {R"txt($a = [CSCI 1010]; $a = [$a, CSCI 1020L]; SELECT 1 FROM $a : "x";)txt",
       R"txt({"version":"0.1.12","requirements":[{"query":{"quantity":{"Single":1},"type":"Select","selector":[{"Class":{"department_id":"CSCI","course_number":1010,"lab":false}},{"Class":{"department_id":"CSCI","course_number":1020,"lab":true}}]},"description":"x","priority":1}]})txt"},
      {R"txt($n = 1; SELECT $n FROM CSCI 1010 : "a"; $n = 2; SELECT $n FROM CSCI 1010 : "b";)txt",
       R"txt({"version":"0.1.12","requirements":[{"query":{"quantity":{"Single":1},"type":"Select","selector":[{"Class":{"department_id":"CSCI","course_number":1010,"lab":false}}]},"description":"a","priority":1},{"query":{"quantity":{"Single":2},"type":"Select","selector":[{"Class":{"department_id":"CSCI","course_number":1010,"lab":false}}]},"description":"b","priority":1}]})txt"},
      {R"txt($pair = [TAG("a"), DIST("b")]; SELECT 1 FROM [CSCI 1010, $pair, CSCI 1010, $pair] : "x";)txt",
       R"txt({"version":"0.1.12","requirements":[{"query":{"quantity":{"Single":1},"type":"Select","selector":[{"Class":{"department_id":"CSCI","course_number":1010,"lab":false}},{"Tag":"a"},{"Dist":"b"},{"Class":{"department_id":"CSCI","course_number":1010,"lab":false}},{"Tag":"a"},{"Dist":"b"}]},"description":"x","priority":1}]})txt"},
      {R"txt($r = 0-3; SELECT 1 FROM [SELECT 0-2 FROM CSCI 1010, SELECT $r FROM TAG("a"), SELECT 3-3 FROM TAG("b")] : "x";)txt",
       R"txt({"version":"0.1.12","requirements":[{"query":{"quantity":{"Single":1},"type":"Select","selector":[{"Query":{"quantity":{"Many":{"from":0,"to":2}},"type":"Select","selector":[{"Class":{"department_id":"CSCI","course_number":1010,"lab":false}}]}},{"Query":{"quantity":{"Many":{"from":0,"to":3}},"type":"Select","selector":[{"Tag":"a"}]}},{"Query":{"quantity":{"Many":{"from":3,"to":3}},"type":"Select","selector":[{"Tag":"b"}]}}]},"description":"x","priority":1}]})txt"},
      {R"txt($c = CSCI 1010; $s = CLASS(MATH 2000); SELECT 1 FROM [RANGE($c, CSCI 2000), $c, $s] : "x";)txt",
       R"txt({"version":"0.1.12","requirements":[{"query":{"quantity":{"Single":1},"type":"Select","selector":[{"Range":{"from":{"department_id":"CSCI","course_number":1010,"lab":false},"to":{"department_id":"CSCI","course_number":2000,"lab":false}}},{"Class":{"department_id":"CSCI","course_number":1010,"lab":false}},{"Class":{"department_id":"MATH","course_number":2000,"lab":false}}]},"description":"x","priority":1}]})txt"},
      {R"txt($p = 7; $d = "from a variable"; SELECT 1 FROM CSCI 1010 : $d : $p; SELECT 1 FROM CSCI 1010 : "zero" : 0;)txt",
       R"txt({"version":"0.1.12","requirements":[{"query":{"quantity":{"Single":1},"type":"Select","selector":[{"Class":{"department_id":"CSCI","course_number":1010,"lab":false}}]},"description":"from a variable","priority":7},{"query":{"quantity":{"Single":1},"type":"Select","selector":[{"Class":{"department_id":"CSCI","course_number":1010,"lab":false}}]},"description":"zero","priority":0}]})txt"},
      {R"txt(SELECT 1 FROM [TAG("a""b"), TAG(""""), TAG(""), TAG("a\b // not a comment")] : "café	x";)txt",
       R"txt({"version":"0.1.12","requirements":[{"query":{"quantity":{"Single":1},"type":"Select","selector":[{"Tag":"a\"b"},{"Tag":"\""},{"Tag":""},{"Tag":"a\\b // not a comment"}]},"description":"café\tx","priority":1}]})txt"},
      {R"txt(LIMIT 65535 FROM [CSCI 0042, CSCI 0000L, C&EE 1234] : "x" : 65535;)txt",
       R"txt({"version":"0.1.12","requirements":[{"query":{"quantity":{"Single":65535},"type":"Limit","selector":[{"Class":{"department_id":"CSCI","course_number":42,"lab":false}},{"Class":{"department_id":"CSCI","course_number":0,"lab":true}},{"Class":{"department_id":"C&EE","course_number":1234,"lab":false}}]},"description":"x","priority":65535}]})txt"},
      {R"txt($t = "QR"; $c = MATH 1000; SELECT 1 FROM RANGE_TAG($c, $c, $t) : "x";)txt",
       R"txt({"version":"0.1.12","requirements":[{"query":{"quantity":{"Single":1},"type":"Select","selector":[{"RangeTag":{"from":{"department_id":"MATH","course_number":1000,"lab":false},"to":{"department_id":"MATH","course_number":1000,"lab":false},"tag":"QR"}}]},"description":"x","priority":1}]})txt"},
      {R"txt(extern $e; extern $e; SELECT $e FROM CSCI 1010 : "x";)txt",
       R"txt({"version":"0.1.12","requirements":[{"query":{"quantity":{"Many":{"from":1,"to":2}},"type":"Select","selector":[{"Class":{"department_id":"CSCI","course_number":1010,"lab":false}}]},"description":"x","priority":1}]})txt", {{"$e", R"txt(1-2)txt"}, {"$unused", R"txt(CSCI 1010)txt"}}},
      {R"txt(extern $e; SELECT 1 FROM $e : "a"; $e = [TAG("b")]; SELECT 1 FROM $e : "b";)txt",
       R"txt({"version":"0.1.12","requirements":[{"query":{"quantity":{"Single":1},"type":"Select","selector":[{"Placement":"p"}]},"description":"a","priority":1},{"query":{"quantity":{"Single":1},"type":"Select","selector":[{"Tag":"b"}]},"description":"b","priority":1}]})txt", {{"$e", R"txt(PLACEMENT("p"))txt"}}},
  };
  // clang-format on
  for (const Row& row : rows) EXPECT_EQ(outcome(row.brix, row.externs), row.json) << row.brix;
}

TEST(Builder, ReportsTheFirstError) {
  struct Row {
    std::string_view brix;
    std::string_view chain;
  };
  const Row rows[] = {
      {"$a = [$a, CSCI 1010];", "1:7-1:9 undefined variable `$a`"},
      {R"txt(extern $e;
SELECT 1 FROM $e : "x";)txt",
       R"txt(1:8-1:10 extern variable `$e` was declared but not provided by the caller)txt"},
      {R"txt(SELECT 0-2 FROM CSCI 1010 : "x";)txt",
       R"txt(failed parsing quantity | 1:8-1:9 cannot select a range starting from zero on a top-level SELECT)txt"},
      {R"txt(LIMIT 0-2 FROM CSCI 1010 : "x";)txt",
       R"txt(failed parsing quantity | 1:7-1:8 cannot select a range starting from zero on a top-level SELECT)txt"},
      {R"txt($r = 0-3; SELECT $r FROM CSCI 1010 : "x";)txt",
       R"txt(failed parsing quantity | 1:18-1:20 cannot select a range starting from zero on a top-level SELECT)txt"},
      {R"txt(SELECT 3-2 FROM CSCI 1010 : "x";)txt",
       R"txt(failed parsing quantity | 1:10-1:11 for any SELECT n-k statements, k>=n must be true. 2<3)txt"},
      {R"txt(SELECT 1 FROM [SELECT 3-2 FROM CSCI 1010] : "x";)txt",
       R"txt(failed parsing selector | could not parse nested query | failed parsing quantity | 1:25-1:26 for any SELECT n-k statements, k>=n must be true. 2<3)txt"},
      {R"txt(SELECT 1 FROM [SELECT 0 FROM CSCI 1010] : "x";)txt",
       R"txt(failed parsing selector | could not parse nested query | failed parsing quantity | 1:23-1:24 cannot select zero)txt"},
      {R"txt(SELECT 1 FROM SELECT 1 FROM LIMIT 0 FROM CSCI 1010 : "x";)txt",
       "failed parsing selector | could not parse nested query | failed parsing selector | could "
       "not parse nested query | 1:29-1:34 LIMIT must be a top-level query"},
      {R"txt(SELECT 0-70000 FROM CSCI 1010 : "x";)txt",
       R"txt(failed parsing quantity | selection could not fit as u16 | number too large to fit in target type)txt"},
      {"$n = 65536;",
       R"txt(quantity could not fit as u16 | number too large to fit in target type)txt"},
      {"$n = 0;", "1:6-1:7 cannot assign zero as a quantity"},
      {"$r = 5-3;", "1:8-1:9 for any range n-k, k>=n must be true. 3<5"},
      {R"txt($n = 3; SELECT 1 FROM [CSCI 1010, $n] : "x";)txt",
       R"txt(failed parsing selector | 1:35-1:37 expected selector, found quantity (`$n`))txt"},
      {R"txt($x = 1; SELECT 1 FROM $X : "x";)txt",
       "failed parsing selector | 1:23-1:25 undefined variable `$X`"},
      {R"txt($s = "t"; SELECT $s FROM CSCI 1010 : "x";)txt",
       R"txt(failed parsing quantity | 1:18-1:20 expected quantity, found string (`$s`))txt"},
      {R"txt($s = "t"; SELECT 1 FROM CSCI 1010 : "x" : $s;)txt",
       R"txt(1:43-1:45 expected quantity for priority, found string (`$s`))txt"},
      {R"txt($r = 1-2; SELECT 1 FROM CSCI 1010 : "x" : $r;)txt",
       R"txt(1:43-1:45 priority must be a single number, not a range (`$r`))txt"},
      {"$n = 2; SELECT 1 FROM CSCI 1010 : $n;",
       R"txt(1:35-1:37 expected string for description, found quantity (`$n`))txt"},
      {R"txt($c = CLASS(CSCI 1010); SELECT 1 FROM RANGE($c, CSCI 2000) : "x";)txt",
       R"txt(failed parsing selector | 1:44-1:46 expected string or class argument, found selector (`$c`))txt"},
      {R"txt($t = [TAG("a")]; SELECT 1 FROM TAG($t) : "x";)txt",
       R"txt(failed parsing selector | 1:36-1:38 expected string or class argument, found selector list (`$t`))txt"},
      {R"txt(SELECT 1 FROM ABCD 1234L : "x";)txt",
       R"txt(failed parsing selector | 1:15-1:19 this department does not exist in Tarrow's course catalog (Did you mean: DANC))txt"},
      {R"txt(SELECT 1 FROM [TAG("q"), CLASS("a")] : "x";)txt",
       R"txt(failed parsing selector | 1:26-1:36 CLASS function must take one <CLASS> argument of the form `DEPARTMENT_ID CLASS_ID`)txt"},
      {R"txt(SELECT 1 FROM [TAG("q"), TAG("a", "b")] : "x";)txt",
       R"txt(failed parsing selector | 1:26-1:39 TAG function must take one <STRING> argument of the form `"abcXYZ123"`)txt"},
      {R"txt(SELECT 1 FROM [TAG("q"), RANGE(CSCI 1010)] : "x";)txt",
       R"txt(failed parsing selector | 1:26-1:42 RANGE function must take two <CLASS>, <CLASS> arguments of the form `DEPARTMENT_ID CLASS_ID`)txt"},
      {R"txt(SELECT 1 FROM [TAG("q"), RANGE_DIST("a", CSCI 1000, CSCI 2000)] : "x";)txt",
       R"txt(failed parsing selector | 1:26-1:63 RANGE_DIST function must take three <CLASS>, <CLASS>, <STRING> arguments)txt"},
  };
  for (const Row& row : rows) EXPECT_EQ(outcome(row.brix), row.chain) << row.brix;
}

TEST(DecimalU16, ConvertsOrNamesTheFailure) {
  const auto convert = [](std::string_view text) -> std::string {
    const auto result = detail::parse_decimal_u16(text);
    if (const auto* value = std::get_if<std::uint16_t>(&result)) return std::to_string(*value);
    return std::string(int_error_text(std::get<IntError>(result)));
  };
  constexpr std::string_view kEmpty = "cannot parse integer from empty string";
  constexpr std::string_view kDigit = "invalid digit found in string";
  constexpr std::string_view kLarge = "number too large to fit in target type";
  const std::string_view rows[][2] = {
      {"", kEmpty},      {"+", kDigit},      {"-", kDigit},      {"+5", "5"},
      {"-5", kDigit},    {"++5", kDigit},    {"0042", "42"},     {"65535", "65535"},
      {"65536", kLarge}, {"99999", kLarge},  {"655350", kLarge}, {"999999a", kLarge},
      {"6553a", kDigit}, {"65530a", kDigit}, {"12 3", kDigit},   {"0000000000065535", "65535"},
  };
  for (const auto& [text, expected] : rows)
    EXPECT_EQ(convert(text), expected) << '"' << text << '"';
}

}  // namespace
}  // namespace brix
