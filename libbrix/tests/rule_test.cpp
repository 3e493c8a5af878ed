#include "brix/rule.hpp"

#include <gtest/gtest.h>

namespace brix {
namespace {

TEST(Rule, OrdinalsAndNamesFollowTheGrammarOrder) {
  struct Row {
    Rule rule;
    int ordinal;
    std::string_view name;
    std::string_view display;
  };
  const Row rows[] = {
      {Rule::EOI, 0, "EOI", "EOI"},
      {Rule::quantity_single, 9, "quantity_single", "quantity (u16)"},
      {Rule::quantity, 11, "quantity", "quantity: (single: u16) or (multiple: u16-u16)"},
      {Rule::class_, 12, "class", "<CLASS> primitive"},
      {Rule::string, 23, "string", "<STRING> primitive"},
      {Rule::department_id, 26, "department_id", "department id (4-symbols)"},
      {Rule::class_id, 27, "class_id", "class id (4-digit int)"},
      {Rule::query_argument, 29, "query_argument",
       "query argument (<CLASS> or <STRING> primitives)"},
      {Rule::lpar, 30, "lpar", "("},
      {Rule::rpar, 31, "rpar", ")"},
      {Rule::XYZ, 32, "XYZ", "XYZ"},
      {Rule::semicolon, 36, "semicolon", ";"},
      {Rule::statement, 37, "statement", "statement"},
      {Rule::file, 46, "file", "file"},
  };
  for (const Row& row : rows) {
    EXPECT_EQ(static_cast<int>(row.rule), row.ordinal) << row.name;
    EXPECT_EQ(rule_name(row.rule), row.name);
    EXPECT_EQ(renamed_rules_impl(row.rule), row.display);
  }
}

}  // namespace
}  // namespace brix
