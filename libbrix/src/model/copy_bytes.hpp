// Copying short runs of bytes, for the JSON writers.
#pragma once

#include <cstddef>
#include <cstdint>
#include <cstring>

namespace brix::detail {

// Copies n bytes to `out` and returns the end. Department codes, tags,
// descriptions and variables' JSON are mostly short, and for those two
// fixed-size moves that may overlap beat a call of memcpy; neither reads or
// writes outside the n bytes.
[[gnu::always_inline]] inline char* copy_bytes(char* out, const char* from, std::size_t n) {
  if (n >= 16 && n <= 32) {
    char head[16];
    char tail[16];
    std::memcpy(head, from, 16);
    std::memcpy(tail, from + n - 16, 16);
    std::memcpy(out, head, 16);
    std::memcpy(out + n - 16, tail, 16);
  } else if (n >= 8 && n < 16) {
    std::uint64_t head;
    std::uint64_t tail;
    std::memcpy(&head, from, 8);
    std::memcpy(&tail, from + n - 8, 8);
    std::memcpy(out, &head, 8);
    std::memcpy(out + n - 8, &tail, 8);
  } else if (n >= 4 && n < 8) {
    std::uint32_t head;
    std::uint32_t tail;
    std::memcpy(&head, from, 4);
    std::memcpy(&tail, from + n - 4, 4);
    std::memcpy(out, &head, 4);
    std::memcpy(out + n - 4, &tail, 4);
  } else if (n < 4) {
    for (std::size_t i = 0; i < n; ++i) out[i] = from[i];
  } else {
    std::memcpy(out, from, n);
  }
  return out + n;
}

}  // namespace brix::detail
