#include "reader/json_sink.hpp"

#include <algorithm>

#if defined(__SSE2__)
#include <emmintrin.h>
#endif

namespace brix::detail {
namespace {

// The first byte in [q, e) that a JSON string cannot hold as it is: a
// control character, '"' or '\\'. Sixteen bytes at a time where SSE2 is
// there (every x86-64), a byte at a time otherwise.
const char* next_special(const char* q, const char* e) {
#if defined(__SSE2__)
  const __m128i quote = _mm_set1_epi8('"');
  const __m128i backslash = _mm_set1_epi8('\\');
  const __m128i last_control = _mm_set1_epi8(0x1F);
  while (e - q >= 16) {
    const __m128i v = _mm_loadu_si128(reinterpret_cast<const __m128i*>(q));
    const __m128i control = _mm_cmpeq_epi8(_mm_max_epu8(v, last_control), last_control);
    const __m128i special =
        _mm_or_si128(_mm_or_si128(_mm_cmpeq_epi8(v, quote), _mm_cmpeq_epi8(v, backslash)), control);
    const auto mask = static_cast<unsigned>(_mm_movemask_epi8(special));
    if (mask != 0) return q + __builtin_ctz(mask);
    q += 16;
  }
#endif
  while (q < e && kJsonEscapes[static_cast<unsigned char>(*q)] == 0) ++q;
  return q;
}

}  // namespace

// Room is added a chunk at a time, so the zeroing that resize does touches
// memory that is about to be written, while it is still in the cache. Fuzz
// and sanitizer builds add a byte at a time, so that every write of every
// test meets the end of the room it asked for.
void Writer::grow(std::size_t n) {
#if defined(BRIX_TINY_CHUNKS)
  constexpr std::size_t kChunk = 1;
#else
  constexpr std::size_t kChunk = std::size_t{64} << 10;
#endif
  const std::size_t used = size();
  const std::size_t wanted = used + n + kChunk;
  if (wanted > s_->capacity()) s_->reserve(std::max(wanted, 2 * s_->capacity()));
  s_->resize(wanted);
  p_ = s_->data() + used;
  lim_ = s_->data() + s_->size();
}

void Writer::put_string(std::string_view raw, bool doubled) {
  // The longest escape, "\u00XX", is six bytes for one.
  constexpr std::size_t kMaxEscape = 6;
  char* q = room(kMaxEscape * raw.size() + 2);
  *q++ = '"';
  const char* r = raw.data();
  const char* e = r + raw.size();
  for (;;) {
    const char* special = next_special(r, e);
    q = copy_bytes(q, r, static_cast<std::size_t>(special - r));
    if (special == e) break;
    const auto c = static_cast<unsigned char>(*special);
    *q++ = '\\';
    *q++ = kJsonEscapes[c];
    if (kJsonEscapes[c] == 'u') {
      *q++ = '0';
      *q++ = '0';
      *q++ = kHexDigits[c >> 4];
      *q++ = kHexDigits[c & 0xF];
    }
    // The second quote of a doubled pair is dropped.
    r = special + (c == '"' && doubled ? 2 : 1);
  }
  *q++ = '"';
  end(q);
}

void JsonSink::file_begin() {
  w_->put(R"({"version":")");
  w_->put(VERSION);
  w_->put(R"(","requirements":[)");
}

}  // namespace brix::detail
