// The builder's rules, checked through the library's entry points: each row is
// a BRIX text and either the exact compact JSON or the exact error chain text.
#include <gtest/gtest.h>

#include <string>
#include <string_view>
#include <utility>
#include <variant>
#include <vector>

#include "brix/brix.hpp"
#include "parser/decimal_u16.hpp"

namespace brix {
namespace {

using Externs = std::vector<std::pair<std::string, std::string>>;

// The compact JSON of the parse, or the chain text when it fails, so a wrong
// outcome shows up in the assertion message either way.
std::string outcome(std::string_view text, const Externs& externs = {}) {
  ExternValues values;
  for (const auto& [name, value_text] : externs) {
    Result<VarValue> value = parse_extern_value(value_text);
    if (!value) return "extern value failed: " + value.error().to_string();
    values.emplace(name, std::move(value).value());
  }
  Result<ParseResult> result = parse_with_externals(text, std::move(values));
  if (!result) return result.error().to_string();
  return result->to_string().value();
}

TEST(Builder, BuildsDocuments) {
  struct Row {
    std::string_view name;
    std::string_view brix;
    Externs externs;
    std::string_view json;
  };
  const Row rows[] = {
      {"EmptyFile",
       R"txt(// nothing but a comment
)txt",
       {},
       R"txt({"version":"0.1.12","requirements":[]})txt"},
      {"AssignmentBeforeBinding",
       R"txt($a = [CSCI 1010]; $a = [$a, CSCI 1020L]; SELECT 1 FROM $a : "x";)txt",
       {},
       R"txt({"version":"0.1.12","requirements":[{"query":{"quantity":{"Single":1},"type":"Select","selector":[{"Class":{"department_id":"CSCI","course_number":1010,"lab":false}},{"Class":{"department_id":"CSCI","course_number":1020,"lab":true}}]},"description":"x","priority":1}]})txt"},
      {"ReassignmentAffectsLaterStatementsOnly",
       R"txt($n = 1; SELECT $n FROM CSCI 1010 : "a"; $n = 2; SELECT $n FROM CSCI 1010 : "b";)txt",
       {},
       R"txt({"version":"0.1.12","requirements":[{"query":{"quantity":{"Single":1},"type":"Select","selector":[{"Class":{"department_id":"CSCI","course_number":1010,"lab":false}}]},"description":"a","priority":1},{"query":{"quantity":{"Single":2},"type":"Select","selector":[{"Class":{"department_id":"CSCI","course_number":1010,"lab":false}}]},"description":"b","priority":1}]})txt"},
      {"ListVariablesSplicedInOrder",
       R"txt($pair = [TAG("a"), DIST("b")]; SELECT 1 FROM [CSCI 1010, $pair, CSCI 1010, $pair] : "x";)txt",
       {},
       R"txt({"version":"0.1.12","requirements":[{"query":{"quantity":{"Single":1},"type":"Select","selector":[{"Class":{"department_id":"CSCI","course_number":1010,"lab":false}},{"Tag":"a"},{"Dist":"b"},{"Class":{"department_id":"CSCI","course_number":1010,"lab":false}},{"Tag":"a"},{"Dist":"b"}]},"description":"x","priority":1}]})txt"},
      {"NestedRangesMayStartAtZero",
       R"txt($r = 0-3; SELECT 1 FROM [SELECT 0-2 FROM CSCI 1010, SELECT $r FROM TAG("a"), SELECT 3-3 FROM TAG("b")] : "x";)txt",
       {},
       R"txt({"version":"0.1.12","requirements":[{"query":{"quantity":{"Single":1},"type":"Select","selector":[{"Query":{"quantity":{"Many":{"from":0,"to":2}},"type":"Select","selector":[{"Class":{"department_id":"CSCI","course_number":1010,"lab":false}}]}},{"Query":{"quantity":{"Many":{"from":0,"to":3}},"type":"Select","selector":[{"Tag":"a"}]}},{"Query":{"quantity":{"Many":{"from":3,"to":3}},"type":"Select","selector":[{"Tag":"b"}]}}]},"description":"x","priority":1}]})txt"},
      {"BareCourseVariableIsACourse",
       R"txt($c = CSCI 1010; $s = CLASS(MATH 2000); SELECT 1 FROM [RANGE($c, CSCI 2000), $c, $s] : "x";)txt",
       {},
       R"txt({"version":"0.1.12","requirements":[{"query":{"quantity":{"Single":1},"type":"Select","selector":[{"Range":{"from":{"department_id":"CSCI","course_number":1010,"lab":false},"to":{"department_id":"CSCI","course_number":2000,"lab":false}}},{"Class":{"department_id":"CSCI","course_number":1010,"lab":false}},{"Class":{"department_id":"MATH","course_number":2000,"lab":false}}]},"description":"x","priority":1}]})txt"},
      {"PriorityAndDescriptionFromVariables",
       R"txt($p = 7; $d = "from a variable"; SELECT 1 FROM CSCI 1010 : $d : $p; SELECT 1 FROM CSCI 1010 : "zero" : 0;)txt",
       {},
       R"txt({"version":"0.1.12","requirements":[{"query":{"quantity":{"Single":1},"type":"Select","selector":[{"Class":{"department_id":"CSCI","course_number":1010,"lab":false}}]},"description":"from a variable","priority":7},{"query":{"quantity":{"Single":1},"type":"Select","selector":[{"Class":{"department_id":"CSCI","course_number":1010,"lab":false}}]},"description":"zero","priority":0}]})txt"},
      {"StringLiterals",
       R"txt(SELECT 1 FROM [TAG("a""b"), TAG(""""), TAG(""), TAG("a\b // not a comment")] : "café	x";)txt",
       {},
       R"txt({"version":"0.1.12","requirements":[{"query":{"quantity":{"Single":1},"type":"Select","selector":[{"Tag":"a\"b"},{"Tag":"\""},{"Tag":""},{"Tag":"a\\b // not a comment"}]},"description":"café\tx","priority":1}]})txt"},
      {"CountLimitsAndCourseNumbers",
       R"txt(LIMIT 65535 FROM [CSCI 0042, CSCI 0000L, C&EE 1234] : "x" : 65535;)txt",
       {},
       R"txt({"version":"0.1.12","requirements":[{"query":{"quantity":{"Single":65535},"type":"Limit","selector":[{"Class":{"department_id":"CSCI","course_number":42,"lab":false}},{"Class":{"department_id":"CSCI","course_number":0,"lab":true}},{"Class":{"department_id":"C&EE","course_number":1234,"lab":false}}]},"description":"x","priority":65535}]})txt"},
      {"EveryFunction",
       R"txt(SELECT 1 FROM [class(CSCI 1010), PLACEMENT("p"), tag("t"), TAG_DEPT("t", "c"), DIST("d"), dist_dept("d", "c"), RANGE(CSCI 2000, CSCI 1000), RANGE_DIST(CSCI 1000, MATH 2000L, "d"), range_tag(CSCI 1000, CSCI 1000, "t")] : "x";)txt",
       {},
       R"txt({"version":"0.1.12","requirements":[{"query":{"quantity":{"Single":1},"type":"Select","selector":[{"Class":{"department_id":"CSCI","course_number":1010,"lab":false}},{"Placement":"p"},{"Tag":"t"},{"TagCode":{"tag":"t","code":"c"}},{"Dist":"d"},{"DistCode":{"dist":"d","code":"c"}},{"Range":{"from":{"department_id":"CSCI","course_number":2000,"lab":false},"to":{"department_id":"CSCI","course_number":1000,"lab":false}}},{"RangeDist":{"from":{"department_id":"CSCI","course_number":1000,"lab":false},"to":{"department_id":"MATH","course_number":2000,"lab":true},"dist":"d"}},{"RangeTag":{"from":{"department_id":"CSCI","course_number":1000,"lab":false},"to":{"department_id":"CSCI","course_number":1000,"lab":false},"tag":"t"}}]},"description":"x","priority":1}]})txt"},
      {"StringVariableAsArgument",
       R"txt($t = "QR"; $c = MATH 1000; SELECT 1 FROM RANGE_TAG($c, $c, $t) : "x";)txt",
       {},
       R"txt({"version":"0.1.12","requirements":[{"query":{"quantity":{"Single":1},"type":"Select","selector":[{"RangeTag":{"from":{"department_id":"MATH","course_number":1000,"lab":false},"to":{"department_id":"MATH","course_number":1000,"lab":false},"tag":"QR"}}]},"description":"x","priority":1}]})txt"},
      {"ExternDeclaredTwice",
       R"txt(extern $e; extern $e; SELECT $e FROM CSCI 1010 : "x";)txt",
       {{"$e", R"txt(1-2)txt"}, {"$unused", R"txt(CSCI 1010)txt"}},
       R"txt({"version":"0.1.12","requirements":[{"query":{"quantity":{"Many":{"from":1,"to":2}},"type":"Select","selector":[{"Class":{"department_id":"CSCI","course_number":1010,"lab":false}}]},"description":"x","priority":1}]})txt"},
      {"ExternLaterAssigned",
       R"txt(extern $e; SELECT 1 FROM $e : "a"; $e = [TAG("b")]; SELECT 1 FROM $e : "b";)txt",
       {{"$e", R"txt(PLACEMENT("p"))txt"}},
       R"txt({"version":"0.1.12","requirements":[{"query":{"quantity":{"Single":1},"type":"Select","selector":[{"Placement":"p"}]},"description":"a","priority":1},{"query":{"quantity":{"Single":1},"type":"Select","selector":[{"Tag":"b"}]},"description":"b","priority":1}]})txt"},
  };
  for (const Row& row : rows) EXPECT_EQ(outcome(row.brix, row.externs), row.json) << row.name;
}

TEST(Builder, ReportsTheFirstError) {
  struct Row {
    std::string_view name;
    std::string_view brix;
    std::string_view chain;
  };
  const Row rows[] = {
      {"PriorityIsJudgedFirst", R"txt(SELECT 0 FROM ABCD 1234 : $d : $p;)txt",
       R"txt( --> 1:32
  |
1 | SELECT 0 FROM ABCD 1234 : $d : $p;
  |                                ^^
  |
  = undefined variable `$p`)txt"},
      {"DescriptionBeforeQuery", R"txt($p = 2; SELECT 0 FROM ABCD 1234 : $d : $p;)txt",
       R"txt( --> 1:35
  |
1 | $p = 2; SELECT 0 FROM ABCD 1234 : $d : $p;
  |                                   ^^
  |
  = undefined variable `$d`)txt"},
      {"QueryLast", R"txt($p = 2; $d = "x"; SELECT 0 FROM ABCD 1234 : $d : $p;)txt",
       R"txt(failed parsing quantity

Caused by:
     --> 1:26
      |
    1 | $p = 2; $d = "x"; SELECT 0 FROM ABCD 1234 : $d : $p;
      |                          ^
      |
      = cannot select zero)txt"},
      {"AssignmentSeesOnlyEarlierBindings", R"txt($a = [$a, CSCI 1010];)txt",
       R"txt( --> 1:7
  |
1 | $a = [$a, CSCI 1010];
  |       ^^
  |
  = undefined variable `$a`)txt"},
      {"ExternNotSupplied",
       R"txt(extern $e;
SELECT 1 FROM $e : "x";)txt",
       R"txt( --> 1:8
  |
1 | extern $e;
  |        ^^
  |
  = extern variable `$e` was declared but not provided by the caller)txt"},
      {"TopLevelRangeFromZero", R"txt(SELECT 0-2 FROM CSCI 1010 : "x";)txt",
       R"txt(failed parsing quantity

Caused by:
     --> 1:8
      |
    1 | SELECT 0-2 FROM CSCI 1010 : "x";
      |        ^
      |
      = cannot select a range starting from zero on a top-level SELECT)txt"},
      {"TopLevelLimitRangeFromZeroNamesSelect", R"txt(LIMIT 0-2 FROM CSCI 1010 : "x";)txt",
       R"txt(failed parsing quantity

Caused by:
     --> 1:7
      |
    1 | LIMIT 0-2 FROM CSCI 1010 : "x";
      |       ^
      |
      = cannot select a range starting from zero on a top-level SELECT)txt"},
      {"TopLevelRangeVariableFromZero", R"txt($r = 0-3; SELECT $r FROM CSCI 1010 : "x";)txt",
       R"txt(failed parsing quantity

Caused by:
     --> 1:18
      |
    1 | $r = 0-3; SELECT $r FROM CSCI 1010 : "x";
      |                  ^^
      |
      = cannot select a range starting from zero on a top-level SELECT)txt"},
      {"UpperBelowLower", R"txt(SELECT 3-2 FROM CSCI 1010 : "x";)txt",
       R"txt(failed parsing quantity

Caused by:
     --> 1:10
      |
    1 | SELECT 3-2 FROM CSCI 1010 : "x";
      |          ^
      |
      = for any SELECT n-k statements, k>=n must be true. 2<3)txt"},
      {"NestedUpperBelowLower", R"txt(SELECT 1 FROM [SELECT 3-2 FROM CSCI 1010] : "x";)txt",
       R"txt(failed parsing selector

Caused by:
    0: could not parse nested query
    1: failed parsing quantity
    2:  --> 1:25
         |
       1 | SELECT 1 FROM [SELECT 3-2 FROM CSCI 1010] : "x";
         |                         ^
         |
         = for any SELECT n-k statements, k>=n must be true. 2<3)txt"},
      {"NestedZero", R"txt(SELECT 1 FROM [SELECT 0 FROM CSCI 1010] : "x";)txt",
       R"txt(failed parsing selector

Caused by:
    0: could not parse nested query
    1: failed parsing quantity
    2:  --> 1:23
         |
       1 | SELECT 1 FROM [SELECT 0 FROM CSCI 1010] : "x";
         |                       ^
         |
         = cannot select zero)txt"},
      {"NestedLimitBeforeItsCount",
       R"txt(SELECT 1 FROM SELECT 1 FROM LIMIT 0 FROM CSCI 1010 : "x";)txt",
       R"txt(failed parsing selector

Caused by:
    0: could not parse nested query
    1: failed parsing selector
    2: could not parse nested query
    3:  --> 1:29
         |
       1 | SELECT 1 FROM SELECT 1 FROM LIMIT 0 FROM CSCI 1010 : "x";
         |                             ^---^
         |
         = LIMIT must be a top-level query)txt"},
      {"CountTooLarge", R"txt(SELECT 65536 FROM CSCI 1010 : "x";)txt",
       R"txt(failed parsing quantity

Caused by:
    0: selection could not fit as u16
    1: number too large to fit in target type)txt"},
      {"BothBoundsConvertBeforeZeroTest", R"txt(SELECT 0-70000 FROM CSCI 1010 : "x";)txt",
       R"txt(failed parsing quantity

Caused by:
    0: selection could not fit as u16
    1: number too large to fit in target type)txt"},
      {"PriorityTooLarge", R"txt(SELECT 1 FROM CSCI 1010 : "x" : 65536;)txt",
       R"txt(selection could not fit as u16

Caused by:
    number too large to fit in target type)txt"},
      {"ValueTooLarge", R"txt($n = 65536;)txt",
       R"txt(quantity could not fit as u16

Caused by:
    number too large to fit in target type)txt"},
      {"ValueZero", R"txt($n = 0;)txt",
       R"txt( --> 1:6
  |
1 | $n = 0;
  |      ^
  |
  = cannot assign zero as a quantity)txt"},
      {"ValueRangeUpperBelowLower", R"txt($r = 5-3;)txt",
       R"txt( --> 1:8
  |
1 | $r = 5-3;
  |        ^
  |
  = for any range n-k, k>=n must be true. 3<5)txt"},
      {"QuantityAsSelector", R"txt($n = 3; SELECT 1 FROM [CSCI 1010, $n] : "x";)txt",
       R"txt(failed parsing selector

Caused by:
     --> 1:35
      |
    1 | $n = 3; SELECT 1 FROM [CSCI 1010, $n] : "x";
      |                                   ^^
      |
      = expected selector, found quantity (`$n`))txt"},
      {"StringAsSelector", R"txt($s = "t"; SELECT 1 FROM $s : "x";)txt",
       R"txt(failed parsing selector

Caused by:
     --> 1:25
      |
    1 | $s = "t"; SELECT 1 FROM $s : "x";
      |                         ^^
      |
      = expected selector, found string (`$s`))txt"},
      {"NamesAreCaseSensitive", R"txt($x = 1; SELECT 1 FROM $X : "x";)txt",
       R"txt(failed parsing selector

Caused by:
     --> 1:23
      |
    1 | $x = 1; SELECT 1 FROM $X : "x";
      |                       ^^
      |
      = undefined variable `$X`)txt"},
      {"StringAsCount", R"txt($s = "t"; SELECT $s FROM CSCI 1010 : "x";)txt",
       R"txt(failed parsing quantity

Caused by:
     --> 1:18
      |
    1 | $s = "t"; SELECT $s FROM CSCI 1010 : "x";
      |                  ^^
      |
      = expected quantity, found string (`$s`))txt"},
      {"StringAsPriority", R"txt($s = "t"; SELECT 1 FROM CSCI 1010 : "x" : $s;)txt",
       R"txt( --> 1:43
  |
1 | $s = "t"; SELECT 1 FROM CSCI 1010 : "x" : $s;
  |                                           ^^
  |
  = expected quantity for priority, found string (`$s`))txt"},
      {"RangeAsPriority", R"txt($r = 1-2; SELECT 1 FROM CSCI 1010 : "x" : $r;)txt",
       R"txt( --> 1:43
  |
1 | $r = 1-2; SELECT 1 FROM CSCI 1010 : "x" : $r;
  |                                           ^^
  |
  = priority must be a single number, not a range (`$r`))txt"},
      {"QuantityAsDescription", R"txt($n = 2; SELECT 1 FROM CSCI 1010 : $n;)txt",
       R"txt( --> 1:35
  |
1 | $n = 2; SELECT 1 FROM CSCI 1010 : $n;
  |                                   ^^
  |
  = expected string for description, found quantity (`$n`))txt"},
      {"ClassCallIsNoCourseArgument",
       R"txt($c = CLASS(CSCI 1010); SELECT 1 FROM RANGE($c, CSCI 2000) : "x";)txt",
       R"txt(failed parsing selector

Caused by:
     --> 1:44
      |
    1 | $c = CLASS(CSCI 1010); SELECT 1 FROM RANGE($c, CSCI 2000) : "x";
      |                                            ^^
      |
      = expected string or class argument, found selector (`$c`))txt"},
      {"ListIsNoArgument", R"txt($t = [TAG("a")]; SELECT 1 FROM TAG($t) : "x";)txt",
       R"txt(failed parsing selector

Caused by:
     --> 1:36
      |
    1 | $t = [TAG("a")]; SELECT 1 FROM TAG($t) : "x";
      |                                    ^^
      |
      = expected string or class argument, found selector list (`$t`))txt"},
      {"ArgumentsBeforeName", R"txt(SELECT 1 FROM FOO(AB 1234) : "x";)txt",
       R"txt(failed parsing selector

Caused by:
     --> 1:19
      |
    1 | SELECT 1 FROM FOO(AB 1234) : "x";
      |                   ^^
      |
      = departments must be 3-4 uppercase ASCII character symbols)txt"},
      {"UnknownDepartment", R"txt(SELECT 1 FROM ABCD 1234L : "x";)txt",
       R"txt(failed parsing selector

Caused by:
     --> 1:15
      |
    1 | SELECT 1 FROM ABCD 1234L : "x";
      |               ^--^
      |
      = this department does not exist in Tarrow's course catalog (Did you mean: DANC))txt"},
      {"CapitalisedFunction", R"txt(SELECT 1 FROM Class(CSCI 1010) : "x";)txt",
       R"txt(failed parsing selector

Caused by:
     --> 1:15
      |
    1 | SELECT 1 FROM Class(CSCI 1010) : "x";
      |               ^---^
      |
      = not a valid query (Did you mean: CLASS))txt"},
      {"NothingInCommon", R"txt(SELECT 1 FROM FOO("a") : "x";)txt",
       R"txt(failed parsing selector

Caused by:
     --> 1:15
      |
    1 | SELECT 1 FROM FOO("a") : "x";
      |               ^-^
      |
      = not a valid query (Did you mean: RANGE_TAG))txt"},
      {"ClassPattern", R"txt(SELECT 1 FROM [TAG("q"), CLASS("a")] : "x";)txt",
       R"txt(failed parsing selector

Caused by:
     --> 1:26
      |
    1 | SELECT 1 FROM [TAG("q"), CLASS("a")] : "x";
      |                          ^--------^
      |
      = CLASS function must take one <CLASS> argument of the form `DEPARTMENT_ID CLASS_ID`)txt"},
      {"PlacementPattern", R"txt(SELECT 1 FROM [TAG("q"), PLACEMENT(CSCI 1010)] : "x";)txt",
       R"txt(failed parsing selector

Caused by:
     --> 1:26
      |
    1 | SELECT 1 FROM [TAG("q"), PLACEMENT(CSCI 1010)] : "x";
      |                          ^------------------^
      |
      = PLACEMENT function must take one <STRING> argument of the form `"abcXYZ123"`)txt"},
      {"TagPattern", R"txt(SELECT 1 FROM [TAG("q"), TAG("a", "b")] : "x";)txt",
       R"txt(failed parsing selector

Caused by:
     --> 1:26
      |
    1 | SELECT 1 FROM [TAG("q"), TAG("a", "b")] : "x";
      |                          ^-----------^
      |
      = TAG function must take one <STRING> argument of the form `"abcXYZ123"`)txt"},
      {"TagDeptPattern", R"txt(SELECT 1 FROM [TAG("q"), tag_dept("a")] : "x";)txt",
       R"txt(failed parsing selector

Caused by:
     --> 1:26
      |
    1 | SELECT 1 FROM [TAG("q"), tag_dept("a")] : "x";
      |                          ^-----------^
      |
      = TAG_DEPT function must take two <STRING>, <STRING> arguments of the form `"TC TAG"`, `"Tarrow Major Code"`)txt"},
      {"DistPattern", R"txt(SELECT 1 FROM [TAG("q"), DIST("a", "b")] : "x";)txt",
       R"txt(failed parsing selector

Caused by:
     --> 1:26
      |
    1 | SELECT 1 FROM [TAG("q"), DIST("a", "b")] : "x";
      |                          ^------------^
      |
      = DIST function must take one <STRING> argument of the form `"abcXYZ123"`)txt"},
      {"DistDeptPattern", R"txt(SELECT 1 FROM [TAG("q"), DIST_DEPT(CSCI 1010, "a")] : "x";)txt",
       R"txt(failed parsing selector

Caused by:
     --> 1:26
      |
    1 | SELECT 1 FROM [TAG("q"), DIST_DEPT(CSCI 1010, "a")] : "x";
      |                          ^-----------------------^
      |
      = DIST_DEPT function must take two <STRING>, <STRING> arguments of the form `"TC dist"`, `"Tarrow Major Code"`)txt"},
      {"RangePattern", R"txt(SELECT 1 FROM [TAG("q"), RANGE(CSCI 1010)] : "x";)txt",
       R"txt(failed parsing selector

Caused by:
     --> 1:26
      |
    1 | SELECT 1 FROM [TAG("q"), RANGE(CSCI 1010)] : "x";
      |                          ^--------------^
      |
      = RANGE function must take two <CLASS>, <CLASS> arguments of the form `DEPARTMENT_ID CLASS_ID`)txt"},
      {"RangeDistPattern",
       R"txt(SELECT 1 FROM [TAG("q"), RANGE_DIST("a", CSCI 1000, CSCI 2000)] : "x";)txt",
       R"txt(failed parsing selector

Caused by:
     --> 1:26
      |
    1 | SELECT 1 FROM [TAG("q"), RANGE_DIST("a", CSCI 1000, CSCI 2000)] : "x";
      |                          ^-----------------------------------^
      |
      = RANGE_DIST function must take three <CLASS>, <CLASS>, <STRING> arguments)txt"},
      {"RangeTagPattern",
       R"txt(SELECT 1 FROM [TAG("q"), RANGE_TAG(CSCI 1000, CSCI 2000, "a", "b")] : "x";)txt",
       R"txt(failed parsing selector

Caused by:
     --> 1:26
      |
    1 | SELECT 1 FROM [TAG("q"), RANGE_TAG(CSCI 1000, CSCI 2000, "a", "b")] : "x";
      |                          ^---------------------------------------^
      |
      = RANGE_TAG function must take three <CLASS>, <CLASS>, <STRING> arguments)txt"},
      {"ReportsCountLines",
       R"txt($x = 1;

SELECT 1 FROM [CSCI 1010,
  $y] : "x";)txt",
       R"txt(failed parsing selector

Caused by:
     --> 4:3
      |
    4 |   $y] : "x";
      |   ^^
      |
      = undefined variable `$y`)txt"},
  };
  for (const Row& row : rows) EXPECT_EQ(outcome(row.brix), row.chain) << row.name;
}

TEST(Builder, ExternValuesNameTheirOwnLines) {
  Result<VarValue> value = parse_extern_value("[CSCI 1010,\n $x]");
  ASSERT_FALSE(value.ok());
  EXPECT_EQ(value.error().to_string(), R"txt( --> 2:2
  |
2 |  $x]
  |  ^^
  |
  = undefined variable `$x`)txt");
}

// The example requirements file of the language, with the catalog code CSCI
// for the placeholder department and `$electives` supplied by the caller.
constexpr std::string_view kExampleFile = R"txt(// Requirements of one major
extern $electives;
$intro = [CLASS(CSCI 1010), CSCI 1020L];
$two = 2;
SELECT 1 FROM $intro : "Introductory course" : 1;
SELECT $two FROM [TAG("QR"), RANGE(CSCI 3000, CSCI 3990)] : "Two ""upper-level"" courses";
LIMIT 1-2 FROM [SELECT 1 FROM DIST_DEPT("TC dist", "Tarrow Major Code"), PLACEMENT("abc")] : "At most two";
SELECT 3 FROM $electives : "Electives" : 2;
)txt";

ParseResult parse_example() {
  Result<VarValue> electives =
      parse_extern_value(R"txt([MATH 2010, TAG_DEPT("WRIT", "Computer Science")])txt");
  EXPECT_TRUE(electives.ok());
  ExternValues externals;
  externals.emplace("$electives", std::move(electives).value());
  Result<ParseResult> result = parse_with_externals(kExampleFile, std::move(externals));
  EXPECT_TRUE(result.ok()) << result.error().to_string();
  return std::move(result).value();
}

TEST(Builder, ExampleFileAsCompactJson) {
  EXPECT_EQ(
      parse_example().to_string().value(),
      R"txt({"version":"0.1.12","requirements":[{"query":{"quantity":{"Single":1},"type":"Select","selector":[{"Class":{"department_id":"CSCI","course_number":1010,"lab":false}},{"Class":{"department_id":"CSCI","course_number":1020,"lab":true}}]},"description":"Introductory course","priority":1},{"query":{"quantity":{"Single":2},"type":"Select","selector":[{"Tag":"QR"},{"Range":{"from":{"department_id":"CSCI","course_number":3000,"lab":false},"to":{"department_id":"CSCI","course_number":3990,"lab":false}}}]},"description":"Two \"upper-level\" courses","priority":1},{"query":{"quantity":{"Many":{"from":1,"to":2}},"type":"Limit","selector":[{"Query":{"quantity":{"Single":1},"type":"Select","selector":[{"DistCode":{"dist":"TC dist","code":"Tarrow Major Code"}}]}},{"Placement":"abc"}]},"description":"At most two","priority":1},{"query":{"quantity":{"Single":3},"type":"Select","selector":[{"Class":{"department_id":"MATH","course_number":2010,"lab":false}},{"TagCode":{"tag":"WRIT","code":"Computer Science"}}]},"description":"Electives","priority":2}]})txt");
}

TEST(Builder, ExampleFileAsIndentedJson) {
  EXPECT_EQ(parse_example().to_string_pretty().value(), R"txt({
  "version": "0.1.12",
  "requirements": [
    {
      "query": {
        "quantity": {
          "Single": 1
        },
        "type": "Select",
        "selector": [
          {
            "Class": {
              "department_id": "CSCI",
              "course_number": 1010,
              "lab": false
            }
          },
          {
            "Class": {
              "department_id": "CSCI",
              "course_number": 1020,
              "lab": true
            }
          }
        ]
      },
      "description": "Introductory course",
      "priority": 1
    },
    {
      "query": {
        "quantity": {
          "Single": 2
        },
        "type": "Select",
        "selector": [
          {
            "Tag": "QR"
          },
          {
            "Range": {
              "from": {
                "department_id": "CSCI",
                "course_number": 3000,
                "lab": false
              },
              "to": {
                "department_id": "CSCI",
                "course_number": 3990,
                "lab": false
              }
            }
          }
        ]
      },
      "description": "Two \"upper-level\" courses",
      "priority": 1
    },
    {
      "query": {
        "quantity": {
          "Many": {
            "from": 1,
            "to": 2
          }
        },
        "type": "Limit",
        "selector": [
          {
            "Query": {
              "quantity": {
                "Single": 1
              },
              "type": "Select",
              "selector": [
                {
                  "DistCode": {
                    "dist": "TC dist",
                    "code": "Tarrow Major Code"
                  }
                }
              ]
            }
          },
          {
            "Placement": "abc"
          }
        ]
      },
      "description": "At most two",
      "priority": 1
    },
    {
      "query": {
        "quantity": {
          "Single": 3
        },
        "type": "Select",
        "selector": [
          {
            "Class": {
              "department_id": "MATH",
              "course_number": 2010,
              "lab": false
            }
          },
          {
            "TagCode": {
              "tag": "WRIT",
              "code": "Computer Science"
            }
          }
        ]
      },
      "description": "Electives",
      "priority": 2
    }
  ]
})txt");
}

TEST(Builder, ExampleFileAsDiagnosticText) {
  EXPECT_EQ(
      diagnostic_text(parse_example()),
      R"txt(ParseResult { parsed_brix_file: BRIXQueryFile { version: "0.1.12", requirements: [BRIXRequirement { query: BRIXQuery { quantity: Single(1), type: Select, selector: [Class(Class { department_id: "CSCI", course_number: 1010, lab: false }), Class(Class { department_id: "CSCI", course_number: 1020, lab: true })] }, description: "Introductory course", priority: 1 }, BRIXRequirement { query: BRIXQuery { quantity: Single(2), type: Select, selector: [Tag("QR"), Range { from: Class { department_id: "CSCI", course_number: 3000, lab: false }, to: Class { department_id: "CSCI", course_number: 3990, lab: false } }] }, description: "Two \"upper-level\" courses", priority: 1 }, BRIXRequirement { query: BRIXQuery { quantity: Many { from: 1, to: 2 }, type: Limit, selector: [Query(BRIXQuery { quantity: Single(1), type: Select, selector: [DistCode { dist: "TC dist", code: "Tarrow Major Code" }] }), Placement("abc")] }, description: "At most two", priority: 1 }, BRIXRequirement { query: BRIXQuery { quantity: Single(3), type: Select, selector: [Class(Class { department_id: "MATH", course_number: 2010, lab: false }), TagCode { tag: "WRIT", code: "Computer Science" }] }, description: "Electives", priority: 2 }] } })txt");
}

TEST(DecimalU16, ConvertsOrNamesTheFailure) {
  struct Row {
    std::string_view text;
    std::variant<std::uint16_t, IntError> expected;
  };
  const Row rows[] = {
      {"", IntError::Empty},
      {"+", IntError::InvalidDigit},
      {"-", IntError::InvalidDigit},
      {"+5", std::uint16_t{5}},
      {"-5", IntError::InvalidDigit},
      {"++5", IntError::InvalidDigit},
      {"0042", std::uint16_t{42}},
      {"0000000000065535", std::uint16_t{65535}},
      {"65535", std::uint16_t{65535}},
      {"65536", IntError::PosOverflow},
      {"99999", IntError::PosOverflow},
      {"6553a", IntError::InvalidDigit},
      {"65530a", IntError::InvalidDigit},
      {"655350", IntError::PosOverflow},
      {"999999a", IntError::PosOverflow},
      {"12 3", IntError::InvalidDigit},
  };
  for (const Row& row : rows) {
    EXPECT_EQ(detail::parse_decimal_u16(row.text), row.expected) << '"' << row.text << '"';
  }
}

}  // namespace
}  // namespace brix
