// The nine selector functions, one row each: how the name is spelt, the
// grammar's rule for it, the arguments it takes, the selector it builds and
// the message when a call's arguments do not fit.
//
// The row's position is the index of the Selector variant the call builds,
// and that variant's fields, in order, are the call's arguments (a course
// argument is a Class, a text argument a Text); a variant that is a Class is
// its one argument whole. What reads, builds, replays, measures or writes a
// call is generic over that. A new function is a row here (with its Function
// member and its place among the suggestions), its variant in the model, its
// keyword rule in rule.hpp and its wording in explain; the compiler points
// at any of these that is missing.
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <string_view>
#include <tuple>
#include <type_traits>
#include <utility>
#include <variant>

#include "brix/model.hpp"
#include "brix/rule.hpp"

namespace brix::detail {

// In the order of the rows, which is the order of the Selector variants.
enum class Function : std::uint8_t {
  Class,
  Placement,
  Tag,
  TagDept,
  Dist,
  DistDept,
  Range,
  RangeDist,
  RangeTag,
};

enum class Arg : std::uint8_t { Course, Text };

inline constexpr std::size_t kMaxArguments = 3;

struct FunctionRow {
  Function function;
  Rule rule;  // the grammar's keyword rule for the name
  std::string_view upper;
  std::string_view lower;
  std::uint8_t arity;
  std::array<Arg, kMaxArguments> pattern;
  // The variant's name and, when it has more than one, its fields' names, as
  // JSON and the text form spell them.
  std::string_view variant;
  std::array<std::string_view, kMaxArguments> fields;
  std::string_view message;
};

inline constexpr std::array<FunctionRow, 9> kFunctions{{
    {Function::Class,
     Rule::class_,
     "CLASS",
     "class",
     1,
     {Arg::Course},
     "Class",
     {},
     "CLASS function must take one <CLASS> argument of the form `DEPARTMENT_ID CLASS_ID`"},
    {Function::Placement,
     Rule::placement,
     "PLACEMENT",
     "placement",
     1,
     {Arg::Text},
     "Placement",
     {},
     "PLACEMENT function must take one <STRING> argument of the form `\"abcXYZ123\"`"},
    {Function::Tag,
     Rule::tag,
     "TAG",
     "tag",
     1,
     {Arg::Text},
     "Tag",
     {},
     "TAG function must take one <STRING> argument of the form `\"abcXYZ123\"`"},
    {Function::TagDept,
     Rule::tag_dept,
     "TAG_DEPT",
     "tag_dept",
     2,
     {Arg::Text, Arg::Text},
     "TagCode",
     {"tag", "code"},
     "TAG_DEPT function must take two <STRING>, <STRING> arguments of the form `\"TC TAG\"`, "
     "`\"Tarrow Major Code\"`"},
    {Function::Dist,
     Rule::dist,
     "DIST",
     "dist",
     1,
     {Arg::Text},
     "Dist",
     {},
     "DIST function must take one <STRING> argument of the form `\"abcXYZ123\"`"},
    {Function::DistDept,
     Rule::dist_dept,
     "DIST_DEPT",
     "dist_dept",
     2,
     {Arg::Text, Arg::Text},
     "DistCode",
     {"dist", "code"},
     "DIST_DEPT function must take two <STRING>, <STRING> arguments of the form `\"TC dist\"`, "
     "`\"Tarrow Major Code\"`"},
    {Function::Range,
     Rule::range,
     "RANGE",
     "range",
     2,
     {Arg::Course, Arg::Course},
     "Range",
     {"from", "to"},
     "RANGE function must take two <CLASS>, <CLASS> arguments of the form `DEPARTMENT_ID "
     "CLASS_ID`"},
    {Function::RangeDist,
     Rule::range_dist,
     "RANGE_DIST",
     "range_dist",
     3,
     {Arg::Course, Arg::Course, Arg::Text},
     "RangeDist",
     {"from", "to", "dist"},
     "RANGE_DIST function must take three <CLASS>, <CLASS>, <STRING> arguments"},
    {Function::RangeTag,
     Rule::range_tag,
     "RANGE_TAG",
     "range_tag",
     3,
     {Arg::Course, Arg::Course, Arg::Text},
     "RangeTag",
     {"from", "to", "tag"},
     "RANGE_TAG function must take three <CLASS>, <CLASS>, <STRING> arguments"},
}};

// Candidates for a misspelt name; among equally close names the later one is
// suggested, so this order is part of the messages.
inline constexpr std::array<std::string_view, kFunctions.size()> kFunctionSuggestions{
    "CLASS", "RANGE",     "TAG_DEPT",   "TAG",      "PLACEMENT",
    "DIST",  "DIST_DEPT", "RANGE_DIST", "RANGE_TAG"};
static_assert(
    [] {
      for (const FunctionRow& row : kFunctions) {
        std::size_t times = 0;
        for (std::string_view name : kFunctionSuggestions) times += name == row.upper;
        if (times != 1) return false;
      }
      return true;
    }(),
    "every function is suggested, once");

// The row of a name written in either spelling; nothing for any other name.
inline const FunctionRow* function_named(std::string_view name) {
  for (const FunctionRow& row : kFunctions) {
    if (name == row.upper || name == row.lower) return &row;
  }
  return nullptr;
}

inline constexpr std::array<bool, RULE_COUNT> kFunctionRules = [] {
  std::array<bool, RULE_COUNT> is{};
  for (const FunctionRow& row : kFunctions) is[static_cast<std::size_t>(row.rule)] = true;
  return is;
}();

// Whether the rule is the keyword of a function name.
constexpr bool is_function_rule(Rule rule) {
  return kFunctionRules[static_cast<std::size_t>(rule)];
}

// The rows in the order the grammar tries the names: each name after every
// longer name it begins, so a keyword never matches the start of another.
inline constexpr std::array<std::size_t, kFunctions.size()> kFunctionTryOrder = [] {
  std::array<std::size_t, kFunctions.size()> order{};
  std::array<bool, kFunctions.size()> placed{};
  std::size_t n = 0;
  const auto place = [&](auto& self, std::size_t i) -> void {
    if (placed[i]) return;
    placed[i] = true;
    for (std::size_t j = 0; j < kFunctions.size(); ++j) {
      if (j != i && kFunctions[j].upper.starts_with(kFunctions[i].upper)) self(self, j);
    }
    order[n++] = i;
  };
  for (std::size_t i = 0; i < kFunctions.size(); ++i) place(place, i);
  return order;
}();

// --- The selector a row builds ---

template <std::size_t I>
using Built = std::variant_alternative_t<I, Selector::Variant>;

template <Arg A>
using ArgumentType = std::conditional_t<A == Arg::Course, Class, Text>;

// References to the fields of a selector that a function built, in order:
// the arguments of its call.
template <std::size_t Arity, class S>
constexpr auto arguments_of(S& s) {
  if constexpr (std::is_same_v<std::remove_const_t<S>, Class>) {
    return std::tie(s);
  } else if constexpr (Arity == 1) {
    auto& [a] = s;
    return std::tie(a);
  } else if constexpr (Arity == 2) {
    auto& [a, b] = s;
    return std::tie(a, b);
  } else {
    static_assert(Arity == 3, "kMaxArguments has grown: add the binding here");
    auto& [a, b, c] = s;
    return std::tie(a, b, c);
  }
}

template <std::size_t I, std::size_t... K>
consteval bool row_fits_variant(std::index_sequence<K...>) {
  using Fields = decltype(arguments_of<kFunctions[I].arity>(std::declval<Built<I>&>()));
  return static_cast<std::size_t>(kFunctions[I].function) == I &&
         std::tuple_size_v<Fields> == kFunctions[I].arity &&
         (std::is_same_v<std::tuple_element_t<K, Fields>,
                         ArgumentType<kFunctions[I].pattern[K]>&> &&
          ...);
}
template <std::size_t... I>
consteval bool rows_fit_variants(std::index_sequence<I...>) {
  return (row_fits_variant<I>(std::make_index_sequence<kFunctions[I].arity>{}) && ...);
}
static_assert(rows_fit_variants(std::make_index_sequence<kFunctions.size()>{}),
              "a row's function, arity or pattern disagrees with the Selector variant it builds");
static_assert(kFunctions.size() + 1 == std::variant_size_v<Selector::Variant>,
              "every Selector variant but Query is built by a function");

template <class T, std::size_t I = 0>
consteval std::size_t variant_index() {
  if constexpr (std::is_same_v<std::variant_alternative_t<I, Selector::Variant>, T>) {
    return I;
  } else {
    return variant_index<T, I + 1>();
  }
}

// Calls `f` with the selector's variant and its index as a constant: the row
// of the function that builds it, or kFunctions.size() for Query.
template <class F>
decltype(auto) visit_indexed(const Selector& selector, F&& f) {
  return std::visit(
      [&](const auto& v) -> decltype(auto) {
        using V = std::remove_cvref_t<decltype(v)>;
        return f(std::integral_constant<std::size_t, variant_index<V>()>{}, v);
      },
      selector.value);
}

// --- The call in the reader's JSON ---

// The fixed bytes of a call's JSON around its arguments: `open` before the
// first, `between[k]` before argument k + 1, `close` after the last. A
// one-field variant holds its value directly; others are objects.
struct CallShape {
  std::string_view open;
  std::array<std::string_view, kMaxArguments - 1> between;
  std::string_view close;
};

namespace call_shape {

// Each piece of a row's shape as the fragments it is joined from.
template <class Put>
constexpr void pieces(const FunctionRow& row, Put put) {
  put(0, R"({")");
  put(0, row.variant);
  put(0, R"(":)");
  if (row.arity == 1) {
    put(1, "}");
    return;
  }
  put(0, R"({")");
  put(0, row.fields[0]);
  put(0, R"(":)");
  for (std::size_t k = 1; k < row.arity; ++k) {
    put(k, R"(,")");
    put(k, row.fields[k]);
    put(k, R"(":)");
  }
  put(row.arity, "}}");
}

constexpr std::size_t total_size() {
  std::size_t n = 0;
  for (const FunctionRow& row : kFunctions) {
    pieces(row, [&](std::size_t, std::string_view s) { n += s.size(); });
  }
  return n;
}

inline constexpr std::array<char, total_size()> kBytes = [] {
  std::array<char, total_size()> bytes{};
  std::size_t n = 0;
  for (const FunctionRow& row : kFunctions) {
    pieces(row, [&](std::size_t, std::string_view s) {
      for (char c : s) bytes[n++] = c;
    });
  }
  return bytes;
}();

}  // namespace call_shape

inline constexpr std::array<CallShape, kFunctions.size()> kCallShapes = [] {
  std::array<CallShape, kFunctions.size()> shapes{};
  const char* bytes = call_shape::kBytes.data();
  std::size_t n = 0;
  for (std::size_t r = 0; r < kFunctions.size(); ++r) {
    std::array<std::size_t, kMaxArguments + 1> begin{};
    std::array<std::size_t, kMaxArguments + 1> size{};
    std::size_t last = 0;
    call_shape::pieces(kFunctions[r], [&](std::size_t piece, std::string_view s) {
      if (size[piece] == 0) begin[piece] = n;
      size[piece] += s.size();
      last = piece;
      n += s.size();
    });
    shapes[r].open = std::string_view(bytes + begin[0], size[0]);
    for (std::size_t k = 1; k < last; ++k) {
      shapes[r].between[k - 1] = std::string_view(bytes + begin[k], size[k]);
    }
    shapes[r].close = std::string_view(bytes + begin[last], size[last]);
  }
  return shapes;
}();

}  // namespace brix::detail
