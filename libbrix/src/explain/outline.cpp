#include "explain/outline.hpp"

#include <algorithm>
#include <limits>
#include <unordered_map>
#include <utility>

#include "reader/model_sink.hpp"
#include "reader/reader.hpp"

namespace brix::detail {
namespace {

TextSpan span_of(Span span) {
  return {span.begin, span.end};
}

OutlineItem item_at(Span span) {
  OutlineItem item;
  item.span = span_of(span);
  return item;
}

// What a variable holds, as far as the outline cares: the selectors it
// splices in, with where they are written.
struct VariableShape {
  std::vector<OutlineItem> items;
  bool list = false;
};

// The model sink that also lays the outline's places as the reader goes:
// one read builds the document and says where each of its parts stands.
class OutlineSink : public ModelSink {
 public:
  explicit OutlineSink(const ExternValues& externals) : externals_(externals) {}

  std::vector<OutlineRequirement> take() && { return std::move(requirements_); }

  void extern_declared(const Name& name, ValueKind kind, Span statement) {
    ModelSink::extern_declared(name, kind, statement);
    // An extern's selectors have no place in the text: only their number.
    const auto value = externals_.find(std::string(name.text));
    if (value == externals_.end()) return;
    VariableShape shape;
    if (const auto* list = std::get_if<VarValue::SelectorList>(&value->second.value)) {
      shape.items.resize(list->selectors.size());
      shape.list = true;
    } else if (kind == ValueKind::Selector || kind == ValueKind::Class) {
      shape.items.resize(1);
    }
    variables_[std::string(name.text)] = std::move(shape);
  }

  void assignment_begin(const Name& name, ValueKind kind) {
    ModelSink::assignment_begin(name, kind);
    held_.clear();
    if (kind == ValueKind::SelectorList || kind == ValueKind::Selector) lists_.push_back(&held_);
  }
  VarValue assignment_end(const Name& name, ValueKind kind, Span value, Span statement) {
    VariableShape shape;
    switch (kind) {
      case ValueKind::SelectorList:
        shape.list = true;
        [[fallthrough]];
      case ValueKind::Selector:
        lists_.pop_back();
        shape.items = std::move(held_);
        break;
      case ValueKind::Class:
        shape.items.push_back(item_at(value));
        break;
      default:
        break;
    }
    variables_[std::string(name.text)] = std::move(shape);
    return ModelSink::assignment_end(name, kind, value, statement);
  }

  void requirement_begin(Span statement) {
    ModelSink::requirement_begin(statement);
    requirements_.emplace_back().span.start = statement.begin;
  }
  void description(const Literal& literal) {
    ModelSink::description(literal);
    requirements_.back().span.end = literal.span.end;
  }
  void description(const Name& name, const VarValue& value) {
    ModelSink::description(name, value);
    requirements_.back().description_variable = name.text;
    requirements_.back().span.end = name.span.end;
  }
  void priority(const Count& count, bool written) {
    ModelSink::priority(count, written);
    OutlineRequirement& requirement = requirements_.back();
    requirement.priority_written = written;
    if (!written) return;
    if (count.variable != nullptr) requirement.priority_variable = count.variable->text;
    requirement.span.end = count.span.end;
  }

  void query_begin(QueryType type, Span keyword, const Count& count, int level) {
    ModelSink::query_begin(type, keyword, count, level);
    OutlineQuery* query;
    if (level == 0) {
      query = &requirements_.back().query;
    } else {
      OutlineItem& item = lists_.back()->emplace_back();
      query = &item.nested.emplace_back();
    }
    if (count.variable != nullptr) query->count_variable = count.variable->text;
    queries_.push_back(query);
    lists_.push_back(&query->items);
  }
  void query_end(Span span, int level) {
    ModelSink::query_end(span, level);
    lists_.pop_back();
    queries_.back()->span = span_of(span);
    queries_.pop_back();
    if (level > 0) lists_.back()->back().span = span_of(span);
  }

  void class_selector(const Course& course) {
    ModelSink::class_selector(course);
    lists_.back()->push_back(item_at(course.span));
  }
  void call(const Call<VarValue>& call) {
    ModelSink::call(call);
    lists_.back()->push_back(item_at(call.span));
  }
  void splice(const Name& name, ValueKind kind, const VarValue& value) {
    ModelSink::splice(name, kind, value);
    const auto found = variables_.find(std::string(name.text));
    if (found == variables_.end()) return;
    for (const OutlineItem& held : found->second.items) {
      OutlineItem& item = lists_.back()->emplace_back(held);
      item.variable = name.text;
      item.use = span_of(name.span);
      item.from_list = found->second.list;
    }
  }

 private:
  const ExternValues& externals_;
  std::unordered_map<std::string, VariableShape> variables_;
  std::vector<OutlineRequirement> requirements_;
  // Where items go: the innermost open query's, or the value's being read.
  std::vector<std::vector<OutlineItem>*> lists_;
  std::vector<OutlineQuery*> queries_;
  std::vector<OutlineItem> held_;
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
  OutlineSink sink(externals);
  if (text.size() <= std::numeric_limits<std::uint32_t>::max()) {
    BRIXParser<OutlineSink> reader(text, externals, sink);
    if (reader.parse_file().end == ReadEnd::Done) {
      Outline outline{text, ParseResult{std::move(sink.file)}, std::move(sink).take()};
      const std::vector<BRIXRequirement>& requirements =
          outline.result.parsed_brix_file.requirements;
      for (std::size_t i = 0; i < outline.requirements.size(); ++i) {
        outline.requirements[i].requirement = &requirements[i];
        attach(outline.requirements[i].query, requirements[i].query);
      }
      return outline;
    }
  }
  // A file that does not read is reported as parsing it reports it.
  Result<ParseResult> parsed = parse_with_externals(text, externals);
  if (!parsed) return std::move(parsed).error();
  return ErrorChain::from_message("the outline's read failed where parsing did not");
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
