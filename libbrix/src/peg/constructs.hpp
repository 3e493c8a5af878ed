// The matching constructs that rule functions are written in. Each takes the
// state and either succeeds, possibly having advanced the position, or fails
// and leaves the position where it was. Operands are callables taking
// `State&` and returning bool; everything here is inlined into the rule
// functions, so a grammar pays no call or allocation per construct.
//
// Constructs that join items (sequence and repetition) take the grammar's
// skip function as a template argument; it must skip only in non-atomic mode.
#pragma once

#include <cstddef>
#include <cstdint>
#include <cstring>
#include <string_view>

#include "peg/state.hpp"

namespace brix::detail::peg {

// Byte length of the UTF-8 character at the position, or 0 at the end of the
// input. A malformed or truncated sequence counts as one byte, so a character
// never swallows an ASCII byte that follows it.
BRIX_ALWAYS_INLINE inline std::uint32_t char_length(const State& s) {
  if (s.at_end()) return 0;
  const unsigned char lead = s.peek();
  std::uint32_t len = 1;
  if (lead >= 0xF0 && lead <= 0xF4) {
    len = 4;
  } else if (lead >= 0xE0) {
    len = lead <= 0xEF ? 3 : 1;
  } else if (lead >= 0xC2) {
    len = 2;
  }
  if (len > s.size - s.pos) return 1;
  for (std::uint32_t i = 1; i < len; ++i) {
    if ((static_cast<unsigned char>(s.input[s.pos + i]) & 0xC0) != 0x80) return 1;
  }
  return len;
}

// A literal, matched byte for byte.
// Compared in a loop rather than by memcmp: the literals are a few bytes long
// and most attempts fail on the first byte, where a call would cost more than
// the comparison.
BRIX_ALWAYS_INLINE inline bool literal(State& s, std::string_view text) {
  if (s.size - s.pos < text.size()) return false;
  const char* at = s.input + s.pos;
  for (std::size_t i = 0; i < text.size(); ++i) {
    if (at[i] != text[i]) return false;
  }
  s.pos += static_cast<std::uint32_t>(text.size());
  return true;
}

BRIX_ALWAYS_INLINE inline bool literal(State& s, char c) {
  if (s.at_end() || s.input[s.pos] != c) return false;
  ++s.pos;
  return true;
}

// One character whose code point lies in Lo..Hi. The grammar's ranges are all
// ASCII, and every byte of a multi-byte character is at least 0x80, so a byte
// comparison decides for any character.
template <char Lo, char Hi>
BRIX_ALWAYS_INLINE inline bool range(State& s) {
  static_assert(Lo >= 0 && Hi >= Lo, "ranges must lie within ASCII");
  if (s.at_end()) return false;
  const unsigned char c = s.peek();
  if (c < static_cast<unsigned char>(Lo) || c > static_cast<unsigned char>(Hi)) return false;
  ++s.pos;
  return true;
}

// Any one character; fails only at the end of the input.
BRIX_ALWAYS_INLINE inline bool any(State& s) {
  const std::uint32_t len = char_length(s);
  s.pos += len;
  return len != 0;
}

BRIX_ALWAYS_INLINE inline bool soi(const State& s) {
  return s.pos == 0;
}

// a ~ b ~ ...: on failure the position and the token list return to where
// the sequence began.
template <auto Skip, class First, class... Rest>
BRIX_ALWAYS_INLINE inline bool sequence(State& s, First first, Rest... rest) {
  const std::uint32_t pos = s.pos;
  const std::size_t len = s.tokens.size();
  if (first(s) && ((Skip(s), rest(s)) && ...)) return true;
  s.pos = pos;
  s.truncate_tokens(len);
  return false;
}

template <class... Alts>
BRIX_ALWAYS_INLINE inline bool choice(State& s, Alts... alts) {
  return (alts(s) || ...);
}

template <class A>
BRIX_ALWAYS_INLINE inline bool optional(State& s, A a) {
  a(s);
  return true;
}

// a*: greedy. Between repetitions the skip runs, but a failed (skip ~ a) puts
// the position back before its skip, so trailing whitespace stays outside.
template <auto Skip, class A>
BRIX_ALWAYS_INLINE inline bool zero_or_more(State& s, A a) {
  if (!a(s)) return true;
  for (;;) {
    const std::uint32_t pos = s.pos;
    const std::size_t len = s.tokens.size();
    Skip(s);
    if (!a(s)) {
      s.pos = pos;
      s.truncate_tokens(len);
      return true;
    }
  }
}

// a+ is a ~ a*.
template <auto Skip, class A>
BRIX_ALWAYS_INLINE inline bool one_or_more(State& s, A a) {
  return sequence<Skip>(s, a,
                        [a](State& st) BRIX_ALWAYS_INLINE { return zero_or_more<Skip>(st, a); });
}

// a{N} is N copies of a joined by ~.
template <auto Skip, int N, class A>
BRIX_ALWAYS_INLINE inline bool repeat(State& s, A a) {
  static_assert(N >= 1);
  const std::uint32_t pos = s.pos;
  const std::size_t len = s.tokens.size();
  bool ok = a(s);
  for (int i = 1; ok && i < N; ++i) {
    Skip(s);
    ok = a(s);
  }
  if (ok) return true;
  s.pos = pos;
  s.truncate_tokens(len);
  return false;
}

// !a: succeeds, consuming nothing, exactly when a fails. Nothing matched
// inside becomes part of the tree; rules that match inside are recorded as
// unexpected.
template <class A>
BRIX_ALWAYS_INLINE inline bool not_followed_by(State& s, A a) {
  const std::uint32_t pos = s.pos;
  const Lookahead outer = s.lookahead;
  s.lookahead = outer == Lookahead::Negative ? Lookahead::Positive : Lookahead::Negative;
  const bool matched = a(s);
  s.pos = pos;
  s.lookahead = outer;
  return !matched;
}

// Runs `body` in mode M and restores the caller's mode afterwards.
template <Mode M, class Body>
BRIX_ALWAYS_INLINE inline bool with_mode(State& s, Body body) {
  const Mode outer = s.mode;
  s.mode = M;
  const bool ok = body(s);
  s.mode = outer;
  return ok;
}

// The built-in end-of-input rule: an empty node where the input ends.
BRIX_ALWAYS_INLINE inline bool eoi(State& s) {
  return rule<Rule::EOI>(s, [](State& st) { return st.at_end(); });
}

}  // namespace brix::detail::peg
