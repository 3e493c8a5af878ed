#include "diagnostics/lint.hpp"

#include <algorithm>
#include <utility>

#include "diagnostics/position_index.hpp"
#include "diagnostics/read.hpp"

namespace brix::detail {
namespace {

CourseKey key_of(const Course& course) {
  return {course.department, course.number, course.lab};
}

// "`$name`" and the rest of a message.
std::string quoted(std::string_view name, std::string_view rest) {
  std::string out;
  out.reserve(name.size() + rest.size() + 2);
  out.append("`").append(name).append("`").append(rest);
  return out;
}

bool blank(std::string_view raw) {
  return raw.find_first_not_of(" \t") == std::string_view::npos;
}

std::string plural(std::size_t n, std::string_view word) {
  return std::to_string(n) + " " + std::string(word) + (n == 1 ? "" : "s");
}

}  // namespace

// The latest definition of `name`: files have a few variables.
LintSink::Binding* LintSink::in_effect(std::string_view name) {
  for (auto it = bindings_.rbegin(); it != bindings_.rend(); ++it) {
    if (it->name == name) return &*it;
  }
  return nullptr;
}

void LintSink::define(const Name& name, bool is_extern) {
  Binding* const earlier = in_effect(name.text);
  if (earlier != nullptr && !earlier->used) {
    Binding& first = *earlier;
    warn("W0207", name.span, quoted(first.name, " is assigned again before its value was used"),
         "remove the earlier assignment, or use it first", first.span, "first assigned here");
    // The earlier value is reported here; it is not also unused.
    first.used = true;
  }
  bindings_.push_back(Binding{name.text, name.span, false, is_extern});
}

void LintSink::variable_use(const Name& name, ValueKind) {
  if (Binding* const binding = in_effect(name.text)) binding->used = true;
}

void LintSink::assignment_begin(const Name&, ValueKind kind) {
  value_ = LintValue{};
  if (kind == ValueKind::SelectorList || kind == ValueKind::Selector) open_list();
}

LintSink::List& LintSink::open_list() {
  if (open_ == lists_.size()) lists_.emplace_back();
  List& list = lists_[open_++];
  list.closed = true;
  list.courses.clear();
  list.seen.clear();
  return list;
}

LintValue LintSink::assignment_end(const Name& name, ValueKind kind, Span, Span statement) {
  if (kind == ValueKind::SelectorList || kind == ValueKind::Selector) {
    List& list = lists_[--open_];
    if (list.closed) value_.courses = list.courses;
  }
  // An extern's value comes as an assignment without a place; the extern
  // is defined when it is declared. Its value is the caller's, different
  // from run to run, so what it holds counts as open.
  if (statement == Span{}) return LintValue{};
  define(name, false);
  return std::exchange(value_, LintValue{});
}

void LintSink::class_value(const Course& course) {
  value_.courses = std::vector<CourseKey>{key_of(course)};
}

void LintSink::string(const Literal& literal) {
  value_.blank_text = blank(literal.raw);
}

void LintSink::description(const Literal& literal) {
  if (blank(literal.raw)) {
    warn("W0205", literal.span, "the description is empty",
         "say what the requirement asks for; registrars and students read it");
  }
}

void LintSink::description(const Name& name, const LintValue& value) {
  if (value.blank_text) {
    warn("W0205", name.span, "the description is empty",
         "say what the requirement asks for; registrars and students read it");
  }
}

void LintSink::query_begin(QueryType type, Span, const Count& count, int) {
  // A nested query is open: what it selects is not a fixed list of courses.
  if (open_ > 0) current().closed = false;
  List& list = open_list();
  // A count the caller gives may fit any list.
  if (count.variable != nullptr) {
    const Binding* const binding = in_effect(count.variable->text);
    if (binding != nullptr && binding->is_extern) list.closed = false;
  }
  list.type = type;
  list.count = count;
}

void LintSink::query_end(Span query, int) {
  const List& list = lists_[--open_];
  if (open_ > 0) item(Item{false, {}, query});
  if (!list.closed) return;
  const std::size_t size = list.courses.size();
  const std::string have = plural(size, "distinct course");
  if (list.type == QueryType::Select && list.count.from > size) {
    warn("W0201", list.count.span,
         "this SELECT asks for " + std::to_string(list.count.from) + " courses but can only get " +
             have,
         "lower the count, or add courses to the list");
  } else if (list.type == QueryType::Limit && list.count.to >= size) {
    warn("W0208", list.count.span,
         "this LIMIT allows " + std::to_string(list.count.to) + " of " + have +
             ", so it limits nothing",
         "lower the count, or remove the LIMIT");
  }
}

void LintSink::add_course(const CourseKey& course) {
  std::vector<CourseKey>& courses = current().courses;
  if (std::find(courses.begin(), courses.end(), course) == courses.end()) {
    courses.push_back(course);
  }
}

void LintSink::class_selector(const Course& course) {
  add_course(key_of(course));
  item(Item{true, key_of(course), course.span});
}

void LintSink::call(const Call<LintValue>& call) {
  List& list = current();
  const Argument<LintValue>& first = call.arguments.front();
  if (call.function != Function::Class) {
    list.closed = false;
  } else if (first.value == nullptr) {
    add_course(key_of(first.course));
  } else if (first.value->courses) {
    for (const CourseKey& course : *first.value->courses) add_course(course);
  }
  range(call);
  item(Item{false, {}, call.span});
}

void LintSink::splice(const Name& name, ValueKind, const LintValue& value) {
  if (value.courses) {
    for (const CourseKey& course : *value.courses) add_course(course);
  } else {
    current().closed = false;
  }
  item(Item{false, {}, name.span});
}

// Two items are the same when they are the same course, or are written
// alike but for the spaces outside strings, so `TAG( "x" )` is `TAG("x")`.
bool LintSink::same(const Item& a, const Item& b) const {
  if (a.course || b.course) return a.course && b.course && a.key == b.key;
  const std::string_view x = text_.substr(a.at.begin, a.at.end - a.at.begin);
  const std::string_view y = text_.substr(b.at.begin, b.at.end - b.at.begin);
  std::size_t i = 0;
  std::size_t j = 0;
  bool in_string = false;
  const auto skip = [&](std::string_view t, std::size_t& k) {
    while (!in_string && k < t.size() &&
           (t[k] == ' ' || t[k] == '\t' || t[k] == '\n' || t[k] == '\r')) {
      ++k;
    }
  };
  for (;;) {
    skip(x, i);
    skip(y, j);
    if (i == x.size() || j == y.size()) return i == x.size() && j == y.size();
    if (x[i] != y[j]) return false;
    if (x[i] == '"') in_string = !in_string;
    ++i;
    ++j;
  }
}

void LintSink::item(const Item& added) {
  std::vector<Item>& seen = current().seen;
  const auto first =
      std::find_if(seen.begin(), seen.end(), [&](const Item& item) { return same(item, added); });
  if (first == seen.end()) {
    seen.push_back(added);
    return;
  }
  const Span at = added.at;
  std::string message = "`";
  message.append(text_.substr(at.begin, at.end - at.begin)).append("` is already in this list");
  warn("W0204", at, std::move(message), "remove the second one; a list counts each selector once",
       first->at, "first listed here");
}

void LintSink::range(const Call<LintValue>& call) {
  if (call.function != Function::Range && call.function != Function::RangeDist &&
      call.function != Function::RangeTag) {
    return;
  }
  // Each bound as written, or as the variable holding it.
  auto bound = [](const Argument<LintValue>& a) -> std::optional<CourseKey> {
    if (a.value == nullptr) return key_of(a.course);
    if (a.value->courses && a.value->courses->size() == 1) return a.value->courses->front();
    return std::nullopt;
  };
  const std::optional<CourseKey> low = bound(call.arguments[0]);
  const std::optional<CourseKey> high = bound(call.arguments[1]);
  if (!low || !high) return;
  if (std::get<0>(*low) != std::get<0>(*high)) {
    warn("W0203", call.span,
         "this range runs from " + std::string(std::get<0>(*low)) + " to " +
             std::string(std::get<0>(*high)) + ", two departments",
         "a range covers the courses of one department; list each department's range");
  } else if (std::get<1>(*low) > std::get<1>(*high)) {
    warn("W0202", call.span, "this range starts after it ends, so it holds no course",
         "swap the two courses", Span{call.arguments[0].span.begin, call.arguments[1].span.end},
         "reversed");
  }
}

void LintSink::warn(std::string_view code, Span at, std::string message, std::string help,
                    std::optional<Span> label, std::string label_text) {
  if (std::find(options_.allowed.begin(), options_.allowed.end(), code) != options_.allowed.end()) {
    return;
  }
  // The events of an extern's value have no place in the text: nothing is
  // said about a value the caller gave.
  if (at == Span{}) return;
  if (allowed_above(code, at.begin)) return;
  Diagnostic d;
  d.severity = Severity::Warning;
  d.code = std::string(code);
  d.message = std::move(message);
  d.span = SourceSpan{{at.begin}, {at.end}};  // made whole in warnings()
  d.help = std::move(help);
  if (label) d.labels.push_back({SourceSpan{{label->begin}, {label->end}}, std::move(label_text)});
  out_.push_back(std::move(d));
}

// "// brix: allow(W0201, W0205)" on the line before the one holding `at`.
bool LintSink::allowed_above(std::string_view code, std::size_t at) const {
  const std::size_t line_start = text_.rfind('\n', at == 0 ? 0 : at - 1);
  if (line_start == std::string_view::npos || line_start == 0) return false;
  const std::size_t above_start = text_.rfind('\n', line_start - 1);
  const std::size_t from = above_start == std::string_view::npos ? 0 : above_start + 1;
  const std::string_view above = text_.substr(from, line_start - from);
  const std::size_t allow = above.find("// brix: allow(");
  if (allow == std::string_view::npos) return false;
  const std::string_view list = above.substr(allow + 15, above.find(')', allow) - allow - 15);
  return list.find(code) != std::string_view::npos;
}

std::vector<Diagnostic> LintSink::warnings() && {
  for (const Binding& binding : bindings_) {
    if (!binding.used) {
      warn("W0206", binding.span, quoted(binding.name, " is defined but never used"),
           "remove it, or use it in a requirement");
    }
  }
  std::stable_sort(out_.begin(), out_.end(), [](const Diagnostic& a, const Diagnostic& b) {
    return a.span->start.offset < b.span->start.offset;
  });
  if (out_.empty()) return {};
  // Lines and columns only now, all from one index of the text.
  const PositionIndex lines(text_);
  for (Diagnostic& d : out_) {
    d.span = lines.span(d.span->start.offset, d.span->end.offset);
    for (Label& label : d.labels)
      label.span = lines.span(label.span.start.offset, label.span.end.offset);
  }
  return std::move(out_);
}

std::vector<Diagnostic> lint(std::string_view text, std::string_view readable,
                             const Options& options) {
  LintSink sink(text, options);
  if (!read_clean(readable, options, sink)) return {};
  return std::move(sink).warnings();
}

}  // namespace brix::detail
