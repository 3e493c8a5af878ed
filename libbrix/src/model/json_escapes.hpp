// How a byte is written inside a JSON string, shared by every JSON writer.
#pragma once

#include <array>
#include <cstddef>

namespace brix::detail {

// For each byte: 0 when a JSON string holds it as it is, otherwise the
// character after the backslash of its escape ('u' for the "\u00XX" form).
inline constexpr std::array<char, 256> kJsonEscapes = [] {
  std::array<char, 256> table{};
  for (std::size_t c = 0; c < 0x20; ++c) table[c] = 'u';
  table['\b'] = 'b';
  table['\t'] = 't';
  table['\n'] = 'n';
  table['\f'] = 'f';
  table['\r'] = 'r';
  table['"'] = '"';
  table['\\'] = '\\';
  return table;
}();

inline constexpr char kHexDigits[] = "0123456789abcdef";

}  // namespace brix::detail
