#include <gtest/gtest.h>

#include <string>

#include "peg/constructs.hpp"
#include "peg/state.hpp"
#include "tree_dump.hpp"

namespace brix {
namespace {

using namespace detail::peg;
using testing::rule_names;

// A small grammar over the letters a and b; rule names are borrowed from the
// BRIX rule list only as labels.
void sp(State& s) {
  if (s.mode != Mode::NonAtomic) return;
  while (!s.at_end() && s.peek() == ' ') ++s.pos;
}

// A rule R whose body is the (captureless) lambda given.
template <Rule R, class Body>
constexpr auto node(Body) {
  return [](State& s) { return rule<R>(s, Body{}); };
}

const auto a_ = node<Rule::select>([](State& s) { return literal(s, 'a'); });
const auto b_ = node<Rule::limit>([](State& s) { return literal(s, 'b'); });
const auto seq_ab = node<Rule::from>([](State& s) { return sequence<sp>(s, a_, b_); });
const auto choice_ab = node<Rule::quantity>([](State& s) { return choice(s, a_, b_); });
const auto only_b = node<Rule::quantity>(b_);
const auto star_a = node<Rule::from>([](State& s) { return zero_or_more<sp>(s, a_); });
const auto three_a = node<Rule::from>([](State& s) { return repeat<sp, 3>(s, a_); });
const auto not_a = [](State& s) { return not_followed_by(s, a_); };
const auto not_a_then_b = node<Rule::from>([](State& s) { return sequence<sp>(s, not_a, b_); });
const auto not_not_a = node<Rule::from>([](State& s) { return not_followed_by(s, not_a); });
const auto atomic_ab =
    node<Rule::from>([](State& s) { return with_mode<Mode::Atomic>(s, seq_ab); });
const auto compound_ab = [](State& s) {
  return with_mode<Mode::CompoundAtomic>(
      s, node<Rule::quantity>([](State& t) { return sequence<sp>(t, a_, b_); }));
};
const auto b_a_b = [](State& s) { return choice(s, b_, a_, b_); };
const auto a_or_only_b = [](State& s) { return choice(s, a_, only_b); };
const auto a_or_choice = [](State& s) { return choice(s, a_, choice_ab); };
const auto any_any = node<Rule::string>([](State& s) { return sequence<sp>(s, any, any); });
const auto soi_a = node<Rule::file>(
    [](State& s) { return sequence<sp>(s, soi, star_a, [](State& t) { return soi(t); }); });
const auto a_then_eoi = node<Rule::file>([](State& s) { return sequence<sp>(s, a_, eoi); });

// "fail@pos +expected -unexpected": what a syntax error reports. The shapes
// of matches are pinned through the grammar's trees, which the formatter reads.
std::string run(bool (*entry)(State&), std::string_view input) {
  State s(input);
  if (entry(s)) {
    return "matched @" + std::to_string(s.pos) + ", " + std::to_string(s.tokens.size()) + " tokens";
  }
  EXPECT_EQ(s.pos, 0u) << "a failed entry must restore the position";
  Failure f = failure_report(s);
  return "fail@" + std::to_string(f.pos) + " +[" + rule_names(f.positives) + "] -[" +
         rule_names(f.negatives) + "]";
}

TEST(Engine, MatchesAndReportsAsSpecified) {
  struct Row {
    const char* what;
    bool (*entry)(State&);
    std::string input;
    std::string expected;
  };
  const Row rows[] = {
      {"no skip before the first item", seq_ab, " ab", "fail@0 +[select] -[]"},
      {"only the furthest attempts survive", seq_ab, "ax", "fail@1 +[limit] -[]"},
      {"two new attempts are replaced by the rule", choice_ab, "c", "fail@0 +[quantity] -[]"},
      {"exactly one new attempt stands for the rule", only_b, "c", "fail@0 +[limit] -[]"},
      {"one new attempt after earlier ones", a_or_only_b, "c", "fail@0 +[select limit] -[]"},
      {"two new attempts after earlier ones", a_or_choice, "c", "fail@0 +[select quantity] -[]"},
      {"sorted and without repeats", b_a_b, "c", "fail@0 +[select limit] -[]"},
      {"a rule matched in a negative lookahead is unexpected", not_a_then_b, "a",
       "fail@0 +[] -[select]"},
      {"a double negation records failures as expected", not_not_a, "b", "fail@0 +[select] -[]"},
      {"star leaves trailing spaces outside", star_a, "a a a  b", "matched @5, 8 tokens"},
      {"repeat restores on failure", three_a, "a a b", "fail@4 +[select] -[]"},
      {"atomic: children build no nodes", atomic_ab, "ab", "matched @2, 2 tokens"},
      {"atomic: children record nothing", atomic_ab, "a b", "fail@0 +[from] -[]"},
      {"compound-atomic: children record", compound_ab, "a b", "fail@1 +[limit] -[]"},
      {"start of input only at offset 0", soi_a, "aa", "fail@2 +[select] -[]"},
      {"end of input fails before the end", a_then_eoi, "ab", "fail@1 +[EOI] -[]"},
      {"any takes a four-byte character", any_any, "\U0001F600x", "matched @5, 2 tokens"},
      {"any takes one byte of a malformed sequence", any_any, "\xC3(", "matched @2, 2 tokens"},
  };
  for (const Row& row : rows) {
    EXPECT_EQ(run(row.entry, row.input), row.expected) << row.what;
  }
}

TEST(Engine, AnAbortedParseFailsEveryRule) {
  State s("ab");
  s.pos = 1;
  s.abort_here();
  s.pos = 0;
  EXPECT_FALSE(seq_ab(s));
  EXPECT_TRUE(s.tokens.empty());
  EXPECT_EQ(s.abort_pos, 1u);
  // The first abort keeps its position.
  s.abort_here();
  EXPECT_EQ(s.abort_pos, 1u);
}

}  // namespace
}  // namespace brix
