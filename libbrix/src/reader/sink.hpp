// What the reader tells whoever listens: the events of one pass over a BRIX
// text, in source order, each with the byte spans it covers.
//
// A sink is a class that derives from Sink<ItsValue> and hides the events
// it cares about; the reader is a template over the sink, so an event nobody
// hides is an empty inline call and costs nothing. A sink also names the
// type it keeps for a variable's value (`Value`): the reader keeps that
// value in its variable table and hands it back at every use, so a variable
// is never rebuilt from anything the sink wrote.
//
// Events arrive only for text that is valid so far. When the reader meets an
// error it stops sending events; a sink holds nothing the caller should use
// after a failed read.
#pragma once

#include <cstdint>
#include <span>
#include <string>
#include <string_view>

#include "brix/model.hpp"
#include "reader/functions.hpp"

namespace brix::detail {

// Byte offsets into the source text, end exclusive.
struct Span {
  std::uint32_t begin = 0;
  std::uint32_t end = 0;

  friend bool operator==(const Span&, const Span&) = default;
};

// A variable's name as written, "$" included, and where it stands.
struct Name {
  std::string_view text;
  Span span;
};

// The kinds of value a variable can hold, in the order of VarValue's variants.
enum class ValueKind : std::uint8_t { SelectorList, Selector, Quantity, String, Class };

// A string literal. `raw` is what stands between its quotes, doubled quotes
// as written; `doubled` says whether there are any.
struct Literal {
  std::string_view raw;
  Span span;  // quotes included
  bool doubled = false;
  // Neither doubled quotes nor a byte that JSON escapes (a control character
  // or a backslash): the text is `raw` and JSON holds it as it is.
  bool plain = false;

  // The text value: doubled quotes undone.
  std::string text() const {
    if (!doubled) return std::string(raw);
    std::string out;
    out.reserve(raw.size());
    for (std::size_t i = 0; i < raw.size(); ++i) {
      out += raw[i];
      if (raw[i] == '"') ++i;
    }
    return out;
  }
};

// A course written in the text: department code, spaces, number and lab mark.
struct Course {
  std::string_view department;
  std::uint16_t number = 0;
  bool lab = false;
  Span department_span;
  Span number_span;  // the "L" included
  Span span;         // the whole course
};

// A count: a query's quantity, a priority, or a quantity assigned to a
// variable. `variable` is set when it was written as a variable's name.
struct Count {
  std::uint16_t from = 0;
  std::uint16_t to = 0;  // equal to `from` when not `many`
  bool many = false;
  Span span;       // the number, the range, or the variable
  Span from_span;  // a range's bounds; both equal `span` otherwise
  Span to_span;
  const Name* variable = nullptr;
};

// One argument of a selector function, as it was read: a literal, a course,
// or a variable holding a text or a course (then `value` is the sink's).
template <class Value>
struct Argument {
  bool is_text = false;
  Literal literal;  // is_text and no variable
  Course course;    // !is_text and no variable
  const Name* variable = nullptr;
  const Value* value = nullptr;  // set with `variable`
  Span span;
};

// A selector function call with arguments that fit its pattern.
template <class Value>
struct Call {
  Function function;
  std::string_view name;  // as written, either spelling
  Span name_span;
  Span span;  // from the name to ")"
  std::span<const Argument<Value>> arguments;
};

// What a sink that keeps nothing for a variable keeps.
struct NoValue {};

// The empty defaults of every event. `V` is what the sink keeps for a
// variable's value.
template <class V = NoValue>
struct Sink {
  using Value = V;

  // The file. `file_end` comes only after the whole text was read.
  void file_begin() {}
  void file_end() {}

  // `extern $name;`. The caller's value reaches the sink first as the events
  // of an assignment of it, with empty spans, so the sink keeps it as it
  // keeps its own values.
  void extern_declared(const Name&, ValueKind, Span /*statement*/) {}

  // `$name = value;`: the value's events come between the two calls; a list
  // or a single selector sends the events a query's selectors would. The
  // sink returns what it keeps for the name.
  void assignment_begin(const Name&, ValueKind) {}
  Value assignment_end(const Name&, ValueKind, Span /*value*/, Span /*statement*/) {
    return Value{};
  }

  // `query : description [: priority];`. The description and the priority
  // come after the query's events; `written` is false for the default 1.
  void requirement_begin(Span /*statement*/) {}
  void description(const Literal&) {}
  void description(const Name&, const Value&) {}
  void priority(const Count&, bool /*written*/) {}
  void requirement_end(Span /*statement*/) {}

  // A query: a requirement's own (level 0) or one nested as a selector
  // (level 1 and deeper). Its selectors come between the two calls.
  void query_begin(QueryType, Span /*keyword*/, const Count&, int /*level*/) {}
  void query_end(Span /*query*/, int /*level*/) {}

  // Selectors, in the order they stand in their list.
  void class_selector(const Course&) {}
  void call(const Call<Value>&) {}
  // A variable used as a selector: its value's selectors join the list
  // (a course variable joins as a Class selector).
  void splice(const Name&, ValueKind, const Value&) {}

  // Values assigned to a variable: a course, a quantity, a string.
  void class_value(const Course&) {}
  void count(const Count&) {}
  void string(const Literal&) {}

  // Every course in the text, wherever it stands, before the event that
  // carries it.
  void course(const Course&) {}
  // Every use of a variable, before the event that uses its value.
  void variable_use(const Name&, ValueKind) {}
};

}  // namespace brix::detail
