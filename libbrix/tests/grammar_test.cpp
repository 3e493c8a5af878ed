#include "parser/grammar.hpp"

#include <gtest/gtest.h>
#include <sys/mman.h>

#include <string>

#include "small_stack.hpp"
#include "tree_dump.hpp"

namespace brix {
namespace {

using detail::parse_rule;
using detail::ParseTree;
using testing::parse_outcome;

TEST(Grammar, ReportsTheExpectedRules) {
  using enum Rule;
  struct Row {
    Rule entry;
    std::string input;
    std::string outcome;
  };
  const Row rows[] = {
      // A range is written without spaces.
      {var_value, "1 - 2", "matched to 1"},

      // Failures: the furthest position and the rules expected there.
      {var_value, "", "error at 0: expected var_value"},
      {var_value, " 1", "error at 0: expected var_value"},
      {var_value, "$x", "error at 0: expected var_value"},
      {file, "a", "error at 0: expected file"},
      {file, " a", "error at 1: expected EOI, variable, statement, or extern_decl"},
      {file, "\nselect 1 FROM $x : \"d\";",
       "error at 1: expected EOI, variable, statement, or extern_decl"},
      {file, "SELECT x", "error at 7: expected quantity"},
      {file, "SELECT 1 - 2 FROM ABCD 1010 : \"d\";", "error at 9: expected from"},
      // A missing literal is reported at the last recorded attempt: the
      // alternatives that failed before the course matched.
      {file, "SELECT 1 FROM CLASS(ABCD 1010);", "error at 20: expected variable or string"},
      {file, "SELECT 1 FROM CLASS(ABCD 10101) : \"d\";",
       "error at 20: expected variable or string"},
      {file, "SELECT 1 FROM TAG(\"a\nb\") : \"d\";", "error at 18: expected query_argument"},
      {file, "SELECT 1 FROM [ABCD 1010,] : \"d\";", "error at 25: expected selector_single"},
      {file, "$a = 1;\nextern $b;", "error at 8: expected EOI, variable, or statement"},
      {file, "SELECT 1 FROM $x : \"d", "error at 19: expected variable or string"},
      {file, "SELECT 1 FROM $x : \"d\" :", "error at 24: expected variable or quantity_single"},
      {file, "SELEC", "error at 0: expected file"},
      // A failed range leaves the one attempt its body recorded.
      {quantity_many, "x", "error at 0: expected quantity_single"},
      {class_argument, "ABcD 1010", "error at 2: expected class_id"},
      {class_argument, "ABCD\t1010", "error at 4: expected class_id"},
      {class_argument, "ABC\u00c91010", "error at 3: expected class_id"},
  };
  for (const Row& row : rows) {
    EXPECT_EQ(parse_outcome(row.entry, row.input), row.outcome) << row.input;
  }
}

TEST(Grammar, RejectsTextsOfFourGiBOrMore) {
  // Untouched pages of an anonymous mapping cost no memory; only the first
  // line is ever read.
  const std::size_t four_gib = std::size_t{1} << 32;
  void* memory = mmap(nullptr, four_gib, PROT_READ | PROT_WRITE,
                      MAP_PRIVATE | MAP_ANONYMOUS | MAP_NORESERVE, -1, 0);
  ASSERT_NE(memory, MAP_FAILED);
  char* text = static_cast<char*>(memory);
  text[0] = 'a';
  text[1] = '\n';

  auto too_large = parse_rule(Rule::file, std::string_view(text, four_gib));
  ASSERT_TRUE(std::holds_alternative<Error>(too_large));
  EXPECT_EQ(
      std::get<Error>(too_large).variant(),
      ErrorVariant(CustomError{"the text is too large to parse (it must be smaller than 4 GiB)"}));
  EXPECT_EQ(std::get<Error>(too_large).line(), "a");

  auto largest = parse_rule(Rule::file, std::string_view(text, four_gib - 1));
  ASSERT_TRUE(std::holds_alternative<Error>(largest));
  EXPECT_EQ(std::get<Error>(largest).variant(), ErrorVariant(ParsingError{{Rule::file}, {}}));
  munmap(memory, four_gib);
}

std::string nested_queries(int levels, bool in_lists) {
  std::string text;
  for (int i = 0; i < levels; ++i) text += in_lists ? "SELECT 1 FROM [" : "SELECT 1 FROM ";
  text += "ABCD 1000";
  if (in_lists) text.append(static_cast<std::size_t>(levels), ']');
  return text + " : \"d\";";
}

std::size_t statement_depth(detail::Pairs pairs) {
  std::size_t deepest = 0;
  for (detail::Pair p : pairs) {
    deepest = std::max(deepest, statement_depth(p.children()) + (p.rule() == Rule::statement));
  }
  return deepest;
}

constexpr std::string_view kTooDeep =
    "queries and selector lists nest too deeply (the limit is 256 levels)";

// Where the parse stops: "parsed, depth N" or "error at OFFSET: MESSAGE".
std::string nesting_outcome(Rule entry, const std::string& text) {
  auto result = parse_rule(entry, text);
  if (const auto* tree = std::get_if<ParseTree>(&result)) {
    return "parsed, depth " + std::to_string(statement_depth(tree->pairs()));
  }
  const Error& e = std::get<Error>(result);
  return "error at " + std::to_string(e.location().start) + ": " + e.message();
}

// Each parse runs on a small stack: the bound must hold before the stack runs out.
TEST(Grammar, BoundsTheNesting) {
  const std::string too_deep = ": " + std::string(kTooDeep);
  std::string value;
  for (int i = 0; i < 200; ++i) value += "[SELECT 1 FROM ";
  struct Row {
    Rule entry;
    std::string text;
    std::string outcome;
  };
  const Row rows[] = {
      {Rule::file, nested_queries(256, false), "parsed, depth 256"},
      {Rule::file, nested_queries(257, false), "error at 3584" + too_deep},
      {Rule::file, nested_queries(1'000'000, false), "error at 3584" + too_deep},
      // A list and the query inside it are two levels.
      {Rule::file, nested_queries(128, true), "parsed, depth 128"},
      {Rule::file, nested_queries(129, true), "error at 1920" + too_deep},
      {Rule::var_value, value, "error at 1920" + too_deep},
  };
  for (const Row& row : rows) {
    std::string outcome;
    test_support::on_small_stack([&] { outcome = nesting_outcome(row.entry, row.text); });
    EXPECT_EQ(outcome, row.outcome) << row.text.size() << " bytes";
  }
}

}  // namespace
}  // namespace brix
