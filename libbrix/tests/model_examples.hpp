// Requirement trees shared by the encoder tests.
#pragma once

#include <string>
#include <utility>

#include "brix/model.hpp"

namespace brix::examples {

inline Class course(std::string department, std::uint16_t number, bool lab = false) {
  return Class{std::move(department), number, lab};
}

inline Selector selector(Selector::Variant value) {
  return Selector{std::move(value)};
}

inline Selector nested(BRIXQuery query) {
  return Selector{Selector::Query{Box<BRIXQuery>(std::move(query))}};
}

// One requirement: "Two "core" courses", SELECT 2 FROM ABCD 1234 and the
// range ABCD 100 to ABCD 199L, priority 1.
inline BRIXQueryFile worked_example() {
  BRIXQuery query{Quantity{Quantity::Single{2}}, QueryType::Select, {}};
  query.selector.push_back(selector(course("ABCD", 1234)));
  query.selector.push_back(
      selector(Selector::Range{course("ABCD", 100), course("ABCD", 199, true)}));
  BRIXQueryFile file;
  file.requirements.push_back(BRIXRequirement{std::move(query), R"(Two "core" courses)", 1});
  return file;
}

// One selector of every variant, in variant order; the last is a nested
// query holding a Tag.
inline std::vector<Selector> every_selector() {
  return {
      selector(course("CSCI", 0)),
      selector(Selector::Placement{"calc"}),
      selector(Selector::Tag{"wr"}),
      selector(Selector::TagCode{"wr", "CSCI"}),
      selector(Selector::Dist{"SS"}),
      selector(Selector::DistCode{"SS", "ECON"}),
      selector(Selector::Range{course("MATH", 100), course("MATH", 199)}),
      selector(Selector::RangeDist{course("BIOL", 0), course("BIOL", 9999, true), "NS"}),
      selector(Selector::RangeTag{course("PHYS", 1), course("PHYS", 2), "lab"}),
      nested(BRIXQuery{
          Quantity{Quantity::Many{1, 3}}, QueryType::Select, {selector(Selector::Tag{"x"})}}),
  };
}

}  // namespace brix::examples
