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

std::string course_text(const CourseKey& course) {
  const auto& [department, number, lab] = course;
  std::string out(department);
  out += ' ';
  const std::string digits = std::to_string(number);
  out.append(4 - std::min<std::size_t>(4, digits.size()), '0').append(digits);
  if (lab) out += 'L';
  return out;
}

// An item's identity in its list: its text without the spaces outside
// strings, so `TAG( "x" )` is `TAG("x")`.
std::string identity(std::string_view written) {
  std::string key;
  bool in_string = false;
  for (const char c : written) {
    if (c == '"') in_string = !in_string;
    if (!in_string && (c == ' ' || c == '\t' || c == '\n' || c == '\r')) continue;
    key += c;
  }
  return key;
}

bool blank(std::string_view raw) {
  return raw.find_first_not_of(" \t") == std::string_view::npos;
}

std::string plural(std::size_t n, std::string_view word) {
  return std::to_string(n) + " " + std::string(word) + (n == 1 ? "" : "s");
}

}  // namespace

void LintSink::define(const Name& name, bool is_extern) {
  const auto earlier = in_effect_.find(name.text);
  if (earlier != in_effect_.end() && !bindings_[earlier->second].used) {
    Binding& first = bindings_[earlier->second];
    warn("W0207", name.span, "`" + first.name + "` is assigned again before its value was used",
         "remove the earlier assignment, or use it first", first.span, "first assigned here");
    // The earlier value is reported here; it is not also unused.
    first.used = true;
  }
  in_effect_[name.text] = bindings_.size();
  bindings_.push_back(Binding{std::string(name.text), name.span, false, is_extern});
}

void LintSink::variable_use(const Name& name, ValueKind) {
  const auto binding = in_effect_.find(name.text);
  if (binding != in_effect_.end()) bindings_[binding->second].used = true;
}

void LintSink::assignment_begin(const Name&, ValueKind kind) {
  value_ = LintValue{};
  if (kind == ValueKind::SelectorList || kind == ValueKind::Selector) lists_.emplace_back();
}

LintValue LintSink::assignment_end(const Name& name, ValueKind kind, Span, Span statement) {
  if (kind == ValueKind::SelectorList || kind == ValueKind::Selector) {
    List list = std::move(lists_.back());
    lists_.pop_back();
    if (list.closed) value_.courses = std::move(list.courses);
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
  if (!lists_.empty()) lists_.back().closed = false;
  List list;
  // A count the caller gives may fit any list.
  if (count.variable != nullptr) {
    const auto binding = in_effect_.find(count.variable->text);
    if (binding != in_effect_.end() && bindings_[binding->second].is_extern) list.closed = false;
  }
  list.is_query = true;
  list.type = type;
  list.count = count;
  lists_.push_back(std::move(list));
}

void LintSink::query_end(Span query, int) {
  List list = std::move(lists_.back());
  lists_.pop_back();
  if (!lists_.empty()) item(identity(text_.substr(query.begin, query.end - query.begin)), query);
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
  std::vector<CourseKey>& courses = lists_.back().courses;
  if (std::find(courses.begin(), courses.end(), course) == courses.end()) {
    courses.push_back(course);
  }
}

void LintSink::class_selector(const Course& course) {
  add_course(key_of(course));
  item(course_text(key_of(course)), course.span);
}

void LintSink::call(const Call<LintValue>& call) {
  List& list = lists_.back();
  const Argument<LintValue>& first = call.arguments.front();
  if (call.function != Function::Class) {
    list.closed = false;
  } else if (first.value == nullptr) {
    add_course(key_of(first.course));
  } else if (first.value->courses) {
    for (const CourseKey& course : *first.value->courses) add_course(course);
  }
  range(call);
  item(identity(text_.substr(call.span.begin, call.span.end - call.span.begin)), call.span);
}

void LintSink::splice(const Name& name, ValueKind, const LintValue& value) {
  if (value.courses) {
    for (const CourseKey& course : *value.courses) add_course(course);
  } else {
    lists_.back().closed = false;
  }
  item(std::string(name.text), name.span);
}

void LintSink::item(std::string key, Span at) {
  std::vector<std::pair<std::string, Span>>& seen = lists_.back().seen;
  const auto first =
      std::find_if(seen.begin(), seen.end(), [&](const auto& item) { return item.first == key; });
  if (first == seen.end()) {
    seen.emplace_back(std::move(key), at);
    return;
  }
  std::string message = "`";
  message.append(text_.substr(at.begin, at.end - at.begin)).append("` is already in this list");
  warn("W0204", at, std::move(message), "remove the second one; a list counts each selector once",
       first->second, "first listed here");
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
      warn("W0206", binding.span, "`" + binding.name + "` is defined but never used",
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
