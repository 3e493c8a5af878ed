// What each byte can be in BRIX text, one table load per byte: the reader
// asks for every byte of every word, number and run of layout.
#pragma once

#include <array>
#include <cstdint>

namespace brix::detail {

enum ByteClass : std::uint8_t {
  kDigitByte = 1,        // 0-9
  kAlphaByte = 2,        // a-z, A-Z
  kWordByte = 4,         // a letter, a digit or "_"
  kLayoutStartByte = 8,  // whitespace, or the "/" of a comment
  kDepartmentByte = 16,  // A-Z or "&"
};

inline constexpr std::array<std::uint8_t, 256> kByteClasses = [] {
  std::array<std::uint8_t, 256> classes{};
  const auto add = [&](unsigned char c, std::uint8_t what) {
    classes[c] = static_cast<std::uint8_t>(classes[c] | what);
  };
  for (unsigned char c = '0'; c <= '9'; ++c) add(c, kDigitByte | kWordByte);
  for (unsigned char c = 'a'; c <= 'z'; ++c) add(c, kAlphaByte | kWordByte);
  for (unsigned char c = 'A'; c <= 'Z'; ++c) add(c, kAlphaByte | kWordByte | kDepartmentByte);
  add('_', kWordByte);
  add('&', kDepartmentByte);
  for (const char c : {' ', '\t', '\r', '\n', '/'}) {
    add(static_cast<unsigned char>(c), kLayoutStartByte);
  }
  return classes;
}();

[[gnu::always_inline]] inline bool byte_is(unsigned char c, ByteClass what) {
  return (kByteClasses[c] & what) != 0;
}

}  // namespace brix::detail
