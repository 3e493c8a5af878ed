// The one-line diagnostic text form of parse results and values: type and
// variant names with their fields, texts quoted with their own escapes.

#include <array>
#include <charconv>
#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>
#include <tuple>
#include <utility>
#include <variant>
#include <vector>

#include "brix/brix.hpp"
#include "model/unicode_properties.hpp"
#include "reader/functions.hpp"

namespace brix {
namespace {

// For each byte: 0 when copied as is, the character after the backslash for
// a short escape, 'u' for "\u{..}", and 'm' for the start or continuation of
// a multi-byte character, which is decoded and judged separately.
constexpr std::array<char, 256> kEscapes = [] {
  std::array<char, 256> table{};
  for (std::size_t c = 0; c < 0x20; ++c) table[c] = 'u';
  table[0x7F] = 'u';
  table['\0'] = '0';
  table['\t'] = 't';
  table['\r'] = 'r';
  table['\n'] = 'n';
  table['"'] = '"';
  table['\\'] = '\\';
  for (std::size_t c = 0x80; c < 0x100; ++c) table[c] = 'm';
  return table;
}();

constexpr char32_t kReplacement = 0xFFFD;

// Decodes the character starting at p. Malformed input decodes to U+FFFD and
// consumes one byte.
char32_t decode_utf8(const unsigned char* p, const unsigned char* end, std::size_t& length) {
  const unsigned char lead = *p;
  std::size_t n = 0;
  char32_t c = 0;
  char32_t min = 0;
  if ((lead & 0xE0) == 0xC0) {
    n = 2, c = lead & 0x1Fu, min = 0x80;
  } else if ((lead & 0xF0) == 0xE0) {
    n = 3, c = lead & 0x0Fu, min = 0x800;
  } else if ((lead & 0xF8) == 0xF0) {
    n = 4, c = lead & 0x07u, min = 0x10000;
  }
  length = 1;
  if (n == 0 || static_cast<std::size_t>(end - p) < n) return kReplacement;
  for (std::size_t k = 1; k < n; ++k) {
    if ((p[k] & 0xC0) != 0x80) return kReplacement;
    c = (c << 6) | (p[k] & 0x3Fu);
  }
  if (c < min || c > 0x10FFFF || (c >= 0xD800 && c <= 0xDFFF)) return kReplacement;
  length = n;
  return c;
}

// Counts what DiagnosticWriter would write, so that the text's string is
// allocated once at its size: a large file's text grown a doubling at a time
// touches nearly twice its size in fresh memory and copies it all again.
class Tally {
 public:
  Tally& operator+=(char) {
    ++size_;
    return *this;
  }
  Tally& operator+=(std::string_view text) {
    size_ += text.size();
    return *this;
  }
  void append(const char*, std::size_t n) { size_ += n; }
  std::size_t size() const { return size_; }

 private:
  std::size_t size_ = 0;
};

template <class Out>
class DiagnosticWriter {
 public:
  explicit DiagnosticWriter(Out& out) : out_(out) {}

  void parse_result(const ParseResult& result) {
    out_ += "ParseResult { parsed_brix_file: ";
    file(result.parsed_brix_file);
    out_ += " }";
  }

  void var_value(const VarValue& value) {
    std::visit([this](const auto& v) { this->var_payload(v); }, value.value);
  }

 private:
  void file(const BRIXQueryFile& file) {
    out_ += "BRIXQueryFile { version: ";
    text(file.version);
    out_ += ", requirements: ";
    list(file.requirements, [this](const BRIXRequirement& r) { requirement(r); });
    out_ += " }";
  }

  void requirement(const BRIXRequirement& r) {
    out_ += "BRIXRequirement { query: ";
    query(r.query);
    out_ += ", description: ";
    text(r.description);
    out_ += ", priority: ";
    number(r.priority);
    out_ += " }";
  }

  void query(const BRIXQuery& q) {
    out_ += "BRIXQuery { quantity: ";
    quantity(q.quantity);
    out_ +=
        q.type == QueryType::Select ? ", type: Select, selector: " : ", type: Limit, selector: ";
    selectors(q.selector);
    out_ += " }";
  }

  void quantity(const Quantity& q) {
    if (const auto* single = std::get_if<Quantity::Single>(&q.value)) {
      out_ += "Single(";
      number(single->value);
      out_ += ')';
    } else {
      const auto& many = std::get<Quantity::Many>(q.value);
      out_ += "Many { from: ";
      number(many.from);
      out_ += ", to: ";
      number(many.to);
      out_ += " }";
    }
  }

  void course(const Class& c) {
    out_ += "Class { department_id: ";
    text(c.department_id);
    out_ += ", course_number: ";
    number(c.course_number);
    out_ += c.lab ? ", lab: true }" : ", lab: false }";
  }

  void selector(const Selector& s) {
    std::visit([this](const auto& v) { this->payload(v); }, s.value);
  }
  void selectors(const std::vector<Selector>& list_of) {
    list(list_of, [this](const Selector& s) { selector(s); });
  }

  // A selector a function built: its variant's name, then its one field in
  // parentheses or its named fields in braces.
  template <class V>
  requires(detail::variant_index<V>() < detail::kFunctions.size()) void payload(const V& v) {
    constexpr detail::FunctionRow row = detail::kFunctions[detail::variant_index<V>()];
    out_ += row.variant;
    const auto fields = detail::arguments_of<row.arity>(v);
    if constexpr (row.arity == 1) {
      out_ += '(';
      value(std::get<0>(fields));
      out_ += ')';
    } else {
      named_fields(row, fields, std::make_index_sequence<row.arity>{});
      out_ += " }";
    }
  }
  template <class Fields, std::size_t... K>
  void named_fields(const detail::FunctionRow& row, const Fields& fields,
                    std::index_sequence<K...>) {
    ((out_ += K == 0 ? " { " : ", ", out_ += row.fields[K], out_ += ": ",
      value(std::get<K>(fields))),
     ...);
  }
  void value(const Class& c) { course(c); }
  void value(const Text& t) { text(t); }
  void payload(const Selector::Query& q) {
    out_ += "Query(";
    query(*q.query);
    out_ += ')';
  }

  void var_payload(const VarValue::SelectorList& list_value) {
    out_ += "SelectorList(";
    selectors(list_value.selectors);
    out_ += ')';
  }
  void var_payload(const Selector& s) {
    out_ += "Selector(";
    selector(s);
    out_ += ')';
  }
  void var_payload(const Quantity& q) {
    out_ += "Quantity(";
    quantity(q);
    out_ += ')';
  }
  void var_payload(const VarValue::String& s) { unnamed("String(", s.value); }
  void var_payload(const Class& c) { payload(c); }

  void unnamed(std::string_view open, std::string_view value) {
    out_ += open;
    text(value);
    out_ += ')';
  }

  template <class T, class WriteElement>
  void list(const std::vector<T>& elements, WriteElement write_element) {
    out_ += '[';
    bool first = true;
    for (const T& element : elements) {
      if (!first) out_ += ", ";
      first = false;
      write_element(element);
    }
    out_ += ']';
  }

  void number(std::uint16_t value) {
    char digits[5];
    const auto result = std::to_chars(digits, digits + sizeof digits, value);
    out_.append(digits, static_cast<std::size_t>(result.ptr - digits));
  }

  void code_point_escape(char32_t c) {
    char digits[8];
    const auto result =
        std::to_chars(digits, digits + sizeof digits, static_cast<std::uint32_t>(c), 16);
    out_ += "\\u{";
    out_.append(digits, static_cast<std::size_t>(result.ptr - digits));
    out_ += '}';
  }

  // Copies runs of plain ASCII in one append each; escapes the rest.
  void text(std::string_view value) {
    out_ += '"';
    const auto* p = reinterpret_cast<const unsigned char*>(value.data());
    const auto* const end = p + value.size();
    const auto* run = p;
    while (p != end) {
      const char escape = kEscapes[*p];
      if (escape == 0) {
        ++p;
        continue;
      }
      out_.append(reinterpret_cast<const char*>(run), static_cast<std::size_t>(p - run));
      std::size_t length = 1;
      if (escape == 'm') {
        const char32_t c = decode_utf8(p, end, length);
        if (c == kReplacement && length == 1) {
          out_ += "\xEF\xBF\xBD";
        } else if (!detail::is_printable(c) || detail::is_grapheme_extend(c)) {
          code_point_escape(c);
        } else {
          out_.append(reinterpret_cast<const char*>(p), length);
        }
      } else if (escape == 'u') {
        code_point_escape(*p);
      } else {
        out_ += '\\';
        out_ += escape;
      }
      p += length;
      run = p;
    }
    out_.append(reinterpret_cast<const char*>(run), static_cast<std::size_t>(p - run));
    out_ += '"';
  }

  Out& out_;
};

}  // namespace

std::string diagnostic_text(const ParseResult& result) {
  Tally tally;
  DiagnosticWriter<Tally>(tally).parse_result(result);
  std::string out;
  out.reserve(tally.size());
  DiagnosticWriter<std::string>(out).parse_result(result);
  return out;
}

std::string diagnostic_text(const VarValue& value) {
  std::string out;
  out.reserve(128);
  DiagnosticWriter<std::string>(out).var_value(value);
  return out;
}

}  // namespace brix
