// The names syntax errors give the grammar's rules.
#pragma once

#include <string_view>

#include "brix/rule.hpp"

namespace brix::detail {

// The name shown for the rule in syntax errors ("<CLASS> primitive" for class).
std::string_view renamed_rules_impl(Rule rule);

}  // namespace brix::detail
