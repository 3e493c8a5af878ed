// Warnings: requirements that parse but are plainly wrong, and variables that
// serve nothing. Each has a code; `// brix: allow(CODE)` on the line above
// the place it points at, or the code in Options::allowed, silences it.
//
// The linter is a sink of the reader, so the language's meaning (what a
// variable holds where it is used, which courses a list names) is read in
// one place.
#pragma once

#include <cstddef>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "brix/diagnostics.hpp"
#include "reader/sink.hpp"

namespace brix::detail {

// A course as a list counts it: department, number, lab.
using CourseKey = std::tuple<std::string_view, std::uint16_t, bool>;

// What the linter keeps for a variable's value.
struct LintValue {
  // The distinct courses it names, when it is a closed set of courses
  // (courses and CLASS calls); nothing when it names anything open.
  std::optional<std::vector<CourseKey>> courses;
  bool blank_text = false;  // a string of spaces and tabs only
};

class LintSink : public Sink<LintValue> {
 public:
  // `text` is what the spans are shown against: the text as written, which
  // has the same offsets as the text read.
  LintSink(std::string_view text, const Options& options) : text_(text), options_(options) {}

  void extern_declared(const Name& name, ValueKind, Span) { define(name, true); }
  void assignment_begin(const Name&, ValueKind kind);
  LintValue assignment_end(const Name& name, ValueKind kind, Span, Span);
  void class_value(const Course& course);
  void string(const Literal& literal);

  void description(const Literal& literal);
  void description(const Name& name, const LintValue& value);

  void query_begin(QueryType type, Span keyword, const Count& count, int level);
  void query_end(Span query, int level);
  void class_selector(const Course& course);
  void call(const Call<LintValue>& call);
  void splice(const Name& name, ValueKind, const LintValue& value);

  void variable_use(const Name& name, ValueKind);

  // The warnings in text order; call once, after the text was read.
  std::vector<Diagnostic> warnings() &&;

 private:
  struct Binding {
    std::string_view name;  // in the text read
    Span span;              // the defining name
    bool used = false;
    bool is_extern = false;
  };
  // One selector of a list: a course, or anything else by where it is
  // written.
  struct Item {
    bool course = false;
    CourseKey key;
    Span at;
  };
  // A list being read: a query's selectors or a value's.
  struct List {
    bool closed = true;
    std::vector<CourseKey> courses;
    std::vector<Item> seen;  // lists are short
    // For a query:
    QueryType type = QueryType::Select;
    Count count;
  };

  void define(const Name& name, bool is_extern);
  Binding* in_effect(std::string_view name);
  // Lists are kept for reuse; `open_` of them are open.
  List& open_list();
  List& current() { return lists_[open_ - 1]; }
  bool same(const Item& a, const Item& b) const;
  void item(const Item& added);
  void add_course(const CourseKey& course);
  void range(const Call<LintValue>& call);
  void warn(std::string_view code, Span at, std::string message, std::string help,
            std::optional<Span> label = std::nullopt, std::string label_text = {});
  bool allowed_above(std::string_view code, std::size_t at) const;

  std::string_view text_;
  const Options& options_;
  std::vector<Binding> bindings_;  // in definition order
  std::vector<List> lists_;
  std::size_t open_ = 0;
  LintValue value_;
  std::vector<Diagnostic> out_;
};

// The warnings of `readable`, a text that parses, shown against `text`.
std::vector<Diagnostic> lint(std::string_view text, std::string_view readable,
                             const Options& options);

}  // namespace brix::detail
