// The BRIX grammar, one function per rule, written in the engine's matching
// constructs. Rule kinds decide how the bookkeeping and the mode switch are
// combined:
//   normal           rule(R, body)
//   atomic           rule(R, atomic(body))       the caller's mode governs R's node
//   compound-atomic  compound(rule(R, body))     R's own mode governs its node
//   non-atomic       non_atomic(rule(R, body))
//   silent           body
#include "parser/grammar.hpp"

#include <algorithm>
#include <bit>
#include <cassert>
#include <cstdint>
#include <cstring>
#include <limits>
#include <string>
#include <utility>

#include "peg/constructs.hpp"
#include "peg/state.hpp"
#include "reader/functions.hpp"

namespace brix::detail {
namespace {

using peg::Mode;
using peg::State;

// WHITESPACE* ~ (COMMENT ~ WHITESPACE*)*, from offset i: where the layout
// ends. WHITESPACE and COMMENT are silent and atomic, so skipping builds and
// records nothing and can run as a plain byte loop. A comment runs up to, not
// including, the next line feed.
std::uint32_t layout_end(const State& s, std::uint32_t i) {
  const char* in = s.input;
  const std::uint32_t n = s.size;
  for (;;) {
    while (i < n && (in[i] == ' ' || in[i] == '\t' || in[i] == '\r' || in[i] == '\n')) ++i;
    if (n - i >= 2 && in[i] == '/' && in[i + 1] == '/') {
      const void* lf = std::memchr(in + i + 2, '\n', n - i - 2);
      i = lf != nullptr ? static_cast<std::uint32_t>(static_cast<const char*>(lf) - in) : n;
      continue;
    }
    return i;
  }
}

void skip_layout(State& s) {
  s.pos = layout_end(s, s.pos);
}

BRIX_ALWAYS_INLINE inline bool is_layout_start(unsigned char c) {
  return c == ' ' || c == '\t' || c == '\r' || c == '\n' || c == '/';
}

// The implicit skip between items, done only in non-atomic mode. Most items
// follow each other directly or after one space, so those cases are decided
// inline.
BRIX_ALWAYS_INLINE inline void skip(State& s) {
  if (s.mode != Mode::NonAtomic || s.at_end()) return;
  if (!is_layout_start(s.peek())) return;
  if (s.peek() == ' ' &&
      (s.size - s.pos < 2 || !is_layout_start(static_cast<unsigned char>(s.input[s.pos + 1])))) {
    ++s.pos;
    return;
  }
  skip_layout(s);
}

// Builders of matching expressions. Each returns a callable over the state,
// so a rule body reads like the grammar and still inlines to plain code.
constexpr auto Seq(auto... items) {
  return [=](State& s) BRIX_ALWAYS_INLINE { return peg::sequence<skip>(s, items...); };
}
constexpr auto Alt(auto... alts) {
  return [=](State& s) BRIX_ALWAYS_INLINE { return (alts(s) || ...); };
}
constexpr auto Opt(auto a) {
  return [=](State& s) BRIX_ALWAYS_INLINE { return peg::optional(s, a); };
}
constexpr auto Star(auto a) {
  return [=](State& s) BRIX_ALWAYS_INLINE { return peg::zero_or_more<skip>(s, a); };
}
constexpr auto Plus(auto a) {
  return [=](State& s) BRIX_ALWAYS_INLINE { return peg::one_or_more<skip>(s, a); };
}
template <int N>
constexpr auto Rep(auto a) {
  return [=](State& s) BRIX_ALWAYS_INLINE { return peg::repeat<skip, N>(s, a); };
}
constexpr auto Not(auto a) {
  return [=](State& s) BRIX_ALWAYS_INLINE { return peg::not_followed_by(s, a); };
}
constexpr auto Lit(char c) {
  return [=](State& s) BRIX_ALWAYS_INLINE { return peg::literal(s, c); };
}
constexpr auto Lit(std::string_view text) {
  return [=](State& s) BRIX_ALWAYS_INLINE { return peg::literal(s, text); };
}
template <char Lo, char Hi>
constexpr auto Range() {
  return [](State& s) BRIX_ALWAYS_INLINE { return peg::range<Lo, Hi>(s); };
}

constexpr auto Digit = Range<'0', '9'>();
constexpr auto Alpha = Alt(Range<'a', 'z'>(), Range<'A', 'Z'>());
constexpr auto Alnum = Alt(Range<'a', 'z'>(), Range<'A', 'Z'>(), Range<'0', '9'>());

template <Rule R>
BRIX_ALWAYS_INLINE inline bool normal_rule(State& s, auto body) {
  return peg::rule<R>(s, body);
}
template <Rule R>
BRIX_ALWAYS_INLINE inline bool atomic_rule(State& s, auto body) {
  return peg::rule<R>(
      s, [=](State& st) BRIX_ALWAYS_INLINE { return peg::with_mode<Mode::Atomic>(st, body); });
}
template <Rule R>
BRIX_ALWAYS_INLINE inline bool compound_atomic_rule(State& s, auto body) {
  return peg::with_mode<Mode::CompoundAtomic>(
      s, [=](State& st) BRIX_ALWAYS_INLINE { return peg::rule<R>(st, body); });
}
template <Rule R>
BRIX_ALWAYS_INLINE inline bool non_atomic_rule(State& s, auto body) {
  return peg::with_mode<Mode::NonAtomic>(
      s, [=](State& st) BRIX_ALWAYS_INLINE { return peg::rule<R>(st, body); });
}

// The byte at the position, or 0 at the end (no rule begins with NUL).
BRIX_ALWAYS_INLINE inline unsigned char next(const State& s) {
  return s.at_end() ? 0 : s.peek();
}
BRIX_ALWAYS_INLINE inline bool is_upper(unsigned char c) {
  return c >= 'A' && c <= 'Z';
}
BRIX_ALWAYS_INLINE inline bool is_alpha(unsigned char c) {
  return is_upper(c) || (c >= 'a' && c <= 'z');
}
BRIX_ALWAYS_INLINE inline bool is_digit(unsigned char c) {
  return c >= '0' && c <= '9';
}
BRIX_ALWAYS_INLINE inline bool is_word(unsigned char c) {
  return is_alpha(c) || is_digit(c) || c == '_';
}

// True when a rule need not run because `can_start` (a test of the first
// byte that every match of the rule passes) fails. A failing rule leaves
// nothing behind unless attempts are being recorded, so only then must it
// really be tried.
BRIX_ALWAYS_INLINE inline bool cannot_start(const State& s, bool can_start) {
  return !can_start && !s.track_attempts;
}

// Rules that call each other recursively.
bool statement(State& s);
bool selector_single(State& s);

// Layout, as silent atomic rules of their own (used only as entry rules; the
// skipping between items is done by skip()).
bool whitespace(State& s) {
  return peg::with_mode<Mode::Atomic>(s, Alt(Lit(' '), Lit('\t'), Lit('\r'), Lit('\n')));
}
bool comment(State& s) {
  return peg::with_mode<Mode::Atomic>(s, Seq(Lit("//"), Star(Seq(Not(Lit('\n')), peg::any))));
}

// Variables.

BRIX_ALWAYS_INLINE inline bool var_start(State& s) {
  return Alt(Range<'a', 'z'>(), Range<'A', 'Z'>(), Lit('_'))(s);
}
BRIX_ALWAYS_INLINE inline bool var_continue(State& s) {
  return Alt(Alnum, Lit('_'))(s);
}

bool variable(State& s) {
  if (cannot_start(s, next(s) == '$')) return false;
  return atomic_rule<Rule::variable>(s, Seq(Lit('$'), var_start, Star(var_continue)));
}

// Statement keywords: upper case only, no word boundary after them.

bool select(State& s) {
  if (cannot_start(s, next(s) == 'S')) return false;
  return normal_rule<Rule::select>(s, Lit("SELECT"));
}
bool limit(State& s) {
  if (cannot_start(s, next(s) == 'L')) return false;
  return normal_rule<Rule::limit>(s, Lit("LIMIT"));
}
bool from(State& s) {
  if (cannot_start(s, next(s) == 'F')) return false;
  return normal_rule<Rule::from>(s, Lit("FROM"));
}

// Quantities.

bool quantity_single(State& s) {
  if (cannot_start(s, is_digit(next(s)))) return false;
  return atomic_rule<Rule::quantity_single>(s, Plus(Digit));
}

// Offset of the first byte at or after i for which `keep` is false.
template <class Keep>
BRIX_ALWAYS_INLINE inline std::uint32_t run_end(const State& s, std::uint32_t i, Keep keep) {
  while (i < s.size && keep(static_cast<unsigned char>(s.input[i]))) ++i;
  return i;
}

// A range needs a '-' right after its first number; testing for it first
// spares every plain count from being matched twice (as a failed range, then
// as a single number).
bool quantity_many(State& s) {
  if (cannot_start(s, is_digit(next(s)))) return false;
  if (!s.track_attempts) {
    const std::uint32_t digits_end = run_end(s, s.pos, is_digit);
    if (digits_end >= s.size || s.input[digits_end] != '-') return false;
  }
  return compound_atomic_rule<Rule::quantity_many>(s,
                                                   Seq(quantity_single, Lit('-'), quantity_single));
}

// The range form first, so a range is never cut short to its first number.
bool quantity(State& s) {
  if (cannot_start(s, is_digit(next(s)) || next(s) == '$')) return false;
  return normal_rule<Rule::quantity>(s, Alt(quantity_many, quantity_single, variable));
}

// Strings.

// Offset of the first double quote, CR or LF at or after i; n if none.
// Compares eight bytes at a time where it can.
std::uint32_t find_string_stop(const char* in, std::uint32_t i, std::uint32_t n) {
  if constexpr (std::endian::native == std::endian::little) {
    constexpr std::uint64_t kOnes = 0x0101010101010101u;
    constexpr std::uint64_t kHighs = 0x8080808080808080u;
    // Marks the bytes of w equal to b; the lowest mark is always exact.
    const auto equal_bytes = [](std::uint64_t w, std::uint64_t b) {
      const std::uint64_t x = w ^ (kOnes * b);
      return (x - kOnes) & ~x & kHighs;
    };
    while (n - i >= 8) {
      std::uint64_t w;
      std::memcpy(&w, in + i, 8);
      const std::uint64_t marks = equal_bytes(w, '"') | equal_bytes(w, '\r') | equal_bytes(w, '\n');
      if (marks != 0) return i + static_cast<std::uint32_t>(std::countr_zero(marks) / 8);
      i += 8;
    }
  }
  while (i < n && in[i] != '"' && in[i] != '\r' && in[i] != '\n') ++i;
  return i;
}

// DQ ~ ((DQ ~ DQ) / !(DQ / CR / LF) ~ ANY)* ~ DQ. The body is atomic, so it
// calls no rules and can scan bytes: every byte of a multi-byte character is
// at least 0x80 and never one of the three stop bytes.
bool string_body(State& s) {
  const char* in = s.input;
  const std::uint32_t n = s.size;
  std::uint32_t i = s.pos;
  if (i >= n || in[i] != '"') return false;
  ++i;
  for (;;) {
    i = find_string_stop(in, i, n);
    if (i >= n || in[i] != '"') return false;
    if (n - i >= 2 && in[i + 1] == '"') {
      i += 2;
      continue;
    }
    s.pos = i + 1;
    return true;
  }
}

bool string(State& s) {
  if (cannot_start(s, next(s) == '"')) return false;
  return atomic_rule<Rule::string>(s, string_body);
}

// Query names: each keyword in upper or lower case.

template <Rule R>
BRIX_ALWAYS_INLINE inline bool keyword(State& s, std::string_view upper, std::string_view lower) {
  if (cannot_start(s, next(s) == static_cast<unsigned char>(upper[0]) ||
                          next(s) == static_cast<unsigned char>(lower[0]))) {
    return false;
  }
  return atomic_rule<R>(s, Alt(Lit(upper), Lit(lower)));
}

// The keyword rule of row I of the function table.
template <std::size_t I>
bool function_keyword(State& s) {
  return keyword<kFunctions[I].rule>(s, kFunctions[I].upper, kFunctions[I].lower);
}

bool bad_query(State& s) {
  if (cannot_start(s, is_word(next(s)))) return false;
  return atomic_rule<Rule::bad_query>(s, Plus(Alt(Alnum, Lit('_'))));
}

// The function names, longer names before the shorter names they start
// with; a keyword that goes on with a letter, digit or underscore falls
// through to bad_query whole.
template <std::size_t... I>
constexpr auto keywords_in_try_order(std::index_sequence<I...>) {
  return Alt(function_keyword<kFunctionTryOrder[I]>...);
}
constexpr auto function_keywords =
    keywords_in_try_order(std::make_index_sequence<kFunctions.size()>{});

bool query_name(State& s) {
  if (cannot_start(s, is_word(next(s)))) return false;
  return compound_atomic_rule<Rule::query_name>(
      s, Alt(Seq(function_keywords, Not(Alt(Alnum, Lit('_')))), bad_query));
}

// Course identifiers. department_id and bad_department_id are reached only
// through the compound-atomic class_argument, so nothing is skipped in them.

BRIX_ALWAYS_INLINE inline bool department_id_char(State& s) {
  return Alt(Range<'A', 'Z'>(), Lit('&'))(s);
}

bool bad_department_id(State& s) {
  if (cannot_start(s, is_alpha(next(s)))) return false;
  return normal_rule<Rule::bad_department_id>(
      s, Seq(Alpha, Alt(Seq(Rep<4>(Alpha), Star(Alpha)), Opt(Alpha))));
}

bool department_id(State& s) {
  if (cannot_start(s, is_upper(next(s)) || next(s) == '&')) return false;
  return normal_rule<Rule::department_id>(s,
                                          Seq(Rep<3>(department_id_char), Opt(department_id_char)));
}

bool class_id(State& s) {
  if (cannot_start(s, is_digit(next(s)))) return false;
  return compound_atomic_rule<Rule::class_id>(s, Seq(Rep<4>(Digit), Opt(Lit('L'))));
}

bool class_argument(State& s) {
  if (cannot_start(s, is_alpha(next(s)) || next(s) == '&')) return false;
  return compound_atomic_rule<Rule::class_argument>(
      s, Alt(Seq(department_id, Star(Lit(' ')), class_id),
             Seq(bad_department_id, Star(Lit(' ')), class_id)));
}

// Selector functions and selectors.

bool lpar(State& s) {
  return peg::literal(s, '(');
}
bool rpar(State& s) {
  return peg::literal(s, ')');
}

bool query_argument(State& s) {
  if (cannot_start(s, next(s) == '"' || next(s) == '$' || is_alpha(next(s)) || next(s) == '&'))
    return false;
  return normal_rule<Rule::query_argument>(s, Alt(string, variable, class_argument));
}

// A call's name is the whole run of word characters at the position (a
// keyword followed by a word character falls through to bad_query, which
// takes the run too), and '(' must follow it, after layout in non-atomic
// mode. Testing for that first spares every course argument, which starts
// with a word too, from being matched as a name and failing at the '('.
bool may_be_call(const State& s) {
  std::uint32_t i = run_end(s, s.pos, is_word);
  if (i == s.pos) return false;
  if (s.mode == Mode::NonAtomic) i = layout_end(s, i);
  return i < s.size && s.input[i] == '(';
}

bool XYZ(State& s) {
  if (cannot_start(s, is_word(next(s)))) return false;
  if (cannot_start(s, may_be_call(s))) return false;
  return normal_rule<Rule::XYZ>(
      s, Seq(query_name, lpar, query_argument, Star(Seq(Lit(','), query_argument)), rpar));
}

// A nested query and a selector list each count one level of nesting, so
// input cannot nest deeper than the stack of this parser (and of everything
// that later walks the tree) can take. Past the bound, a construct that
// really begins here (its first item matches) ends the parse; anything else
// fails as it would at any depth.
template <class Body>
BRIX_ALWAYS_INLINE inline bool nested(State& s, bool begins, Body body) {
  if (s.depth >= MAX_NESTING && begins) return s.abort_here();
  ++s.depth;
  const bool ok = body(s);
  --s.depth;
  return ok;
}

BRIX_ALWAYS_INLINE inline bool begins_with(const State& s, std::string_view text) {
  if (s.size - s.pos < text.size()) return false;
  for (std::size_t i = 0; i < text.size(); ++i) {
    if (s.input[s.pos + i] != text[i]) return false;
  }
  return true;
}

bool selector_list(State& s) {
  if (cannot_start(s, next(s) == '[')) return false;
  return nested(s, begins_with(s, "["), [](State& st) BRIX_ALWAYS_INLINE {
    return normal_rule<Rule::selector_list>(
        st, Seq(Lit('['), selector_single, Star(Seq(Lit(','), selector_single)), Lit(']')));
  });
}

bool selector_single(State& s) {
  return normal_rule<Rule::selector_single>(s, Alt(statement, variable, XYZ, class_argument));
}

bool selector(State& s) {
  return normal_rule<Rule::selector>(s, Alt(selector_list, selector_single));
}

// Statements and the file.

bool semicolon(State& s) {
  return peg::literal(s, ';');
}
bool sep(State& s) {
  return peg::literal(s, ':');
}

bool statement(State& s) {
  if (cannot_start(s, next(s) == 'S' || next(s) == 'L')) return false;
  return nested(s, begins_with(s, "SELECT") || begins_with(s, "LIMIT"),
                [](State& st) BRIX_ALWAYS_INLINE {
                  return non_atomic_rule<Rule::statement>(
                      st, Seq(Alt(select, limit), quantity, from, selector));
                });
}

bool description(State& s) {
  return Seq(sep, Alt(string, variable))(s);
}
bool priority(State& s) {
  return Seq(sep, Alt(quantity_single, variable))(s);
}

bool special_statement(State& s) {
  if (cannot_start(s, next(s) == 'S' || next(s) == 'L')) return false;
  return normal_rule<Rule::special_statement>(s, Seq(statement, description, Opt(priority)));
}

bool var_value(State& s) {
  return normal_rule<Rule::var_value>(
      s, Alt(selector_list, XYZ, quantity_many, quantity_single, string, class_argument));
}

bool var_assign(State& s) {
  if (cannot_start(s, next(s) == '$')) return false;
  return normal_rule<Rule::var_assign>(s, Seq(variable, Lit('='), var_value));
}

bool extern_keyword(State& s) {
  return peg::literal(s, "extern");
}

bool extern_decl(State& s) {
  if (cannot_start(s, next(s) == 'e')) return false;
  return normal_rule<Rule::extern_decl>(s, Seq(extern_keyword, variable));
}

bool file(State& s) {
  return normal_rule<Rule::file>(
      s, Seq(peg::soi, Star(Seq(extern_decl, semicolon)),
             Star(Seq(Alt(var_assign, special_statement), semicolon)), peg::eoi));
}

// Star(item) for an item that builds exactly one node (the statement; its
// semicolon builds none): after each iteration the node's tokens are
// dropped, so the list never holds more than one statement. The list is
// back at its length from before the iteration, which is the length every
// enclosing construct saved, so their truncations on failure stay valid.
auto dropping(auto item) {
  return [=](State& s) BRIX_ALWAYS_INLINE {
    const std::size_t len = s.tokens.size();
    if (!item(s)) return true;
    s.truncate_tokens(len);
    for (;;) {
      const std::uint32_t pos = s.pos;
      skip(s);
      if (!item(s)) {
        s.pos = pos;
        s.truncate_tokens(len);
        return true;
      }
      s.truncate_tokens(len);
    }
  };
}

// The file rule with both repetitions dropping their statements.
bool file_dropping(State& s) {
  return normal_rule<Rule::file>(
      s, Seq(peg::soi, dropping(Seq(extern_decl, semicolon)),
             dropping(Seq(Alt(var_assign, special_statement), semicolon)), peg::eoi));
}

// The rest of the file rule from just past a statement's ";": the remaining
// statements, then the end of input. The file rule's own wrapper is left
// out: it began at offset 0, before every attempt that can still count.
bool file_rest_dropping(State& s) {
  skip(s);
  return Seq(dropping(Seq(Alt(var_assign, special_statement), semicolon)), peg::eoi)(s);
}

using RuleFn = bool (*)(State&);

// The rules the grammar's own names do not spell as the members do.
constexpr RuleFn EOI = peg::eoi;
constexpr RuleFn WHITESPACE = whitespace;
constexpr RuleFn COMMENT = comment;

// A function keyword's rule is the one of the table row that names it.
template <Rule R>
constexpr RuleFn function_keyword_rule() {
  constexpr auto row = std::find_if(kFunctions.begin(), kFunctions.end(),
                                    [](const FunctionRow& r) { return r.rule == R; });
  static_assert(row != kFunctions.end(), "a function keyword rule without a table row");
  return function_keyword<static_cast<std::size_t>(row - kFunctions.begin())>;
}

// Every rule by its ordinal, so any rule can start a parse.
constexpr RuleFn kRuleFns[RULE_COUNT] = {
#define BRIX_RULE_FN(member, name, display) member,
#define BRIX_FUNCTION_RULE_FN(member, name, display) function_keyword_rule<Rule::member>(),
    BRIX_RULES_SPLIT(BRIX_RULE_FN, BRIX_FUNCTION_RULE_FN)
#undef BRIX_FUNCTION_RULE_FN
#undef BRIX_RULE_FN
};

// Each marked rule has its row; as many marked rules as rows leaves no row
// without its rule.
constexpr std::size_t kMarkedFunctionRules = 0
#define BRIX_NO_RULE(member, name, display)
#define BRIX_FUNCTION_RULE_ONE(member, name, display) +1
    BRIX_RULES_SPLIT(BRIX_NO_RULE, BRIX_FUNCTION_RULE_ONE)
#undef BRIX_FUNCTION_RULE_ONE
#undef BRIX_NO_RULE
    ;
static_assert(kMarkedFunctionRules == kFunctions.size(),
              "a function table row whose keyword rule is not marked as one");

std::optional<Error> too_large(std::string_view input) {
  if (input.size() <= std::numeric_limits<std::uint32_t>::max()) return std::nullopt;
  return Error::new_from_pos(
      CustomError{"the text is too large to parse (it must be smaller than 4 GiB)"}, input, 0);
}

Error nested_too_deeply(std::string_view input, std::uint32_t pos) {
  return Error::new_from_pos(
      CustomError{"queries and selector lists nest too deeply (the limit is " +
                  std::to_string(MAX_NESTING) + " levels)"},
      input, pos);
}

Error syntax_error(State& s, std::string_view input) {
  peg::Failure failure = peg::failure_report(s);
  return Error::new_from_pos(
      ParsingError{std::move(failure.positives), std::move(failure.negatives)}, input, failure.pos);
}

}  // namespace

std::variant<ParseTree, Error> parse_rule(Rule entry, std::string_view input) {
  if (std::optional<Error> error = too_large(input)) return std::move(*error);
  const RuleFn run = kRuleFns[static_cast<std::size_t>(entry)];

  // First without recording attempts, which is all a successful parse needs.
  State s(input);
  s.track_attempts = false;
  // Requirement text yields somewhat more than one token per two bytes;
  // reserving enough (within reason) saves copying the list as it grows.
  s.tokens.reserve(std::min<std::size_t>(input.size() / 4 * 3, std::size_t{1} << 26) + 16);
  const bool ok = run(s);
  if (s.aborted) return nested_too_deeply(input, s.abort_pos);
  if (ok) return ParseTree(input, std::move(s.tokens));

  // The same failure again, this time recording what was expected.
  State again(input);
  if (run(again)) {
    // The first-byte tests only skip rules that cannot match, so both runs
    // agree; should they ever not, the full run is the one to trust.
    assert(false && "a first-byte test rejected a match");
    return ParseTree(input, std::move(again.tokens));
  }
  return syntax_error(again, input);
}

// The file rule (or its rest) from `from`: first without recording
// attempts, as parse_rule does, and only on failure again with them.
std::optional<Error> explain_file(std::string_view input, std::uint32_t from) {
  if (std::optional<Error> error = too_large(input)) return error;
  bool (*const run)(State&) = from == 0 ? file_dropping : file_rest_dropping;
  State s(input);
  s.pos = from;
  s.track_attempts = false;
  s.tokens.reserve(1024);
  const bool ok = run(s);
  if (s.aborted) return nested_too_deeply(input, s.abort_pos);
  if (ok) return std::nullopt;
  State again(input);
  again.pos = from;
  again.tokens.reserve(1024);
  if (!run(again)) return syntax_error(again, input);
  // The shortcuts of the first run (first-byte and lookahead tests) only
  // skip rules that cannot match, so both runs agree.
  assert(false && "a shortcut rejected a match");
  return std::nullopt;
}

}  // namespace brix::detail
