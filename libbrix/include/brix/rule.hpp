// The grammar's rules in their fixed order. Syntax errors list expected rules
// sorted by this order, so the numbering is part of the error texts.
#pragma once

#include "brix/config.hpp"

#include <cstdint>
#include <string_view>

namespace brix {

// Every rule once, in the fixed order: the member, its name as written in
// the grammar, and the name shown for it in syntax errors. The keywords that
// name selector functions are given to `F`, every other rule to `X`.
#define BRIX_RULES_SPLIT(X, F)                                                           \
  X(EOI, "EOI", "EOI")                                                                   \
  X(WHITESPACE, "WHITESPACE", "WHITESPACE")                                              \
  X(COMMENT, "COMMENT", "COMMENT")                                                       \
  X(var_start, "var_start", "var_start")                                                 \
  X(var_continue, "var_continue", "var_continue")                                        \
  X(variable, "variable", "variable")                                                    \
  X(select, "select", "select")                                                          \
  X(limit, "limit", "limit")                                                             \
  X(from, "from", "from")                                                                \
  X(quantity_single, "quantity_single", "quantity (u16)")                                \
  X(quantity_many, "quantity_many", "quantity_many")                                     \
  X(quantity, "quantity", "quantity: (single: u16) or (multiple: u16-u16)")              \
  F(class_, "class", "<CLASS> primitive")                                                \
  F(placement, "placement", "placement")                                                 \
  F(tag, "tag", "tag")                                                                   \
  F(range, "range", "range")                                                             \
  F(tag_dept, "tag_dept", "tag_dept")                                                    \
  F(dist, "dist", "dist")                                                                \
  F(dist_dept, "dist_dept", "dist_dept")                                                 \
  F(range_dist, "range_dist", "range_dist")                                              \
  F(range_tag, "range_tag", "range_tag")                                                 \
  X(bad_query, "bad_query", "bad_query")                                                 \
  X(query_name, "query_name", "query_name")                                              \
  X(string, "string", "<STRING> primitive")                                              \
  X(department_id_char, "department_id_char", "department_id_char")                      \
  X(bad_department_id, "bad_department_id", "bad_department_id")                         \
  X(department_id, "department_id", "department id (4-symbols)")                         \
  X(class_id, "class_id", "class id (4-digit int)")                                      \
  X(class_argument, "class_argument", "class_argument")                                  \
  X(query_argument, "query_argument", "query argument (<CLASS> or <STRING> primitives)") \
  X(lpar, "lpar", "(")                                                                   \
  X(rpar, "rpar", ")")                                                                   \
  X(XYZ, "XYZ", "XYZ")                                                                   \
  X(selector_list, "selector_list", "selector_list")                                     \
  X(selector_single, "selector_single", "selector_single")                               \
  X(selector, "selector", "selector")                                                    \
  X(semicolon, "semicolon", ";")                                                         \
  X(statement, "statement", "statement")                                                 \
  X(sep, "sep", "sep")                                                                   \
  X(description, "description", "description")                                           \
  X(priority, "priority", "priority")                                                    \
  X(special_statement, "special_statement", "special_statement")                         \
  X(var_value, "var_value", "var_value")                                                 \
  X(var_assign, "var_assign", "var_assign")                                              \
  X(extern_keyword, "extern_keyword", "extern_keyword")                                  \
  X(extern_decl, "extern_decl", "extern_decl")                                           \
  X(file, "file", "file")

#define BRIX_RULES(X) BRIX_RULES_SPLIT(X, X)

enum class Rule : std::uint8_t {
#define BRIX_RULE_MEMBER(member, name, display) member,
  BRIX_RULES(BRIX_RULE_MEMBER)
#undef BRIX_RULE_MEMBER
};

inline constexpr int RULE_COUNT = 0
#define BRIX_RULE_ONE(member, name, display) +1
    BRIX_RULES(BRIX_RULE_ONE)
#undef BRIX_RULE_ONE
    ;

// The member's name as written in the grammar ("class" for Rule::class_).
std::string_view rule_name(Rule rule);

}  // namespace brix
