// Input made to hurt: whatever text arrives, the library answers with a result
// or a clear error, in bounded memory and time, without exhausting the stack.
#include <gtest/gtest.h>

#include <cstddef>
#include <functional>
#include <optional>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

#include "brix/brix.hpp"
#include "small_stack.hpp"

namespace brix {
namespace {

using namespace std::string_literals;

// The compact JSON, or the chain text of the error.
std::string outcome(std::string_view text, ExternValues externals = {}) {
  Result<ParseResult> result = parse_with_externals(text, std::move(externals));
  if (!result) return result.error().to_string();
  return result->to_string().value();
}

std::string repeat(std::string_view piece, std::size_t times) {
  std::string out;
  out.reserve(piece.size() * times);
  for (std::size_t i = 0; i < times; ++i) out += piece;
  return out;
}

// The last line of a chain's text: the message of its innermost report.
std::string_view last_line(std::string_view text) {
  return text.substr(text.rfind('\n') + 1);
}

using test_support::on_small_stack;

constexpr std::string_view kTooManySelectors =
    "variable `$a` expands the document beyond 1048576 selectors; a file may copy at most that "
    "many selectors out of its variables";

// `$a = [CSCI 1010];`, then `times` lines that double `$a`.
std::string doubling(std::size_t times) {
  return "$a = [CSCI 1010];\n" + repeat("$a = [$a, $a];\n", times);
}

TEST(HostileInput, DoublingAVariableEndsAtTheSelectorLimit) {
  // Doubling n copies 2^n selectors; the copies add up to 2^(n+1) - 2, so
  // the twentieth doubling crosses 2^20 at its first use of `$a`.
  const std::string report = R"txt(  --> 21:7
   |
21 | $a = [$a, $a];
   |       ^^
   |
   = )txt" + std::string(kTooManySelectors);
  struct Row {
    std::string_view name;
    std::string text;
    std::string expected;
  };
  const Row rows[] = {
      {"NineteenTimesFits", doubling(19), R"txt({"version":"0.1.12","requirements":[]})txt"},
      {"FortyTimes", doubling(40) + "SELECT 1 FROM $a : \"x\";", report},
      // Nested queries count with their selectors: [SELECT 1 FROM [$a, $a]]
      // holds 2^(n+1) - 1 selectors after n steps.
      {"DoublingInsideNestedQueries",
       "$a = [CSCI 1010];\n" + repeat("$a = [SELECT 1 FROM [$a, $a]];\n", 40),
       R"txt(could not parse nested query

Caused by:
    0: failed parsing selector
    1:   --> 20:22
          |
       20 | $a = [SELECT 1 FROM [$a, $a]];
          |                      ^^
          |
          = )txt" +
           std::string(kTooManySelectors)},
      // Requirements that copy a list are held to the same limit as
      // assignments: 2^16 copies of 16 selectors fit, one more fails.
      {"RequirementsCopyingAList",
       "$a = [" + repeat("CSCI 1010, ", 15) + "CSCI 1010];\n" +
           repeat("SELECT 1 FROM $a : \"x\";\n", 65535) + "SELECT 1 FROM [$a, $a] : \"x\";\n",
       R"txt(failed parsing selector

Caused by:
         --> 65537:20
          |
    65537 | SELECT 1 FROM [$a, $a] : "x";
          |                    ^^
          |
          = )txt" +
           std::string(kTooManySelectors)},
  };
  for (const Row& row : rows) EXPECT_EQ(outcome(row.text), row.expected) << row.name;
}

TEST(HostileInput, AListNamingALargeVariableManyTimesFailsBeforeItsCopies) {
  // Four thousand uses of 2^19 selectors would need 100 GB; room for them must
  // not be set aside before the limit is checked.
  const std::string text = doubling(19) + "$b = [" + repeat("$a, ", 3999) + "$a];\n";
  const std::string got = outcome(text);
  EXPECT_EQ(got.substr(0, got.find('\n')), "  --> 21:7");
  EXPECT_EQ(last_line(got), "   = " + std::string(kTooManySelectors));
}

// `program` after a comment that makes the text 16 MiB long.
std::string sixteen_mebibytes(const std::string& program) {
  return "//" + std::string((16u << 20) - program.size() - 3, '-') + "\n" + program;
}

TEST(HostileInput, TheSelectorLimitGrowsWithALargeInput) {
  // 16 MiB of input allow 2^21 selectors: the twentieth doubling fits.
  EXPECT_EQ(outcome(sixteen_mebibytes(doubling(20))),
            R"txt({"version":"0.1.12","requirements":[]})txt");
  EXPECT_EQ(last_line(outcome(sixteen_mebibytes(doubling(21)))),
            "   = variable `$a` expands the document beyond 2097152 selectors; a file may copy at "
            "most that many selectors out of its variables");
}

TEST(HostileInput, CopiedTextIsLimited) {
  auto message = [](std::string_view name) {
    return "= variable `" + std::string(name) +
           "` expands the document beyond 67108864 bytes of text; a file may copy at most that "
           "much text out of its variables";
  };
  const std::string mebibyte = "\"" + std::string(1u << 20, 'x') + "\"";
  struct Row {
    std::string_view name;
    std::string text;
    std::string last_line;
  };
  const Row rows[] = {
      // 64 copies of 1 MiB are exactly the limit; the 65th crosses it.
      {"Descriptions", "$d = " + mebibyte + ";\n" + repeat("SELECT 1 FROM CSCI 1010 : $d;\n", 65),
       "   " + message("$d")},
      {"FunctionArguments",
       "$t = " + mebibyte + ";\n$l = [" + repeat("TAG($t), ", 64) + "DIST($t)];\n",
       "  " + message("$t")},
      {"TextInsideCopiedSelectors",
       "$l = [TAG(" + mebibyte + ")];\n" + repeat("$l = [$l, $l];\n", 6) + "$m = [$l, $l];\n",
       "  " + message("$l")},
  };
  for (const Row& row : rows) EXPECT_EQ(last_line(outcome(row.text)), row.last_line) << row.name;

  // Sixty-four copies still make a document.
  Result<ParseResult> fits =
      parse("$d = " + mebibyte + ";\n" + repeat("SELECT 1 FROM CSCI 1010 : $d;\n", 64));
  ASSERT_TRUE(fits.ok());
  EXPECT_EQ(fits->parsed_brix_file.requirements.size(), 64u);
}

TEST(HostileInput, ExternDeclarationsCopyTheSuppliedValue) {
  // Each declaration copies the caller's value into the file, so declaring a
  // large value again and again is metered like any other copy.
  VarValue::SelectorList big;
  big.selectors.assign(600'000, Selector{Class{"CSCI", 1010, false}});
  ExternValues externals;
  externals.emplace("$big", VarValue{big});
  EXPECT_EQ(outcome("extern $big;\nextern $big;\n", std::move(externals)),
            R"txt( --> 2:8
  |
2 | extern $big;
  |        ^--^
  |
  = variable `$big` expands the document beyond 1048576 selectors; a file may copy at most that many selectors out of its variables)txt");
}

// `$a = [CSCI 1010];`, then `times` lines that put `$a` one query deeper.
std::string deepening(std::size_t times) {
  return "$a = [CSCI 1010];\n" + repeat("$a = [SELECT 1 FROM $a];\n", times);
}

std::size_t query_depth(const std::vector<Selector>& selectors) {
  std::size_t deepest = 0;
  for (const Selector& s : selectors) {
    if (const auto* q = std::get_if<Selector::Query>(&s.value)) {
      deepest = std::max(deepest, 1 + query_depth(q->query->selector));
    }
  }
  return deepest;
}

std::size_t count(std::string_view text, std::string_view what) {
  std::size_t n = 0;
  for (std::size_t at = text.find(what); at != std::string_view::npos;
       at = text.find(what, at + 1)) {
    ++n;
  }
  return n;
}

TEST(HostileInput, ValuesBuiltThroughVariablesEqualTheTextWrittenOut) {
  // A list of one element leaves no trace in the document, so 255 levels of
  // `$a = [SELECT 1 FROM $a];` build what 256 queries written out do.
  Result<ParseResult> built = parse(deepening(255) + "SELECT 1 FROM $a : \"x\";");
  Result<ParseResult> written = parse(repeat("SELECT 1 FROM ", 256) + "CSCI 1010 : \"x\";");
  ASSERT_TRUE(built.ok() && written.ok());
  EXPECT_EQ(*built, *written);
}

TEST(HostileInput, VariablesCannotNestQueriesPastTheBound) {
  struct Row {
    std::string_view name;
    std::string text;
    std::optional<std::string> error_line;  // absent: parses
    std::string_view variable = "$a";       // the one the error names
  };
  const Row rows[] = {
      {"TwoHundredFiftySixLevels", deepening(256) + "SELECT 1 FROM $a : \"x\";", std::nullopt},
      {"AMillionTimes", deepening(1'000'000), "258 | $a = [SELECT 1 FROM $a];"},
      {"InsideANestedRequirement", deepening(256) + "SELECT 1 FROM [SELECT 1 FROM $a] : \"x\";",
       "258 | SELECT 1 FROM [SELECT 1 FROM $a] : \"x\";"},
      {"InsideAnotherVariable",
       deepening(200) + "$b = [SELECT 1 FROM $a];\n" + repeat("$b = [SELECT 1 FROM $b];\n", 55) +
           "$c = [SELECT 1 FROM $b];\n",
       "258 | $c = [SELECT 1 FROM $b];", "$b"},
  };
  for (const Row& row : rows) {
    // The builder, the encoders and the destructors all run on the small
    // stack: a result at the bound must fit there too.
    on_small_stack([&] {
      Result<ParseResult> result = parse(row.text);
      if (!row.error_line) {
        ASSERT_TRUE(result.ok()) << row.name << "\n" << result.error().to_string();
        const auto& selectors = result->parsed_brix_file.requirements.at(0).query.selector;
        EXPECT_EQ(query_depth(selectors), 256u) << row.name;
        EXPECT_EQ(count(result->to_string_pretty().value(), "\"Query\": {"), 256u) << row.name;
        EXPECT_EQ(count(diagnostic_text(*result), "Query(BRIXQuery {"), 256u) << row.name;
        return;
      }
      ASSERT_FALSE(result.ok()) << row.name;
      const std::string text = result.error().to_string();
      EXPECT_NE(text.find(*row.error_line), std::string::npos) << row.name << "\n" << text;
      EXPECT_EQ(last_line(text).substr(last_line(text).find("= ")),
                "= variable `" + std::string(row.variable) +
                    "` nests queries too deeply (the limit is 256 levels)")
          << row.name;
    });
  }
}

TEST(HostileInput, DeepExternValuesFailOnASmallStack) {
  // One list, then nested queries without lists: one level each.
  struct Row {
    std::size_t queries;
    std::optional<std::size_t> error_at;  // absent: parses
  };
  const Row rows[] = {{255, std::nullopt}, {1'000'000, 1 + 255 * 14}};
  for (const Row& row : rows) {
    std::string text = "[";
    text += repeat("SELECT 1 FROM ", row.queries);
    text += "CSCI 1010]";
    on_small_stack([&] {
      Result<VarValue> value = parse_extern_value(text);
      if (row.error_at) {
        ASSERT_FALSE(value.ok()) << row.queries;
        const auto* report = std::get_if<Error>(&value.error().entries().front());
        ASSERT_NE(report, nullptr);
        EXPECT_EQ(report->message(),
                  "queries and selector lists nest too deeply (the limit is 256 levels)");
        EXPECT_EQ(report->location().start, *row.error_at);
        return;
      }
      ASSERT_TRUE(value.ok()) << row.queries;
      EXPECT_EQ(count(diagnostic_text(*value), "Query(BRIXQuery {"), 255u);
      // In a file the value may stand inside one nested query, not two.
      ExternValues externals;
      externals.emplace("$deep", *value);
      EXPECT_TRUE(parse_with_externals("extern $deep; SELECT 1 FROM [SELECT 1 FROM $deep] : \"x\";",
                                       externals)
                      .ok());
      EXPECT_EQ(last_line(outcome(
                    "extern $deep; SELECT 1 FROM [SELECT 1 FROM [SELECT 1 FROM $deep]] : \"x\";",
                    std::move(externals))),
                "         = variable `$deep` nests queries too deeply (the limit is 256 "
                "levels)");
    });
  }
}

TEST(HostileInput, LargeInputs) {
  const std::string ten_mib(10u << 20, 'x');
  struct Row {
    std::string_view name;
    std::string text;
    std::string expected_prefix;  // of the JSON or the error text
    std::size_t size;             // of the JSON or the error text
  };
  const Row rows[] = {
      // The report quotes the whole line.
      {"ErrorAtTheEndOfATenMebibyteLine",
       "// " + ten_mib + "\nSELECT 1 FROM QQQZ 1010 : \"" + ten_mib +
           "\"; SELECT 1 FROM QQQZ 1010 : \"y\";",
       "failed parsing selector\n\nCaused by:\n     --> 2:15\n", (10u << 20) + 248},
      {"FiftyMebibyteComment", "// " + std::string(50u << 20, '-'),
       R"txt({"version":"0.1.12","requirements":[]})txt", 38},
      {"FiftyMebibyteDescription",
       "SELECT 1 FROM CSCI 1010 : \"" + std::string(50u << 20, 'x') + "\";",
       R"txt({"version":"0.1.12","requirements":[{"query":{"quantity":{"Single":1},"type":"Select","selector":[{"Class":{"department_id":"CSCI","course_number":1010,"lab":false}}]},"description":"xxx)txt",
       (50u << 20) + 200},
      {"FiftyMebibytesOfRequirements", repeat("SELECT 1 FROM CSCI 1010 : \"d\";\n", 1'750'000),
       R"txt({"version":"0.1.12","requirements":[{"query")txt", 1'750'000 * 164 + 37},
      {"SyntaxErrorAfterFiftyMebibyteLines", std::string(50u << 20, '\n') + "SELECT 1 FROM ;",
       "        --> 52428801:15\n         |\n52428801 | SELECT 1 FROM ;\n         |               "
       "^---\n"
       "         |\n         = expected selector",
       131},
  };
  for (const Row& row : rows) {
    const std::string got = outcome(row.text);
    EXPECT_EQ(got.substr(0, row.expected_prefix.size()), row.expected_prefix) << row.name;
    EXPECT_EQ(got.size(), row.size) << row.name;
  }
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
  EXPECT_EQ(last_line(outcome(text + "SELECT 1 FROM $v100000 : \"x\";")),
            "           = undefined variable `$v100000`");

  // The same name reassigned 100,000 times keeps the last value.
  Result<ParseResult> reassigned =
      parse(repeat("$v = CSCI 1010;\n", 99'999) + "$v = MATH 2000;\nSELECT 1 FROM $v : \"x\";");
  ASSERT_TRUE(reassigned.ok());
  EXPECT_EQ(
      std::get<Class>(reassigned->parsed_brix_file.requirements.at(0).query.selector.at(0).value)
          .department_id,
      "MATH");
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
      {"SemanticError", "$a = CSCI 1010;\rSELECT 1 FROM QQQZ 1010 : \"d\";\r",
       "failed parsing selector\n\nCaused by:\n     --> 1:31\n      |\n    1 | $a = CSCI "
       "1010;SELECT 1 FROM QQQZ 1010 : \"d\";\n      |                               ^--^\n      "
       "|\n      = this department does not exist in Tarrow's course catalog (Did you mean: "
       "WRIT)"},
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
