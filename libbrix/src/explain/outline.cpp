#include "explain/outline.hpp"

#include <algorithm>
#include <optional>
#include <unordered_map>
#include <utility>

#include "reader/reader.hpp"

namespace brix::detail {
namespace {

TextSpan span_of(Span at) {
  return {at.begin, at.end};
}

OutlineItem item_at(Span at) {
  OutlineItem item;
  item.span = span_of(at);
  return item;
}

// What a variable holds, as far as the outline cares: the selectors it
// splices in, with where they are written.
struct VariableShape {
  std::vector<OutlineItem> items;
  bool list = false;
};

// Reads the places of every statement, as a sink of the reader; the
// document itself comes from the library.
class ShapeSink : public Sink<VariableShape> {
 public:
  void requirement_begin(Span) { requirements_.emplace_back(); }
  void requirement_end(Span statement) { requirements_.back().span = span_of(statement); }
  void description(const Literal&) {}
  void description(const Name& name, const VariableShape&) {
    requirements_.back().description_variable = name.text;
  }
  void priority(const Count& count, bool written) {
    requirements_.back().priority_written = written;
    if (count.variable != nullptr) requirements_.back().priority_variable = count.variable->text;
  }

  void query_begin(QueryType, Span keyword, const Count& count, int level) {
    OutlineQuery* query = nullptr;
    if (level == 0) {
      query = &requirements_.back().query;
    } else {
      OutlineItem& item = targets_.back()->emplace_back();
      item.span.start = keyword.begin;
      query = &item.nested.emplace_back();
    }
    if (count.variable != nullptr) query->count_variable = count.variable->text;
    queries_.push_back(query);
    targets_.push_back(&query->items);
  }
  void query_end(Span query, int level) {
    queries_.back()->span = span_of(query);
    queries_.pop_back();
    targets_.pop_back();
    if (level > 0) targets_.back()->back().span = span_of(query);
  }

  void class_selector(const Course& course) { targets_.back()->push_back(item_at(course.span)); }
  void call(const Call<VariableShape>& call) { targets_.back()->push_back(item_at(call.span)); }
  void splice(const Name& name, ValueKind, const VariableShape& value) {
    for (const OutlineItem& held : value.items) {
      OutlineItem& item = targets_.back()->emplace_back(held);
      item.variable = name.text;
      item.use = span_of(name.span);
      item.from_list = value.list;
    }
  }

  void assignment_begin(const Name&, ValueKind kind) {
    pending_ = VariableShape{};
    pending_.list = kind == ValueKind::SelectorList;
    if (kind == ValueKind::SelectorList || kind == ValueKind::Selector) {
      targets_.push_back(&pending_.items);
    }
  }
  VariableShape assignment_end(const Name&, ValueKind kind, Span, Span) {
    if (kind == ValueKind::SelectorList || kind == ValueKind::Selector) targets_.pop_back();
    return std::exchange(pending_, VariableShape{});
  }
  void class_value(const Course& course) { pending_.items.push_back(item_at(course.span)); }

  std::vector<OutlineRequirement> take() && { return std::move(requirements_); }

 private:
  std::vector<OutlineRequirement> requirements_;
  std::vector<OutlineQuery*> queries_;
  // Where selectors go: the innermost open query's items, or a value's.
  std::vector<std::vector<OutlineItem>*> targets_;
  VariableShape pending_;
};

// Points the shapes at the document's values. A shape that does not fit its
// query (an extern's selectors have no shape) is laid anew from the values.
void attach(OutlineQuery& shape, const BRIXQuery& query) {
  shape.query = &query;
  if (shape.items.size() != query.selector.size()) shape.items.assign(query.selector.size(), {});
  for (std::size_t i = 0; i < shape.items.size(); ++i) {
    OutlineItem& item = shape.items[i];
    item.selector = &query.selector[i];
    if (const auto* nested = std::get_if<Selector::Query>(&item.selector->value)) {
      if (item.nested.empty()) item.nested.emplace_back();
      attach(item.nested.front(), *nested->query);
    } else {
      item.nested.clear();
    }
  }
}

}  // namespace

Result<Outline> build_outline(std::string_view text, const ExternValues& externals) {
  Result<ParseResult> parsed = parse_with_externals(text, externals);
  if (!parsed) return std::move(parsed).error();
  // The text is valid now; read again for the places.
  ShapeSink shapes;
  BRIXParser<ShapeSink> reader(text, externals, shapes);
  reader.parse_file();

  Outline outline{text, std::move(parsed).value(), std::move(shapes).take()};
  const std::vector<BRIXRequirement>& requirements = outline.result.parsed_brix_file.requirements;
  for (std::size_t i = 0; i < outline.requirements.size() && i < requirements.size(); ++i) {
    outline.requirements[i].requirement = &requirements[i];
    attach(outline.requirements[i].query, requirements[i].query);
  }
  return outline;
}

LineIndex::LineIndex(std::string_view text) {
  starts_.push_back(0);
  for (std::size_t at = text.find('\n'); at != std::string_view::npos;
       at = text.find('\n', at + 1)) {
    starts_.push_back(at + 1);
  }
}

std::size_t LineIndex::line_of(std::size_t offset) const {
  return static_cast<std::size_t>(std::upper_bound(starts_.begin(), starts_.end(), offset) -
                                  starts_.begin());
}

}  // namespace brix::detail
