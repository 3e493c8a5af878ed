// The sink that builds the data model: the BRIXQueryFile of parse and
// parse_with_externals, and a VarValue for each variable.
#pragma once

#include <utility>
#include <vector>

#include "brix/model.hpp"
#include "reader/sink.hpp"

namespace brix::detail {

class ModelSink : public Sink<VarValue> {
 public:
  BRIXQueryFile file;

  void requirement_begin(Span) { file.requirements.emplace_back(); }
  void description(const Literal& literal) {
    file.requirements.back().description = text_of(literal);
  }
  void description(const Name&, const VarValue& value) {
    file.requirements.back().description = std::get<VarValue::String>(value.value).value;
  }
  void priority(const Count& count, bool) { file.requirements.back().priority = count.from; }

  void query_begin(QueryType type, Span, const Count& count, int level) {
    BRIXQuery* query;
    if (level == 0) {
      query = &file.requirements.back().query;
    } else {
      Selector& added =
          targets_.back()->emplace_back(Selector{Selector::Query{Box<BRIXQuery>(BRIXQuery{})}});
      query = &*std::get<Selector::Query>(added.value).query;
    }
    query->type = type;
    query->quantity = quantity_of(count);
    targets_.push_back(&query->selector);
  }
  void query_end(Span, int) { targets_.pop_back(); }

  void class_selector(const Course& course) {
    targets_.back()->push_back(Selector{class_of(course)});
  }
  void call(const Call<VarValue>& call);
  void splice(const Name&, ValueKind, const VarValue& value) {
    std::vector<Selector>& out = *targets_.back();
    if (const auto* list = std::get_if<VarValue::SelectorList>(&value.value)) {
      out.insert(out.end(), list->selectors.begin(), list->selectors.end());
    } else if (const auto* selector = std::get_if<Selector>(&value.value)) {
      out.push_back(*selector);
    } else {
      out.push_back(Selector{std::get<Class>(value.value)});
    }
  }

  void assignment_begin(const Name&, ValueKind kind) {
    pending_.clear();
    if (kind == ValueKind::SelectorList || kind == ValueKind::Selector)
      targets_.push_back(&pending_);
  }
  VarValue assignment_end(const Name&, ValueKind kind, Span, Span) {
    switch (kind) {
      case ValueKind::SelectorList:
        targets_.pop_back();
        return VarValue{VarValue::SelectorList{std::move(pending_)}};
      case ValueKind::Selector:
        targets_.pop_back();
        return VarValue{std::move(pending_.front())};
      default:
        return std::move(value_);
    }
  }
  void class_value(const Course& course) { value_ = VarValue{class_of(course)}; }
  void count(const Count& count) { value_ = VarValue{quantity_of(count)}; }
  void string(const Literal& literal) { value_ = VarValue{VarValue::String{text_of(literal)}}; }

  static Text text_of(const Literal& literal) {
    return literal.doubled ? Text(literal.text()) : Text(literal.raw);
  }
  static Class class_of(const Course& course) {
    return Class{Text(course.department), course.number, course.lab};
  }
  static Quantity quantity_of(const Count& count) {
    if (count.many) return Quantity{Quantity::Many{count.from, count.to}};
    return Quantity{Quantity::Single{count.from}};
  }

 private:
  // Where selectors go: the innermost open query's list, or a value's.
  std::vector<std::vector<Selector>*> targets_;
  std::vector<Selector> pending_;
  VarValue value_;
};

}  // namespace brix::detail
