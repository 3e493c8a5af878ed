#include "reader/json_sink.hpp"

#include <algorithm>

#if defined(__SSE2__)
#include <emmintrin.h>
#endif

namespace brix::detail {
namespace {

constexpr std::array<char, 200> kDigitPairs = [] {
  std::array<char, 200> pairs{};
  for (std::size_t i = 0; i < 100; ++i) {
    pairs[2 * i] = static_cast<char>('0' + i / 10);
    pairs[2 * i + 1] = static_cast<char>('0' + i % 10);
  }
  return pairs;
}();

char* put_pair(char* q, unsigned value) {
  std::memcpy(q, &kDigitPairs[2 * value], 2);
  return q + 2;
}

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

void Writer::put_u16(std::uint16_t number) {
  end(detail::put_u16(room(kMaxU16Digits), number));
}

// Two digits at a time: course numbers have four.
char* put_u16(char* q, std::uint16_t number) {
  unsigned value = number;
  if (value >= 10000) {
    *q++ = static_cast<char>('0' + value / 10000);
    value %= 10000;
    q = put_pair(q, value / 100);
    q = put_pair(q, value % 100);
  } else if (value >= 1000) {
    q = put_pair(q, value / 100);
    q = put_pair(q, value % 100);
  } else if (value >= 100) {
    *q++ = static_cast<char>('0' + value / 100);
    q = put_pair(q, value % 100);
  } else if (value >= 10) {
    q = put_pair(q, value);
  } else {
    *q++ = static_cast<char>('0' + value);
  }
  return q;
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

void JsonSink::query_begin(QueryType type, Span, const Count& count, int level) {
  if (level > 0) {
    separate();
    w_->put(R"({"Query":)");
  }
  if (count.many) {
    w_->put(R"({"quantity":{"Many":{"from":)");
    w_->put_u16(count.from);
    w_->put(R"(,"to":)");
    w_->put_u16(count.to);
    w_->put("}}");
  } else {
    w_->put(R"({"quantity":{"Single":)");
    w_->put_u16(count.from);
    w_->put('}');
  }
  w_->put(type == QueryType::Limit ? std::string_view(R"(,"type":"Limit","selector":[)")
                                   : R"(,"type":"Select","selector":[)");
  first_ = true;
}

// Written with one test for room: a file is mostly courses.
void JsonSink::put_course(const Course& course) {
  static constexpr std::string_view kOpen = R"({"department_id":")";
  static constexpr std::string_view kNumber = R"(","course_number":)";
  static constexpr std::string_view kLab = R"(,"lab":true})";
  static constexpr std::string_view kNoLab = R"(,"lab":false})";
  const std::size_t most =
      kOpen.size() + course.department.size() + kNumber.size() + kMaxU16Digits + kNoLab.size();
  char* q = w_->room(most);
  q = copy_bytes(q, kOpen.data(), kOpen.size());
  q = copy_bytes(q, course.department.data(), course.department.size());
  q = copy_bytes(q, kNumber.data(), kNumber.size());
  q = put_u16(q, course.number);
  const std::string_view lab = course.lab ? kLab : kNoLab;
  w_->end(copy_bytes(q, lab.data(), lab.size()));
}

void JsonSink::put_argument(const Argument<JsonValue>& argument) {
  if (argument.value != nullptr) {
    copy(*argument.value);
  } else if (argument.is_text) {
    put_literal(argument.literal);
  } else {
    put_course(argument.course);
  }
}

void JsonSink::call(const Call<JsonValue>& call) {
  // Each selector's fields take the arguments in the order written.
  struct Shape {
    std::string_view open;
    std::array<std::string_view, 2> between;
    std::string_view close;
  };
  static constexpr std::array<Shape, 9> kShapes{{
      {R"({"Class":)", {}, "}"},
      {R"({"Placement":)", {}, "}"},
      {R"({"Tag":)", {}, "}"},
      {R"({"TagCode":{"tag":)", {R"(,"code":)"}, "}}"},
      {R"({"Dist":)", {}, "}"},
      {R"({"DistCode":{"dist":)", {R"(,"code":)"}, "}}"},
      {R"({"Range":{"from":)", {R"(,"to":)"}, "}}"},
      {R"({"RangeDist":{"from":)", {R"(,"to":)", R"(,"dist":)"}, "}}"},
      {R"({"RangeTag":{"from":)", {R"(,"to":)", R"(,"tag":)"}, "}}"},
  }};
  const Shape& shape = kShapes[static_cast<std::size_t>(call.function)];
  separate();
  w_->put(shape.open);
  for (std::size_t i = 0; i < call.arguments.size(); ++i) {
    if (i != 0) w_->put(shape.between[i - 1]);
    put_argument(call.arguments[i]);
  }
  w_->put(shape.close);
}

}  // namespace brix::detail
