// The sink that builds the data model: the BRIXQueryFile of parse and
// parse_with_externals, and a VarValue for each variable.
#pragma once

#include <cstddef>
#include <iterator>
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

  // A query's selectors are gathered on one stack and moved into a list of
  // their exact number when the query ends: one allocation per list, where
  // growing each list as it fills takes two or three and leaves room unused.
  void query_begin(QueryType type, Span, const Count& count, int) {
    open_.push_back(Open{selectors_.size(), type, quantity_of(count)});
  }
  void query_end(Span, int level) {
    const Open open = open_.back();
    open_.pop_back();
    BRIXQuery query{open.quantity, open.type, take_from(open.first)};
    if (level == 0) {
      file.requirements.back().query = std::move(query);
    } else {
      selectors_.push_back(Selector{Selector::Query{Box<BRIXQuery>(std::move(query))}});
    }
  }

  void class_selector(const Course& course) { selectors_.push_back(Selector{class_of(course)}); }
  void call(const Call<VarValue>& call);
  void splice(const Name&, ValueKind, const VarValue& value) {
    if (const auto* list = std::get_if<VarValue::SelectorList>(&value.value)) {
      selectors_.insert(selectors_.end(), list->selectors.begin(), list->selectors.end());
    } else if (const auto* selector = std::get_if<Selector>(&value.value)) {
      selectors_.push_back(*selector);
    } else {
      selectors_.push_back(Selector{std::get<Class>(value.value)});
    }
  }

  void assignment_begin(const Name&, ValueKind) { value_first_ = selectors_.size(); }
  VarValue assignment_end(const Name&, ValueKind kind, Span, Span) {
    switch (kind) {
      case ValueKind::SelectorList:
        return VarValue{VarValue::SelectorList{take_from(value_first_)}};
      case ValueKind::Selector: {
        VarValue value{std::move(selectors_.back())};
        selectors_.pop_back();
        return value;
      }
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
  struct Open {
    std::size_t first;  // where its selectors start on the stack
    QueryType type;
    Quantity quantity;
  };
  std::vector<Selector> take_from(std::size_t first) {
    std::vector<Selector> list(
        std::make_move_iterator(selectors_.begin() + static_cast<std::ptrdiff_t>(first)),
        std::make_move_iterator(selectors_.end()));
    selectors_.resize(first);
    return list;
  }

  std::vector<Selector> selectors_;
  std::vector<Open> open_;
  std::size_t value_first_ = 0;
  VarValue value_;
};

}  // namespace brix::detail
