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
using testing::parse_and_dump;

TEST(Grammar, BuildsTreesOrReportsTheExpectedRules) {
  using enum Rule;
  struct Row {
    Rule entry;
    std::string input;
    std::string dump;
    int depth = -1;  // how many levels of the tree the dump shows
  };
  const Row rows[] = {
      {file, "", "file[0,0](EOI[0,0])"},
      {file, " // only a comment\n\t", "file[0,20](EOI[20,20])"},
      {file, R"(SELECT 1 FROM ABCD 1010 : "d";)",
       "file[0,30](special_statement[0,29](statement[0,23](select[0,6] "
       "quantity[7,8](quantity_single[7,8]) from[9,13] "
       "selector[14,23](selector_single[14,23](class_argument[14,23](department_id[14,18] "
       "class_id[19,23])))) string[26,29]) EOI[30,30])"},
      // The spaces before ";" were skipped ahead of the absent priority, so
      // they lie inside special_statement; none follow the statement's end.
      {file, R"(SELECT 1 FROM ABCD 1010   : "d"   ;)",
       "file[0,35](special_statement[0,34](statement[0,23] string[28,31]) EOI[35,35])", 3},
      {file, R"(SELECT 1 FROM ABCD 1010 : "d" : 7 ;)",
       "file[0,35](special_statement[0,33](statement[0,23] string[26,29] quantity_single[32,33]) "
       "EOI[35,35])",
       3},
      {file, "LIMIT 1-2 FROM $x:$d;",
       "file[0,21](special_statement[0,20](statement[0,17](limit[0,5] quantity[6,9] from[10,14] "
       "selector[15,17]) variable[18,20]) EOI[21,21])",
       4},
      // No word boundary is demanded after the keywords.
      {file, R"(SELECT1FROM$x:"d";)",
       "file[0,18](special_statement[0,17](statement[0,13](select[0,6] quantity[6,7] from[7,11] "
       "selector[11,13]) string[14,17]) EOI[18,18])",
       4},
      {file, "extern$a;$b=1;",
       "file[0,14](extern_decl[0,8](variable[6,8]) var_assign[9,13](variable[9,11] "
       "var_value[12,13](quantity_single[12,13])) EOI[14,14])"},
      {file, "SELECT // a\n 1 FROM $x : \"d\"; // end",
       "file[0,36](special_statement[0,28](statement[0,22](select[0,6] quantity[13,14] "
       "from[15,19] selector[20,22]) string[25,28]) EOI[36,36])",
       4},

      {var_value, R"("a//""b")", "var_value[0,8](string[0,8])"},
      {var_value, "1-2",
       "var_value[0,3](quantity_many[0,3](quantity_single[0,1] quantity_single[2,3]))"},
      {var_value, "1 - 2", "var_value[0,1](quantity_single[0,1])"},
      {var_value, "[ABCD 1010, $x]",
       "var_value[0,15](selector_list[0,15](selector_single[1,10](class_argument[1,10]("
       "department_id[1,5] class_id[6,10])) selector_single[12,14](variable[12,14])))"},
      {var_value, R"(tag ( "x" , $y ))",
       "var_value[0,16](XYZ[0,16](query_name[0,3](tag[0,3]) query_argument[6,9](string[6,9]) "
       "query_argument[12,14](variable[12,14])))"},
      {var_value, "ABCD1010L",
       "var_value[0,9](class_argument[0,9](department_id[0,4] class_id[4,9]))"},
      {var_value, "[SELECT 2 FROM AB& 1000]",
       "var_value[0,24](selector_list[0,24](selector_single[1,23](statement[1,23](select[1,7] "
       "quantity[8,9](quantity_single[8,9]) from[10,14] "
       "selector[15,23](selector_single[15,23](class_argument[15,23](department_id[15,18] "
       "class_id[19,23])))))))"},

      {query_name, "CLASS", "query_name[0,5](class[0,5])"},
      {query_name, "class", "query_name[0,5](class[0,5])"},
      {query_name, "Class", "query_name[0,5](bad_query[0,5])"},
      {query_name, "TAG_DEPT", "query_name[0,8](tag_dept[0,8])"},
      {query_name, "tags", "query_name[0,4](bad_query[0,4])"},
      {query_name, "TAG_", "query_name[0,4](bad_query[0,4])"},
      {query_name, "RANGE_TAG(", "query_name[0,9](range_tag[0,9])"},
      {query_name, "PLACEMENT2", "query_name[0,10](bad_query[0,10])"},

      {class_argument, "ABCD1010", "class_argument[0,8](department_id[0,4] class_id[4,8])"},
      {class_argument, "ABCD   1010L", "class_argument[0,12](department_id[0,4] class_id[7,12])"},
      {class_argument, "AB& 1010", "class_argument[0,8](department_id[0,3] class_id[4,8])"},
      {class_argument, "AB 1010", "class_argument[0,7](bad_department_id[0,2] class_id[3,7])"},
      {class_argument, "ABCDE 1010", "class_argument[0,10](bad_department_id[0,5] class_id[6,10])"},
      {class_argument, "abcdefg1010",
       "class_argument[0,11](bad_department_id[0,7] class_id[7,11])"},
      {class_argument, "ABCD 10101", "class_argument[0,9](department_id[0,4] class_id[5,9])"},

      // Failures: the furthest position and the rules expected there.
      {var_value, "", "error at 0: expected var_value"},
      {var_value, " 1", "error at 0: expected var_value"},
      {var_value, "$x", "error at 0: expected var_value"},
      {file, "a", "error at 0: expected file"},
      {file, " a", "error at 1: expected EOI, variable, statement, or extern_decl"},
      {file, "\nselect 1 FROM $x : \"d\";",
       "error at 1: expected EOI, variable, statement, or extern_decl"},
      {file, "SELECT x", "error at 7: expected quantity"},
      {file, "SELECT \u0661 FROM $x : \"d\";", "error at 7: expected quantity"},
      {file, "SELECT 1 - 2 FROM ABCD 1010 : \"d\";", "error at 9: expected from"},
      // A missing literal is reported at the last recorded attempt: the
      // alternatives that failed before the course matched.
      {file, "SELECT 1 FROM CLASS(ABCD 1010);", "error at 20: expected variable or string"},
      {file, "SELECT 1 FROM CLASS(ABCD 1010) : \"d\"", "error at 20: expected variable or string"},
      {file, "SELECT 1 FROM CLASS(ABCD 10101) : \"d\";",
       "error at 20: expected variable or string"},
      {file, "SELECT 1 FROM TAG(\"a\nb\") : \"d\";", "error at 18: expected query_argument"},
      {file, "SELECT 1 FROM [ABCD 1010,] : \"d\";", "error at 25: expected selector_single"},
      {file, "SELECT 1 FROM [] : \"d\";", "error at 15: expected selector_single"},
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
    EXPECT_EQ(parse_and_dump(row.entry, row.input, row.depth), row.dump) << row.input;
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
