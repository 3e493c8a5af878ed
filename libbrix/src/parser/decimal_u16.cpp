#include "parser/decimal_u16.hpp"

namespace brix::detail {

std::variant<std::uint16_t, IntError> parse_decimal_u16(std::string_view text) {
  if (text.empty()) return IntError::Empty;
  if (text == "+" || text == "-") return IntError::InvalidDigit;
  if (text.front() == '+') text.remove_prefix(1);

  // Four digits never reach 65535, so short texts skip the overflow tests.
  std::uint32_t value = 0;
  if (text.size() <= 4) {
    for (char c : text) {
      if (c < '0' || c > '9') return IntError::InvalidDigit;
      value = value * 10 + static_cast<std::uint32_t>(c - '0');
    }
    return static_cast<std::uint16_t>(value);
  }
  for (char c : text) {
    // A non-digit is reported as such even where the multiplication would
    // already have overflowed.
    if (c < '0' || c > '9') return IntError::InvalidDigit;
    value *= 10;
    if (value > UINT16_MAX) return IntError::PosOverflow;
    value += static_cast<std::uint32_t>(c - '0');
    if (value > UINT16_MAX) return IntError::PosOverflow;
  }
  return static_cast<std::uint16_t>(value);
}

}  // namespace brix::detail
