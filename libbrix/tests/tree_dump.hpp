// Text forms of parse outcomes and error chains for table-driven tests.
#pragma once

#include <string>
#include <variant>
#include <vector>

#include "brix/error_chain.hpp"
#include "brix/rule.hpp"
#include "parser/grammar.hpp"
#include "peg/tree.hpp"

namespace brix::testing {

// Rule names separated by spaces, for readable failure output.
inline std::string rule_names(const std::vector<Rule>& rules) {
  std::string out;
  for (Rule r : rules) {
    if (!out.empty()) out += ' ';
    out += rule_name(r);
  }
  return out;
}

// Where the entry rule's match ends ("matched to <end>"), or the failure as
// "error at <pos>: <rules>".
inline std::string parse_outcome(Rule entry, std::string_view input) {
  auto result = detail::parse_rule(entry, input);
  if (const auto* tree = std::get_if<detail::ParseTree>(&result)) {
    return "matched to " + std::to_string(tree->pairs().next()->end());
  }
  const Error& e = std::get<Error>(result);
  return "error at " + std::to_string(e.location().start) + ": " + e.message();
}

// The chain's entries joined by " | ", a report written as its line and
// column ("4:3", or "4:3-4:5" for a span) and its message; the rendering of
// reports and chains is pinned by their own tests.
inline std::string chain_summary(const ErrorChain& chain) {
  std::string out;
  for (const ErrorChain::Entry& entry : chain.entries()) {
    if (!out.empty()) out += " | ";
    const auto* report = std::get_if<Error>(&entry);
    if (report == nullptr) {
      out += entry_text(entry);
      continue;
    }
    const auto at = [](LineCol lc) {
      return std::to_string(lc.line) + ':' + std::to_string(lc.column);
    };
    out += at(report->line_col().start);
    if (report->line_col().end) out += '-' + at(*report->line_col().end);
    out += ' ' + report->message();
  }
  return out;
}

}  // namespace brix::testing
