#include "direct/fragment_reader.hpp"

#include <cstdint>
#include <utility>

namespace brix::detail {
namespace {

// A reader of exactly the JSON the compact writer produces: fixed keys in
// fixed order, no white space. It reads no other JSON, and needs to read no
// other: its input is always the converter's own output.
class Reader {
 public:
  explicit Reader(std::string_view json) : p_(json.data()), e_(json.data() + json.size()) {}

  std::vector<Selector> selectors(char close) {
    std::vector<Selector> out;
    if (p_ >= e_ || *p_ == close) return out;
    for (;;) {
      out.push_back(selector());
      if (p_ < e_ && *p_ == ',') {
        ++p_;
        continue;
      }
      return out;
    }
  }

  Class course() {
    Class c;
    expect(R"({"department_id":)");
    c.department_id = Text(text());
    expect(R"(,"course_number":)");
    c.course_number = number();
    expect(R"(,"lab":)");
    c.lab = next_is("true");
    expect(c.lab ? "true}" : "false}");
    return c;
  }

  std::string text() {
    std::string out;
    ++p_;  // the opening quote
    while (p_ < e_ && *p_ != '"') {
      if (*p_ != '\\') {
        out += *p_++;
        continue;
      }
      ++p_;
      const char escape = p_ < e_ ? *p_++ : '\\';
      switch (escape) {
        case 'b':
          out += '\b';
          break;
        case 't':
          out += '\t';
          break;
        case 'n':
          out += '\n';
          break;
        case 'f':
          out += '\f';
          break;
        case 'r':
          out += '\r';
          break;
        case 'u': {
          // Only "\u00XX" is ever written.
          unsigned value = 0;
          for (int i = 0; i < 4 && p_ < e_; ++i, ++p_) {
            const char c = *p_;
            value = value * 16 + static_cast<unsigned>(c <= '9' ? c - '0' : c - 'a' + 10);
          }
          out += static_cast<char>(value);
          break;
        }
        default:
          out += escape;
      }
    }
    ++p_;  // the closing quote
    return out;
  }

 private:
  // Skips `literal`, which the writer always puts here.
  void expect(std::string_view literal) { p_ += literal.size(); }

  bool next_is(std::string_view literal) const {
    return static_cast<std::size_t>(e_ - p_) >= literal.size() &&
           std::string_view(p_, literal.size()) == literal;
  }

  std::uint16_t number() {
    std::uint32_t value = 0;
    while (p_ < e_ && *p_ >= '0' && *p_ <= '9')
      value = value * 10 + static_cast<unsigned>(*p_++ - '0');
    return static_cast<std::uint16_t>(value);
  }

  BRIXQuery query() {
    BRIXQuery q;
    expect(R"({"quantity":)");
    if (next_is(R"({"Single":)")) {
      expect(R"({"Single":)");
      q.quantity.value = Quantity::Single{number()};
      expect("}");
    } else {
      expect(R"({"Many":{"from":)");
      const std::uint16_t from = number();
      expect(R"(,"to":)");
      q.quantity.value = Quantity::Many{from, number()};
      expect("}}");
    }
    expect(R"(,"type":)");
    q.type = next_is(R"("Limit")") ? QueryType::Limit : QueryType::Select;
    expect(q.type == QueryType::Limit ? R"("Limit")" : R"("Select")");
    expect(R"(,"selector":[)");
    q.selector = selectors(']');
    expect("]}");
    return q;
  }

  Selector selector() {
    Selector s;
    if (next_is(R"({"Class":)")) {
      expect(R"({"Class":)");
      s.value = course();
    } else if (next_is(R"({"Placement":)")) {
      expect(R"({"Placement":)");
      s.value = Selector::Placement{Text(text())};
    } else if (next_is(R"({"TagCode":)")) {
      expect(R"({"TagCode":{"tag":)");
      Text tag(text());
      expect(R"(,"code":)");
      s.value = Selector::TagCode{std::move(tag), Text(text())};
      expect("}");
    } else if (next_is(R"({"Tag":)")) {
      expect(R"({"Tag":)");
      s.value = Selector::Tag{Text(text())};
    } else if (next_is(R"({"DistCode":)")) {
      expect(R"({"DistCode":{"dist":)");
      Text dist(text());
      expect(R"(,"code":)");
      s.value = Selector::DistCode{std::move(dist), Text(text())};
      expect("}");
    } else if (next_is(R"({"Dist":)")) {
      expect(R"({"Dist":)");
      s.value = Selector::Dist{Text(text())};
    } else if (next_is(R"({"Query":)")) {
      expect(R"({"Query":)");
      s.value = Selector::Query{Box<BRIXQuery>(query())};
    } else {
      // Range, RangeDist and RangeTag share the courses at the front.
      const bool range_dist = next_is(R"({"RangeDist":)");
      const bool range_tag = next_is(R"({"RangeTag":)");
      expect(range_dist  ? R"({"RangeDist":{"from":)"
             : range_tag ? R"({"RangeTag":{"from":)"
                         : R"({"Range":{"from":)");
      Class from = course();
      expect(R"(,"to":)");
      Class to = course();
      if (range_dist) {
        expect(R"(,"dist":)");
        s.value = Selector::RangeDist{std::move(from), std::move(to), Text(text())};
      } else if (range_tag) {
        expect(R"(,"tag":)");
        s.value = Selector::RangeTag{std::move(from), std::move(to), Text(text())};
      } else {
        s.value = Selector::Range{std::move(from), std::move(to)};
      }
      expect("}");
    }
    expect("}");
    return s;
  }

  const char* p_;
  const char* e_;
};

}  // namespace

std::vector<Selector> read_selectors(std::string_view json) {
  return Reader(json).selectors('\0');
}

Class read_course(std::string_view json) {
  return Reader(json).course();
}

std::string read_json_string(std::string_view json) {
  return Reader(json).text();
}

}  // namespace brix::detail
