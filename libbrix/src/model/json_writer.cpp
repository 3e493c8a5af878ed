// The JSON requirements document. One streaming writer serves both layouts:
// `Pretty` only decides whether line breaks, indentation and the space after
// a colon are written, so the two texts cannot drift apart structurally.

#include <array>
#include <charconv>
#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>
#include <variant>
#include <vector>

#include "brix/brix.hpp"

namespace brix {
namespace {

// For each byte: 0 when it is copied as is, otherwise the character that
// follows the backslash in its escape ('u' for the "\u00XX" form).
constexpr std::array<char, 256> kEscapes = [] {
  std::array<char, 256> table{};
  for (std::size_t c = 0; c < 0x20; ++c) table[c] = 'u';
  table['\b'] = 'b';
  table['\t'] = 't';
  table['\n'] = 'n';
  table['\f'] = 'f';
  table['\r'] = 'r';
  table['"'] = '"';
  table['\\'] = '\\';
  return table;
}();

constexpr char kHexDigits[] = "0123456789abcdef";

template <bool Pretty>
class JsonWriter {
 public:
  explicit JsonWriter(std::string& out) : out_(out) {}

  void file(const BRIXQueryFile& file) {
    open('{');
    first_key(R"(,"version":)");
    text(file.version);
    next_key(R"(,"requirements":)");
    list(file.requirements, [this](const BRIXRequirement& r) { requirement(r); });
    close('}');
  }

 private:
  void requirement(const BRIXRequirement& r) {
    open('{');
    first_key(R"(,"query":)");
    query(r.query);
    next_key(R"(,"description":)");
    text(r.description);
    next_key(R"(,"priority":)");
    number(r.priority);
    close('}');
  }

  void query(const BRIXQuery& q) {
    open('{');
    first_key(R"(,"quantity":)");
    quantity(q.quantity);
    next_key(R"(,"type":)");
    literal(q.type == QueryType::Select ? std::string_view(R"("Select")")
                                        : std::string_view(R"("Limit")"));
    next_key(R"(,"selector":)");
    list(q.selector, [this](const Selector& s) { selector(s); });
    close('}');
  }

  void quantity(const Quantity& q) {
    open('{');
    if (const auto* single = std::get_if<Quantity::Single>(&q.value)) {
      first_key(R"(,"Single":)");
      number(single->value);
    } else {
      const auto& many = std::get<Quantity::Many>(q.value);
      first_key(R"(,"Many":)");
      open('{');
      first_key(R"(,"from":)");
      number(many.from);
      next_key(R"(,"to":)");
      number(many.to);
      close('}');
    }
    close('}');
  }

  void course(const Class& c) {
    open('{');
    first_key(R"(,"department_id":)");
    text(c.department_id);
    next_key(R"(,"course_number":)");
    number(c.course_number);
    next_key(R"(,"lab":)");
    literal(c.lab ? std::string_view("true") : std::string_view("false"));
    close('}');
  }

  void range_ends(const Class& from, const Class& to) {
    first_key(R"(,"from":)");
    course(from);
    next_key(R"(,"to":)");
    course(to);
  }

  void payload(const Class& c) {
    first_key(R"(,"Class":)");
    course(c);
  }
  void payload(const Selector::Placement& p) {
    first_key(R"(,"Placement":)");
    text(p.value);
  }
  void payload(const Selector::Tag& t) {
    first_key(R"(,"Tag":)");
    text(t.value);
  }
  void payload(const Selector::TagCode& t) {
    first_key(R"(,"TagCode":)");
    open('{');
    first_key(R"(,"tag":)");
    text(t.tag);
    next_key(R"(,"code":)");
    text(t.code);
    close('}');
  }
  void payload(const Selector::Dist& d) {
    first_key(R"(,"Dist":)");
    text(d.value);
  }
  void payload(const Selector::DistCode& d) {
    first_key(R"(,"DistCode":)");
    open('{');
    first_key(R"(,"dist":)");
    text(d.dist);
    next_key(R"(,"code":)");
    text(d.code);
    close('}');
  }
  void payload(const Selector::Range& r) {
    first_key(R"(,"Range":)");
    open('{');
    range_ends(r.from, r.to);
    close('}');
  }
  void payload(const Selector::RangeDist& r) {
    first_key(R"(,"RangeDist":)");
    open('{');
    range_ends(r.from, r.to);
    next_key(R"(,"dist":)");
    text(r.dist);
    close('}');
  }
  void payload(const Selector::RangeTag& r) {
    first_key(R"(,"RangeTag":)");
    open('{');
    range_ends(r.from, r.to);
    next_key(R"(,"tag":)");
    text(r.tag);
    close('}');
  }
  void payload(const Selector::Query& q) {
    first_key(R"(,"Query":)");
    query(*q.query);
  }

  // A selector is a one-key object naming its variant.
  void selector(const Selector& s) {
    open('{');
    std::visit([this](const auto& v) { this->payload(v); }, s.value);
    close('}');
  }

  template <class T, class WriteElement>
  void list(const std::vector<T>& elements, WriteElement write_element) {
    if (elements.empty()) {
      out_.append("[]", 2);
      return;
    }
    open('[');
    bool first = true;
    for (const T& element : elements) {
      if (first) {
        first = false;
        line_break();
      } else {
        comma();
      }
      write_element(element);
    }
    close(']');
  }

  void open(char bracket) {
    out_.push_back(bracket);
    ++depth_;
  }
  void close(char bracket) {
    --depth_;
    line_break();
    out_.push_back(bracket);
  }
  void line_break() {
    if constexpr (Pretty) {
      out_.push_back('\n');
      out_.append(2 * depth_, ' ');
    }
  }
  void comma() {
    out_.push_back(',');
    line_break();
  }

  // `key` is written as `,"name":`, the compact text that follows an earlier
  // entry, so the compact layout needs one append per key; the other forms
  // are slices of it. Keys are fixed and need no escaping.
  void first_key(std::string_view key) {
    if constexpr (Pretty) {
      line_break();
      pretty_key(key);
    } else {
      out_.append(key.substr(1));
    }
  }
  void next_key(std::string_view key) {
    if constexpr (Pretty) {
      comma();
      pretty_key(key);
    } else {
      out_.append(key);
    }
  }
  void pretty_key(std::string_view key) {
    out_.append(key.substr(1));
    out_.push_back(' ');
  }

  void literal(std::string_view text) { out_.append(text); }

  void number(std::uint16_t value) {
    char digits[5];
    const auto result = std::to_chars(digits, digits + sizeof digits, value);
    out_.append(digits, static_cast<std::size_t>(result.ptr - digits));
  }

  // Copies runs of bytes that need no escape in one append each.
  void text(std::string_view value) {
    out_.push_back('"');
    const char* run = value.data();
    const char* const end = run + value.size();
    for (const char* p = run; p != end; ++p) {
      const auto byte = static_cast<unsigned char>(*p);
      const char escape = kEscapes[byte];
      if (escape == 0) [[likely]]
        continue;
      out_.append(run, p);
      if (escape == 'u') {
        const char unicode[6] = {
            '\\', 'u', '0', '0', kHexDigits[byte >> 4], kHexDigits[byte & 0xF]};
        out_.append(unicode, sizeof unicode);
      } else {
        const char pair[2] = {'\\', escape};
        out_.append(pair, sizeof pair);
      }
      run = p + 1;
    }
    out_.append(run, end);
    out_.push_back('"');
  }

  std::string& out_;
  std::size_t depth_ = 0;
};

}  // namespace

void write_json(const BRIXQueryFile& file, std::string& out) {
  JsonWriter<false>(out).file(file);
}

void write_json_pretty(const BRIXQueryFile& file, std::string& out) {
  JsonWriter<true>(out).file(file);
}

Result<std::string> ParseResult::to_string() const {
  std::string out;
  out.reserve(128);
  write_json(parsed_brix_file, out);
  return out;
}

Result<std::string> ParseResult::to_string_pretty() const {
  std::string out;
  out.reserve(128);
  write_json_pretty(parsed_brix_file, out);
  return out;
}

}  // namespace brix
