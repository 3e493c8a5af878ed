// Independent checks of the encoders for the fuzz targets: a small JSON reader
// that keeps key order, a writer for both layouts built from the reader's
// values, and a decoder back into the data model. A result's JSON must read
// back, re-render to the same bytes in both layouts, and decode to a document
// whose diagnostic text equals the original's.
#pragma once

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

struct Json {
  enum class Kind { Null, Bool, Number, String, Array, Object } kind = Kind::Null;
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
  static int hex(char c) {
    if (c >= '0' && c <= '9') return c - '0';
    if (c >= 'a' && c <= 'f') return c - 'a' + 10;
    if (c >= 'A' && c <= 'F') return c - 'A' + 10;
    return -1;
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
      switch (e) {
        case '"':
          out += '"';
          break;
        case '\\':
          out += '\\';
          break;
        case '/':
          out += '/';
          break;
        case 'b':
          out += '\b';
          break;
        case 'f':
          out += '\f';
          break;
        case 'n':
          out += '\n';
          break;
        case 'r':
          out += '\r';
          break;
        case 't':
          out += '\t';
          break;
        case 'u': {
          if (i_ + 4 > s_.size()) return std::nullopt;
          int v = 0;
          for (int k = 0; k < 4; ++k) {
            int h = hex(s_[i_++]);
            if (h < 0) return std::nullopt;
            v = v * 16 + h;
          }
          // The encoder only escapes control bytes this way.
          if (v >= 0x20) return std::nullopt;
          out += static_cast<char>(v);
          break;
        }
        default:
          return std::nullopt;
      }
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

inline void write_string(std::string& out, const std::string& s) {
  static const char* hexdigits = "0123456789abcdef";
  out += '"';
  for (char ch : s) {
    auto c = static_cast<unsigned char>(ch);
    switch (c) {
      case '"':
        out += "\\\"";
        break;
      case '\\':
        out += "\\\\";
        break;
      case '\b':
        out += "\\b";
        break;
      case '\t':
        out += "\\t";
        break;
      case '\n':
        out += "\\n";
        break;
      case '\f':
        out += "\\f";
        break;
      case '\r':
        out += "\\r";
        break;
      default:
        if (c < 0x20) {
          out += "\\u00";
          out += hexdigits[c >> 4];
          out += hexdigits[c & 15];
        } else {
          out += ch;
        }
    }
  }
  out += '"';
}

// Writes a value compactly (indent < 0) or indented by two spaces per level.
inline void write(std::string& out, const Json& v, int indent, int depth = 0) {
  auto newline = [&](int d) {
    if (indent < 0) return;
    out += '\n';
    out.append(static_cast<std::size_t>(2 * d), ' ');
  };
  switch (v.kind) {
    case Json::Kind::Null:
      out += "null";
      break;
    case Json::Kind::Bool:
      out += v.boolean ? "true" : "false";
      break;
    case Json::Kind::Number:
      out += std::to_string(v.number);
      break;
    case Json::Kind::String:
      write_string(out, v.text);
      break;
    case Json::Kind::Array:
      if (v.items.empty()) {
        out += "[]";
        break;
      }
      out += '[';
      for (std::size_t i = 0; i < v.items.size(); ++i) {
        if (i) out += ',';
        newline(depth + 1);
        write(out, v.items[i], indent, depth + 1);
      }
      newline(depth);
      out += ']';
      break;
    case Json::Kind::Object:
      out += '{';
      for (std::size_t i = 0; i < v.keys.size(); ++i) {
        if (i) out += ',';
        newline(depth + 1);
        write_string(out, v.keys[i]);
        out += indent < 0 ? ":" : ": ";
        write(out, v.values[i], indent, depth + 1);
      }
      newline(depth);
      out += '}';
      break;
  }
}

inline std::uint16_t u16(const Json& v) {
  check(v.kind == Json::Kind::Number, "number expected");
  return static_cast<std::uint16_t>(v.number);
}
inline const std::string& text(const Json& v) {
  check(v.kind == Json::Kind::String, "string expected");
  return v.text;
}
inline const Json& only(const Json& v, std::string& key) {
  check(v.kind == Json::Kind::Object && v.keys.size() == 1, "variant object expected");
  key = v.keys[0];
  return v.values[0];
}

inline Class decode_class(const Json& v) {
  check(v.keys.size() == 3, "class has three keys");
  check(v.at("lab").kind == Json::Kind::Bool, "lab is a bool");
  return Class{text(v.at("department_id")), u16(v.at("course_number")), v.at("lab").boolean};
}

BRIXQuery decode_query(const Json& v);

inline Selector decode_selector(const Json& v) {
  std::string key;
  const Json& p = only(v, key);
  using S = Selector;
  if (key == "Class") return S{decode_class(p)};
  if (key == "Placement") return S{S::Placement{text(p)}};
  if (key == "Tag") return S{S::Tag{text(p)}};
  if (key == "Dist") return S{S::Dist{text(p)}};
  if (key == "TagCode") return S{S::TagCode{text(p.at("tag")), text(p.at("code"))}};
  if (key == "DistCode") return S{S::DistCode{text(p.at("dist")), text(p.at("code"))}};
  if (key == "Range") return S{S::Range{decode_class(p.at("from")), decode_class(p.at("to"))}};
  if (key == "RangeDist")
    return S{
        S::RangeDist{decode_class(p.at("from")), decode_class(p.at("to")), text(p.at("dist"))}};
  if (key == "RangeTag")
    return S{S::RangeTag{decode_class(p.at("from")), decode_class(p.at("to")), text(p.at("tag"))}};
  if (key == "Query") return S{S::Query{Box<BRIXQuery>(decode_query(p))}};
  fail("unknown selector variant");
}

inline BRIXQuery decode_query(const Json& v) {
  BRIXQuery q;
  std::string key;
  const Json& quantity = only(v.at("quantity"), key);
  if (key == "Single") {
    q.quantity = Quantity{Quantity::Single{u16(quantity)}};
  } else {
    check(key == "Many", "quantity variant");
    q.quantity = Quantity{Quantity::Many{u16(quantity.at("from")), u16(quantity.at("to"))}};
  }
  const std::string& type = text(v.at("type"));
  check(type == "Select" || type == "Limit", "query type");
  q.type = type == "Select" ? QueryType::Select : QueryType::Limit;
  for (const Json& s : v.at("selector").items) q.selector.push_back(decode_selector(s));
  return q;
}

inline BRIXQueryFile decode_file(const Json& v) {
  BRIXQueryFile f;
  check(text(v.at("version")) == VERSION, "version");
  for (const Json& r : v.at("requirements").items) {
    f.requirements.push_back(BRIXRequirement{decode_query(r.at("query")), text(r.at("description")),
                                             u16(r.at("priority"))});
  }
  return f;
}

// Every property a successful parse must have.
inline void check_result(const ParseResult& result) {
  auto compact = result.to_string();
  auto pretty = result.to_string_pretty();
  check(compact.ok() && pretty.ok(), "encoders never fail");
  auto doc = JsonReader(*compact).read_document();
  check(doc.has_value(), "compact JSON is valid");
  std::string again;
  write(again, *doc, -1);
  check(again == *compact, "compact JSON re-renders to the same bytes");
  std::string indented;
  write(indented, *doc, 2);
  check(indented == *pretty, "indented JSON equals the compact one re-indented");
  ParseResult decoded{decode_file(*doc)};
  check(decoded == result, "JSON decodes to the same document");
  check(diagnostic_text(decoded) == diagnostic_text(result), "diagnostic text agrees with JSON");
}

// Every property a failure must have: a non-empty chain whose rendered text
// starts with the report's arrow line or with a plain message.
inline void check_error(const ErrorChain& error) {
  check(!error.entries().empty(), "chain has an entry");
  std::string textform = error.to_string();
  check(!textform.empty(), "error text is not empty");
  if (std::holds_alternative<Error>(error.entries().front())) {
    std::size_t spaces = textform.find_first_not_of(' ');
    check(spaces >= 1 && textform.compare(spaces, 4, "--> ") == 0, "report starts with the arrow");
  }
}

}  // namespace brix::fuzz
