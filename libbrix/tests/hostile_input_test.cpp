// Input made to hurt: whatever text arrives, the library answers with a result
// or a clear error, in bounded memory and time, without exhausting the stack.
// Where a row is about which limit stops the input, and where, the error is
// given in the summary form of tree_dump.hpp; the reports' rendering is
// pinned by the error tests.
#include <gtest/gtest.h>

#include <cstddef>
#include <string>
#include <string_view>
#include <utility>

#include "brix/brix.hpp"
#include "small_stack.hpp"
#include "tree_dump.hpp"

namespace brix {
namespace {

using namespace std::string_literals;
using test_support::on_small_stack;

// The compact JSON, or the error: its text, or with `summary` its chain
// summary. Written as the text is read and through the data model alike: the
// JSON sink leaves a crossed limit to the model, which alone knows which
// report is due.
std::string outcome(std::string_view text, ExternValues externals = {}, bool summary = false) {
  std::string json;
  Result<std::size_t> written = parse_to_json(text, externals, json);
  Result<ParseResult> result = parse_with_externals(text, std::move(externals));
  EXPECT_EQ(written.ok(), result.ok());
  if (result) {
    EXPECT_EQ(json, result->to_string().value());
    return json;
  }
  if (!written) {
    EXPECT_TRUE(written.error() == result.error());
  }
  return summary ? testing::chain_summary(result.error()) : result.error().to_string();
}
std::string summary(std::string_view text, ExternValues externals = {}) {
  return outcome(text, std::move(externals), true);
}

std::string repeat(std::string_view piece, std::size_t times) {
  std::string out;
  out.reserve(piece.size() * times);
  for (std::size_t i = 0; i < times; ++i) out += piece;
  return out;
}

std::size_t count(std::string_view text, std::string_view what) {
  std::size_t n = 0;
  for (std::size_t at = text.find(what); at != std::string_view::npos;
       at = text.find(what, at + 1)) {
    ++n;
  }
  return n;
}

std::string too_many_selectors(std::string_view limit) {
  return "variable `$a` expands the document beyond " + std::string(limit) +
         " selectors; a file may copy at most that many selectors out of its variables";
}

// `$a = [CSCI 1010];`, then `times` lines that double `$a`.
std::string doubling(std::size_t times) {
  return "$a = [CSCI 1010];\n" + repeat("$a = [$a, $a];\n", times);
}

// `program` after a comment that makes the text 16 MiB long.
std::string sixteen_mebibytes(const std::string& program) {
  return "//" + std::string((16u << 20) - program.size() - 3, '-') + "\n" + program;
}

TEST(HostileInput, CopyingSelectorsEndsAtTheLimit) {
  // Doubling n copies 2^n selectors; the copies add up to 2^(n+1) - 2, so
  // the twentieth doubling crosses 2^20 at its first use of `$a`.
  const std::string crossed = "21:7-21:9 " + too_many_selectors("1048576");
  struct Row {
    std::string_view name;
    std::string text;
    std::string expected;
  };
  const Row rows[] = {
      {"FortyTimes", doubling(40) + "SELECT 1 FROM $a : \"x\";", crossed},
      // Four thousand uses of 2^19 selectors would need 100 GB; room for them
      // must not be set aside before the limit is checked.
      {"AListNamingALargeVariableManyTimes",
       doubling(19) + "$b = [" + repeat("$a, ", 3999) + "$a];\n", crossed},
      // Nested queries count with their selectors: [SELECT 1 FROM [$a, $a]]
      // holds 2^(n+1) - 1 selectors after n steps.
      {"DoublingInsideNestedQueries",
       "$a = [CSCI 1010];\n" + repeat("$a = [SELECT 1 FROM [$a, $a]];\n", 40),
       "could not parse nested query | failed parsing selector | 20:22-20:24 " +
           too_many_selectors("1048576")},
      // Requirements that copy a list are held to the same limit as
      // assignments: 2^16 copies of 16 selectors fit, one more fails.
      {"RequirementsCopyingAList",
       "$a = [" + repeat("CSCI 1010, ", 15) + "CSCI 1010];\n" +
           repeat("SELECT 1 FROM $a : \"x\";\n", 65535) + "SELECT 1 FROM [$a, $a] : \"x\";\n",
       "failed parsing selector | 65537:20-65537:22 " + too_many_selectors("1048576")},
      // 16 MiB of input allow 2^21 selectors: the twenty-first doubling crosses.
      {"TwentyOneTimesInSixteenMebibytes", sixteen_mebibytes(doubling(21)),
       "23:7-23:9 " + too_many_selectors("2097152")},
  };
  for (const Row& row : rows) EXPECT_EQ(summary(row.text), row.expected) << row.name;
}

TEST(HostileInput, CopiedTextIsLimited) {
  auto message = [](std::string_view name) {
    return "variable `" + std::string(name) +
           "` expands the document beyond 67108864 bytes of text; a file may copy at most that "
           "much text out of its variables";
  };
  const std::string mebibyte = "\"" + std::string(1u << 20, 'x') + "\"";
  struct Row {
    std::string_view name;
    std::string text;
    std::string summary;
  };
  const Row rows[] = {
      // 64 copies of 1 MiB are exactly the limit; the 65th crosses it, so an
      // error on line 66 says the 64 before it fit.
      {"Descriptions", "$d = " + mebibyte + ";\n" + repeat("SELECT 1 FROM CSCI 1010 : $d;\n", 65),
       "66:27-66:29 " + message("$d")},
      {"FunctionArguments",
       "$t = " + mebibyte + ";\n$l = [" + repeat("TAG($t), ", 64) + "DIST($t)];\n",
       "2:588-2:590 " + message("$t")},
      {"TextInsideCopiedSelectors",
       "$l = [TAG(" + mebibyte + ")];\n" + repeat("$l = [$l, $l];\n", 6) + "$m = [$l, $l];\n",
       "7:7-7:9 " + message("$l")},
  };
  for (const Row& row : rows) EXPECT_EQ(summary(row.text), row.summary) << row.name;
}

TEST(HostileInput, ExternDeclarationsCopyTheSuppliedValue) {
  // Each declaration copies the caller's value into the file, so declaring a
  // large value again and again is metered like any other copy.
  VarValue::SelectorList big;
  big.selectors.assign(600'000, Selector{Class{"CSCI", 1010, false}});
  ExternValues externals;
  externals.emplace("$big", VarValue{big});
  EXPECT_EQ(summary("extern $big;\nextern $big;\n", std::move(externals)),
            "2:8-2:12 variable `$big` expands the document beyond 1048576 selectors; a file may "
            "copy at most that many selectors out of its variables");
}

// `$a = [CSCI 1010];`, then `times` lines that put `$a` one query deeper.
std::string deepening(std::size_t times) {
  return "$a = [CSCI 1010];\n" + repeat("$a = [SELECT 1 FROM $a];\n", times);
}

// The builder, the encoders and the destructors all run on the small stack:
// a result at the bound must fit there too.
TEST(HostileInput, VariablesNestQueriesUpToTheBound) {
  on_small_stack([] {
    // A list of one element leaves no trace in the document, so 255 levels of
    // `$a = [SELECT 1 FROM $a];` build what 256 queries written out do.
    Result<ParseResult> built = parse(deepening(255) + "SELECT 1 FROM $a : \"x\";");
    Result<ParseResult> written = parse(repeat("SELECT 1 FROM ", 256) + "CSCI 1010 : \"x\";");
    ASSERT_TRUE(built.ok() && written.ok());
    EXPECT_EQ(*built, *written);
    // Through variables, one level more fits below the requirement's query.
    Result<ParseResult> deepest = parse(deepening(256) + "SELECT 1 FROM $a : \"x\";");
    ASSERT_TRUE(deepest.ok());
    EXPECT_EQ(count(deepest->to_string_pretty().value(), "\"Query\": {"), 256u);
    EXPECT_EQ(count(diagnostic_text(*deepest), "Query(BRIXQuery {"), 256u);
  });
}

TEST(HostileInput, VariablesCannotNestQueriesPastTheBound) {
  struct Row {
    std::string_view name;
    std::string text;
    std::string summary;
  };
  const auto too_deep = [](std::string_view chain, std::string_view variable) {
    return std::string(chain) + " variable `" + std::string(variable) +
           "` nests queries too deeply (the limit is 256 levels)";
  };
  const Row rows[] = {
      {"AMillionTimes", deepening(1'000'000),
       too_deep("could not parse nested query | failed parsing selector | 258:21-258:23", "$a")},
      {"InsideANestedRequirement", deepening(256) + "SELECT 1 FROM [SELECT 1 FROM $a] : \"x\";",
       too_deep("failed parsing selector | could not parse nested query | failed parsing selector "
                "| 258:30-258:32",
                "$a")},
      {"InsideAnotherVariable",
       deepening(200) + "$b = [SELECT 1 FROM $a];\n" + repeat("$b = [SELECT 1 FROM $b];\n", 55) +
           "$c = [SELECT 1 FROM $b];\n",
       too_deep("could not parse nested query | failed parsing selector | 258:21-258:23", "$b")},
  };
  for (const Row& row : rows) {
    std::string got;
    on_small_stack([&] { got = summary(row.text); });
    EXPECT_EQ(got, row.summary) << row.name;
  }
}

// "SELECT 1010" could also begin a course, so a nested statement is read ahead
// before it is read; a chain of them to the nesting bound must not read ahead
// once per path through the chain, which doubles with every level.
TEST(HostileInput, NestedStatementsThatBeginLikeCourses) {
  const std::string chain = repeat("SELECT 10102 FROM\n", 255);
  const std::string valid = outcome(chain + "CSCI 1010 : \"x\";");
  EXPECT_EQ(count(valid, R"("Query")"), 254u);
  EXPECT_EQ(count(valid, R"("Single":10102)"), 255u);
  EXPECT_EQ(summary("SELECT 1 FROM " + repeat("LIMIT 10102 FROM\n", 254) + "CSCI 1010 : \"x\";"),
            "failed parsing selector | could not parse nested query | 1:15-1:20 LIMIT must be a "
            "top-level query");
  EXPECT_EQ(summary(chain + "CSCI 1010 : \"x\""),
            "256:1 expected variable, XYZ, selector_list, or statement");
}

TEST(HostileInput, HundredThousandVariables) {
  std::string text;
  std::string list;
  for (int i = 0; i < 100'000; ++i) {
    const std::string name = "$v" + std::to_string(i);
    text += name + " = CSCI " + std::to_string(1000 + i % 9000) + ";\n";
    list += (i ? ", " : "") + name;
  }
  // Every name is found, each to its own value, and a near miss is not.
  Result<ParseResult> all = parse(text + "SELECT 1 FROM [" + list + "] : \"all\";");
  ASSERT_TRUE(all.ok());
  const auto& selectors = all->parsed_brix_file.requirements.at(0).query.selector;
  ASSERT_EQ(selectors.size(), 100'000u);
  EXPECT_EQ(std::get<Class>(selectors[12'345].value).course_number, 1000 + 12'345 % 9000);
  EXPECT_EQ(summary(text + "SELECT 1 FROM $v100000 : \"x\";"),
            "failed parsing selector | 100001:15-100001:23 undefined variable `$v100000`");
}

TEST(HostileInput, NulCharacters) {
  struct Row {
    std::string_view name;
    std::string text;
    std::string expected;
  };
  const Row rows[] = {
      {"InADescription", "SELECT 1 FROM CSCI 1010 : \"a\0b\";"s,
       R"txt({"version":"0.1.12","requirements":[{"query":{"quantity":{"Single":1},"type":"Select","selector":[{"Class":{"department_id":"CSCI","course_number":1010,"lab":false}}]},"description":"a\u0000b","priority":1}]})txt"},
      {"InAComment", "// \0\0\nSELECT 1 FROM CSCI 1010 : \"d\";"s,
       R"txt({"version":"0.1.12","requirements":[{"query":{"quantity":{"Single":1},"type":"Select","selector":[{"Class":{"department_id":"CSCI","course_number":1010,"lab":false}}]},"description":"d","priority":1}]})txt"},
      {"BetweenTokens", "SELECT 1\0 FROM CSCI 1010 : \"d\";"s,
       " --> 1:9\n  |\n1 | SELECT 1\0 FROM CSCI 1010 : \"d\";\n  |         ^---\n  |\n"
       "  = expected from"s},
      {"OnlyNuls", std::string(1000, '\0'),
       " --> 1:1\n  |\n1 | " + std::string(1000, '\0') + "\n  | ^---\n  |\n  = expected file"},
  };
  for (const Row& row : rows) EXPECT_EQ(outcome(row.text), row.expected) << row.name;

  Result<VarValue> value = parse_extern_value("TAG(\"\0\")"s);
  ASSERT_TRUE(value.ok());
  EXPECT_EQ(diagnostic_text(*value), R"txt(Selector(Tag("\0")))txt");
}

TEST(HostileInput, CarriageReturnsWithoutLineFeeds) {
  // A lone carriage return is no line break: the whole text is line 1, and
  // the quoted line leaves the carriage returns out.
  struct Row {
    std::string_view name;
    std::string text;
    std::string expected;
  };
  const Row rows[] = {
      {"Parses", "$a = CSCI 1010;\rSELECT 1 FROM $a : \"d\";\r\r",
       R"txt({"version":"0.1.12","requirements":[{"query":{"quantity":{"Single":1},"type":"Select","selector":[{"Class":{"department_id":"CSCI","course_number":1010,"lab":false}}]},"description":"d","priority":1}]})txt"},
      // At a carriage return the quoted line shows it, elsewhere not.
      {"SyntaxErrorAtACarriageReturn", "SELECT 1 FROM CSCI\r1010 : \"d\";",
       " --> 1:19\n  |\n1 | SELECT 1 FROM CSCI\xE2\x90\x8D"
       "1010 : \"d\";\n  |                   ^---\n  |\n  = expected class id (4-digit int)"},
      {"NoCarriageReturnInAString", "SELECT 1 FROM CSCI 1010 : \"a\rb\";",
       " --> 1:27\n  |\n1 | SELECT 1 FROM CSCI 1010 : \"ab\";\n  |                           ^---\n"
       "  |\n  = expected variable or <STRING> primitive"},
  };
  for (const Row& row : rows) EXPECT_EQ(outcome(row.text), row.expected) << row.name;
}

// Which bytes are invalid is the UTF-8 check's own test; here every entry
// point turns them away with its message.
TEST(HostileInput, InvalidUtf8IsRefusedByEveryEntryPoint) {
  struct Row {
    std::string_view name;
    std::string text;
    std::size_t offset;
  };
  const Row rows[] = {
      {"StrayContinuationByte", "SELECT 1 FROM \x80", 14},
      {"CutShortAtTheEnd", "\"caf\xC3", 4},
  };
  for (const Row& row : rows) {
    const std::string expected =
        "input is not valid UTF-8: invalid byte at offset " + std::to_string(row.offset);
    EXPECT_EQ(outcome(row.text), expected) << row.name;
    Result<VarValue> value = parse_extern_value(row.text);
    ASSERT_FALSE(value.ok()) << row.name;
    EXPECT_EQ(value.error().to_string(), expected) << row.name;
  }
}

}  // namespace
}  // namespace brix
