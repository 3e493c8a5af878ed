#include "brix/rule.hpp"

#include <array>

namespace brix {
namespace {

struct RuleNames {
  std::string_view name;
  std::string_view display;
};

// Every rule's name and the text that names it in syntax errors, in rule order.
constexpr std::array<RuleNames, RULE_COUNT> kRuleNames{{
    {"EOI", "EOI"},
    {"WHITESPACE", "WHITESPACE"},
    {"COMMENT", "COMMENT"},
    {"var_start", "var_start"},
    {"var_continue", "var_continue"},
    {"variable", "variable"},
    {"select", "select"},
    {"limit", "limit"},
    {"from", "from"},
    {"quantity_single", "quantity (u16)"},
    {"quantity_many", "quantity_many"},
    {"quantity", "quantity: (single: u16) or (multiple: u16-u16)"},
    {"class", "<CLASS> primitive"},
    {"placement", "placement"},
    {"tag", "tag"},
    {"range", "range"},
    {"tag_dept", "tag_dept"},
    {"dist", "dist"},
    {"dist_dept", "dist_dept"},
    {"range_dist", "range_dist"},
    {"range_tag", "range_tag"},
    {"bad_query", "bad_query"},
    {"query_name", "query_name"},
    {"string", "<STRING> primitive"},
    {"department_id_char", "department_id_char"},
    {"bad_department_id", "bad_department_id"},
    {"department_id", "department id (4-symbols)"},
    {"class_id", "class id (4-digit int)"},
    {"class_argument", "class_argument"},
    {"query_argument", "query argument (<CLASS> or <STRING> primitives)"},
    {"lpar", "("},
    {"rpar", ")"},
    {"XYZ", "XYZ"},
    {"selector_list", "selector_list"},
    {"selector_single", "selector_single"},
    {"selector", "selector"},
    {"semicolon", ";"},
    {"statement", "statement"},
    {"sep", "sep"},
    {"description", "description"},
    {"priority", "priority"},
    {"special_statement", "special_statement"},
    {"var_value", "var_value"},
    {"var_assign", "var_assign"},
    {"extern_keyword", "extern_keyword"},
    {"extern_decl", "extern_decl"},
    {"file", "file"},
}};

}  // namespace

std::string_view rule_name(Rule rule) {
  return kRuleNames[static_cast<std::size_t>(rule)].name;
}

std::string_view renamed_rules_impl(Rule rule) {
  return kRuleNames[static_cast<std::size_t>(rule)].display;
}

}  // namespace brix
