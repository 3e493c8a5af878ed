// The BRIX grammar, one function per rule, written in the engine's matching
// constructs. Rule kinds decide how the bookkeeping and the mode switch are
// combined:
//   normal           rule(R, body)
//   atomic           rule(R, atomic(body))       the caller's mode governs R's node
//   compound-atomic  compound(rule(R, body))     R's own mode governs its node
//   non-atomic       non_atomic(rule(R, body))
//   silent           body
#include "parser/grammar.hpp"

#include <cstdint>
#include <cstring>
#include <limits>
#include <string>

#include "peg/constructs.hpp"
#include "peg/state.hpp"

namespace brix::detail {
namespace {

using peg::Mode;
using peg::State;

// WHITESPACE* ~ (COMMENT ~ WHITESPACE*)*, done only in non-atomic mode.
// WHITESPACE and COMMENT are silent and atomic, so skipping builds and records
// nothing and can run as a plain byte loop. A comment runs up to, not
// including, the next line feed.
inline void skip(State& s) {
  if (s.mode != Mode::NonAtomic) return;
  const char* in = s.input;
  const std::uint32_t n = s.size;
  std::uint32_t i = s.pos;
  for (;;) {
    while (i < n && (in[i] == ' ' || in[i] == '\t' || in[i] == '\r' || in[i] == '\n')) ++i;
    if (n - i >= 2 && in[i] == '/' && in[i + 1] == '/') {
      const void* lf = std::memchr(in + i + 2, '\n', n - i - 2);
      i = lf != nullptr ? static_cast<std::uint32_t>(static_cast<const char*>(lf) - in) : n;
      continue;
    }
    break;
  }
  s.pos = i;
}

// Builders of matching expressions. Each returns a callable over the state,
// so a rule body reads like the grammar and still inlines to plain code.
constexpr auto Seq(auto... items) {
  return [=](State& s) { return peg::sequence<skip>(s, items...); };
}
constexpr auto Alt(auto... alts) {
  return [=](State& s) { return (alts(s) || ...); };
}
constexpr auto Opt(auto a) {
  return [=](State& s) { return peg::optional(s, a); };
}
constexpr auto Star(auto a) {
  return [=](State& s) { return peg::zero_or_more<skip>(s, a); };
}
constexpr auto Plus(auto a) {
  return [=](State& s) { return peg::one_or_more<skip>(s, a); };
}
template <int N>
constexpr auto Rep(auto a) {
  return [=](State& s) { return peg::repeat<skip, N>(s, a); };
}
constexpr auto Not(auto a) {
  return [=](State& s) { return peg::not_followed_by(s, a); };
}
constexpr auto Lit(char c) {
  return [=](State& s) { return peg::literal(s, c); };
}
constexpr auto Lit(std::string_view text) {
  return [=](State& s) { return peg::literal(s, text); };
}
template <char Lo, char Hi>
constexpr auto Range() {
  return [](State& s) { return peg::range<Lo, Hi>(s); };
}

constexpr auto Digit = Range<'0', '9'>();
constexpr auto Alpha = Alt(Range<'a', 'z'>(), Range<'A', 'Z'>());
constexpr auto Alnum = Alt(Range<'a', 'z'>(), Range<'A', 'Z'>(), Range<'0', '9'>());

template <Rule R>
bool normal_rule(State& s, auto body) {
  return peg::rule<R>(s, body);
}
template <Rule R>
bool atomic_rule(State& s, auto body) {
  return peg::rule<R>(s, [=](State& st) { return peg::with_mode<Mode::Atomic>(st, body); });
}
template <Rule R>
bool compound_atomic_rule(State& s, auto body) {
  return peg::with_mode<Mode::CompoundAtomic>(s, [=](State& st) { return peg::rule<R>(st, body); });
}
template <Rule R>
bool non_atomic_rule(State& s, auto body) {
  return peg::with_mode<Mode::NonAtomic>(s, [=](State& st) { return peg::rule<R>(st, body); });
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

bool var_start(State& s) {
  return Alt(Range<'a', 'z'>(), Range<'A', 'Z'>(), Lit('_'))(s);
}
bool var_continue(State& s) {
  return Alt(Alnum, Lit('_'))(s);
}

bool variable(State& s) {
  return atomic_rule<Rule::variable>(s, Seq(Lit('$'), var_start, Star(var_continue)));
}

// Statement keywords: upper case only, no word boundary after them.

bool select(State& s) {
  return normal_rule<Rule::select>(s, Lit("SELECT"));
}
bool limit(State& s) {
  return normal_rule<Rule::limit>(s, Lit("LIMIT"));
}
bool from(State& s) {
  return normal_rule<Rule::from>(s, Lit("FROM"));
}

// Quantities.

bool quantity_single(State& s) {
  return atomic_rule<Rule::quantity_single>(s, Plus(Digit));
}

bool quantity_many(State& s) {
  return compound_atomic_rule<Rule::quantity_many>(s,
                                                   Seq(quantity_single, Lit('-'), quantity_single));
}

// The range form first, so a range is never cut short to its first number.
bool quantity(State& s) {
  return normal_rule<Rule::quantity>(s, Alt(quantity_many, quantity_single, variable));
}

// Strings: DQ ~ ((DQ ~ DQ) / !(DQ / CR / LF) ~ ANY)* ~ DQ. The body is atomic,
// so it calls no rules and can scan bytes: every byte of a multi-byte
// character is at least 0x80 and never one of the three stop bytes.
bool string_body(State& s) {
  const char* in = s.input;
  const std::uint32_t n = s.size;
  std::uint32_t i = s.pos;
  if (i >= n || in[i] != '"') return false;
  ++i;
  for (;;) {
    while (i < n && in[i] != '"' && in[i] != '\r' && in[i] != '\n') ++i;
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
  return atomic_rule<Rule::string>(s, string_body);
}

// Query names: each keyword in upper or lower case.

template <Rule R>
bool keyword(State& s, std::string_view upper, std::string_view lower) {
  return atomic_rule<R>(s, Alt(Lit(upper), Lit(lower)));
}

bool class_(State& s) {
  return keyword<Rule::class_>(s, "CLASS", "class");
}
bool placement(State& s) {
  return keyword<Rule::placement>(s, "PLACEMENT", "placement");
}
bool tag(State& s) {
  return keyword<Rule::tag>(s, "TAG", "tag");
}
bool range(State& s) {
  return keyword<Rule::range>(s, "RANGE", "range");
}
bool tag_dept(State& s) {
  return keyword<Rule::tag_dept>(s, "TAG_DEPT", "tag_dept");
}
bool dist(State& s) {
  return keyword<Rule::dist>(s, "DIST", "dist");
}
bool dist_dept(State& s) {
  return keyword<Rule::dist_dept>(s, "DIST_DEPT", "dist_dept");
}
bool range_dist(State& s) {
  return keyword<Rule::range_dist>(s, "RANGE_DIST", "range_dist");
}
bool range_tag(State& s) {
  return keyword<Rule::range_tag>(s, "RANGE_TAG", "range_tag");
}

bool bad_query(State& s) {
  return atomic_rule<Rule::bad_query>(s, Plus(Alt(Alnum, Lit('_'))));
}

// Longer names before the shorter names they start with; a keyword that goes
// on with a letter, digit or underscore falls through to bad_query whole.
bool query_name(State& s) {
  return compound_atomic_rule<Rule::query_name>(
      s,
      Alt(Seq(Alt(class_, placement, tag_dept, tag, dist_dept, dist, range_dist, range_tag, range),
              Not(Alt(Alnum, Lit('_')))),
          bad_query));
}

// Course identifiers. department_id and bad_department_id are reached only
// through the compound-atomic class_argument, so nothing is skipped in them.

bool department_id_char(State& s) {
  return Alt(Range<'A', 'Z'>(), Lit('&'))(s);
}

bool bad_department_id(State& s) {
  return normal_rule<Rule::bad_department_id>(
      s, Seq(Alpha, Alt(Seq(Rep<4>(Alpha), Star(Alpha)), Opt(Alpha))));
}

bool department_id(State& s) {
  return normal_rule<Rule::department_id>(s,
                                          Seq(Rep<3>(department_id_char), Opt(department_id_char)));
}

bool class_id(State& s) {
  return compound_atomic_rule<Rule::class_id>(s, Seq(Rep<4>(Digit), Opt(Lit('L'))));
}

bool class_argument(State& s) {
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
  return normal_rule<Rule::query_argument>(s, Alt(string, variable, class_argument));
}

bool XYZ(State& s) {
  return normal_rule<Rule::XYZ>(
      s, Seq(query_name, lpar, query_argument, Star(Seq(Lit(','), query_argument)), rpar));
}

// A nested query and a selector list each count one level of nesting, so
// input cannot nest deeper than the stack of this parser (and of everything
// that later walks the tree) can take. Past the bound, a construct that
// really begins here (its first item matches) ends the parse; anything else
// fails as it would at any depth.
template <class Body>
bool nested(State& s, bool begins, Body body) {
  if (s.depth >= MAX_NESTING && begins) return s.abort_here();
  ++s.depth;
  const bool ok = body(s);
  --s.depth;
  return ok;
}

bool begins_with(const State& s, std::string_view text) {
  return s.size - s.pos >= text.size() &&
         std::memcmp(s.input + s.pos, text.data(), text.size()) == 0;
}

bool selector_list(State& s) {
  return nested(s, begins_with(s, "["), [](State& st) {
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
  return nested(s, begins_with(s, "SELECT") || begins_with(s, "LIMIT"), [](State& st) {
    return non_atomic_rule<Rule::statement>(st, Seq(Alt(select, limit), quantity, from, selector));
  });
}

bool description(State& s) {
  return Seq(sep, Alt(string, variable))(s);
}
bool priority(State& s) {
  return Seq(sep, Alt(quantity_single, variable))(s);
}

bool special_statement(State& s) {
  return normal_rule<Rule::special_statement>(s, Seq(statement, description, Opt(priority)));
}

bool var_value(State& s) {
  return normal_rule<Rule::var_value>(
      s, Alt(selector_list, XYZ, quantity_many, quantity_single, string, class_argument));
}

bool var_assign(State& s) {
  return normal_rule<Rule::var_assign>(s, Seq(variable, Lit('='), var_value));
}

bool extern_keyword(State& s) {
  return peg::literal(s, "extern");
}

bool extern_decl(State& s) {
  return normal_rule<Rule::extern_decl>(s, Seq(extern_keyword, variable));
}

bool file(State& s) {
  return normal_rule<Rule::file>(
      s, Seq(peg::soi, Star(Seq(extern_decl, semicolon)),
             Star(Seq(Alt(var_assign, special_statement), semicolon)), peg::eoi));
}

using RuleFn = bool (*)(State&);

// Every rule by its ordinal, so any rule can start a parse.
constexpr RuleFn kRuleFns[RULE_COUNT] = {
    peg::eoi,
    whitespace,
    comment,
    var_start,
    var_continue,
    variable,
    select,
    limit,
    from,
    quantity_single,
    quantity_many,
    quantity,
    class_,
    placement,
    tag,
    range,
    tag_dept,
    dist,
    dist_dept,
    range_dist,
    range_tag,
    bad_query,
    query_name,
    string,
    department_id_char,
    bad_department_id,
    department_id,
    class_id,
    class_argument,
    query_argument,
    lpar,
    rpar,
    XYZ,
    selector_list,
    selector_single,
    selector,
    semicolon,
    statement,
    sep,
    description,
    priority,
    special_statement,
    var_value,
    var_assign,
    extern_keyword,
    extern_decl,
    file,
};

}  // namespace

std::variant<ParseTree, Error> parse_rule(Rule entry, std::string_view input) {
  if (input.size() > std::numeric_limits<std::uint32_t>::max()) {
    return Error::new_from_pos(
        CustomError{"the text is too large to parse (it must be smaller than 4 GiB)"}, input, 0);
  }
  State s(input);
  const bool ok = kRuleFns[static_cast<std::size_t>(entry)](s);
  if (s.aborted) {
    return Error::new_from_pos(CustomError{"queries and selector lists nest too deeply (the limit "
                                           "is " +
                                           std::to_string(MAX_NESTING) + " levels)"},
                               input, s.abort_pos);
  }
  if (ok) return ParseTree(input, std::move(s.tokens));
  peg::Failure failure = peg::failure_report(s);
  return Error::new_from_pos(
      ParsingError{std::move(failure.positives), std::move(failure.negatives)}, input, failure.pos);
}

}  // namespace brix::detail
