#include "peg/state.hpp"

#include <algorithm>

namespace brix::detail::peg {

void record_attempt(State& s, Rule rule, const AttemptMark& mark) {
  if (s.mode == Mode::Atomic) return;

  const std::size_t before = std::size_t{mark.expected_len} + mark.unexpected_len;
  const std::size_t now = s.attempt_pos == mark.start ? s.expected.size() + s.unexpected.size() : 0;
  // Exactly one new attempt at the start: that more specific attempt stands
  // for this rule.
  if (now > before && now - before == 1) return;

  if (mark.start == s.attempt_pos) {
    s.expected.resize(mark.expected_len);
    s.unexpected.resize(mark.unexpected_len);
  } else if (mark.start > s.attempt_pos) {
    s.expected.clear();
    s.unexpected.clear();
    s.attempt_pos = mark.start;
  } else {
    return;
  }
  (s.lookahead == Lookahead::Negative ? s.unexpected : s.expected).push_back(rule);
}

namespace {

void sort_unique(std::vector<Rule>& rules) {
  std::stable_sort(rules.begin(), rules.end());
  rules.erase(std::unique(rules.begin(), rules.end()), rules.end());
}

}  // namespace

Failure failure_report(State& s) {
  Failure f{s.attempt_pos, std::move(s.expected), std::move(s.unexpected)};
  sort_unique(f.positives);
  sort_unique(f.negatives);
  return f;
}

}  // namespace brix::detail::peg
