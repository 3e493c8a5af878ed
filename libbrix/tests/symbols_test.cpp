// Symbols for tools: each case is a text and its symbols written one per line
// as `what name [start,end) ...` with byte offsets.
#include <gtest/gtest.h>

#include <sstream>
#include <string>
#include <string_view>

#include "brix/diagnostics.hpp"

namespace brix {
namespace {

std::string at(const SourceSpan& span) {
  std::ostringstream out;
  out << "[" << span.start.offset << "," << span.end.offset << ")";
  return out.str();
}

std::string written(const Symbols& s) {
  std::ostringstream out;
  for (const auto& d : s.definitions) {
    out << (d.is_extern ? "extern " : "def ") << d.name << " " << at(d.span) << " "
        << at(d.statement) << " " << d.kind << "\n";
  }
  for (const auto& u : s.uses)
    out << "use " << u.name << " " << at(u.span) << " -> " << u.definition << "\n";
  for (const auto& r : s.requirements) {
    out << "req " << at(r.statement) << " query " << at(r.query) << " \"" << r.description << "\" "
        << at(r.description_span) << " p" << r.priority << "\n";
  }
  for (const auto& c : s.courses) {
    out << "course " << c.department << " " << c.number << (c.lab ? "L " : " ") << at(c.span) << " "
        << at(c.department_span) << "\n";
  }
  for (const auto& c : s.calls)
    out << "call " << c.function << " " << at(c.name_span) << " " << at(c.span) << "\n";
  return out.str();
}

struct Case {
  const char* name;
  std::string_view text;
  std::string_view symbols;
};

const Case kCases[] = {
    {"a course and its department", "SELECT 1 FROM CSCI 1010L : \"a\";",
     "req [0,31) query [0,24) \"a\" [27,30) p1\n"
     "course CSCI 1010L [14,24) [14,18)\n"},
    {"a use links to the definition in effect, a reassignment to the old one",
     "$c = CSCI 1010;\n$c = [$c, MATH 1210];\nSELECT 1 FROM $c : \"x\" : 3;\n",
     "def $c [0,2) [0,15) class\n"
     "def $c [16,18) [16,37) selector list\n"
     "use $c [22,24) -> 0\n"
     "use $c [52,54) -> 1\n"
     "req [38,65) query [38,54) \"x\" [57,60) p3\n"
     "course CSCI 1010 [5,14) [5,9)\n"
     "course MATH 1210 [26,35) [26,30)\n"},
    {"a description and a count held by variables",
     "$d = \"Core \"\"A\"\"\";\n$n = 2;\nSELECT $n FROM TAG(\"t\") : $d;",
     "def $d [0,2) [0,18) string\n"
     "def $n [19,21) [19,26) quantity\n"
     "use $n [34,36) -> 1\n"
     "use $d [53,55) -> 0\n"
     "req [27,56) query [27,50) \"Core \"A\"\" [53,55) p1\n"
     "call TAG [42,45) [42,50)\n"},
    {"calls in either spelling, with courses inside",
     "SELECT 1 FROM [range(MATH 3000, MATH 3999), CLASS(CSCI 1010)] : \"r\";",
     "req [0,68) query [0,61) \"r\" [64,67) p1\n"
     "course MATH 3000 [21,30) [21,25)\n"
     "course MATH 3999 [32,41) [32,36)\n"
     "course CSCI 1010 [50,59) [50,54)\n"
     "call RANGE [15,20) [15,42)\n"
     "call CLASS [44,49) [44,60)\n"},
    {"an extern without a value stands in, of the kind its use asks for",
     "extern $n;\nSELECT $n FROM CSCI 1010 : \"a\";",
     "extern $n [7,9) [0,10) quantity\n"
     "use $n [18,20) -> 0\n"
     "req [11,42) query [11,35) \"a\" [38,41) p1\n"
     "course CSCI 1010 [26,35) [26,30)\n"},
    {"a statement with an error is left out, the others stay",
     "SELECT 0 FROM CSCI 1010 : \"bad\";\nSELECT 1 FROM MATH 1210 : \"ok\";",
     "req [33,64) query [33,56) \"ok\" [59,63) p1\n"
     "course MATH 1210 [47,56) [47,51)\n"},
};

TEST(Symbols, Table) {
  for (const Case& c : kCases) EXPECT_EQ(written(symbols(c.text)), c.symbols) << c.name;
}

TEST(Symbols, AnExternWithItsValue) {
  Options options;
  options.externs["$d"] = parse_extern_value("\"Electives\"").value();
  options.externs["$l"] = parse_extern_value("[TAG(\"x\"), CSCI 1010]").value();
  EXPECT_EQ(written(symbols("extern $d;\nextern $l;\nSELECT 1 FROM $l : $d;", options)),
            "extern $d [7,9) [0,10) string\n"
            "extern $l [18,20) [11,21) selector list\n"
            "use $l [36,38) -> 1\n"
            "use $d [41,43) -> 0\n"
            "req [22,44) query [22,38) \"Electives\" [41,43) p1\n");
}

TEST(Symbols, PositionsAreLinesAndColumns) {
  const Symbols s = symbols("// é\n$c = CSCI 1010;\r\nSELECT 1 FROM $c : \"😀\";");
  ASSERT_EQ(s.uses.size(), 1u);
  EXPECT_EQ(s.uses[0].span.start.line, 3u);
  EXPECT_EQ(s.uses[0].span.start.column, 15u);
}

}  // namespace
}  // namespace brix
