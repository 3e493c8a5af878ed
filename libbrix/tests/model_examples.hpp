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
  return Selector{Selector::Query{detail::Box<BRIXQuery>(std::move(query))}};
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
