#include "latin1.hpp"

#include <bit>
#include <cstdint>
#include <cstring>

#if defined(__SSE2__) || defined(_M_X64)
#include <emmintrin.h>
#endif

namespace rediriziv {
namespace {

#if defined(__SSE2__) || defined(_M_X64)
__m128i load16(const char* at) {
  return _mm_loadu_si128(reinterpret_cast<const __m128i*>(at));
}
#else
constexpr std::uint64_t kHighBits = 0x8080808080808080u;

std::uint64_t load8(const char* at) {
  std::uint64_t word;
  std::memcpy(&word, at, sizeof word);
  return word;
}
#endif

}  // namespace

std::size_t next_non_ascii(const char* data, std::size_t from, std::size_t size) {
#if defined(__SSE2__) || defined(_M_X64)
  // Runs between non-ASCII characters are hundreds of bytes long, so the
  // search goes a cache line at a time and finds the byte in the last block.
  while (from + 64 <= size) {
    const __m128i any =
        _mm_or_si128(_mm_or_si128(load16(data + from), load16(data + from + 16)),
                     _mm_or_si128(load16(data + from + 32), load16(data + from + 48)));
    if (_mm_movemask_epi8(any) != 0) break;
    from += 64;
  }
  while (from + 16 <= size) {
    const auto high = static_cast<unsigned>(_mm_movemask_epi8(load16(data + from)));
    if (high != 0) return from + static_cast<std::size_t>(std::countr_zero(high));
    from += 16;
  }
#else
  while (from + 16 <= size && ((load8(data + from) | load8(data + from + 8)) & kHighBits) == 0) {
    from += 16;
  }
#endif
  while (from < size && static_cast<unsigned char>(data[from]) < 0x80) ++from;
  return from;
}

// Non-ASCII characters are rare in these texts, so both directions copy the
// ASCII runs between them whole, which is as fast as copying gets.
std::size_t latin1_to_utf8(std::string_view latin1, char* out) {
  const char* const data = latin1.data();
  const std::size_t size = latin1.size();
  std::size_t read = 0;
  std::size_t write = 0;
  while (read < size) {
    const std::size_t run_end = next_non_ascii(data, read, size);
    std::memcpy(out + write, data + read, run_end - read);
    write += run_end - read;
    read = run_end;
    if (read == size) break;
    const auto c = static_cast<unsigned char>(data[read++]);
    out[write++] = static_cast<char>(0xC0 | (c >> 6));
    out[write++] = static_cast<char>(0x80 | (c & 0x3F));
  }
  return write;
}

std::optional<std::size_t> utf8_to_latin1_in_place(char* data, std::size_t size) {
  auto* const text = reinterpret_cast<unsigned char*>(data);
  // Nothing moves before the first non-ASCII character.
  std::size_t read = next_non_ascii(data, 0, size);
  std::size_t write = read;
  while (read < size) {
    // U+0080 to U+00FF are the two-byte sequences led by C2 and C3.
    const unsigned char lead = text[read];
    if ((lead & 0xFE) != 0xC2) {
      latin1_to_utf8_in_place(data, write, read);
      return std::nullopt;
    }
    text[write++] = static_cast<unsigned char>(((lead & 0x03) << 6) | (text[read + 1] & 0x3F));
    read += 2;
    const std::size_t run_end = next_non_ascii(data, read, size);
    std::memmove(data + write, data + read, run_end - read);
    write += run_end - read;
    read = run_end;
  }
  return write;
}

void latin1_to_utf8_in_place(char* data, std::size_t latin1_size, std::size_t utf8_size) {
  auto* const text = reinterpret_cast<unsigned char*>(data);
  // From the end backwards, so that every byte is read before it is written
  // over; once both ends meet, the rest was never moved.
  std::size_t read = latin1_size;
  std::size_t write = utf8_size;
  while (read < write) {
    const unsigned char c = text[--read];
    if (c < 0x80) {
      text[--write] = c;
    } else {
      text[--write] = static_cast<unsigned char>(0x80 | (c & 0x3F));
      text[--write] = static_cast<unsigned char>(0xC0 | (c >> 6));
    }
  }
}

}  // namespace rediriziv
