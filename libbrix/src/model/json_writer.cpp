// The JSON requirements document. One streaming walk serves both layouts:
// `Pretty` only decides whether line breaks, indentation and the space after a
// colon are written, so the two texts cannot drift apart structurally.

#include <algorithm>
#include <array>
#include <bit>
#include <cstddef>
#include <cstdint>
#include <cstring>
#include <string>
#include <string_view>
#include <tuple>
#include <utility>
#include <variant>
#include <vector>

#include "brix/brix.hpp"
#include "model/copy_bytes.hpp"
#include "model/json_escapes.hpp"
#include "model/json_size.hpp"
#include "reader/functions.hpp"

namespace brix {
namespace {

using detail::kHexDigits;
using detail::kJsonEscapes;

constexpr std::uint64_t kOnes = 0x0101010101010101u;
constexpr std::uint64_t kHighs = 0x8080808080808080u;

// The high bit of each byte of w that equals c, and possibly of bytes above
// one that does (a borrow runs upwards): the lowest marked byte is always a
// real match.
inline std::uint64_t bytes_equal(std::uint64_t w, char c) {
  const std::uint64_t x = w ^ (kOnes * static_cast<unsigned char>(c));
  return (x - kOnes) & ~x & kHighs;
}

// Whether any of the eight bytes of w might need an escape (a control
// character, '"' or '\\'). It may answer yes wrongly but never no wrongly,
// which is all a fast path needs: a text without such bytes, nearly every
// text, is copied whole.
inline bool may_need_escape(std::uint64_t w) {
  const std::uint64_t control = (w - kOnes * 0x20) & ~w & kHighs;
  return (control | bytes_equal(w, '"') | bytes_equal(w, '\\')) != 0;
}

// True when no byte of `text` needs an escape; false may also mean "not sure".
inline bool plain_text(std::string_view text) {
  const char* p = text.data();
  std::size_t n = text.size();
  for (; n >= 8; p += 8, n -= 8) {
    std::uint64_t w;
    std::memcpy(&w, p, 8);
    if (may_need_escape(w)) return false;
  }
  for (; n > 0; ++p, --n) {
    if (kJsonEscapes[static_cast<unsigned char>(*p)] != 0) return false;
  }
  return true;
}

inline std::size_t decimal_length(std::uint16_t value) {
  return std::size_t{1} + (value >= 10) + (value >= 100) + (value >= 1000) + (value >= 10000);
}

// Adds up the length of the text instead of writing it (see json_size).
class Counter {
 public:
  template <std::size_t N>
  void lit(const char (&)[N]) {
    size_ += N - 1;
  }
  void chr(char) { ++size_; }
  void spaces(std::size_t n) { size_ += n; }
  void number(std::uint16_t value) { size_ += decimal_length(value); }
  void text(std::string_view value) {
    size_ += 2 + value.size();
    if (plain_text(value)) return;
    for (char c : value) {
      const char escape = kJsonEscapes[static_cast<unsigned char>(c)];
      if (escape != 0) size_ += escape == 'u' ? 5 : 1;
    }
  }
  std::size_t size() const { return size_; }

 private:
  std::size_t size_ = 0;
};

// Stores the text in a small buffer that stays in the cache and appends it to
// the output string a chunk at a time: one append per chunk instead of one per
// piece, and each piece is a few plain stores after one bounds test.
class Writer {
 public:
  explicit Writer(std::string& out) : out_(out) {}
  Writer(const Writer&) = delete;
  Writer& operator=(const Writer&) = delete;
  ~Writer() { flush(); }

  // A literal's length is known at compile time, so this is one or two moves.
  template <std::size_t N>
  void lit(const char (&text)[N]) {
    room(N - 1);
    std::memcpy(p_, text, N - 1);
    p_ += N - 1;
  }
  void chr(char c) {
    room(1);
    *p_++ = c;
  }
  void spaces(std::size_t n) {
    while (n > 0) {
      room(1);
      const std::size_t part = std::min(n, static_cast<std::size_t>(end() - p_));
      std::memset(p_, ' ', part);
      p_ += part;
      n -= part;
    }
  }
  void number(std::uint16_t value) {
    room(5);
    char* stop = p_ + decimal_length(value);
    char* q = stop;
    do {
      *--q = static_cast<char>('0' + value % 10);
      value = static_cast<std::uint16_t>(value / 10);
    } while (value != 0);
    p_ = stop;
  }
  void text(std::string_view value) {
    if (!plain_text(value)) {
      chr('"');
      escaped(value);
      chr('"');
    } else if (value.size() + 2 <= kChunk) {
      room(value.size() + 2);
      *p_++ = '"';
      p_ = detail::copy_bytes(p_, value.data(), value.size());
      *p_++ = '"';
    } else {
      chr('"');
      flush();
      out_.append(value);
      chr('"');
    }
  }

  void raw(const char* bytes, std::size_t n) {
    if (n + 1 <= kChunk) {
      room(n);
      p_ = detail::copy_bytes(p_, bytes, n);
    } else {
      flush();
      out_.append(bytes, n);
    }
  }
  // A line break and the indent of `depth`, after or before one byte (a
  // bracket or a comma). Indents are short, so one copy from a row of spaces
  // does for nearly all of them.
  void line(char before, std::size_t depth) {
    const std::size_t n = 1 + 2 * depth;
    if (n < sizeof kBreak) {
      room(n + 1);
      *p_++ = before;
      p_ = detail::copy_bytes(p_, kBreak, n);
    } else {
      chr(before);
      chr('\n');
      spaces(2 * depth);
    }
  }
  void line(std::size_t depth, char after) {
    const std::size_t n = 1 + 2 * depth;
    if (n < sizeof kBreak) {
      room(n + 1);
      p_ = detail::copy_bytes(p_, kBreak, n);
      *p_++ = after;
    } else {
      chr('\n');
      spaces(2 * depth);
      chr(after);
    }
  }

  // Out of line, so that the test in room() is all that is inlined per piece.
  [[gnu::noinline]] void flush() {
    out_.append(buffer_, static_cast<std::size_t>(p_ - buffer_));
    p_ = buffer_;
  }

 private:
  static constexpr std::size_t kChunk = 8192;
  static constexpr char kBreak[] =
      "\n                                                               ";

  const char* end() const { return buffer_ + kChunk; }
  [[gnu::always_inline]] void room(std::size_t n) {
    if (static_cast<std::size_t>(end() - p_) < n) [[unlikely]]
      flush();
  }

  // Byte by byte, copying what needs no escape as it is.
  void escaped(std::string_view value) {
    for (char c : value) {
      const auto byte = static_cast<unsigned char>(c);
      const char escape = kJsonEscapes[byte];
      room(6);
      if (escape == 0) {
        *p_++ = c;
        continue;
      }
      *p_++ = '\\';
      *p_++ = escape;
      if (escape == 'u') {
        *p_++ = '0';
        *p_++ = '0';
        *p_++ = kHexDigits[byte >> 4];
        *p_++ = kHexDigits[byte & 0xF];
      }
    }
  }

  std::string& out_;
  char buffer_[kChunk];
  char* p_ = buffer_;
};

// The walk. Keys are written as `"name":`; in the pretty layout a space
// follows the colon and every entry starts on a line of its own.
// `"name":` for a function's variant (Field == kVariantName) or one of its
// fields, as a literal: its length is known where it is written.
inline constexpr std::size_t kVariantName = detail::kMaxArguments;

template <std::size_t Size>
struct KeyText {
  char text[Size + 1];  // NUL-terminated, as a string literal is
};

template <std::size_t I, std::size_t Field>
constexpr std::string_view key_name() {
  if constexpr (Field == kVariantName) {
    return detail::kFunctions[I].variant;
  } else {
    return detail::kFunctions[I].fields[Field];
  }
}

template <std::size_t I, std::size_t Field>
inline constexpr auto kKey = [] {
  constexpr std::string_view name = key_name<I, Field>();
  KeyText<name.size() + 3> key{};
  key.text[0] = '"';
  for (std::size_t c = 0; c < name.size(); ++c) key.text[c + 1] = name[c];
  key.text[name.size() + 1] = '"';
  key.text[name.size() + 2] = ':';
  return key;
}();

template <bool Pretty, class Out>
class JsonWalk {
 public:
  explicit JsonWalk(Out& out) : out_(out) {}

  void file(const BRIXQueryFile& file) {
    open('{');
    first();
    key(R"("version":)");
    out_.text(file.version);
    next();
    key(R"("requirements":)");
    list(file.requirements, [this](const BRIXRequirement& r) { requirement(r); });
    close('}');
  }

 private:
  // The compact layout has no line breaks, so the fixed text between two
  // values is one literal: the hot records are written as such runs, a few
  // stores each, instead of a bracket, a key and a comma at a time.
  void requirement(const BRIXRequirement& r) {
    if constexpr (!Pretty) {
      out_.lit(R"({"query":)");
      query(r.query);
      out_.lit(R"(,"description":)");
      out_.text(r.description);
      out_.lit(R"(,"priority":)");
      out_.number(r.priority);
      out_.chr('}');
      return;
    }
    open('{');
    first();
    key(R"("query":)");
    query(r.query);
    next();
    key(R"("description":)");
    out_.text(r.description);
    next();
    key(R"("priority":)");
    out_.number(r.priority);
    close('}');
  }

  void query(const BRIXQuery& q) {
    if constexpr (!Pretty) {
      out_.lit(R"({"quantity":)");
      quantity(q.quantity);
      if (q.type == QueryType::Select) {
        out_.lit(R"(,"type":"Select","selector":)");
      } else {
        out_.lit(R"(,"type":"Limit","selector":)");
      }
      list(q.selector, [this](const Selector& s) { selector(s); });
      out_.chr('}');
      return;
    }
    open('{');
    first();
    key(R"("quantity":)");
    quantity(q.quantity);
    next();
    key(R"("type":)");
    if (q.type == QueryType::Select) {
      out_.lit(R"("Select")");
    } else {
      out_.lit(R"("Limit")");
    }
    next();
    key(R"("selector":)");
    list(q.selector, [this](const Selector& s) { selector(s); });
    close('}');
  }

  void quantity(const Quantity& q) {
    if constexpr (!Pretty) {
      if (const auto* single = std::get_if<Quantity::Single>(&q.value)) {
        out_.lit(R"({"Single":)");
        out_.number(single->value);
        out_.chr('}');
      } else {
        const auto& many = *std::get_if<Quantity::Many>(&q.value);
        out_.lit(R"({"Many":{"from":)");
        out_.number(many.from);
        out_.lit(R"(,"to":)");
        out_.number(many.to);
        out_.lit("}}");
      }
      return;
    }
    open('{');
    first();
    if (const auto* single = std::get_if<Quantity::Single>(&q.value)) {
      key(R"("Single":)");
      out_.number(single->value);
    } else {
      const auto& many = *std::get_if<Quantity::Many>(&q.value);
      key(R"("Many":)");
      open('{');
      first();
      key(R"("from":)");
      out_.number(many.from);
      next();
      key(R"("to":)");
      out_.number(many.to);
      close('}');
    }
    close('}');
  }

  void course(const Class& c) {
    if constexpr (!Pretty) {
      out_.lit(R"({"department_id":)");
      out_.text(c.department_id);
      out_.lit(R"(,"course_number":)");
      out_.number(c.course_number);
      if (c.lab) {
        out_.lit(R"(,"lab":true})");
      } else {
        out_.lit(R"(,"lab":false})");
      }
      return;
    }
    open('{');
    first();
    key(R"("department_id":)");
    out_.text(c.department_id);
    next();
    key(R"("course_number":)");
    out_.number(c.course_number);
    next();
    key(R"("lab":)");
    if (c.lab) {
      out_.lit("true");
    } else {
      out_.lit("false");
    }
    close('}');
  }

  // A selector a function built: its variant's name, then its one field's
  // value or an object of its fields.
  template <class V>
  requires(detail::variant_index<V>() < detail::kFunctions.size()) void payload(const V& v) {
    constexpr std::size_t i = detail::variant_index<V>();
    constexpr std::size_t arity = detail::kFunctions[i].arity;
    key(kKey<i, kVariantName>.text);
    const auto fields = detail::arguments_of<arity>(v);
    if constexpr (arity == 1) {
      value(std::get<0>(fields));
    } else {
      open('{');
      named_fields<i>(fields, std::make_index_sequence<arity>{});
      close('}');
    }
  }
  template <std::size_t I, class Fields, std::size_t... K>
  void named_fields(const Fields& fields, std::index_sequence<K...>) {
    ((K == 0 ? first() : next(), key(kKey<I, K>.text), value(std::get<K>(fields))), ...);
  }
  void value(const Class& c) { course(c); }
  void value(const Text& t) { out_.text(t); }
  void payload(const Selector::Query& q) {
    key(R"("Query":)");
    query(*q.query);
  }

  // A selector is a one-key object naming its variant.
  void selector(const Selector& s) {
    if constexpr (!Pretty) {
      if (const auto* c = std::get_if<Class>(&s.value)) {
        out_.lit(R"({"Class":)");
        course(*c);
        out_.chr('}');
        return;
      }
    }
    open('{');
    first();
    std::visit([this](const auto& v) { this->payload(v); }, s.value);
    close('}');
  }

  template <class T, class WriteElement>
  void list(const std::vector<T>& elements, WriteElement write_element) {
    if (elements.empty()) {
      out_.lit("[]");
      return;
    }
    open('[');
    first();
    bool first_element = true;
    for (const T& element : elements) {
      if (!first_element) next();
      first_element = false;
      write_element(element);
    }
    close(']');
  }

  void open(char bracket) {
    out_.chr(bracket);
    ++depth_;
  }
  void close(char bracket) {
    --depth_;
    line_break();
    out_.chr(bracket);
  }
  void line_break() {
    if constexpr (Pretty) {
      out_.chr('\n');
      out_.spaces(2 * depth_);
    }
  }
  // Before the first entry of an object or array, and between entries.
  void first() { line_break(); }
  void next() {
    out_.chr(',');
    line_break();
  }
  // Keys are fixed and need no escaping.
  template <std::size_t N>
  void key(const char (&name)[N]) {
    out_.lit(name);
    if constexpr (Pretty) out_.chr(' ');
  }

  Out& out_;
  std::size_t depth_ = 0;
};

// The indented layout of a compact document, by the walk's rules: a line
// break and the depth's indent after an opening bracket and after a comma,
// and before a closing bracket; a space after a key's colon; an empty list
// stays "[]". A string ends at the first '"' that no backslash escapes.
enum class Token : std::uint8_t { Plain, Quote, Open, Close, Comma, Colon };

constexpr std::array<Token, 256> kTokens = [] {
  std::array<Token, 256> table{};
  table['"'] = Token::Quote;
  table['{'] = table['['] = Token::Open;
  table['}'] = table[']'] = Token::Close;
  table[','] = Token::Comma;
  table[':'] = Token::Colon;
  return table;
}();

// Just past the '"' that closes the string whose text starts at p, or `end`.
// Eight bytes are tested at a time for a quote or a backslash.
const char* string_end(const char* p, const char* const end) {
  for (;;) {
    if constexpr (std::endian::native == std::endian::little) {
      while (end - p >= 8) {
        std::uint64_t w;
        std::memcpy(&w, p, 8);
        const std::uint64_t found = bytes_equal(w, '"') | bytes_equal(w, '\\');
        if (found != 0) {
          p += std::countr_zero(found) / 8;
          break;
        }
        p += 8;
      }
    }
    while (p < end && *p != '"' && *p != '\\') ++p;
    if (p == end) return end;
    if (*p == '"') return p + 1;
    p += 2;  // an escape and the byte it escapes
    if (p >= end) return end;
  }
}

void indent(std::string_view compact, Writer& out) {
  const char* p = compact.data();
  const char* const end = p + compact.size();
  const auto token = [](char c) { return kTokens[static_cast<unsigned char>(c)]; };
  std::size_t depth = 0;
  while (p < end) {
    const char* const start = p;
    switch (token(*p)) {
      case Token::Plain:
        while (++p < end && token(*p) == Token::Plain) {
        }
        break;
      case Token::Quote:
        p = string_end(p + 1, end);
        break;
      case Token::Open:
        if (*p == '[' && p + 1 < end && p[1] == ']') {
          p += 2;
          break;
        }
        out.line(*p++, ++depth);
        continue;
      case Token::Close:
        if (depth > 0) --depth;
        out.line(depth, *p++);
        continue;
      case Token::Comma:
        out.line(*p++, depth);
        continue;
      case Token::Colon:
        out.raw(": ", 2);
        ++p;
        continue;
    }
    out.raw(start, static_cast<std::size_t>(p - start));
  }
}

template <bool Pretty>
void append(const BRIXQueryFile& file, std::string& out) {
  Writer writer(out);
  JsonWalk<Pretty, Writer>(writer).file(file);
}

}  // namespace

std::size_t detail::json_size(const BRIXQueryFile& file) {
  Counter counter;
  JsonWalk<false, Counter>(counter).file(file);
  return counter.size();
}

void write_json(const BRIXQueryFile& file, std::string& out) {
  append<false>(file, out);
}

void write_json_pretty(const BRIXQueryFile& file, std::string& out) {
  append<true>(file, out);
}

void indent_json(std::string_view compact, std::string& out) {
  // Nearly every document is between two and three times as long indented;
  // room reserved and not written is never touched.
  out.reserve(out.size() + 3 * compact.size());
  Writer writer(out);
  indent(compact, writer);
}

// Sized first: one allocation at the final size costs less than growing the
// string a doubling at a time, which copies the text again and touches fresh
// memory for every copy.
Result<std::string> ParseResult::to_string() const {
  std::string out;
  out.reserve(detail::json_size(parsed_brix_file));
  write_json(parsed_brix_file, out);
  return out;
}

Result<std::string> ParseResult::to_string_pretty() const {
  Counter counter;
  JsonWalk<true, Counter>(counter).file(parsed_brix_file);
  std::string out;
  out.reserve(counter.size());
  write_json_pretty(parsed_brix_file, out);
  return out;
}

}  // namespace brix
