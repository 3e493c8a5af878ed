#include "parser/rule_names.hpp"

#include <array>

namespace brix {
namespace {

struct RuleNames {
  std::string_view name;
  std::string_view display;
};

// Every rule's name and the text that names it in syntax errors, in rule order.
constexpr std::array<RuleNames, RULE_COUNT> kRuleNames{{
#define BRIX_RULE_NAMES(member, name, display) {name, display},
    BRIX_RULES(BRIX_RULE_NAMES)
#undef BRIX_RULE_NAMES
}};

}  // namespace

std::string_view rule_name(Rule rule) {
  return kRuleNames[static_cast<std::size_t>(rule)].name;
}

std::string_view detail::renamed_rules_impl(Rule rule) {
  return kRuleNames[static_cast<std::size_t>(rule)].display;
}

}  // namespace brix
