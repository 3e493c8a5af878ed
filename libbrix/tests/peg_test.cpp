#include <gtest/gtest.h>

#include <string>

#include "peg/constructs.hpp"
#include "peg/state.hpp"
#include "tree_dump.hpp"

namespace brix {
namespace {

using namespace detail::peg;
using namespace std::string_literals;
using testing::dump_spans;
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
const auto plus_a = node<Rule::from>([](State& s) { return one_or_more<sp>(s, a_); });
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
const auto atomic_in_atomic =
    node<Rule::var_value>([](State& s) { return with_mode<Mode::Atomic>(s, atomic_ab); });
const auto ab_or_aa = node<Rule::file>([](State& s) {
  return choice(
      s, [](State& t) { return sequence<sp>(t, a_, b_); },
      [](State& t) { return sequence<sp>(t, a_, a_); });
});
const auto b_a_b = [](State& s) { return choice(s, b_, a_, b_); };
const auto a_or_only_b = [](State& s) { return choice(s, a_, only_b); };
const auto a_or_choice = [](State& s) { return choice(s, a_, choice_ab); };
const auto soi_a = node<Rule::file>(
    [](State& s) { return sequence<sp>(s, soi, star_a, [](State& t) { return soi(t); }); });
const auto a_then_eoi = node<Rule::file>([](State& s) { return sequence<sp>(s, a_, eoi); });
const auto any_any = node<Rule::string>([](State& s) { return sequence<sp>(s, any, any); });
const auto range_az = node<Rule::string>([](State& s) { return range<'a', 'z'>(s); });
const auto keyword = node<Rule::string>([](State& s) { return literal(s, "abc"); });

// The tree as spans, or "fail@pos +expected -unexpected".
std::string run(bool (*entry)(State&), std::string_view input) {
  State s(input);
  if (entry(s)) {
    detail::ParseTree tree(input, std::move(s.tokens));
    return dump_spans(tree.pairs()) + " @" + std::to_string(s.pos);
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
      {"sequence skips between items", seq_ab, "a  b", "from[0,4](select[0,1] limit[3,4]) @4"},
      {"no skip before the first item", seq_ab, " ab", "fail@0 +[select] -[]"},
      {"only the furthest attempts survive", seq_ab, "ax", "fail@1 +[limit] -[]"},
      {"two new attempts are replaced by the rule", choice_ab, "c", "fail@0 +[quantity] -[]"},
      {"exactly one new attempt stands for the rule", only_b, "c", "fail@0 +[limit] -[]"},
      {"one new attempt after earlier ones", a_or_only_b, "c", "fail@0 +[select limit] -[]"},
      {"two new attempts after earlier ones", a_or_choice, "c", "fail@0 +[select quantity] -[]"},
      {"sorted and without repeats", b_a_b, "c", "fail@0 +[select limit] -[]"},
      {"a failed alternative leaves no tokens", ab_or_aa, "aa",
       "file[0,2](select[0,1] select[1,2]) @2"},
      {"star leaves trailing spaces outside", star_a, "a a a  b",
       "from[0,5](select[0,1] select[2,3] select[4,5]) @5"},
      {"star matches nothing", star_a, "b", "from[0,0] @0"},
      {"plus skips after its first item", plus_a, "a  b", "from[0,3](select[0,1]) @3"},
      {"plus needs one", plus_a, "b", "fail@0 +[select] -[]"},
      {"repeat joins its copies like a sequence", three_a, "a a a a",
       "from[0,5](select[0,1] select[2,3] select[4,5]) @5"},
      {"repeat restores on failure", three_a, "a a b", "fail@4 +[select] -[]"},
      {"negative lookahead passes", not_a_then_b, "b", "from[0,1](limit[0,1]) @1"},
      {"a rule matched in a negative lookahead is unexpected", not_a_then_b, "a",
       "fail@0 +[] -[select]"},
      {"a double negation records failures as expected", not_not_a, "b", "fail@0 +[select] -[]"},
      {"a double negation builds no tokens", not_not_a, "a", "from[0,0] @0"},
      {"atomic: no nodes, no skipping inside", atomic_ab, "ab", "from[0,2] @2"},
      {"atomic: children record nothing", atomic_ab, "a b", "fail@0 +[from] -[]"},
      {"compound-atomic: nodes but no skipping", compound_ab, "ab",
       "quantity[0,2](select[0,1] limit[1,2]) @2"},
      {"compound-atomic: children record", compound_ab, "a b", "fail@1 +[limit] -[]"},
      {"an atomic rule inside atomic mode builds no node", atomic_in_atomic, "ab",
       "var_value[0,2] @2"},
      {"start of input only at offset 0", soi_a, "aa", "fail@2 +[select] -[]"},
      {"end of input is an empty node", a_then_eoi, "a ", "file[0,2](select[0,1] EOI[2,2]) @2"},
      {"end of input fails before the end", a_then_eoi, "ab", "fail@1 +[EOI] -[]"},
      {"any takes whole characters", any_any, "\u00e9\u20ac", "string[0,5] @5"},
      {"any takes a four-byte character", any_any, "\U0001F600x", "string[0,5] @5"},
      {"any takes one byte of a malformed sequence", any_any, "\xC3(", "string[0,2] @2"},
      {"any fails at the end", any_any, "x", "fail@0 +[string] -[]"},
      {"range fails on non-ASCII", range_az, "\u00e9", "fail@0 +[string] -[]"},
      {"range fails at the end", range_az, "", "fail@0 +[string] -[]"},
      {"range takes a NUL-free letter", range_az, "q", "string[0,1] @1"},
      {"literal cut short by the end", keyword, "ab", "fail@0 +[string] -[]"},
      {"literal with a NUL inside the input", keyword, "ab\0"s, "fail@0 +[string] -[]"},
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

// The dumps above walk the tree by iteration and the builder reads texts;
// this covers the rest of it.
TEST(ParseTree, PairsWalkSiblingsAndChildren) {
  State s("a ab");
  ASSERT_TRUE(node<Rule::file>([](State& st) { return sequence<sp>(st, a_, seq_ab); })(s));
  detail::ParseTree tree("a ab", std::move(s.tokens));
  detail::Pairs kids = tree.pairs().next()->children();
  ASSERT_EQ(kids.peek()->rule(), Rule::select);
  kids.next();
  auto second = kids.next();
  EXPECT_TRUE(kids.empty());
  EXPECT_EQ(second->as_str(), "ab");
  EXPECT_EQ(second->start(), 2u);
}

}  // namespace
}  // namespace brix
