// Decimal text to u16, with the three failures that callers wrap in their own
// context message ("selection could not fit as u16" and the like).
#pragma once

#include <cstdint>
#include <string_view>
#include <variant>

#include "brix/error_chain.hpp"

namespace brix::detail {

// An optional "+", then ASCII digits; leading zeros are allowed. The failure
// is the first one met reading left to right.
std::variant<std::uint16_t, IntError> parse_decimal_u16(std::string_view text);

}  // namespace brix::detail
