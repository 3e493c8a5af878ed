#include "direct/direct_json.hpp"

#include <algorithm>
#include <array>
#include <cassert>
#include <cstdint>
#include <cstring>
#include <vector>

#if defined(__linux__)
#include <sys/mman.h>
#endif
#if defined(__SSE2__)
#include <emmintrin.h>
#endif

#include "direct/fragment_reader.hpp"
#include "lib/utf8.hpp"
#include "model/copy_bytes.hpp"
#include "model/json_escapes.hpp"
#include "model/json_pieces.hpp"
#include "parser/expansion_meter.hpp"
#include "parser/grammar.hpp"
#include "parser/name_hash.hpp"
#include "tarrow_departments/tarrow_departments.hpp"

#define BRIX_INLINE inline __attribute__((always_inline))

namespace brix::detail {
namespace {

// Nesting of queries and lists the converter handles itself; deeper input is
// left to the full parser, which knows the exact bound and its report.
constexpr int kMaxDepth = 128;

// Asks for huge pages behind a large stretch of memory not yet touched, where
// the system grants them on request: writing a 64 MB document into fresh
// memory otherwise takes 16,000 page faults, about 1.3 µs each on these
// machines, more than the conversion itself.
void advise_huge_pages(char* begin, std::size_t size) {
#if defined(__linux__) && defined(MADV_HUGEPAGE)
  constexpr std::uintptr_t kHuge = std::uintptr_t{2} << 20;
  if (size < 4 * kHuge) return;
  const auto from = (reinterpret_cast<std::uintptr_t>(begin) + kHuge - 1) & ~(kHuge - 1);
  const auto to = (reinterpret_cast<std::uintptr_t>(begin) + size) & ~(kHuge - 1);
  if (to > from) madvise(reinterpret_cast<void*>(from), to - from, MADV_HUGEPAGE);
#else
  (void)begin;
  (void)size;
#endif
}

// Output written through a raw pointer into the string's own storage: each
// piece is plain stores after one bounds test. Room is added a chunk at a
// time, so the zeroing that std::string::resize does touches memory that is
// about to be written anyway, while it is still in the cache.
class Buffer {
 public:
  explicit Buffer(std::string& s) : s_(&s), p_(s.data() + s.size()), lim_(p_) {
    advise_huge_pages(s.data() + s.size(), s.capacity() - s.size());
  }

  BRIX_INLINE char* room(std::size_t n) {
    if (static_cast<std::size_t>(lim_ - p_) < n) [[unlikely]]
      grow(n);
    return p_;
  }
  // Every write stays inside the room asked for: a pointer past the limit
  // would make the next room() test wrap and write beyond the string.
  BRIX_INLINE void set(char* q) {
    assert(q >= p_ && q <= lim_ && "a write ran past the room it asked for");
    p_ = q;
  }
  std::size_t size() const { return static_cast<std::size_t>(p_ - s_->data()); }
  // Ends writing: the string's size becomes what was written.
  void finish() {
    s_->resize(size());
    p_ = lim_ = s_->data() + s_->size();
  }

 private:
#ifdef BRIX_TINY_CHUNKS
  // Sanitizer and fuzz builds grow a byte at a time, so every write of every
  // test meets the end of the room it asked for.
  static constexpr std::size_t kChunk = 1;
#else
  static constexpr std::size_t kChunk = std::size_t{64} << 10;
#endif

  [[gnu::noinline]] void grow(std::size_t n) {
    const std::size_t used = size();
    const std::size_t wanted = std::max(s_->size(), used + n) + kChunk;
    if (wanted > s_->capacity()) {
      s_->reserve(std::max(wanted, 2 * s_->capacity()));
      advise_huge_pages(s_->data() + s_->size(), s_->capacity() - s_->size());
    }
    s_->resize(wanted);
    p_ = s_->data() + used;
    lim_ = s_->data() + s_->size();
  }

  std::string* s_;
  char* p_;
  char* lim_;
};

template <std::size_t N>
BRIX_INLINE char* put(char* q, const char (&text)[N]) {
  std::memcpy(q, text, N - 1);
  return q + N - 1;
}

BRIX_INLINE char* put(char* q, const char* from, std::size_t n) {
  return copy_bytes(q, from, n);
}

constexpr std::array<char, 200> kDigitPairs = [] {
  std::array<char, 200> pairs{};
  for (int i = 0; i < 100; ++i) {
    pairs[static_cast<std::size_t>(2 * i)] = static_cast<char>('0' + i / 10);
    pairs[static_cast<std::size_t>(2 * i + 1)] = static_cast<char>('0' + i % 10);
  }
  return pairs;
}();

BRIX_INLINE char* put_pair(char* q, unsigned value) {
  std::memcpy(q, &kDigitPairs[2 * value], 2);
  return q + 2;
}

// The most digits a u16 takes: "65535".
constexpr std::size_t kMaxU16Digits = 5;

// Two digits at a time: course numbers have four, and each division by ten
// that a digit-by-digit loop does costs a multiply and a few shifts.
BRIX_INLINE char* put_u16(char* q, std::uint16_t number) {
  unsigned value = number;
  if (value >= 10000) {
    *q++ = static_cast<char>('0' + value / 10000);
    value %= 10000;
    q = put_pair(q, value / 100);
    return put_pair(q, value % 100);
  }
  if (value >= 1000) {
    q = put_pair(q, value / 100);
    return put_pair(q, value % 100);
  }
  if (value >= 100) {
    *q++ = static_cast<char>('0' + value / 100);
    return put_pair(q, value % 100);
  }
  if (value >= 10) return put_pair(q, value);
  *q = static_cast<char>('0' + value);
  return q + 1;
}

BRIX_INLINE bool is_digit(unsigned char c) {
  return static_cast<unsigned char>(c - '0') < 10;
}
BRIX_INLINE bool is_alpha(unsigned char c) {
  return static_cast<unsigned char>((c | 0x20) - 'a') < 26;
}
BRIX_INLINE bool is_word(unsigned char c) {
  return is_alpha(c) || is_digit(c) || c == '_';
}
BRIX_INLINE bool is_layout_start(unsigned char c) {
  return c == ' ' || c == '\t' || c == '\r' || c == '\n' || c == '/';
}
BRIX_INLINE bool is_department_char(unsigned char c) {
  return static_cast<unsigned char>(c - 'A') < 26 || c == '&';
}

// The first byte in [q, e) that a JSON string cannot hold as it is: a
// control character, '"' or '\\'. Clears `ascii` when a byte on the way is
// not ASCII. Sixteen bytes at a time where SSE2 is there (every x86-64),
// a byte at a time otherwise.
BRIX_INLINE const char* next_special(const char* q, const char* e, bool& ascii) {
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
    const auto high = static_cast<unsigned>(_mm_movemask_epi8(v));
    if (mask != 0) {
      const int at = __builtin_ctz(mask);
      if ((high & ((1u << at) - 1)) != 0) ascii = false;
      return q + at;
    }
    if (high != 0) ascii = false;
    q += 16;
  }
#endif
  for (; q < e; ++q) {
    const auto c = static_cast<unsigned char>(*q);
    if (c < 0x20 || c == '"' || c == '\\') return q;
    if (c >= 0x80) ascii = false;
  }
  return q;
}

enum class Kind : std::uint8_t { SelectorList, Selector, Quantity, String, Class };

// The nine selector functions, by the name's two spellings.
enum class Function : std::uint8_t {
  Class,
  Placement,
  Tag,
  TagDept,
  Dist,
  DistDept,
  Range,
  RangeDist,
  RangeTag,
  None
};

Function function_named(std::string_view name) {
  struct Entry {
    std::string_view upper;
    std::string_view lower;
    Function function;
  };
  static constexpr Entry kNames[] = {
      {"CLASS", "class", Function::Class},
      {"PLACEMENT", "placement", Function::Placement},
      {"TAG", "tag", Function::Tag},
      {"TAG_DEPT", "tag_dept", Function::TagDept},
      {"DIST", "dist", Function::Dist},
      {"DIST_DEPT", "dist_dept", Function::DistDept},
      {"RANGE", "range", Function::Range},
      {"RANGE_DIST", "range_dist", Function::RangeDist},
      {"RANGE_TAG", "range_tag", Function::RangeTag},
  };
  for (const Entry& entry : kNames) {
    if (name == entry.upper || name == entry.lower) return entry.function;
  }
  return Function::None;
}

// One variable's value as the converter keeps it.
struct Binding {
  Kind kind = Kind::Quantity;
  bool many = false;
  std::uint16_t low = 0;  // Quantity: Single is `low` alone
  std::uint16_t high = 0;
  std::int16_t depth = 0;  // the deepest nested query inside, as CopySize has it
  // SelectorList: the selectors' JSON joined by commas; Selector: one
  // selector's JSON; String: the quoted JSON string; Class: the course
  // object. In the arena.
  std::size_t fragment = 0;
  std::size_t fragment_size = 0;
  std::size_t selectors = 0;
  std::size_t text = 0;

  CopySize size() const { return CopySize{selectors, text, depth}; }
};

// The variables, in open addressing with the values in the slots. A large
// file uses variables defined anywhere in megabytes of text, so each lookup
// is a cache miss or two; a slot of one cache line holding the hash, the
// name (when short, as names are) and the value makes it one, where a slot
// pointing at an entry that points at its name in the source would be three.
class Table {
 public:
  Table() : seed_(name_hash_seed()), slots_(16) {}

  const Binding* find(std::string_view name) const {
    if (used_ == 0) return nullptr;
    const Slot& slot = slots_[probe(name, hash_variable_name(name, seed_))];
    return slot.hash == 0 ? nullptr : &slot.value;
  }

  // Starts loading the slot where `name` would go. A file defines variables
  // all through its text, so a new name's slot is a cache miss; asked for
  // when the assignment begins, it arrives while the value is read.
  void prefetch(std::string_view name) const {
    __builtin_prefetch(&slots_[hash_variable_name(name, seed_) & (slots_.size() - 1)], 1);
  }

  void bind(std::string_view name, const Binding& value) {
    const std::uint64_t hash = hash_variable_name(name, seed_);
    Slot& slot = slots_[probe(name, hash)];
    if (slot.hash == 0) {
      slot.hash = hash;
      if (name.size() <= kInlineName) {
        slot.name_size = static_cast<std::uint8_t>(name.size());
        std::memcpy(slot.name, name.data(), name.size());
      } else {
        slot.name_size = kLongName;
        const auto where = static_cast<std::uint32_t>(long_names_.size());
        const auto size = static_cast<std::uint32_t>(name.size());
        std::memcpy(slot.name, &where, 4);
        std::memcpy(slot.name + 4, &size, 4);
        long_names_.append(name);
      }
      ++used_;
    }
    slot.value = value;
    if (used_ * 2 > slots_.size()) rehash();
  }

 private:
  static constexpr std::size_t kInlineName = 15;
  static constexpr std::uint8_t kLongName = 0xFF;

  struct alignas(64) Slot {
    std::uint64_t hash = 0;
    Binding value;
    std::uint8_t name_size = 0;
    // The name, or where it is in long_names_ and its size (two u32).
    char name[kInlineName] = {};
  };

  bool holds(const Slot& slot, std::string_view name) const {
    if (slot.name_size != kLongName) {
      return slot.name_size == name.size() && std::memcmp(slot.name, name.data(), name.size()) == 0;
    }
    std::uint32_t where;
    std::uint32_t size;
    std::memcpy(&where, slot.name, 4);
    std::memcpy(&size, slot.name + 4, 4);
    return std::string_view(long_names_).substr(where, size) == name;
  }

  std::size_t probe(std::string_view name, std::uint64_t hash) const {
    const std::size_t mask = slots_.size() - 1;
    std::size_t i = hash & mask;
    while (slots_[i].hash != 0 && (slots_[i].hash != hash || !holds(slots_[i], name))) {
      i = (i + 1) & mask;
    }
    return i;
  }

  void rehash() {
    std::vector<Slot> old(slots_.size() * 2);
    slots_.swap(old);
    const std::size_t mask = slots_.size() - 1;
    for (const Slot& slot : old) {
      if (slot.hash == 0) continue;
      std::size_t i = slot.hash & mask;
      while (slots_[i].hash != 0) i = (i + 1) & mask;
      slots_[i] = slot;
    }
  }

  std::uint64_t seed_;
  std::vector<Slot> slots_;  // a power of two in size, at most half full
  std::size_t used_ = 0;
  std::string long_names_;
};

// What a value being built adds when copied: counted as it is written so
// that binding it needs no second walk.
struct Stats {
  std::size_t selectors = 0;
  std::size_t text = 0;
  int depth = 0;
};

}  // namespace

struct DirectConverter::Impl {
  Impl(std::string_view text, const ExternValues& externals_in)
      : begin(text.data()),
        p(text.data()),
        e(text.data() + text.size()),
        externals(externals_in),
        selector_limit(ExpansionMeter::selector_limit(text.size())),
        text_limit(ExpansionMeter::text_limit(text.size())) {}

  const char* begin;
  const char* p;
  const char* e;
  const ExternValues& externals;
  Table table;
  std::string arena_text;  // the variables' JSON
  // Writes into arena_text for the whole run, so its room grows a chunk at a
  // time like the output's.
  Buffer arena{arena_text};
  DirectStop stop;
  std::size_t selectors_charged = 0;
  std::size_t text_charged = 0;
  const std::size_t selector_limit;
  const std::size_t text_limit;
  int depth = 0;

  // Department codes already found in the catalog, by a hash of their
  // bytes: a file names a few dozen departments many times over, and a hit
  // here is one load and one compare instead of a call and a probe.
  std::array<std::uint32_t, 64> departments_seen{};

  BRIX_INLINE bool known_department(std::string_view code) {
    // The code's bytes, the first in the low byte; a 3-byte code leaves the
    // top byte 0, which no 4-byte code has.
    std::uint32_t key = 0;
    for (std::size_t i = 0; i < code.size(); ++i) {
      key |= static_cast<std::uint32_t>(static_cast<unsigned char>(code[i])) << (8 * i);
    }
    std::uint32_t& seen = departments_seen[(key * 0x9E3779B1u) >> 26];
    if (seen == key) return true;
    if (!is_department(code)) return false;
    seen = key;
    return true;
  }

  bool run(std::string& out);

  BRIX_INLINE unsigned char peek() const { return p < e ? static_cast<unsigned char>(*p) : 0; }
  BRIX_INLINE bool at(std::string_view word) const {
    return static_cast<std::size_t>(e - p) >= word.size() &&
           std::memcmp(p, word.data(), word.size()) == 0;
  }
  BRIX_INLINE bool at_query() const {
    return (peek() == 'S' && at("SELECT")) || (peek() == 'L' && at("LIMIT"));
  }

  // Whitespace and comments. Most items are followed by nothing or by one
  // space, which the inline part settles.
  BRIX_INLINE bool skip() {
    if (p == e || !is_layout_start(static_cast<unsigned char>(*p))) return true;
    if (*p == ' ' && (e - p < 2 || !is_layout_start(static_cast<unsigned char>(p[1])))) {
      ++p;
      return true;
    }
    return skip_layout();
  }
  bool skip_layout();

  // Charges one copy of `b` made inside `level` nested queries; false when
  // the copy would cross a limit of the expansion meter.
  BRIX_INLINE bool charge(const Binding& b, int level) {
    if (b.depth > MAX_NESTING - level) return false;
    if (b.selectors > selector_limit - std::min(selectors_charged, selector_limit)) return false;
    if (b.text > text_limit - std::min(text_charged, text_limit)) return false;
    selectors_charged += b.selectors;
    text_charged += b.text;
    return true;
  }

  bool variable(std::string_view& name);
  const Binding* lookup();
  bool number(std::uint16_t& value);
  bool string_literal(Buffer& o, std::size_t& text_size);
  bool course(Buffer& o);
  void splice(Buffer& o, const Binding& b);
  bool course_argument(Buffer& o, int level);
  bool text_argument(Buffer& o, int level, std::size_t& text_size);
  bool argument_separator();
  bool call(Buffer& o, Stats& st, Function function, int level);
  bool selector_single(Buffer& o, Stats& st, int level, bool& first);
  bool selector_list(Buffer& o, Stats& st, int level, bool& first);
  bool query(Buffer& o, Stats& st, int level, bool top);
  bool extern_declaration();
  bool assignment();
  bool requirement(Buffer& o, bool first);
  bool bind_extern(std::string_view name);
};

// Comments may hold any text, so their bytes are checked as UTF-8 here; the
// rest of the input is ASCII wherever the converter accepts it.
bool DirectConverter::Impl::skip_layout() {
  for (;;) {
    while (p < e && (*p == ' ' || *p == '\t' || *p == '\r' || *p == '\n')) ++p;
    if (e - p >= 2 && p[0] == '/' && p[1] == '/') {
      const char* body = p + 2;
      const void* lf = std::memchr(body, '\n', static_cast<std::size_t>(e - body));
      const char* end = lf != nullptr ? static_cast<const char*>(lf) : e;
      for (const char* q = body; q < end; ++q) {
        if (static_cast<unsigned char>(*q) >= 0x80) {
          if (find_invalid_utf8(std::string_view(q, static_cast<std::size_t>(end - q)))) {
            return false;
          }
          break;
        }
      }
      p = end;
      continue;
    }
    return true;
  }
}

bool DirectConverter::Impl::variable(std::string_view& name) {
  const char* start = p;
  if (peek() != '$') return false;
  ++p;
  if (p == e || !(is_alpha(static_cast<unsigned char>(*p)) || *p == '_')) return false;
  ++p;
  while (p < e && is_word(static_cast<unsigned char>(*p))) ++p;
  name = std::string_view(start, static_cast<std::size_t>(p - start));
  return true;
}

const Binding* DirectConverter::Impl::lookup() {
  std::string_view name;
  if (!variable(name)) return nullptr;
  return table.find(name);
}

// A run of digits as u16, as the decimal conversion reads it: leading zeros
// allowed, more than 65535 refused.
bool DirectConverter::Impl::number(std::uint16_t& value) {
  const char* start = p;
  while (p < e && is_digit(static_cast<unsigned char>(*p))) ++p;
  if (p == start) return false;
  const char* q = start;
  while (p - q > 5 && *q == '0') ++q;
  if (p - q > 5) return false;
  std::uint32_t v = 0;
  for (; q < p; ++q) v = v * 10 + static_cast<std::uint32_t>(*q - '0');
  if (v > 0xFFFF) return false;
  value = static_cast<std::uint16_t>(v);
  return true;
}

// The string literal at p (its opening quote) as a quoted JSON string:
// doubled quotes become one escaped quote, control characters and
// backslashes are escaped, everything else is copied. `text_size` is the
// length of the text value.
bool DirectConverter::Impl::string_literal(Buffer& o, std::size_t& text_size) {
  const char* start = p + 1;
  const char* q = start;
  bool plain = true;
  bool ascii = true;
  std::size_t pairs = 0;
  for (;;) {
    q = next_special(q, e, ascii);
    if (q == e) return false;
    const auto c = static_cast<unsigned char>(*q);
    if (c == '"') {
      if (e - q >= 2 && q[1] == '"') {
        plain = false;
        ++pairs;
        q += 2;
        continue;
      }
      break;
    }
    if (c == '\r' || c == '\n') return false;
    plain = false;
    ++q;
  }
  const auto size = static_cast<std::size_t>(q - start);
  if (!ascii && find_invalid_utf8(std::string_view(start, size))) return false;
  text_size = size - pairs;
  p = q + 1;

  char* w = o.room(6 * size + 2);
  *w++ = '"';
  if (plain) {
    w = put(w, start, size);
  } else {
    // Runs without a byte to escape are copied whole.
    for (const char* r = start; r < q;) {
      bool unused = true;
      const char* special = next_special(r, q, unused);
      w = put(w, r, static_cast<std::size_t>(special - r));
      if (special == q) break;
      const auto c = static_cast<unsigned char>(*special);
      *w++ = '\\';
      *w++ = kJsonEscapes[c];
      if (kJsonEscapes[c] == 'u') {
        *w++ = '0';
        *w++ = '0';
        *w++ = kHexDigits[c >> 4];
        *w++ = kHexDigits[c & 0xF];
      }
      // The second quote of a doubled pair is dropped.
      r = special + (c == '"' ? 2 : 1);
    }
  }
  *w++ = '"';
  o.set(w);
  return true;
}

// A course written as department code, spaces and number: the course object.
// Only codes of the catalog are taken; anything else is the full parser's.
bool DirectConverter::Impl::course(Buffer& o) {
  const char* q = p;
  if (e - q < 7 || !is_department_char(static_cast<unsigned char>(q[0])) ||
      !is_department_char(static_cast<unsigned char>(q[1])) ||
      !is_department_char(static_cast<unsigned char>(q[2]))) {
    return false;
  }
  const std::size_t code_size = is_department_char(static_cast<unsigned char>(q[3])) ? 4 : 3;
  const char* r = q + code_size;
  while (r < e && *r == ' ') ++r;
  if (e - r < 4) return false;
  for (int i = 0; i < 4; ++i) {
    if (!is_digit(static_cast<unsigned char>(r[i]))) return false;
  }
  const std::string_view code(q, code_size);
  if (!known_department(code)) return false;
  const auto number = static_cast<std::uint16_t>((r[0] - '0') * 1000 + (r[1] - '0') * 100 +
                                                 (r[2] - '0') * 10 + (r[3] - '0'));
  const bool lab = e - r > 4 && r[4] == 'L';
  p = r + 4 + (lab ? 1 : 0);

  char* w = o.room(64);
  w = put(w, R"({"department_id":")");
  w = put(w, q, code_size);
  w = put(w, R"(","course_number":)");
  w = put_u16(w, number);
  w = lab ? put(w, R"(,"lab":true})") : put(w, R"(,"lab":false})");
  o.set(w);
  return true;
}

// A variable's JSON copied out of the arena. Room is made first: the arena
// may be the buffer being written.
void DirectConverter::Impl::splice(Buffer& o, const Binding& b) {
  char* w = o.room(b.fragment_size + 16);
  const char* from = arena_text.data() + b.fragment;
  if (b.kind == Kind::Class) {
    w = put(w, R"({"Class":)");
    w = put(w, from, b.fragment_size);
    *w++ = '}';
  } else {
    w = put(w, from, b.fragment_size);
  }
  o.set(w);
}

bool DirectConverter::Impl::course_argument(Buffer& o, int level) {
  if (peek() == '$') {
    const Binding* b = lookup();
    if (b == nullptr || b->kind != Kind::Class || !charge(*b, level)) return false;
    char* w = o.room(b->fragment_size);
    w = put(w, arena_text.data() + b->fragment, b->fragment_size);
    o.set(w);
    return true;
  }
  return course(o);
}

bool DirectConverter::Impl::text_argument(Buffer& o, int level, std::size_t& text_size) {
  if (peek() == '"') return string_literal(o, text_size);
  const Binding* b = lookup();
  if (b == nullptr || b->kind != Kind::String || !charge(*b, level)) return false;
  text_size = b->text;
  char* w = o.room(b->fragment_size);
  w = put(w, arena_text.data() + b->fragment, b->fragment_size);
  o.set(w);
  return true;
}

// The "," between two arguments, with the layout around it.
bool DirectConverter::Impl::argument_separator() {
  if (!skip() || peek() != ',') return false;
  ++p;
  return skip();
}

// A selector function's arguments, from just inside "(" to just past ")", as
// the selector's JSON. Each function has one pattern of arguments, and its
// JSON takes them in the order written, so they are written as they are read.
bool DirectConverter::Impl::call(Buffer& o, Stats& st, Function function, int level) {
  std::size_t first_text = 0;
  std::size_t second_text = 0;
  auto lit = [&o](auto&&... text) {
    char* w = o.room(32);
    ((w = put(w, text)), ...);
    o.set(w);
  };
  auto two_courses = [&] {
    return course_argument(o, level) && argument_separator() && (lit(R"(,"to":)"), true) &&
           course_argument(o, level);
  };
  bool ok = false;
  switch (function) {
    case Function::Class:
      lit(R"({"Class":)");
      ok = course_argument(o, level) && (lit("}"), true);
      break;
    case Function::Placement:
      lit(R"({"Placement":)");
      ok = text_argument(o, level, first_text) && (lit("}"), true);
      break;
    case Function::Tag:
      lit(R"({"Tag":)");
      ok = text_argument(o, level, first_text) && (lit("}"), true);
      break;
    case Function::Dist:
      lit(R"({"Dist":)");
      ok = text_argument(o, level, first_text) && (lit("}"), true);
      break;
    case Function::TagDept:
      lit(R"({"TagCode":{"tag":)");
      ok = text_argument(o, level, first_text) && argument_separator() &&
           (lit(R"(,"code":)"), true) && text_argument(o, level, second_text) && (lit("}}"), true);
      break;
    case Function::DistDept:
      lit(R"({"DistCode":{"dist":)");
      ok = text_argument(o, level, first_text) && argument_separator() &&
           (lit(R"(,"code":)"), true) && text_argument(o, level, second_text) && (lit("}}"), true);
      break;
    case Function::Range:
      lit(R"({"Range":{"from":)");
      ok = two_courses() && (lit("}}"), true);
      break;
    case Function::RangeDist:
      lit(R"({"RangeDist":{"from":)");
      ok = two_courses() && argument_separator() && (lit(R"(,"dist":)"), true) &&
           text_argument(o, level, first_text) && (lit("}}"), true);
      break;
    case Function::RangeTag:
      lit(R"({"RangeTag":{"from":)");
      ok = two_courses() && argument_separator() && (lit(R"(,"tag":)"), true) &&
           text_argument(o, level, first_text) && (lit("}}"), true);
      break;
    case Function::None:
      return false;
  }
  if (!ok || !skip() || peek() != ')') return false;
  ++p;
  ++st.selectors;
  st.text += first_text + second_text;
  return true;
}

// One element of a selector list, or a query's only selector: a nested
// query, a variable, a function call or a course. The first alternative the
// next bytes allow is the only one tried: an earlier alternative of the
// grammar cannot match there, and when the chosen one fails, the full parser
// decides.
bool DirectConverter::Impl::selector_single(Buffer& o, Stats& st, int level, bool& first) {
  const unsigned char c = peek();
  auto comma = [&o, &first] {
    if (!first) {
      *o.room(1) = ',';
      o.set(o.room(1) + 1);
    }
    first = false;
  };
  if (at_query()) {
    comma();
    char* w = o.room(16);
    o.set(put(w, R"({"Query":)"));
    ++st.selectors;
    st.depth = std::max(st.depth, level + 1);
    if (!query(o, st, level + 1, false)) return false;
    *o.room(1) = '}';
    o.set(o.room(1) + 1);
    return true;
  }
  if (c == '$') {
    const Binding* b = lookup();
    if (b == nullptr || b->kind == Kind::Quantity || b->kind == Kind::String ||
        !charge(*b, level)) {
      return false;
    }
    // An empty list (only an extern can be one) adds nothing, not even a comma.
    if (b->kind == Kind::SelectorList && b->fragment_size == 0) return true;
    comma();
    splice(o, *b);
    st.selectors += b->selectors;
    st.text += b->text;
    st.depth = std::max(st.depth, level + b->depth);
    return true;
  }
  if (is_word(c)) {
    const char* start = p;
    while (p < e && is_word(static_cast<unsigned char>(*p))) ++p;
    const std::string_view name(start, static_cast<std::size_t>(p - start));
    if (!skip()) return false;
    if (peek() == '(') {
      ++p;
      if (!skip()) return false;
      comma();
      return call(o, st, function_named(name), level);
    }
    p = start;
  }
  comma();
  char* w = o.room(16);
  o.set(put(w, R"({"Class":)"));
  if (!course(o)) return false;
  *o.room(1) = '}';
  o.set(o.room(1) + 1);
  ++st.selectors;
  return true;
}

bool DirectConverter::Impl::selector_list(Buffer& o, Stats& st, int level, bool& first) {
  if (++depth > kMaxDepth) return false;
  ++p;
  if (!skip() || !selector_single(o, st, level, first)) return false;
  for (;;) {
    if (!skip()) return false;
    if (peek() != ',') break;
    ++p;
    if (!skip() || !selector_single(o, st, level, first)) return false;
  }
  if (peek() != ']') return false;
  ++p;
  --depth;
  return true;
}

// A SELECT or LIMIT query at p, as the query object. `level` counts the
// nested queries it is inside of (itself included when nested); `top` is true
// for a requirement's own query.
bool DirectConverter::Impl::query(Buffer& o, Stats& st, int level, bool top) {
  if (++depth > kMaxDepth) return false;
  const bool limit = *p == 'L';
  if (limit && !top) return false;
  p += limit ? 5 : 6;
  if (!skip()) return false;

  std::uint16_t low = 0;
  std::uint16_t high = 0;
  bool many = false;
  if (is_digit(peek())) {
    if (!number(low)) return false;
    if (e - p >= 2 && *p == '-' && is_digit(static_cast<unsigned char>(p[1]))) {
      ++p;
      if (!number(high)) return false;
      many = true;
      if ((top && low == 0) || high < low) return false;
    } else if (low == 0) {
      return false;
    }
  } else {
    const Binding* b = lookup();
    if (b == nullptr || b->kind != Kind::Quantity) return false;
    low = b->low;
    high = b->high;
    many = b->many;
    if (many && top && low == 0) return false;
  }
  if (!skip() || !at("FROM")) return false;
  p += 4;
  if (!skip()) return false;

  char* w = o.room(96);
  if (many) {
    w = put(w, R"({"quantity":{"Many":{"from":)");
    w = put_u16(w, low);
    w = put(w, R"(,"to":)");
    w = put_u16(w, high);
    w = put(w, "}}");
  } else {
    w = put(w, R"({"quantity":{"Single":)");
    w = put_u16(w, low);
    *w++ = '}';
  }
  w = limit ? put(w, R"(,"type":"Limit","selector":[)")
            : put(w, R"(,"type":"Select","selector":[)");
  o.set(w);
  bool first = true;
  if (peek() == '[' ? !selector_list(o, st, level, first) : !selector_single(o, st, level, first)) {
    return false;
  }
  w = o.room(2);
  o.set(put(w, "]}"));
  --depth;
  return true;
}

bool DirectConverter::Impl::bind_extern(std::string_view name) {
  if (externals.empty()) return false;
  auto supplied = externals.find(std::string(name));
  if (supplied == externals.end()) return false;
  const VarValue& value = supplied->second;
  const CopySize size = ExpansionMeter::measure(value);
  if (size.depth > MAX_NESTING) return false;
  Binding b;
  b.selectors = size.selectors;
  b.text = size.text;
  b.depth = static_cast<std::int16_t>(size.depth);
  std::string json;
  if (const auto* list = std::get_if<VarValue::SelectorList>(&value.value)) {
    b.kind = Kind::SelectorList;
    for (std::size_t i = 0; i < list->selectors.size(); ++i) {
      if (i != 0) json += ',';
      write_json_piece(list->selectors[i], json);
    }
  } else if (const auto* selector = std::get_if<Selector>(&value.value)) {
    b.kind = Kind::Selector;
    write_json_piece(*selector, json);
  } else if (const auto* quantity = std::get_if<Quantity>(&value.value)) {
    b.kind = Kind::Quantity;
    if (const auto* single = std::get_if<Quantity::Single>(&quantity->value)) {
      b.low = single->value;
    } else {
      const auto& range = *std::get_if<Quantity::Many>(&quantity->value);
      b.low = range.from;
      b.high = range.to;
      b.many = true;
    }
  } else if (const auto* text = std::get_if<VarValue::String>(&value.value)) {
    b.kind = Kind::String;
    write_json_piece(std::string_view(text->value), json);
  } else {
    b.kind = Kind::Class;
    write_json_piece(*std::get_if<Class>(&value.value), json);
  }
  b.fragment = arena.size();
  b.fragment_size = json.size();
  arena.set(put(arena.room(json.size()), json.data(), json.size()));
  if (!charge(b, 0)) return false;
  table.bind(name, b);
  return true;
}

bool DirectConverter::Impl::extern_declaration() {
  p += 6;  // "extern"
  std::string_view name;
  if (!skip() || !variable(name) || !skip() || peek() != ';') return false;
  ++p;
  return bind_extern(name);
}

// `$name = value;`. The value is written into the arena and bound only once
// its ";" has been read, so the table always holds the file's state after the
// last finished statement.
bool DirectConverter::Impl::assignment() {
  std::string_view name;
  Binding b;
  if (!variable(name) || !skip() || peek() != '=') return false;
  table.prefetch(name);
  ++p;
  if (!skip()) return false;

  b.fragment = arena.size();
  Stats st;
  const unsigned char c = peek();
  bool ok = false;
  if (c == '[') {
    b.kind = Kind::SelectorList;
    bool first = true;
    ok = selector_list(arena, st, 0, first);
  } else if (c == '"') {
    b.kind = Kind::String;
    ok = string_literal(arena, st.text);
  } else if (is_word(c) || c == '&') {
    const char* start = p;
    while (p < e && is_word(static_cast<unsigned char>(*p))) ++p;
    const std::string_view function(start, static_cast<std::size_t>(p - start));
    if (p != start && skip() && peek() == '(') {
      ++p;
      b.kind = Kind::Selector;
      ok = skip() && call(arena, st, function_named(function), 0);
    } else if (p = start; is_digit(c)) {
      b.kind = Kind::Quantity;
      ok = number(b.low);
      if (ok && e - p >= 2 && *p == '-' && is_digit(static_cast<unsigned char>(p[1]))) {
        ++p;
        b.many = true;
        ok = number(b.high) && b.high >= b.low;
      } else {
        ok = ok && b.low != 0;
      }
    } else {
      b.kind = Kind::Class;
      ok = course(arena);
      st.selectors = 1;
    }
  }
  if (!ok || !skip() || peek() != ';') return false;
  ++p;
  b.fragment_size = arena.size() - b.fragment;
  b.selectors = st.selectors;
  b.text = st.text;
  b.depth = static_cast<std::int16_t>(st.depth);
  table.bind(name, b);
  return true;
}

// `query : description [: priority];` as one requirement object.
bool DirectConverter::Impl::requirement(Buffer& o, bool first) {
  char* w = o.room(16);
  if (!first) *w++ = ',';
  o.set(put(w, R"({"query":)"));
  Stats st;
  if (!query(o, st, 0, true) || !skip() || peek() != ':') return false;
  ++p;
  if (!skip()) return false;

  w = o.room(16);
  o.set(put(w, R"(,"description":)"));
  if (peek() == '"') {
    std::size_t text_size = 0;
    if (!string_literal(o, text_size)) return false;
  } else {
    const Binding* b = lookup();
    if (b == nullptr || b->kind != Kind::String || !charge(*b, 0)) return false;
    splice(o, *b);
  }

  std::uint16_t priority = 1;
  if (!skip()) return false;
  if (peek() == ':') {
    ++p;
    if (!skip()) return false;
    if (is_digit(peek())) {
      if (!number(priority)) return false;
    } else {
      const Binding* b = lookup();
      if (b == nullptr || b->kind != Kind::Quantity || b->many) return false;
      priority = b->low;
    }
    if (!skip()) return false;
  }
  if (peek() != ';') return false;
  ++p;
  w = o.room(sizeof(R"(,"priority":)") - 1 + kMaxU16Digits + 1);
  w = put(w, R"(,"priority":)");
  w = put_u16(w, priority);
  *w++ = '}';
  o.set(w);
  return true;
}

bool DirectConverter::Impl::run(std::string& out) {
  Buffer o(out);
  static constexpr char kHead[] = R"({"version":")" BRIX_VERSION_STRING R"(","requirements":[)";
  o.set(put(o.room(sizeof kHead), kHead));
  stop.out_size = o.size();
  bool first = true;
  bool ok = skip();
  while (ok && at("extern")) ok = extern_declaration() && skip();
  while (ok && p != e) {
    if (*p == '$') {
      ok = assignment();
    } else if (at_query()) {
      ok = requirement(o, first);
      first = first && !ok;
    } else {
      ok = false;
    }
    if (!ok) break;
    stop.resume = static_cast<std::uint32_t>(p - begin);
    stop.out_size = o.size();
    stop.wrote_requirement = !first;
    stop.selectors_charged = selectors_charged;
    stop.text_charged = text_charged;
    ok = skip();
  }
  if (ok) o.set(put(o.room(2), "]}"));
  o.finish();
  return ok;
}

DirectConverter::DirectConverter(std::string_view text, const ExternValues& externals)
    : impl_(std::make_unique<Impl>(text, externals)) {}

DirectConverter::~DirectConverter() = default;

bool DirectConverter::run(std::string& out) {
  return impl_->run(out);
}

const DirectStop& DirectConverter::stop() const {
  return impl_->stop;
}

std::optional<VarValue> DirectConverter::binding(std::string_view name) const {
  const Binding* b = impl_->table.find(name);
  if (b == nullptr) return std::nullopt;
  const std::string_view json(impl_->arena_text.data() + b->fragment, b->fragment_size);
  // Built in the optional it is returned in: moving a VarValue into one
  // makes GCC warn (wrongly) of an uninitialised read when optimising.
  std::optional<VarValue> value(std::in_place);
  switch (b->kind) {
    case Kind::SelectorList:
      value->value = VarValue::SelectorList{read_selectors(json)};
      break;
    case Kind::Selector: {
      std::vector<Selector> one = read_selectors(json);
      if (one.size() != 1) return std::nullopt;
      value->value = std::move(one.front());
      break;
    }
    case Kind::Quantity:
      value->value =
          b->many ? Quantity{Quantity::Many{b->low, b->high}} : Quantity{Quantity::Single{b->low}};
      break;
    case Kind::String:
      value->value = VarValue::String{Text(read_json_string(json))};
      break;
    case Kind::Class:
      value->value = read_course(json);
      break;
  }
  return value;
}

}  // namespace brix::detail
