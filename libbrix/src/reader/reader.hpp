// The reader: one pass over BRIX text that owns everything the language
// means. It reads layout, strings, numbers, courses, calls, queries and
// statements without backtracking, keeps the variables and the externs,
// meters what copying variables adds, checks every course against a Catalog
// and every rule with its message, and tells a sink (sink.hpp) what it read.
//
// Which texts are well formed is the grammar's to say (parser/grammar.hpp):
// the reader accepts exactly the texts the grammar accepts, and where it
// cannot go on it stops and says where the last statement it finished ends,
// so that the grammar can explain the failure from there.
//
// A semantic error does not end the pass: the reader goes on checking only
// the syntax, since a syntax error anywhere wins over it. Within a
// requirement the rules are checked in the order of its parts' meaning (the
// priority, then the description, then the query), not in the order they
// are written, so a requirement with an error is checked again in that
// order to find the error that counts.
#pragma once

#include <algorithm>
#include <array>
#include <cstdint>
#include <cstring>
#include <optional>
#include <string>
#include <string_view>
#include <unordered_map>
#include <utility>
#include <variant>
#include <vector>

#if defined(__SSE2__)
#include <emmintrin.h>
#endif

#include "brix/brix.hpp"
#include "brix/catalog.hpp"
#include "closest_string/closest_string.hpp"
#include "lib/utf8.hpp"
#include "parser/decimal_u16.hpp"
#include "parser/expansion_meter.hpp"
#include "parser/grammar.hpp"
#include "parser/name_hash.hpp"
#include "parser/rule_names.hpp"
#include "reader/byte_classes.hpp"
#include "reader/functions.hpp"
#include "reader/messages.hpp"
#include "reader/sink.hpp"
#include "tarrow_departments/tarrow_departments.hpp"

namespace brix::detail {

// How a read ended.
enum class ReadEnd : std::uint8_t {
  Done,      // the text was read; the sink has all of it
  Syntax,    // the text is not well formed: the grammar explains it
  Semantic,  // `error` is the file's error
  Exact,     // an expansion limit was crossed where only exact values tell
             // which report is due: read again with a sink that keeps them
};

struct ReadResult {
  ReadEnd end = ReadEnd::Done;
  std::optional<ErrorChain> error;
  // Just past the ";" of the last assignment or requirement finished before
  // a syntax failure; 0 when none was.
  std::uint32_t boundary = 0;
  // Where a value read on its own ended.
  std::uint32_t value_end = 0;
};

inline constexpr std::array<std::string_view, 5> kKindNames{"selector list", "selector", "quantity",
                                                            "string", "class"};

// What copying a value adds, counted as the value is read.
struct Stats {
  std::size_t selectors = 0;
  std::size_t text = 0;
  int depth = 0;
};

// A sink that keeps exact values (VarValue) says so; the reader then words
// an expansion report from the value itself.
template <class S>
concept KeepsVarValues = std::is_same_v<typename S::Value, VarValue>;

template <class S>
class BRIXParser {
 public:
  using Value = typename S::Value;

  BRIXParser(std::string_view text, const ExternValues& externals, S& sink,
             const Catalog* catalog = nullptr)
      : text_(text),
        b_(text.data()),
        p_(text.data()),
        e_(text.data() + text.size()),
        externals_(externals),
        sink_(sink),
        catalog_(catalog),
        selector_limit_(ExpansionMeter::selector_limit(text.size())),
        text_limit_(ExpansionMeter::text_limit(text.size())) {}

  ReadResult parse_file() {
    sink_.file_begin();
    skip();
    while (at("extern")) {
      if (!extern_declaration()) return syntax();
      skip();
    }
    while (p_ != e_) {
      const bool ok = *p_ == '$' ? assignment() : requirement();
      if (!ok) return syntax();
      boundary_ = off(p_);
      skip();
    }
    if (error_) return end_with_error();
    sink_.file_end();
    return ReadResult{};
  }

  // One value from offset 0, as an extern's value is read; the result's
  // `value_end` says where it ended.
  ReadResult parse_extern_value() {
    const Name name{"", {}};
    ValueKind kind;
    Stats st;
    const char* start = p_;
    if (!parse_var_value(name, kind, st)) return syntax();
    ReadResult r;
    r.value_end = off(p_);
    if (error_) {
      r = end_with_error();
      r.value_end = off(p_);
      return r;
    }
    value_kind_ = kind;
    value_ = sink_.assignment_end(name, kind, span(start, p_), span(start, p_));
    value_count_ = last_count_;
    return r;
  }
  // The value parse_extern_value read, as the sink keeps it.
  Value& value() { return value_; }
  ValueKind value_kind() const { return value_kind_; }

 private:
  // A variable's value: what the sink keeps, what a copy of it adds, and a
  // quantity's numbers.
  struct Binding {
    Value value{};
    std::size_t selectors = 0;
    std::size_t text = 0;
    std::uint16_t from = 0;
    std::uint16_t to = 0;
    std::int16_t depth = 0;
    ValueKind kind = ValueKind::Quantity;
    bool many = false;
  };

  // The variables, in open addressing with the values in the slots. A large
  // file uses variables defined anywhere in megabytes of text, so a slot of
  // one cache line holding the hash, the name (when short, as names are)
  // and the value makes a lookup one cache miss, where a slot pointing at
  // its name in the text would be two.
  class Table {
   public:
    Table() : seed_(name_hash_seed()), slots_(16) {}
    const Binding* find(std::string_view name) const {
      if (used_ == 0) return nullptr;
      const Slot& slot = slots_[probe(name, hash_variable_name(name, seed_))];
      return slot.hash == 0 ? nullptr : &slot.binding;
    }
    // Starts loading the slot where `name` would go: asked for when an
    // assignment begins, it arrives while the value is read.
    void prefetch(std::string_view name) const {
      __builtin_prefetch(&slots_[hash_variable_name(name, seed_) & (slots_.size() - 1)], 1);
    }
    void bind(std::string_view name, Binding binding) {
      const std::uint64_t hash = hash_variable_name(name, seed_);
      Slot& slot = slots_[probe(name, hash)];
      if (slot.hash == 0) {
        slot.hash = hash;
        if (name.size() <= kInlineName) {
          slot.name_size = static_cast<std::uint8_t>(name.size());
          std::memcpy(slot.name, name.data(), name.size());
        } else {
          // Long names stay in the text, which outlives the table.
          slot.name_size = kLongName;
          const char* where = name.data();
          const auto size = static_cast<std::uint32_t>(name.size());
          std::memcpy(slot.name, &where, sizeof where);
          std::memcpy(slot.name + sizeof where, &size, sizeof size);
        }
        ++used_;
      }
      slot.binding = std::move(binding);
      if (used_ * 2 > slots_.size()) rehash();
    }

   private:
    static constexpr std::size_t kInlineName = 15;
    static constexpr std::uint8_t kLongName = 0xFF;
    struct alignas(64) Slot {
      std::uint64_t hash = 0;
      char name[kInlineName] = {};
      std::uint8_t name_size = 0;
      Binding binding;
    };
    static bool holds(const Slot& slot, std::string_view name) {
      if (slot.name_size != kLongName) {
        return slot.name_size == name.size() &&
               std::memcmp(slot.name, name.data(), name.size()) == 0;
      }
      const char* where;
      std::uint32_t size;
      std::memcpy(&where, slot.name, sizeof where);
      std::memcpy(&size, slot.name + sizeof where, sizeof size);
      return std::string_view(where, size) == name;
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
      for (Slot& slot : old) {
        if (slot.hash == 0) continue;
        std::size_t i = slot.hash & mask;
        while (slots_[i].hash != 0) i = (i + 1) & mask;
        slots_[i] = std::move(slot);
      }
    }
    std::uint64_t seed_;
    std::vector<Slot> slots_;  // a power of two in size, at most half full
    std::size_t used_ = 0;
  };

  // --- Positions and layout ---

  std::uint32_t off(const char* q) const { return static_cast<std::uint32_t>(q - b_); }
  Span span(const char* from, const char* to) const { return Span{off(from), off(to)}; }
  unsigned char peek() const { return p_ < e_ ? static_cast<unsigned char>(*p_) : 0; }
  bool at(std::string_view word) const {
    return static_cast<std::size_t>(e_ - p_) >= word.size() &&
           std::memcmp(p_, word.data(), word.size()) == 0;
  }
  static bool is_digit(unsigned char c) { return byte_is(c, kDigitByte); }
  static bool is_alpha(unsigned char c) { return byte_is(c, kAlphaByte); }
  static bool is_word(unsigned char c) { return byte_is(c, kWordByte); }
  static bool is_department_char(unsigned char c) { return byte_is(c, kDepartmentByte); }
  const char* word_end(const char* q) const {
    while (q < e_ && is_word(static_cast<unsigned char>(*q))) ++q;
    return q;
  }
  // Whitespace and comments from `q`. A comment that is not valid UTF-8
  // ends the layout at its start, where nothing can be read.
  const char* layout_end(const char* q) const {
    for (;;) {
      while (q < e_ && (*q == ' ' || *q == '\t' || *q == '\r' || *q == '\n')) ++q;
      if (e_ - q >= 2 && q[0] == '/' && q[1] == '/') {
        const void* lf = std::memchr(q, '\n', static_cast<std::size_t>(e_ - q));
        const char* end = lf != nullptr ? static_cast<const char*>(lf) : e_;
        if (!valid_utf8(q, end)) return q;
        q = end;
        continue;
      }
      return q;
    }
  }
  // Only comments and strings may hold bytes that are not ASCII, so only
  // they are checked; a caller checks the whole text when a read fails.
  static bool valid_utf8(const char* from, const char* to) {
    const char* q = from;
#if defined(__SSE2__)
    while (to - q >= 16) {
      const __m128i v = _mm_loadu_si128(reinterpret_cast<const __m128i*>(q));
      if (_mm_movemask_epi8(v) != 0) break;
      q += 16;
    }
#endif
    for (; q < to; ++q) {
      if (static_cast<unsigned char>(*q) >= 0x80) {
        return !find_invalid_utf8(std::string_view(q, static_cast<std::size_t>(to - q)));
      }
    }
    return true;
  }
  // Most items are followed by nothing or by one space, which the inline
  // part settles.
  [[gnu::always_inline]] void skip() {
    if (p_ == e_ || !is_layout_start(static_cast<unsigned char>(*p_))) return;
    if (*p_ == ' ' && (e_ - p_ < 2 || !is_layout_start(static_cast<unsigned char>(p_[1])))) {
      ++p_;
      return;
    }
    skip_layout();
  }
  [[gnu::noinline]] void skip_layout() {
    p_ = layout_end(p_);
  }
  static bool is_layout_start(unsigned char c) {
    return byte_is(c, kLayoutStartByte);
  }
  // A word, layout, then "(": a selector function call (the grammar tries a
  // call before a course, and a course is never followed by "("). Returns
  // the end of the call's name, or null.
  [[gnu::always_inline]] const char* may_be_call(const char* q) const {
    // Most words are a course's department: three or four capitals, a space
    // and a digit, settled without the loop over the word.
    if (e_ - q >= 6 && is_department_char(static_cast<unsigned char>(q[0])) &&
        is_department_char(static_cast<unsigned char>(q[1])) &&
        is_department_char(static_cast<unsigned char>(q[2]))) {
      const std::size_t k = q[3] == ' ' ? 3 : q[4] == ' ' ? 4 : 0;
      // An "&" among them ends the word before the space: no call either.
      if (k != 0 && is_digit(static_cast<unsigned char>(q[k + 1]))) return nullptr;
    }
    const char* w = word_end(q);
    if (w == q) return nullptr;
    // A course: its word is followed by a space and a digit.
    if (e_ - w >= 2 && w[0] == ' ' && is_digit(static_cast<unsigned char>(w[1]))) return nullptr;
    const char* open = layout_end(w);
    return open < e_ && *open == '(' ? w : nullptr;
  }

  // --- Errors ---

  // True while rules are checked; a semantic error turns checks and events
  // off until the statement is checked again (see requirement()).
  bool live() const {
    return live_;
  }
  // True while the sink is told what was read.
  bool emit() const {
    return live() && !muted_;
  }

  ErrorChain report(Span at, std::string message) const {
    return ErrorChain::from_report(
        Error::new_from_span(CustomError{std::move(message)}, text_, at.begin, at.end)
            .renamed_rules(renamed_rules_impl));
  }
  void fail(ErrorChain error) {
    if (!live()) return;
    error_ = std::move(error);
    live_ = false;
  }
  void fail(Span at, std::string message) {
    if (!live()) return;
    error_ = report(at, std::move(message));
    live_ = false;
  }
  // Wraps an error that arose since `had` was taken in `context`.
  void wrap(bool had, std::string_view context) {
    if (!had && error_ && !exact_) [[unlikely]]
      wrap_error(context);
  }
  [[gnu::noinline, gnu::cold]] void wrap_error(std::string_view context) {
    error_ = std::move(*error_).wrap(std::string(context));
  }
  ReadResult syntax() const {
    ReadResult r;
    r.end = ReadEnd::Syntax;
    r.boundary = boundary_;
    return r;
  }
  ReadResult end_with_error() {
    ReadResult r;
    r.end = exact_ ? ReadEnd::Exact : ReadEnd::Semantic;
    r.error = std::move(error_);
    return r;
  }
  // The statement bound: the grammar stops a nested query or list that
  // begins past it, and so does the reader.
  bool enter() {
    if (depth_ >= MAX_NESTING) {
      aborted_ = true;
      return false;
    }
    ++depth_;
    return true;
  }

  // --- Variables ---

  // `$` and a name at p_.
  bool variable(Name& name) {
    const char* start = p_;
    if (peek() != '$') return false;
    ++p_;
    if (p_ == e_ || !(is_alpha(static_cast<unsigned char>(*p_)) || *p_ == '_')) return false;
    p_ = word_end(p_ + 1);
    name = Name{std::string_view(start, static_cast<std::size_t>(p_ - start)), span(start, p_)};
    return true;
  }

  // The binding of a used name, or the report of an undefined one.
  const Binding* lookup(const Name& name) {
    const Binding* b = table_.find(name.text);
    if (b == nullptr) {
      fail(name.span, std::string(messages::kUndefinedVariable) + std::string(name.text) + "`");
      return nullptr;
    }
    if (!muted_) sink_.variable_use(name, b->kind);
    return b;
  }
  bool expect_kind(const Binding& b, const Name& name, std::string_view prefix, bool ok) {
    if (ok) return true;
    fail(name.span, std::string(prefix) +
                        std::string(kKindNames[static_cast<std::size_t>(b.kind)]) + " (`" +
                        std::string(name.text) + "`)");
    return false;
  }

  // Accounts for one copy of `b`, made inside `level` nested queries.
  bool charge(const Binding& b, const Name& name, int level) {
    const std::size_t selectors_left = selector_limit_ - std::min(selectors_, selector_limit_);
    const std::size_t text_left = text_limit_ - std::min(text_bytes_, text_limit_);
    const bool deep = b.depth > MAX_NESTING - level;
    const bool many = b.selectors > selectors_left;
    const bool long_text = b.text > text_left;
    if (!deep && !many && !long_text) {
      selectors_ += b.selectors;
      text_bytes_ += b.text;
      return true;
    }
    if constexpr (KeepsVarValues<S>) {
      std::optional<ErrorChain> over = ExpansionMeter::over_limit(
          b.value, level, selectors_, text_bytes_, text_, name.span.begin, name.span.end);
      if (over) fail(std::move(*over));
    } else {
      // Which limit the value's walk meets first depends on its shape,
      // which only a sink keeping exact values knows.
      if (!error_) exact_ = true;
      fail(ErrorChain::from_message(std::string(messages::kExpansionLimit)));
    }
    return false;
  }

  // --- Numbers, strings, courses ---

  // A run of digits; `value` when it fits in 16 bits (`fits` says).
  bool digits(Span& at, std::uint16_t& value, bool& fits) {
    const char* start = p_;
    std::uint32_t v = 0;
    fits = true;
    while (p_ < e_ && is_digit(static_cast<unsigned char>(*p_))) {
      if (fits) {
        v = v * 10 + static_cast<std::uint32_t>(*p_ - '0');
        if (v > 0xFFFF) fits = false;
      }
      ++p_;
    }
    if (p_ == start) return false;
    at = span(start, p_);
    value = static_cast<std::uint16_t>(v);
    return true;
  }
  // The conversion failure of a number that does not fit, wrapped.
  void too_large(std::string_view context) {
    fail(ErrorChain::from_int_error(IntError::PosOverflow).wrap(std::string(context)));
  }

  // quantity_many or quantity_single at p_ (a digit).
  bool number_or_range(Count& c, bool& from_fits, bool& to_fits) {
    if (!digits(c.from_span, c.from, from_fits)) return false;
    c.to = c.from;
    c.to_span = c.from_span;
    c.many = false;
    to_fits = true;
    if (e_ - p_ >= 2 && *p_ == '-' && is_digit(static_cast<unsigned char>(p_[1]))) {
      ++p_;
      digits(c.to_span, c.to, to_fits);
      c.many = true;
    }
    c.span = Span{c.from_span.begin, c.to_span.end};
    return true;
  }

  bool string_literal(Literal& lit) {
    const char* start = p_;
    const char* q = p_ + 1;
    bool doubled = false;
    bool ascii = true;
    bool plain = true;
    for (;;) {
      q = string_stop(q, ascii, plain);
      if (q == e_ || *q != '"') return false;
      if (e_ - q >= 2 && q[1] == '"') {
        doubled = true;
        q += 2;
        continue;
      }
      break;
    }
    if (!ascii && !valid_utf8(start + 1, q)) return false;
    lit.raw = std::string_view(start + 1, static_cast<std::size_t>(q - start - 1));
    lit.doubled = doubled;
    lit.plain = plain && !doubled;
    p_ = q + 1;
    lit.span = span(start, p_);
    return true;
  }
  // The first '"', CR or LF in [q, e_): where a string's text stops. Clears
  // `ascii` when a byte before it is not ASCII, and `plain` when one is a
  // control character or a backslash, which JSON escapes.
  const char* string_stop(const char* q, bool& ascii, bool& plain) const {
#if defined(__SSE2__)
    const __m128i quote = _mm_set1_epi8('"');
    const __m128i cr = _mm_set1_epi8('\r');
    const __m128i lf = _mm_set1_epi8('\n');
    const __m128i backslash = _mm_set1_epi8('\\');
    const __m128i last_control = _mm_set1_epi8(0x1F);
    while (e_ - q >= 16) {
      const __m128i v = _mm_loadu_si128(reinterpret_cast<const __m128i*>(q));
      const __m128i stop = _mm_or_si128(
          _mm_or_si128(_mm_cmpeq_epi8(v, quote), _mm_cmpeq_epi8(v, cr)), _mm_cmpeq_epi8(v, lf));
      const __m128i special =
          _mm_or_si128(_mm_cmpeq_epi8(_mm_max_epu8(v, last_control), last_control),
                       _mm_cmpeq_epi8(v, backslash));
      const auto stops = static_cast<unsigned>(_mm_movemask_epi8(stop));
      const unsigned before = stops != 0 ? (1u << __builtin_ctz(stops)) - 1 : 0xFFFFu;
      if ((static_cast<unsigned>(_mm_movemask_epi8(v)) & before) != 0) ascii = false;
      if ((static_cast<unsigned>(_mm_movemask_epi8(special)) & before) != 0) plain = false;
      if (stops != 0) return q + __builtin_ctz(stops);
      q += 16;
    }
#endif
    for (; q < e_ && *q != '"' && *q != '\r' && *q != '\n'; ++q) {
      const auto c = static_cast<unsigned char>(*q);
      if (c >= 0x80) ascii = false;
      if (c < 0x20 || c == '\\') plain = false;
    }
    return q;
  }
  static std::size_t text_size(const Literal& lit) {
    if (!lit.doubled) return lit.raw.size();
    return lit.raw.size() -
           static_cast<std::size_t>(std::count(lit.raw.begin(), lit.raw.end(), '"')) / 2;
  }

  // Department codes found in the catalog, by their bytes: a file names a
  // few dozen departments many times over. Two ways to a set, so that two
  // codes that share a set do not keep pushing each other out. `q` has at
  // least four bytes (a course's number follows its code).
  bool known_department(const char* q, std::size_t size) {
    std::uint32_t key;
    std::memcpy(&key, q, sizeof key);
    if (size < sizeof key) key &= 0xFFFFFFu;
    auto* set = &departments_seen_[((key * 0x9E3779B97F4A7C15u) >> 58) * 2];
    if (set[0] == key || set[1] == key) return true;
    const std::string_view code(q, size);
    if (catalog_ != nullptr ? !catalog_->contains(code) : !is_department(code)) return false;
    set[1] = set[0];
    set[0] = key;
    return true;
  }

  // class_argument: a department code (or a misformed one), spaces, four
  // digits and an optional "L".
  bool parse_class_from_pair(Course& c) {
    const char* q = p_;
    const char* code_end = nullptr;
    bool bad = false;
    if (e_ - q >= 3 && is_department_char(static_cast<unsigned char>(q[0])) &&
        is_department_char(static_cast<unsigned char>(q[1])) &&
        is_department_char(static_cast<unsigned char>(q[2]))) {
      code_end = q + 3;
      if (code_end < e_ && is_department_char(static_cast<unsigned char>(*code_end))) ++code_end;
      if (!class_id_at(code_end)) code_end = nullptr;
    }
    if (code_end == nullptr) {
      // Letters of either case: five or more, or one or two.
      const char* r = q;
      while (r < e_ && is_alpha(static_cast<unsigned char>(*r))) ++r;
      const auto letters = r - q;
      if (letters >= 5) {
        code_end = r;
      } else if (letters >= 1) {
        code_end = q + std::min<std::ptrdiff_t>(letters, 2);
      }
      if (code_end == nullptr || !class_id_at(code_end)) return false;
      bad = true;
    }
    const char* r = code_end;
    while (*r == ' ') ++r;
    c.department = std::string_view(q, static_cast<std::size_t>(code_end - q));
    c.department_span = span(q, code_end);
    c.number = static_cast<std::uint16_t>((r[0] - '0') * 1000 + (r[1] - '0') * 100 +
                                          (r[2] - '0') * 10 + (r[3] - '0'));
    c.lab = e_ - r > 4 && r[4] == 'L';
    p_ = r + 4 + (c.lab ? 1 : 0);
    c.number_span = span(r, p_);
    c.span = span(q, p_);
    if (!live()) return true;
    if (bad) {
      fail(c.department_span, std::string(messages::kDepartmentForm));
    } else if (!known_department(q, c.department.size())) {
      const std::string_view suggestion =
          catalog_ != nullptr
              ? catalog_->closest(c.department)
              : closest_string(c.department, tarrow_departments_list()).value_or("");
      fail(c.department_span, std::string(messages::kUnknownDepartment) +
                                  std::string(messages::kDidYouMean) + std::string(suggestion) +
                                  ")");
    } else if (!muted_) {
      sink_.course(c);
    }
    return true;
  }
  // Spaces, then four digits at `q`.
  bool class_id_at(const char* q) const {
    while (q < e_ && *q == ' ') ++q;
    if (e_ - q < 4) return false;
    for (int i = 0; i < 4; ++i) {
      if (!is_digit(static_cast<unsigned char>(q[i]))) return false;
    }
    return true;
  }

  // --- Selector functions ---

  // One argument: a string, a variable holding a text or a course, or a
  // course.
  bool argument(Argument<Value>& a, Name& name, std::size_t& text, int level) {
    const char* start = p_;
    const unsigned char c = peek();
    a.is_text = false;
    a.variable = nullptr;
    a.value = nullptr;
    if (c == '"') {
      a.is_text = true;
      if (!string_literal(a.literal)) return false;
      text += text_size(a.literal);
    } else if (c == '$') {
      if (!variable(name)) return false;
      a.variable = &name;
      if (live()) {
        const Binding* b = lookup(name);
        if (b != nullptr &&
            expect_kind(*b, name, messages::kExpectedArgument,
                        b->kind == ValueKind::String || b->kind == ValueKind::Class) &&
            charge(*b, name, level)) {
          a.is_text = b->kind == ValueKind::String;
          a.value = &b->value;
          text += b->text;
        }
      }
    } else if (!parse_class_from_pair(a.course)) {
      return false;
    }
    a.span = span(start, p_);
    return true;
  }

  // name ( argument , ... ) at p_, the name a word ending at `name_end`.
  bool parse_xyz(Stats& st, int level, const char* name_end) {
    const char* start = p_;
    p_ = name_end;
    const std::string_view name(start, static_cast<std::size_t>(p_ - start));
    const Span name_span = span(start, p_);
    skip();
    if (peek() != '(') return false;
    ++p_;
    auto& args = arguments_;
    auto& names = argument_names_;
    std::size_t count = 0;
    std::size_t text = 0;
    // Arguments past the most any function takes are read into `extra`:
    // only their count matters.
    Argument<Value>& extra = extra_argument_;
    Name& extra_name = extra_name_;
    for (;;) {
      skip();
      const bool kept = count < args.size();
      if (!argument(kept ? args[count] : extra, kept ? names[count] : extra_name, text, level)) {
        return false;
      }
      ++count;
      skip();
      if (peek() != ',') break;
      ++p_;
    }
    if (peek() != ')') return false;
    ++p_;
    st.selectors += 1;
    st.text += text;
    if (!live()) return true;
    const FunctionRow* row = function_named(name);
    if (row == nullptr) {
      const std::string_view suggestion = closest_string(name, kFunctionSuggestions).value_or("");
      fail(name_span, std::string(messages::kUnknownFunction) + std::string(messages::kDidYouMean) +
                          std::string(suggestion) + ")");
      return true;
    }
    bool fits = count == row->arity;
    for (std::size_t i = 0; fits && i < count; ++i) {
      fits = args[i].is_text == (row->pattern[i] == Arg::Text);
    }
    if (!fits) {
      fail(span(start, p_), std::string(row->message));
      return true;
    }
    if (muted_) return true;
    sink_.call(Call<Value>{row->function, name, name_span, span(start, p_),
                           std::span<const Argument<Value>>(args.data(), count)});
    return true;
  }

  // --- Selectors and queries ---

  // Whether the statement alternative of a selector at p_ (which begins
  // with SELECT or LIMIT) is the one the grammar takes. Only a text that
  // could also be a call or a course asks the grammar's question by reading
  // the statement once without checks.
  bool statement_wins() {
    const std::size_t k = *p_ == 'S' ? 6 : 5;
    const char* w = word_end(p_);
    const bool bare = static_cast<std::size_t>(w - p_) == k;
    if (!bare && !is_digit(static_cast<unsigned char>(p_[k]))) return false;
    // A bare keyword is all letters, and its word ends at a byte that is
    // none; a space and a digit after it cannot lead to "(".
    const char* letters = w;
    if (!bare) {
      letters = p_;
      while (letters < e_ && is_alpha(static_cast<unsigned char>(*letters))) ++letters;
    }
    bool call_too = false;
    if (!(bare && e_ - w >= 2 && w[0] == ' ' && is_digit(static_cast<unsigned char>(w[1])))) {
      const char* after = layout_end(w);
      call_too = after < e_ && *after == '(';
    }
    const bool course_too = class_id_at(letters);
    if (!call_too && !course_too) return true;
    return statement_matches();
  }
  bool statement_matches();

  bool parse_selector_single(Stats& st, int level) {
    const unsigned char c = peek();
    if ((c == 'S' && at("SELECT")) || (c == 'L' && at("LIMIT"))) {
      if (depth_ >= MAX_NESTING) {
        aborted_ = true;
        return false;
      }
      const bool statement = statement_wins();
      if (aborted_) return false;
      if (statement) {
        const bool had = error_.has_value();
        st.selectors += 1;
        st.depth = std::max(st.depth, level + 1);
        if (!parse_query(st, level + 1)) return false;
        wrap(had, messages::kFailedNestedQuery);
        return true;
      }
    }
    if (c == '$') {
      Name name;
      if (!variable(name)) return false;
      if (!live()) return true;
      const Binding* b = lookup(name);
      if (b == nullptr ||
          !expect_kind(*b, name, messages::kExpectedSelector,
                       b->kind != ValueKind::Quantity && b->kind != ValueKind::String) ||
          !charge(*b, name, level)) {
        return true;
      }
      st.selectors += b->selectors;
      st.text += b->text;
      st.depth = std::max(st.depth, level + b->depth);
      if (!muted_) sink_.splice(name, b->kind, b->value);
      return true;
    }
    if (is_word(c)) {
      if (const char* name_end = may_be_call(p_)) return parse_xyz(st, level, name_end);
    }
    Course course_read;
    if (!parse_class_from_pair(course_read)) return false;
    st.selectors += 1;
    if (emit()) sink_.class_selector(course_read);
    return true;
  }

  bool parse_selector_list(Stats& st, int level) {
    if (!enter()) return false;
    ++p_;
    skip();
    if (!parse_selector_single(st, level)) return false;
    for (;;) {
      skip();
      if (peek() != ',') break;
      ++p_;
      skip();
      if (!parse_selector_single(st, level)) return false;
    }
    if (peek() != ']') return false;
    ++p_;
    --depth_;
    return true;
  }

  // A SELECT or LIMIT query at p_; `level` 0 for a requirement's own.
  bool parse_query(Stats& st, int level) {
    if (!enter()) return false;
    const char* start = p_;
    const bool limit = *p_ == 'L';
    p_ += limit ? 5 : 6;
    const Span keyword = span(start, p_);
    if (limit && level > 0) fail(keyword, std::string(messages::kLimitNested));
    skip();

    const bool had_quantity = error_.has_value();
    Count count;
    Name name;
    if (is_digit(peek())) {
      bool from_fits = true;
      bool to_fits = true;
      number_or_range(count, from_fits, to_fits);
      if (live()) {
        if (!from_fits || !to_fits) {
          too_large(messages::kSelectionTooLarge);
        } else if (!count.many && count.from == 0) {
          fail(count.span, std::string(messages::kSelectZero));
        } else if (count.many && level == 0 && count.from == 0) {
          fail(count.from_span, std::string(messages::kRangeFromZero));
        } else if (count.many && count.to < count.from) {
          fail(count.to_span, std::string(messages::kSelectRangeOrder) + std::to_string(count.to) +
                                  "<" + std::to_string(count.from));
        }
      }
    } else {
      if (!variable(name)) return false;
      if (live()) {
        const Binding* b = lookup(name);
        if (b != nullptr &&
            expect_kind(*b, name, messages::kExpectedQuantity, b->kind == ValueKind::Quantity)) {
          count.from = b->from;
          count.to = b->to;
          count.many = b->many;
          if (count.many && level == 0 && count.from == 0) {
            fail(name.span, std::string(messages::kRangeFromZero));
          }
        }
      }
      count.span = count.from_span = count.to_span = name.span;
      count.variable = &name;
    }
    wrap(had_quantity, messages::kFailedQuantity);
    skip();
    if (!at("FROM")) return false;
    p_ += 4;
    skip();

    if (emit()) {
      sink_.query_begin(limit ? QueryType::Limit : QueryType::Select, keyword, count, level);
    }
    const bool had_selector = error_.has_value();
    if (peek() == '[' ? !parse_selector_list(st, level) : !parse_selector_single(st, level))
      return false;
    wrap(had_selector, messages::kFailedSelector);
    if (emit()) sink_.query_end(span(start, p_), level);
    --depth_;
    return true;
  }

  // --- Statements ---

  bool extern_declaration() {
    const char* start = p_;
    p_ += 6;
    skip();
    Name name;
    if (!variable(name)) return false;
    skip();
    if (peek() != ';') return false;
    ++p_;
    if (!live()) return true;
    const auto supplied =
        externals_.empty() ? externals_.end() : externals_.find(std::string(name.text));
    if (supplied == externals_.end()) {
      fail(name.span, std::string(messages::kExternMissing) + std::string(name.text) +
                          std::string(messages::kExternMissingEnd));
      return true;
    }
    const VarValue& value = supplied->second;
    Binding b;
    b.kind = static_cast<ValueKind>(value.value.index());
    const CopySize size = ExpansionMeter::measure(value);
    b.selectors = size.selectors;
    b.text = size.text;
    b.depth = static_cast<std::int16_t>(std::min(size.depth, MAX_NESTING + 1));
    if (const auto* quantity = std::get_if<Quantity>(&value.value)) {
      const Count count = count_of(*quantity);
      b.from = count.from;
      b.to = count.to;
      b.many = count.many;
    }
    if constexpr (KeepsVarValues<S>) {
      b.value = value;
    } else {
      b.value = replay(name, value);
    }
    if (!charge(b, name, 0)) return true;
    sink_.extern_declared(name, b.kind, span(start, p_));
    table_.bind(name.text, std::move(b));
    return true;
  }

  // A caller's value told to the sink as if it were assigned, so the sink
  // keeps it as it keeps its own.
  Value replay(const Name& name, const VarValue& value) {
    const auto kind = static_cast<ValueKind>(value.value.index());
    sink_.assignment_begin(name, kind);
    if (const auto* list = std::get_if<VarValue::SelectorList>(&value.value)) {
      for (const Selector& selector : list->selectors) replay(selector, 0);
    } else if (const auto* selector = std::get_if<Selector>(&value.value)) {
      replay(*selector, 0);
    } else if (const auto* quantity = std::get_if<Quantity>(&value.value)) {
      sink_.count(count_of(*quantity));
    } else if (const auto* text = std::get_if<VarValue::String>(&value.value)) {
      sink_.string(Literal{text->value.view(), {}, false});
    } else {
      sink_.class_value(course_of(std::get<Class>(value.value)));
    }
    return sink_.assignment_end(name, kind, {}, {});
  }
  // Runs only for a caller's values, before the text is read; kept cold so
  // it costs the reading code nothing when the compiler shares out inlining.
  [[gnu::cold]] void replay(const Selector& selector, int level) {
    if (const auto* single = std::get_if<Class>(&selector.value)) {
      sink_.class_selector(course_of(*single));
    } else if (const auto* nested = std::get_if<Selector::Query>(&selector.value)) {
      const BRIXQuery& query = *nested->query;
      sink_.query_begin(query.type, {}, count_of(query.quantity), level + 1);
      for (const Selector& inner : query.selector) replay(inner, level + 1);
      sink_.query_end({}, level + 1);
    } else {
      // The selector's fields are its call's arguments, in order.
      std::array<Argument<Value>, kMaxArguments> args{};
      visit_indexed(
          selector, [&]<std::size_t I>(std::integral_constant<std::size_t, I>, const auto& v) {
            if constexpr (I < kFunctions.size()) {
              std::size_t k = 0;
              std::apply([&](const auto&... field) { (argument_of(field, args[k++]), ...); },
                         arguments_of<kFunctions[I].arity>(v));
            }
          });
      const FunctionRow& row = kFunctions[selector.value.index()];
      sink_.call(Call<Value>{row.function,
                             row.upper,
                             {},
                             {},
                             std::span<const Argument<Value>>(args.data(), row.arity)});
    }
  }
  static void argument_of(const Text& text, Argument<Value>& a) {
    a.is_text = true;
    a.literal = Literal{text.view(), {}, false};
  }
  static void argument_of(const Class& course, Argument<Value>& a) {
    a.is_text = false;
    a.course = course_of(course);
  }
  static Course course_of(const Class& c) {
    return Course{c.department_id.view(), c.course_number, c.lab, {}, {}, {}};
  }
  static Count count_of(const Quantity& quantity) {
    Count c;
    if (const auto* single = std::get_if<Quantity::Single>(&quantity.value)) {
      c.from = c.to = single->value;
    } else {
      const auto& range = std::get<Quantity::Many>(quantity.value);
      c.from = range.from;
      c.to = range.to;
      c.many = true;
    }
    return c;
  }

  // var_value at p_: a list, a call, a count, a string or a course.
  bool parse_var_value(const Name& name, ValueKind& kind, Stats& st) {
    const unsigned char c = peek();
    if (c == '[') {
      kind = ValueKind::SelectorList;
      if (live()) sink_.assignment_begin(name, kind);
      return parse_selector_list(st, 0);
    }
    if (const char* name_end = is_word(c) ? may_be_call(p_) : nullptr) {
      kind = ValueKind::Selector;
      if (live()) sink_.assignment_begin(name, kind);
      return parse_xyz(st, 0, name_end);
    }
    if (is_digit(c)) {
      kind = ValueKind::Quantity;
      Count count;
      bool from_fits = true;
      bool to_fits = true;
      number_or_range(count, from_fits, to_fits);
      if (!live()) return true;
      if (!from_fits || !to_fits) {
        too_large(messages::kQuantityTooLarge);
      } else if (!count.many && count.from == 0) {
        fail(count.span, std::string(messages::kAssignZero));
      } else if (count.many && count.to < count.from) {
        fail(count.to_span, std::string(messages::kRangeOrder) + std::to_string(count.to) + "<" +
                                std::to_string(count.from));
      } else {
        last_count_ = count;
        sink_.assignment_begin(name, kind);
        sink_.count(count);
      }
      return true;
    }
    if (c == '"') {
      kind = ValueKind::String;
      Literal lit;
      if (!string_literal(lit)) return false;
      st.text = text_size(lit);
      if (live()) {
        sink_.assignment_begin(name, kind);
        sink_.string(lit);
      }
      return true;
    }
    kind = ValueKind::Class;
    Course course_read;
    if (!parse_class_from_pair(course_read)) return false;
    st.selectors = 1;
    if (live()) {
      sink_.assignment_begin(name, kind);
      sink_.class_value(course_read);
    }
    return true;
  }

  // `$name = value;`. The value is bound only once it was read, so it sees
  // the name's earlier binding.
  bool assignment() {
    const char* start = p_;
    Name name;
    if (!variable(name)) return false;
    skip();
    if (peek() != '=') return false;
    table_.prefetch(name.text);
    ++p_;
    skip();
    const char* value_start = p_;
    ValueKind kind;
    Stats st;
    if (!parse_var_value(name, kind, st)) return false;
    const char* value_stop = p_;
    skip();
    if (peek() != ';') return false;
    ++p_;
    if (!live()) return true;
    Binding b;
    b.kind = kind;
    b.from = last_count_.from;
    b.to = last_count_.to;
    b.many = last_count_.many;
    b.selectors = st.selectors;
    b.text = st.text;
    b.depth = static_cast<std::int16_t>(st.depth);
    b.value = sink_.assignment_end(name, kind, span(value_start, value_stop), span(start, p_));
    table_.bind(name.text, std::move(b));
    return true;
  }

  // The description or the priority at p_ (just past its ":").
  bool description(Literal& lit, Name& name) {
    if (peek() == '"') return string_literal(lit);
    return variable(name);
  }

  // `query : description [: priority];`.
  bool requirement() {
    const char* start = p_;
    if (!((*p_ == 'S' && at("SELECT")) || (*p_ == 'L' && at("LIMIT")))) return false;
    const bool was_live = live();
    const std::size_t selectors_before = selectors_;
    const std::size_t text_before = text_bytes_;
    if (was_live) sink_.requirement_begin(span(start, start));
    Stats st;
    if (!parse_query(st, 0)) return false;
    skip();
    if (peek() != ':') return false;
    ++p_;
    skip();
    Literal lit;
    Name description_name;
    if (!description(lit, description_name)) return false;
    skip();
    Count priority;
    priority.from = priority.to = 1;
    Name priority_name;
    bool priority_written = false;
    bool priority_fits = true;
    if (peek() == ':') {
      ++p_;
      skip();
      priority_written = true;
      if (is_digit(peek())) {
        digits(priority.span, priority.from, priority_fits);
        priority.to = priority.from;
      } else if (!variable(priority_name)) {
        return false;
      }
      skip();
    }
    if (peek() != ';') return false;
    ++p_;
    if (!was_live) return true;
    if (live()) {
      // The query had no error; the description and the priority are
      // checked on their own (their checks charge nothing the query's
      // could have crossed first, see recheck()).
      check_priority(priority, priority_name, priority_written, priority_fits);
      const Binding* described = nullptr;
      if (live() && description_name.text.empty()) {
        sink_.description(lit);
      } else if (live()) {
        described = describe(description_name);
        if (described != nullptr) sink_.description(description_name, described->value);
      }
      if (live()) {
        sink_.priority(priority, priority_written);
        sink_.requirement_end(span(start, p_));
        return true;
      }
    }
    // An error: check the requirement again in the order that decides.
    const char* end = p_;
    error_.reset();
    live_ = true;
    exact_ = false;
    selectors_ = selectors_before;
    text_bytes_ = text_before;
    check_priority(priority, priority_name, priority_written, priority_fits);
    if (live() && !description_name.text.empty()) describe(description_name);
    if (live()) {
      p_ = start;
      Stats again;
      muted_ = true;
      parse_query(again, 0);
      muted_ = false;
    }
    p_ = end;
    return true;
  }

  void check_priority(Count& priority, const Name& name, bool written, bool fits) {
    if (!written) return;
    if (name.text.empty()) {
      if (!fits) too_large(messages::kSelectionTooLarge);
      return;
    }
    priority.span = name.span;
    priority.variable = &name;
    const Binding* b = lookup(name);
    if (b == nullptr ||
        !expect_kind(*b, name, messages::kExpectedPriority, b->kind == ValueKind::Quantity)) {
      return;
    }
    if (b->many) {
      fail(name.span, std::string(messages::kPriorityRange) + std::string(name.text) + "`)");
      return;
    }
    priority.from = priority.to = b->from;
  }

  const Binding* describe(const Name& name) {
    const Binding* b = lookup(name);
    if (b == nullptr ||
        !expect_kind(*b, name, messages::kExpectedDescription, b->kind == ValueKind::String) ||
        !charge(*b, name, 0)) {
      return nullptr;
    }
    return b;
  }

  std::string_view text_;
  const char* b_;
  const char* p_;
  const char* e_;
  const ExternValues& externals_;
  S& sink_;
  const Catalog* catalog_;  // null for the built-in one
  Table table_;
  std::optional<ErrorChain> error_;
  bool exact_ = false;
  // No error yet, and not reading ahead for statement_matches(): asked at
  // every event, so one flag rather than the two facts.
  bool live_ = true;
  bool muted_ = false;
  bool aborted_ = false;
  int depth_ = 0;
  // statement_matches' answers by offset.
  std::unordered_map<std::uint32_t, bool> settled_;
  std::uint32_t boundary_ = 0;
  std::size_t selectors_ = 0;
  std::size_t text_bytes_ = 0;
  const std::size_t selector_limit_;
  const std::size_t text_limit_;
  Count last_count_;
  std::array<std::uint32_t, 128> departments_seen_{};
  // A call's arguments as they are read. Arguments hold no calls, so one set
  // serves every call in turn, and argument() sets all that a call reads.
  std::array<Argument<Value>, kMaxArguments> arguments_{};
  std::array<Name, kMaxArguments> argument_names_{};
  Argument<Value> extra_argument_;
  Name extra_name_;
  Value value_{};
  ValueKind value_kind_ = ValueKind::Quantity;
  Count value_count_;
};

// Reads the statement at p_ without checks or events, and goes back: the
// grammar's answer to whether a statement stands there.
template <class S>
bool BRIXParser<S>::statement_matches() {
  // Reading ahead reads the nested statements too, and they ask the same
  // question at their own offsets. Each answer is kept, so that a chain of
  // nested statements costs one read ahead per level, not one per path: two
  // per level, doubling with every level, would let a short file run for
  // hours.
  const std::uint32_t at = off(p_);
  if (const auto known = settled_.find(at); known != settled_.end()) return known->second;
  const char* start = p_;
  const int depth = depth_;
  const bool live = live_;
  live_ = false;
  Stats st;
  const bool ok = parse_query(st, 1);
  p_ = start;
  depth_ = depth;
  live_ = live;
  settled_.emplace(at, ok);
  return ok;
}

}  // namespace brix::detail
