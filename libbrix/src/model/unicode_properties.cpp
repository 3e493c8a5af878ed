#include "model/unicode_properties.hpp"

#include <algorithm>
#include <span>

namespace brix::detail {
namespace {

struct CodeRange {
  char32_t first;
  char32_t last;
};

#include "model/unicode_tables.inc"

bool in_ranges(std::span<const CodeRange> ranges, char32_t c) {
  // The first range that ends at or after c is the only one that can hold it.
  const auto it = std::lower_bound(ranges.begin(), ranges.end(), c,
                                   [](const CodeRange& r, char32_t v) { return r.last < v; });
  return it != ranges.end() && it->first <= c;
}

}  // namespace

bool is_printable(char32_t c) {
  return in_ranges(kPrintableRanges, c);
}

bool is_grapheme_extend(char32_t c) {
  return in_ranges(kGraphemeExtendRanges, c);
}

}  // namespace brix::detail
