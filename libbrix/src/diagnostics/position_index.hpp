// Lines and columns of many offsets of one text: the line starts are found
// once, so each position costs a search and a walk along its own line.
#pragma once

#include <cstddef>
#include <string_view>
#include <vector>

#include "brix/diagnostics.hpp"

namespace brix::detail {

class PositionIndex {
 public:
  explicit PositionIndex(std::string_view text);

  SourcePosition at(std::size_t offset) const;
  SourceSpan span(std::size_t start, std::size_t end) const { return {at(start), at(end)}; }

 private:
  std::string_view text_;
  std::vector<std::size_t> starts_;  // one past each line feed, after a 0
};

}  // namespace brix::detail
