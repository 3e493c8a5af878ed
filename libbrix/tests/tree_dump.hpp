// Text forms of parse trees for table-driven tests.
#pragma once

#include <string>
#include <variant>
#include <vector>

#include "brix/rule.hpp"
#include "parser/grammar.hpp"
#include "peg/tree.hpp"

namespace brix::testing {

// One line: rule[start,end] with the children in parentheses, e.g.
// "quantity[7,8](quantity_single[7,8])".
inline std::string dump_spans(detail::Pairs pairs) {
  std::string out;
  bool first = true;
  for (detail::Pair p : pairs) {
    if (!first) out += ' ';
    first = false;
    out += rule_name(p.rule());
    out += '[' + std::to_string(p.start()) + ',' + std::to_string(p.end()) + ']';
    if (!p.children().empty()) out += '(' + dump_spans(p.children()) + ')';
  }
  return out;
}

// One node per line, indented by depth; leaves show their text after ": ".
inline void dump_outline(detail::Pairs pairs, int depth, std::string& out) {
  for (detail::Pair p : pairs) {
    out.append(static_cast<std::size_t>(depth) * 2, ' ');
    out += rule_name(p.rule());
    if (p.children().empty()) {
      if (!p.as_str().empty()) {
        out += ": ";
        out += p.as_str();
      }
    } else {
      out += '\n';
      dump_outline(p.children(), depth + 1, out);
      continue;
    }
    out += '\n';
  }
}

inline std::string dump_outline(detail::Pairs pairs) {
  std::string out;
  dump_outline(pairs, 0, out);
  return out;
}

// Rule names separated by spaces, for readable failure output.
inline std::string rule_names(const std::vector<Rule>& rules) {
  std::string out;
  for (Rule r : rules) {
    if (!out.empty()) out += ' ';
    out += rule_name(r);
  }
  return out;
}

// Parses and dumps, or describes the failure as "error at <pos>: <rules>".
inline std::string parse_and_dump(Rule entry, std::string_view input) {
  auto result = detail::parse_rule(entry, input);
  if (const auto* tree = std::get_if<detail::ParseTree>(&result)) {
    return dump_spans(tree->pairs());
  }
  const Error& e = std::get<Error>(result);
  return "error at " + std::to_string(e.location().start) + ": " + e.message();
}

}  // namespace brix::testing
