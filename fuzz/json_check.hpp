// Independent checks of the encoders for the fuzz targets: a small JSON reader
// that keeps key order, and a writer of the diagnostic text built from the
// JSON values. A result's JSON must read back and give the same diagnostic
// text as the library writes from the document itself (the sinks target
// checks the layouts against each other); that text shows every field, name and value in order, so
// the JSON can hold nothing more, less or other than the document. Error reports are checked
// against the input: their offsets, line and column, and the rendered text.
#pragma once

#include <algorithm>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

#include "brix/brix.hpp"

namespace brix::fuzz {

[[noreturn]] inline void fail(const char* what) {
  std::fprintf(stderr, "fuzz check failed: %s\n", what);
  std::abort();
}
inline void check(bool ok, const char* what) {
  if (!ok) fail(what);
}

inline int hex_digit(char c) {
  if (c >= '0' && c <= '9') return c - '0';
  if (c >= 'a' && c <= 'f') return c - 'a' + 10;
  if (c >= 'A' && c <= 'F') return c - 'A' + 10;
  return -1;
}

// JSON's two-character escapes: the letter after the backslash, and the
// character it stands for at the same index.
constexpr std::string_view kJsonEscapeLetters = "\"\\/bfnrt";
constexpr std::string_view kJsonEscaped = "\"\\/\b\f\n\r\t";

struct Json {
  enum class Kind { Bool, Number, String, Array, Object } kind = Kind::Bool;
  bool boolean = false;
  std::uint64_t number = 0;
  std::string text;
  std::vector<Json> items;
  // Object members in order; two vectors because a pair of an incomplete
  // type cannot be a vector element.
  std::vector<std::string> keys;
  std::vector<Json> values;

  const Json& at(std::string_view key) const {
    for (std::size_t i = 0; i < keys.size(); ++i)
      if (keys[i] == key) return values[i];
    fail("missing key");
  }
};

class JsonReader {
 public:
  explicit JsonReader(std::string_view s) : s_(s) {}
  std::optional<Json> read_document() {
    auto v = value(0);
    skip_ws();
    if (!v || i_ != s_.size()) return std::nullopt;
    return v;
  }

 private:
  void skip_ws() {
    while (i_ < s_.size() && (s_[i_] == ' ' || s_[i_] == '\n' || s_[i_] == '\t' || s_[i_] == '\r'))
      ++i_;
  }
  bool eat(char c) {
    skip_ws();
    if (i_ < s_.size() && s_[i_] == c) {
      ++i_;
      return true;
    }
    return false;
  }
  std::optional<std::string> string() {
    if (!eat('"')) return std::nullopt;
    std::string out;
    while (i_ < s_.size()) {
      char c = s_[i_++];
      if (c == '"') return out;
      if (static_cast<unsigned char>(c) < 0x20) return std::nullopt;
      if (c != '\\') {
        out += c;
        continue;
      }
      if (i_ >= s_.size()) return std::nullopt;
      char e = s_[i_++];
      if (std::size_t k = kJsonEscapeLetters.find(e); k != std::string_view::npos) {
        out += kJsonEscaped[k];
        continue;
      }
      if (e != 'u' || i_ + 4 > s_.size()) return std::nullopt;
      int v = 0;
      for (int k = 0; k < 4; ++k) {
        int h = hex_digit(s_[i_++]);
        if (h < 0) return std::nullopt;
        v = v * 16 + h;
      }
      // The encoder only escapes control bytes this way.
      if (v >= 0x20) return std::nullopt;
      out += static_cast<char>(v);
    }
    return std::nullopt;
  }
  std::optional<Json> value(int depth) {
    if (depth > 2000) return std::nullopt;
    skip_ws();
    if (i_ >= s_.size()) return std::nullopt;
    Json v;
    char c = s_[i_];
    if (c == '{') {
      ++i_;
      v.kind = Json::Kind::Object;
      if (eat('}')) return v;
      do {
        auto k = string();
        if (!k || !eat(':')) return std::nullopt;
        auto m = value(depth + 1);
        if (!m) return std::nullopt;
        v.keys.push_back(std::move(*k));
        v.values.push_back(std::move(*m));
      } while (eat(','));
      if (!eat('}')) return std::nullopt;
    } else if (c == '[') {
      ++i_;
      v.kind = Json::Kind::Array;
      if (eat(']')) return v;
      do {
        auto m = value(depth + 1);
        if (!m) return std::nullopt;
        v.items.push_back(std::move(*m));
      } while (eat(','));
      if (!eat(']')) return std::nullopt;
    } else if (c == '"') {
      auto s = string();
      if (!s) return std::nullopt;
      v.kind = Json::Kind::String;
      v.text = std::move(*s);
    } else if (s_.substr(i_, 4) == "true" || s_.substr(i_, 5) == "false") {
      v.kind = Json::Kind::Bool;
      v.boolean = c == 't';
      i_ += v.boolean ? 4 : 5;
    } else if (c >= '0' && c <= '9') {
      v.kind = Json::Kind::Number;
      if (c == '0' && i_ + 1 < s_.size() && s_[i_ + 1] >= '0' && s_[i_ + 1] <= '9')
        return std::nullopt;
      while (i_ < s_.size() && s_[i_] >= '0' && s_[i_] <= '9') {
        v.number = v.number * 10 + static_cast<std::uint64_t>(s_[i_++] - '0');
        if (v.number > 65535) return std::nullopt;
      }
    } else {
      return std::nullopt;
    }
    return v;
  }

  std::string_view s_;
  std::size_t i_ = 0;
};

inline const Json& only(const Json& v, std::string& key) {
  check(v.kind == Json::Kind::Object && v.keys.size() == 1, "variant object expected");
  key = v.keys[0];
  return v.values[0];
}

// Diagnostic text, written from the JSON values. Texts are escaped by the
// library (its Unicode tables decide what is printable); the escape itself is
// checked to be lossless and, for ASCII, exactly as the text form lays down.

inline void append_utf8(std::string& out, std::uint32_t c) {
  if (c < 0x80) {
    out += static_cast<char>(c);
  } else if (c < 0x800) {
    out += static_cast<char>(0xC0 | (c >> 6));
    out += static_cast<char>(0x80 | (c & 0x3F));
  } else if (c < 0x10000) {
    out += static_cast<char>(0xE0 | (c >> 12));
    out += static_cast<char>(0x80 | ((c >> 6) & 0x3F));
    out += static_cast<char>(0x80 | (c & 0x3F));
  } else {
    out += static_cast<char>(0xF0 | (c >> 18));
    out += static_cast<char>(0x80 | ((c >> 12) & 0x3F));
    out += static_cast<char>(0x80 | ((c >> 6) & 0x3F));
    out += static_cast<char>(0x80 | (c & 0x3F));
  }
}

// The text form's two-character escapes, as for JSON above.
constexpr std::string_view kTextEscapeLetters = "trn0\"\\";
constexpr std::string_view kTextEscaped("\t\r\n\0\"\\", 6);

// Undoes the text form's escapes; nothing if an escape is malformed or an
// ASCII character is escaped other than as the text form demands.
inline std::optional<std::string> unescape_text(std::string_view quoted) {
  if (quoted.size() < 2 || quoted.front() != '"' || quoted.back() != '"') return std::nullopt;
  std::string_view s = quoted.substr(1, quoted.size() - 2);
  std::string out;
  for (std::size_t i = 0; i < s.size(); ++i) {
    auto c = static_cast<unsigned char>(s[i]);
    if (c == '"' || c < 0x20 || c == 0x7F) return std::nullopt;  // must have been escaped
    if (c != '\\') {
      out += static_cast<char>(c);
      continue;
    }
    if (++i >= s.size()) return std::nullopt;
    if (std::size_t k = kTextEscapeLetters.find(s[i]); k != std::string_view::npos) {
      out += kTextEscaped[k];
      continue;
    }
    // \u{...}: one to six lowercase hex digits without leading zeros.
    if (s[i] != 'u' || ++i >= s.size() || s[i] != '{') return std::nullopt;
    std::uint32_t v = 0;
    std::size_t digits = 0;
    int h = 0;
    while (++i < s.size() && (h = hex_digit(s[i])) >= 0 && !(h >= 10 && s[i] < 'a')) {
      if (digits == 0 && h == 0 && i + 1 < s.size() && s[i + 1] != '}') return std::nullopt;
      v = v * 16 + static_cast<std::uint32_t>(h);
      if (++digits > 6) return std::nullopt;
    }
    if (i >= s.size() || s[i] != '}' || digits == 0 || v > 0x10FFFF) return std::nullopt;
    // Surrogates are no characters; characters with an escape of their own
    // and printable ASCII are never written this way.
    if ((v >= 0xD800 && v <= 0xDFFF) || v == '\t' || v == '\r' || v == '\n' || v == 0 ||
        (v >= 0x20 && v < 0x7F)) {
      return std::nullopt;
    }
    append_utf8(out, v);
  }
  return out;
}

// The library's text form of one text, checked to read back to the text.
inline std::string text_form(const std::string& value) {
  std::string wrapped = diagnostic_text(VarValue{VarValue::String{value}});
  check(wrapped.size() >= 10 && wrapped.compare(0, 7, "String(") == 0 && wrapped.back() == ')',
        "text form of a String value");
  std::string quoted = wrapped.substr(7, wrapped.size() - 8);
  std::optional<std::string> back = unescape_text(quoted);
  check(back.has_value(), "text form escapes are well formed");
  check(*back == value, "text form escapes read back to the text");
  return quoted;
}

// The diagnostic text of a JSON value, by the text form's rules: an object
// whose first key names its type is "Type { key: value, ... }"; any other
// object is a variant, {"Name": payload}, written "Name(payload)", or
// "Name { key: value, ... }" when the payload is an object of no named type.
// Texts are quoted, except the query's type.
struct NamedType {
  std::string_view first_key;
  std::string_view name;
};
constexpr NamedType kNamedTypes[] = {{"department_id", "Class"},
                                     {"quantity", "BRIXQuery"},
                                     {"query", "BRIXRequirement"},
                                     {"version", "BRIXQueryFile"}};

inline std::string_view type_name(const Json& v) {
  if (v.kind != Json::Kind::Object || v.keys.empty()) return {};
  for (const NamedType& type : kNamedTypes)
    if (v.keys[0] == type.first_key) return type.name;
  return {};
}

std::string form(const Json& v, std::string_view key = {});

inline std::string fields_form(const Json& v) {
  std::string out = "{ ";
  for (std::size_t i = 0; i < v.keys.size(); ++i)
    out += (i ? ", " : "") + v.keys[i] + ": " + form(v.values[i], v.keys[i]);
  return out + " }";
}

inline std::string form(const Json& v, std::string_view key) {
  switch (v.kind) {
    case Json::Kind::Bool:
      return v.boolean ? "true" : "false";
    case Json::Kind::Number:
      return std::to_string(v.number);
    case Json::Kind::String:
      return key == "type" ? v.text : text_form(v.text);
    case Json::Kind::Array: {
      std::string out = "[";
      for (std::size_t i = 0; i < v.items.size(); ++i) out += (i ? ", " : "") + form(v.items[i]);
      return out + "]";
    }
    case Json::Kind::Object:
      break;
  }
  if (std::string_view type = type_name(v); !type.empty()) {
    return std::string(type) + " " + fields_form(v);
  }
  std::string name;
  const Json& payload = only(v, name);
  if (payload.kind == Json::Kind::Object && type_name(payload).empty()) {
    return name + " " + fields_form(payload);
  }
  return name + "(" + form(payload) + ")";
}

// Documents longer than this are read back only by the byte comparisons:
// they arise from copies of variables, which repeat pieces that shorter
// documents check in full, and reading megabytes into the generic JSON tree
// takes the oracle seconds under the sanitizers.
inline constexpr std::size_t kLongestReadBack = std::size_t{1} << 20;

// Every property a successful parse must have; returns the JSON as read (or
// nothing, for a document too long to read back).
inline Json check_result(const ParseResult& result) {
  auto compact = result.to_string();
  check(compact.ok() && result.to_string_pretty().ok(), "encoders never fail");
  if (compact->size() > kLongestReadBack) return Json{};
  auto doc = JsonReader(*compact).read_document();
  check(doc.has_value(), "compact JSON is valid");
  check("ParseResult { parsed_brix_file: " + form(*doc) + " }" == diagnostic_text(result),
        "diagnostic text agrees with JSON");
  return std::move(*doc);
}

// A value checked through a one-requirement document that holds it: the
// document's encodings must agree, and the value's diagnostic text must be
// what its part of the JSON gives.
inline void check_value(const VarValue& value) {
  BRIXQuery query{Quantity{Quantity::Single{1}}, QueryType::Select, {}};
  std::string description;
  if (const auto* list = std::get_if<VarValue::SelectorList>(&value.value)) {
    query.selector = list->selectors;
  } else if (const auto* selector = std::get_if<Selector>(&value.value)) {
    query.selector.push_back(*selector);
  } else if (const auto* course = std::get_if<Class>(&value.value)) {
    query.selector.push_back(Selector{*course});
  } else if (const auto* quantity = std::get_if<Quantity>(&value.value)) {
    query.quantity = *quantity;
  } else {
    description = std::get<VarValue::String>(value.value).value;
  }
  ParseResult holder;
  holder.parsed_brix_file.requirements.push_back(
      BRIXRequirement{std::move(query), std::move(description), 1});
  Json doc = check_result(holder);
  const Json& requirement = doc.at("requirements").items.at(0);
  const Json& selectors = requirement.at("query").at("selector");

  // The value kinds in their variant order, and the part of the JSON that
  // holds the value (the only selector, for a selector or a course).
  constexpr std::string_view kKinds[] = {"SelectorList", "Selector", "Quantity", "String", "Class"};
  const std::size_t kind = value.value.index();
  const Json& part = kind == 0   ? selectors
                     : kind == 2 ? requirement.at("query").at("quantity")
                     : kind == 3 ? requirement.at("description")
                                 : selectors.items.at(0);
  std::string expected = std::string(kKinds[kind]) + "(";
  expected += kind == 4 ? form(part.values.at(0)) : form(part);
  expected += ")";
  check(diagnostic_text(value) == expected, "value's diagnostic text agrees with JSON");
}

// Line and column of an offset, counted independently of the library: a line
// feed, or a carriage return with a line feed, ends a line; columns count
// characters.
inline LineCol line_col_of(std::string_view input, std::size_t offset) {
  LineCol at{1, 1};
  std::size_t i = 0;
  while (i < offset) {
    auto c = static_cast<unsigned char>(input[i]);
    if (c == '\n' || (c == '\r' && i + 1 < input.size() && input[i + 1] == '\n')) {
      i += c == '\r' ? 2 : 1;
      ++at.line;
      at.column = 1;
      continue;
    }
    i += c < 0x80 ? 1 : c < 0xE0 ? 2 : c < 0xF0 ? 3 : 4;
    ++at.column;
  }
  return at;
}

inline bool is_boundary(std::string_view input, std::size_t offset) {
  return offset == input.size() ||
         (offset < input.size() && (static_cast<unsigned char>(input[offset]) & 0xC0) != 0x80);
}

inline bool valid_utf8(std::string_view s) {
  std::size_t i = 0;
  while (i < s.size()) {
    auto c = static_cast<unsigned char>(s[i]);
    std::size_t n = c < 0x80 ? 1 : (c >> 5) == 6 ? 2 : (c >> 4) == 14 ? 3 : (c >> 3) == 30 ? 4 : 0;
    if (n == 0 || i + n > s.size()) return false;
    for (std::size_t k = 1; k < n; ++k)
      if ((static_cast<unsigned char>(s[i + k]) & 0xC0) != 0x80) return false;
    i += n;
  }
  return true;
}

// Every property a failure must have: a non-empty chain whose text is valid
// UTF-8 without a trailing line break; a report that located in `input` lies
// on character boundaries inside it, with the line and column that the text
// gives, and renders them on its arrow line. `input` is empty when the report
// may concern another text (an extern value's own text).
inline void check_error(const ErrorChain& error, std::optional<std::string_view> input) {
  check(!error.entries().empty(), "chain has an entry");
  std::string textform = error.to_string();
  check(!textform.empty(), "error text is not empty");
  check(textform.back() != '\n', "error text has no trailing line break");
  check(valid_utf8(textform), "error text is valid UTF-8");
  for (const ErrorChain::Entry& entry : error.entries()) {
    const Error* report = std::get_if<Error>(&entry);
    if (!report) continue;
    check(!std::holds_alternative<ParsingError>(report->variant()),
          "reports leave the library with display names");
    std::string rendered = report->to_string();
    std::size_t spaces = rendered.find_first_not_of(' ');
    check(spaces >= 1 && rendered.compare(spaces, 4, "--> ") == 0, "report starts with the arrow");
    if (!input) continue;
    const InputLocation& where = report->location();
    const LineColLocation& lc = report->line_col();
    check(where.start <= input->size() && is_boundary(*input, where.start),
          "report starts on a character boundary");
    LineCol start = line_col_of(*input, where.start);
    check(lc.start.line == start.line && lc.start.column == start.column,
          "report's line and column");
    if (where.end) {
      check(*where.end >= where.start && *where.end <= input->size() &&
                is_boundary(*input, *where.end),
            "report ends on a character boundary after its start");
    }
    std::string arrow =
        "--> " + std::to_string(start.line) + ":" + std::to_string(start.column) + "\n";
    check(rendered.compare(spaces, arrow.size(), arrow) == 0, "arrow line shows line and column");
  }
}

// The one-pass JSON path against the model path: the same bytes appended
// after what `out` held, or the same error with `out` left as it was.
}  // namespace brix::fuzz
