// The grammar's rules in their fixed order. Syntax errors list expected rules
// sorted by this order, so the numbering is part of the error texts.
#pragma once

#include "brix/config.hpp"

#include <cstdint>
#include <string_view>

namespace brix {

enum class Rule : std::uint8_t {
  EOI,
  WHITESPACE,
  COMMENT,
  var_start,
  var_continue,
  variable,
  select,
  limit,
  from,
  quantity_single,
  quantity_many,
  quantity,
  class_,
  placement,
  tag,
  range,
  tag_dept,
  dist,
  dist_dept,
  range_dist,
  range_tag,
  bad_query,
  query_name,
  string,
  department_id_char,
  bad_department_id,
  department_id,
  class_id,
  class_argument,
  query_argument,
  lpar,
  rpar,
  XYZ,
  selector_list,
  selector_single,
  selector,
  semicolon,
  statement,
  sep,
  description,
  priority,
  special_statement,
  var_value,
  var_assign,
  extern_keyword,
  extern_decl,
  file,
};

inline constexpr int RULE_COUNT = 47;

// The member's name as written in the grammar ("class" for Rule::class_).
std::string_view rule_name(Rule rule);

// The name shown for the rule in syntax errors ("<CLASS> primitive" for class).
std::string_view renamed_rules_impl(Rule rule);

}  // namespace brix
