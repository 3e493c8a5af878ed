// The matching engine's state for one parse: the position, the matching mode,
// the lookahead polarity, the flat token list under construction and the
// record of failed rule attempts from which syntax errors are reported.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string_view>
#include <vector>

#include "brix/rule.hpp"
#include "peg/tree.hpp"

// Forces inlining even in unoptimised builds, so that a rule function and the
// constructs it is written in share one stack frame: the nesting bound's
// stack budget then holds in debug and sanitizer builds too.
#define BRIX_ALWAYS_INLINE __attribute__((always_inline))

namespace brix::detail::peg {

// Non-atomic skips whitespace and comments between items; compound-atomic
// skips nothing but still builds nodes; atomic skips nothing, builds no nodes
// for the rules it calls and records no attempts for them.
enum class Mode : std::uint8_t { NonAtomic, CompoundAtomic, Atomic };

enum class Lookahead : std::uint8_t { None, Positive, Negative };

struct State {
  // The caller guarantees that the input is shorter than 4 GiB, so every
  // offset fits a token.
  explicit State(std::string_view text)
      : input(text.data()), size(static_cast<std::uint32_t>(text.size())) {}

  const char* input;
  std::uint32_t size;
  std::uint32_t pos = 0;
  Mode mode = Mode::NonAtomic;
  Lookahead lookahead = Lookahead::None;
  TokenList tokens;
  std::vector<Rule> expected;    // rules that failed at attempt_pos
  std::vector<Rule> unexpected;  // rules that matched inside a negative lookahead there
  std::uint32_t attempt_pos = 0;
  // Attempts only matter when the parse fails, and recording them never
  // changes what matches, so a parse may run without them first and repeat
  // with them only if it fails.
  bool track_attempts = true;

  // Nesting of the constructs the grammar chooses to count.
  int depth = 0;
  // Set once the parse has to fail whatever follows; from then on every rule
  // fails at once so the recursion unwinds without further work.
  bool aborted = false;
  std::uint32_t abort_pos = 0;

  bool at_end() const { return pos >= size; }
  unsigned char peek() const { return static_cast<unsigned char>(input[pos]); }

  // Only ever shortens the list. erase() at the end is a pointer move, where
  // resize() is an out-of-line call that also has to handle growing.
  BRIX_ALWAYS_INLINE void truncate_tokens(std::size_t len) {
    tokens.erase(tokens.begin() + static_cast<std::ptrdiff_t>(len), tokens.end());
  }

  BRIX_ALWAYS_INLINE bool builds_tokens() const {
    return lookahead == Lookahead::None && mode != Mode::Atomic;
  }

  // Ends the parse: from now on every rule fails at once.
  bool abort_here() {
    if (!aborted) {
      aborted = true;
      abort_pos = pos;
    }
    return false;
  }
};

// The list lengths at a rule's start, needed to decide what its failure records.
struct AttemptMark {
  std::uint32_t start;
  std::uint32_t expected_len;    // e0: kept when the rule replaces its children's attempts
  std::uint32_t unexpected_len;  // u0
};

// Records that the rule `rule`, started at mark.start, failed (or matched in a
// negative lookahead). Out of line: it runs on failures only and keeps the
// rule functions' frames small.
void record_attempt(State& s, Rule rule, const AttemptMark& mark);

// rule(R, body): runs `body` as the rule R, building R's node around whatever
// the body builds and recording R's attempt when it fails.
template <Rule R, class Body>
BRIX_ALWAYS_INLINE inline bool rule(State& s, Body body) {
  if (s.aborted) [[unlikely]]
    return false;
  AttemptMark mark{s.pos, 0, 0};
  if (s.track_attempts && s.attempt_pos == s.pos) {
    mark.expected_len = static_cast<std::uint32_t>(s.expected.size());
    mark.unexpected_len = static_cast<std::uint32_t>(s.unexpected.size());
  }
  const auto open = static_cast<std::uint32_t>(s.tokens.size());
  if (s.builds_tokens()) s.tokens.push_back(Token{mark.start, 0, R, false});

  if (body(s)) {
    if (s.lookahead == Lookahead::Negative && s.track_attempts) record_attempt(s, R, mark);
    if (s.builds_tokens()) {
      const auto close = static_cast<std::uint32_t>(s.tokens.size());
      s.tokens[open].match = close;
      s.tokens.push_back(Token{s.pos, open, R, true});
    }
    return true;
  }
  if (s.lookahead != Lookahead::Negative && s.track_attempts) record_attempt(s, R, mark);
  if (s.builds_tokens()) s.truncate_tokens(open);
  return false;
}

// What a failed parse reports: the furthest attempt position and the rules
// recorded there, sorted by rule order without repeats.
struct Failure {
  std::uint32_t pos;
  std::vector<Rule> positives;
  std::vector<Rule> negatives;
};

Failure failure_report(State& s);

}  // namespace brix::detail::peg
