// The sink that writes the compact JSON document as it is read. A variable's
// value is the JSON it is written as, kept in an arena, so using it is a
// copy of bytes.
#pragma once

#include <array>
#include <cassert>
#include <cstdint>
#include <cstring>
#include <string>
#include <string_view>

#include "brix/model.hpp"
#include "model/copy_bytes.hpp"
#include "model/json_escapes.hpp"
#include "reader/sink.hpp"

namespace brix::detail {

inline constexpr std::array<char, 200> kDigitPairs = [] {
  std::array<char, 200> pairs{};
  for (std::size_t i = 0; i < 100; ++i) {
    pairs[2 * i] = static_cast<char>('0' + i / 10);
    pairs[2 * i + 1] = static_cast<char>('0' + i % 10);
  }
  return pairs;
}();

[[gnu::always_inline]] inline char* put_digit_pair(char* q, unsigned value) {
  std::memcpy(q, &kDigitPairs[2 * value], 2);
  return q + 2;
}

// The decimal digits of a u16 at `q`; returns their end. Two digits at a
// time, and inline: course numbers have four, and every course has one.
inline constexpr std::size_t kMaxU16Digits = 5;
[[gnu::always_inline]] inline char* put_u16(char* q, std::uint16_t number) {
  unsigned value = number;
  if (value >= 1000) {
    if (value >= 10000) {
      *q++ = static_cast<char>('0' + value / 10000);
      value %= 10000;
    }
    q = put_digit_pair(q, value / 100);
    return put_digit_pair(q, value % 100);
  }
  if (value >= 100) {
    *q++ = static_cast<char>('0' + value / 100);
    return put_digit_pair(q, value % 100);
  }
  if (value >= 10) return put_digit_pair(q, value);
  *q = static_cast<char>('0' + value);
  return q + 1;
}

// A variable's value: where its JSON is in the arena.
struct JsonValue {
  std::size_t start = 0;
  std::size_t size = 0;
};

// Appends to a string through a raw pointer into its storage. Every write
// asks for the room it needs, from the size of what it writes, so nothing is
// counted by hand; the string grows by doubling.
class Writer {
 public:
  explicit Writer(std::string& s) : s_(&s), p_(s.data() + s.size()), lim_(s.data() + s.size()) {}

  // Room for `n` more bytes at the returned pointer; end() says how far
  // they were written.
  [[gnu::always_inline]] char* room(std::size_t n) {
    if (static_cast<std::size_t>(lim_ - p_) < n) [[unlikely]]
      grow(n);
    return p_;
  }
  [[gnu::always_inline]] void end(char* q) {
    // A pointer past the limit would make the next room() test wrap and
    // write beyond the string; debug, sanitizer and fuzz builds check.
    assert(q >= p_ && q <= lim_ && "a write ran past the room it asked for");
    p_ = q;
  }
  [[gnu::always_inline]] void put(std::string_view bytes) {
    end(copy_bytes(room(bytes.size()), bytes.data(), bytes.size()));
  }
  [[gnu::always_inline]] void put(char c) {
    char* q = room(1);
    *q = c;
    end(q + 1);
  }
  [[gnu::always_inline]] void put_u16(std::uint16_t number) {
    end(detail::put_u16(room(kMaxU16Digits), number));
  }
  // The bytes of a string literal's text as a quoted JSON string.
  void put_string(std::string_view raw, bool doubled);

  std::size_t size() const { return static_cast<std::size_t>(p_ - s_->data()); }
  const char* data() const { return s_->data(); }
  // Ends writing: the string's size becomes what was written.
  void finish() {
    s_->resize(size());
    p_ = lim_ = s_->data() + s_->size();
  }

 private:
  [[gnu::noinline]] void grow(std::size_t n);

  std::string* s_;
  char* p_;
  char* lim_;
};

class JsonSink : public Sink<JsonValue> {
 public:
  explicit JsonSink(std::string& out) : out_(out), arena_(arena_text_), w_(&out_) {}

  void file_begin();
  void file_end() {
    w_->put("]}");
    out_.finish();
  }
  // Stops writing after a failed read; `out` then holds what was written.
  void abandon() { out_.finish(); }

  void requirement_begin(Span) {
    w_->put(wrote_requirement_ ? std::string_view(R"(,{"query":)") : R"({"query":)");
    wrote_requirement_ = true;
  }
  void description(const Literal& literal) { put_literal(literal, R"(,"description":)"); }
  void description(const Name&, const JsonValue& value) {
    w_->put(R"(,"description":)");
    copy(value);
  }
  void priority(const Count& count, bool) {
    static constexpr std::string_view kKey = R"(,"priority":)";
    char* q = w_->room(kKey.size() + kMaxU16Digits + 1);
    q = copy_bytes(q, kKey.data(), kKey.size());
    q = put_u16(q, count.from);
    *q++ = '}';
    w_->end(q);
  }

  // Everything up to the first selector, with one test for room.
  void query_begin(QueryType type, Span, const Count& count, int level) {
    static constexpr std::string_view kNested = R"({"Query":)";
    static constexpr std::string_view kMany = R"({"quantity":{"Many":{"from":)";
    static constexpr std::string_view kTo = R"(,"to":)";
    static constexpr std::string_view kSingle = R"({"quantity":{"Single":)";
    static constexpr std::string_view kLimit = R"(,"type":"Limit","selector":[)";
    static constexpr std::string_view kSelect = R"(,"type":"Select","selector":[)";
    const std::size_t most = 1 + kNested.size() + kMany.size() + kMaxU16Digits + kTo.size() +
                             kMaxU16Digits + 2 + kSelect.size();
    char* q = w_->room(most);
    if (level > 0) {
      *q = ',';
      q += first_ ? 0 : 1;
      q = copy_bytes(q, kNested.data(), kNested.size());
    }
    if (count.many) {
      q = copy_bytes(q, kMany.data(), kMany.size());
      q = put_u16(q, count.from);
      q = copy_bytes(q, kTo.data(), kTo.size());
      q = put_u16(q, count.to);
      q = copy_bytes(q, "}}", 2);
    } else {
      q = copy_bytes(q, kSingle.data(), kSingle.size());
      q = put_u16(q, count.from);
      *q++ = '}';
    }
    const std::string_view kind = type == QueryType::Limit ? kLimit : kSelect;
    w_->end(copy_bytes(q, kind.data(), kind.size()));
    first_ = true;
  }
  void query_end(Span, int level) {
    w_->put(level > 0 ? std::string_view("]}}") : "]}");
    first_ = false;
  }

  void class_selector(const Course& course) {
    const bool comma = !first_;
    first_ = false;
    put_course(course, R"({"Class":{"department_id":")", "}", comma);
  }
  void call(const Call<JsonValue>& call) {
    const CallShape& shape = kCallShapes[static_cast<std::size_t>(call.function)];
    separate();
    w_->put(shape.open);
    for (std::size_t i = 0; i < call.arguments.size(); ++i) {
      if (i != 0) w_->put(shape.between[i - 1]);
      put_argument(call.arguments[i]);
    }
    w_->put(shape.close);
  }
  void splice(const Name&, ValueKind kind, const JsonValue& value) {
    // An empty list (only an extern can be one) adds nothing, not even a comma.
    if (value.size == 0) return;
    separate();
    if (kind == ValueKind::Class) w_->put(R"({"Class":)");
    copy(value);
    if (kind == ValueKind::Class) w_->put('}');
  }

  void assignment_begin(const Name&, ValueKind) {
    w_ = &arena_;
    start_ = arena_.size();
    first_ = true;
  }
  JsonValue assignment_end(const Name&, ValueKind, Span, Span) {
    w_ = &out_;
    return JsonValue{start_, arena_.size() - start_};
  }
  void class_value(const Course& course) { put_course(course); }
  void string(const Literal& literal) { put_literal(literal); }

 private:
  void separate() {
    if (!first_) w_->put(',');
    first_ = false;
  }
  // Room is asked for before the arena's bytes are read: the arena may be
  // the string being written.
  void copy(const JsonValue& value) {
    char* q = w_->room(value.size);
    w_->end(copy_bytes(q, arena_.data() + value.start, value.size));
  }
  // Written with one test for room: a file is mostly courses. `open` ends
  // with the department's key and `close` follows the course's object, so
  // a Class selector, its comma included, is one write too.
  static constexpr std::string_view kCourseOpen = R"({"department_id":")";
  [[gnu::always_inline]] void put_course(const Course& course, std::string_view open = kCourseOpen,
                                         std::string_view close = {}, bool comma = false) {
    static constexpr std::string_view kNumber = R"(","course_number":)";
    static constexpr std::string_view kLab = R"(,"lab":true})";
    static constexpr std::string_view kNoLab = R"(,"lab":false})";
    const std::size_t most = 1 + open.size() + course.department.size() + kNumber.size() +
                             kMaxU16Digits + kNoLab.size() + close.size();
    char* q = w_->room(most);
    *q = ',';
    q += comma ? 1 : 0;
    q = copy_bytes(q, open.data(), open.size());
    q = copy_bytes(q, course.department.data(), course.department.size());
    q = copy_bytes(q, kNumber.data(), kNumber.size());
    q = put_u16(q, course.number);
    // Both endings as thirteen bytes, the true one padded: the pad is room
    // asked for, and the next write takes its place.
    static constexpr char kLabPadded[] = R"(,"lab":true}})";
    static_assert(sizeof kLabPadded - 1 == kNoLab.size() && kLab.size() + 1 == kNoLab.size());
    std::memcpy(q, course.lab ? kLabPadded : kNoLab.data(), kNoLab.size());
    q += course.lab ? kLab.size() : kNoLab.size();
    w_->end(copy_bytes(q, close.data(), close.size()));
  }
  // `key` goes before the string, in the same write when the text needs
  // no escapes.
  void put_literal(const Literal& literal, std::string_view key = {}) {
    if (!literal.plain) {
      w_->put(key);
      return w_->put_string(literal.raw, literal.doubled);
    }
    char* q = w_->room(key.size() + literal.raw.size() + 2);
    q = copy_bytes(q, key.data(), key.size());
    *q++ = '"';
    q = copy_bytes(q, literal.raw.data(), literal.raw.size());
    *q++ = '"';
    w_->end(q);
  }
  void put_argument(const Argument<JsonValue>& argument) {
    if (argument.value != nullptr) {
      copy(*argument.value);
    } else if (argument.is_text) {
      put_literal(argument.literal);
    } else {
      put_course(argument.course);
    }
  }

  Writer out_;
  std::string arena_text_;
  Writer arena_;
  Writer* w_;
  std::size_t start_ = 0;
  bool first_ = true;
  bool wrote_requirement_ = false;
};

}  // namespace brix::detail
