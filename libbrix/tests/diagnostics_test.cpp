// check(), the Catalog and positions, table by table.
#include <gtest/gtest.h>

#include <sstream>
#include <string>
#include <string_view>
#include <vector>

#include "brix/catalog.hpp"
#include "brix/diagnostics.hpp"

namespace brix {
namespace {

// --- check(): each diagnostic as `CODE line:column-line:column message` ---

std::string written(const std::vector<Diagnostic>& found) {
  std::ostringstream out;
  for (const Diagnostic& d : found) {
    out << d.code << " ";
    if (d.span) {
      out << d.span->start.line << ":" << d.span->start.column << "-" << d.span->end.line << ":"
          << d.span->end.column << " ";
    }
    out << d.message << "\n";
  }
  return out.str();
}

struct CheckCase {
  const char* name;
  std::string_view text;
  std::string_view found;
};

const CheckCase kCheckCases[] = {
    {"a clean file", "SELECT 1 FROM CSCI 1010 : \"a\";", ""},
    {"an empty file", "", ""},
    {"the library's error first, then the rest in text order",
     "SELECT 0 FROM CSCI 1010 : \"a\";\nSELECT 1 FROM ABCD 1010 : \"b\";\nSELECT 1 FROM CSCI 1010 "
     "\"c\";\n",
     "E0101 3:15-3:16 expected variable, XYZ, selector_list, or statement\n"
     "E0201 1:8-1:9 failed parsing quantity\n"
     "E0401 2:15-2:19 failed parsing selector\n"},
    {"a wrapped error keeps the wrapper as its message, the span of the report",
     "SELECT 1 FROM [LIMIT 1 FROM CSCI 1010] : \"a\";",
     "E0205 1:16-1:21 failed parsing selector\n"},
    {"a too large count has the place of the number",
     "SELECT 1 FROM CSCI 1010 : \"a\";\nSELECT 70000 FROM CSCI 1010 : \"b\";",
     "E0204 2:8-2:13 failed parsing quantity\n"},
    {"uses of a variable whose assignment failed are not reported again",
     "$c = ABCD 1010;\nSELECT 1 FROM $c : \"a\";\nSELECT 1 FROM $d : \"b\";",
     "E0401 1:6-1:10 this department does not exist in Tarrow's course catalog (Did you mean: "
     "DANC)\n"
     "E0301 3:15-3:17 failed parsing selector\n"},
    {"errors, then warnings", "SELECT 0 FROM CSCI 1010 : \"a\";\nSELECT 1 FROM CSCI 1010 : \" \";",
     "E0201 1:8-1:9 failed parsing quantity\n"
     "W0205 2:27-2:30 the description is empty\n"},
    {"warnings in text order", "$x = 2;\nSELECT 1 FROM [TAG(\"t\"), TAG(\"t\")] : \"\";",
     "W0206 1:1-1:3 `$x` is defined but never used\n"
     "W0204 2:26-2:34 `TAG(\"t\")` is already in this list\n"
     "W0205 2:38-2:40 the description is empty\n"},
    {"a list held by a variable is a closed list",
     "$l = [CSCI 1010, CLASS(CSCI 1010), CSCI 1020];\nSELECT 3 FROM $l : \"a\";",
     "W0201 2:8-2:9 this SELECT asks for 3 courses but can only get 2 distinct courses\n"},
    {"a nested query opens the list",
     "SELECT 3 FROM [CSCI 1010, SELECT 1 FROM TAG(\"t\")] : \"a\";", ""},
    {"a RANGE bound held by a variable",
     "$hi = MATH 3000;\nSELECT 1 FROM RANGE(MATH 4000, $hi) : \"a\";",
     "W0202 2:15-2:36 this range starts after it ends, so it holds no course\n"},
};

TEST(Check, Table) {
  for (const CheckCase& c : kCheckCases) EXPECT_EQ(written(check(c.text)), c.found) << c.name;
}

TEST(Check, FirstErrorIsTheLibrarysChainExactly) {
  const std::string_view text = "SELECT 1 FROM CSCI 1010 : \"a\"\nSELECT 1 FROM MATH 1210 : \"b\";";
  const std::vector<Diagnostic> found = check(text);
  ASSERT_FALSE(found.empty());
  ASSERT_TRUE(found[0].chain);
  EXPECT_EQ(found[0].chain->to_string(), parse(text).error().to_string());
}

TEST(Check, WarningsOffAndAllowed) {
  const std::string_view text = "$x = 2;\n// brix: allow(W0205)\nSELECT 1 FROM CSCI 1010 : \"\";";
  EXPECT_EQ(written(check(text)), "W0206 1:1-1:3 `$x` is defined but never used\n");
  Options options;
  options.allowed = {"W0206"};
  EXPECT_EQ(written(check(text, options)), "");
  options.warnings = false;
  options.allowed.clear();
  EXPECT_EQ(written(check(text, options)), "");
}

TEST(Check, CatalogOfTheOptions) {
  Options options;
  options.catalog = Catalog::from_codes({"ABCD", "MATH"}).value();
  EXPECT_EQ(written(check("SELECT 1 FROM ABCD 1010 : \"a\";", options)), "");
  EXPECT_EQ(written(check("SELECT 1 FROM CSCI 1010 : \"a\";", options)),
            "E0401 1:15-1:19 failed parsing selector\n");
  EXPECT_NE(check("SELECT 1 FROM CSCI 1010 : \"a\";", options)[0].help.find("`ABCD`"),
            std::string::npos);
  // The library's own entry points keep the built-in catalog.
  EXPECT_FALSE(parse("SELECT 1 FROM ABCD 1010 : \"a\";"));
}

// The caller's values change from run to run: what they hold is open.
TEST(Check, AnExternsValueIsNeverWarnedAbout) {
  Options options;
  options.externs["$e"] =
      parse_extern_value("[CSCI 1010, CSCI 1010, TAG(\"t\"), TAG(\"t\")]").value();
  options.externs["$c"] = parse_extern_value("[CSCI 1010, CSCI 1010]").value();
  options.externs["$n"] = parse_extern_value("5").value();
  EXPECT_EQ(written(check("extern $e;\nSELECT 3 FROM $e : \"a\";", options)), "");
  EXPECT_EQ(written(check("extern $n;\nSELECT $n FROM CSCI 1010 : \"a\";", options)), "");
  EXPECT_EQ(written(check("extern $c;\nSELECT 1 FROM CSCI 1010 : \"a\";", options)),
            "W0206 1:8-1:10 `$c` is defined but never used\n");
  // A list of the file's own that holds an extern is open too.
  EXPECT_EQ(written(check("extern $c;\n$l = [$c];\nSELECT 3 FROM $l : \"a\";", options)), "");
}

// --- Catalog ---

struct CatalogCase {
  const char* name;
  std::string_view text;
  std::string_view result;  // the codes, or the error
};

const CatalogCase kCatalogCases[] = {
    {"sorted, CR LF and a final line feed", "MATH\r\nCSCI\r\nA&AS\n", "A&AS CSCI MATH"},
    {"three letters", "ART", "ART"},
    {"empty", "", "the catalog is empty: it needs at least one department code"},
    {"only a line feed", "\n",
     "catalog line 1: `` is not a department code (3 or 4 characters, each A to Z or &)"},
    {"lower case", "CSCI\nmath\n",
     "catalog line 2: `math` is not a department code (3 or 4 characters, each A to Z or &)"},
    {"too long", "CSCIX",
     "catalog line 1: `CSCIX` is not a department code (3 or 4 characters, each A to Z or &)"},
    {"a space", "CSCI \n",
     "catalog line 1: `CSCI ` is not a department code (3 or 4 characters, each A to Z or &)"},
    {"duplicates", "CSCI\nMATH\nCSCI\n",
     "catalog line 3: `CSCI` is listed twice (first at line 1)"},
};

TEST(Catalog, FromText) {
  for (const CatalogCase& c : kCatalogCases) {
    Result<Catalog> catalog = Catalog::from_text(c.text);
    std::string got;
    if (catalog) {
      for (const std::string& code : catalog.value().codes())
        got += (got.empty() ? "" : " ") + code;
    } else {
      got = catalog.error().to_string();
    }
    EXPECT_EQ(got, c.result) << c.name;
  }
}

TEST(Catalog, FromCodesNamesEntries) {
  EXPECT_EQ(Catalog::from_codes({"CSCI", "CSCI"}).error().to_string(),
            "catalog entry 2: `CSCI` is listed twice (first at entry 1)");
  EXPECT_EQ(Catalog::from_codes({}).error().to_string(),
            "the catalog is empty: it needs at least one department code");
}

TEST(Catalog, ContainsAndClosest) {
  const Catalog catalog = Catalog::from_codes({"MATH", "CSCI", "PHYS"}).value();
  EXPECT_TRUE(catalog.contains("CSCI"));
  EXPECT_FALSE(catalog.contains("csci"));
  EXPECT_FALSE(catalog.contains("CSC"));
  EXPECT_EQ(catalog.closest("CSXI"), "CSCI");
  EXPECT_EQ(Catalog::builtin().codes().size(), 125u);
}

// --- Positions ---

struct PositionCase {
  const char* name;
  std::string_view text;
  std::size_t offset;
  SourcePosition at;
};

const PositionCase kPositionCases[] = {
    {"start", "abc", 0, {0, 1, 1, 1}},
    {"end of text", "abc", 3, {3, 1, 4, 4}},
    {"past a line feed", "ab\ncd", 4, {4, 2, 2, 2}},
    {"two-byte character", "é$x", 2, {2, 1, 2, 2}},
    {"emoji: one character, two UTF-16 units", "😀$x", 4, {4, 1, 2, 3}},
    {"emoji and more", "a😀b😀c", 10, {10, 1, 5, 7}},
    {"CR LF is one line break", "ab\r\ncd", 5, {5, 2, 2, 2}},
    {"between CR and LF: the next line", "ab\r\ncd", 3, {3, 2, 1, 1}},
    {"a lone CR is a character", "ab\rcd", 4, {4, 1, 5, 5}},
    {"an offset past the end is the end", "ab", 9, {2, 1, 3, 3}},
};

TEST(Positions, Table) {
  for (const PositionCase& c : kPositionCases)
    EXPECT_EQ(position_at(c.text, c.offset), c.at) << c.name;
}

TEST(Positions, ApplyFixesInAnyOrder) {
  const std::string_view text = "SELECT 1 FROM CSCI 1010 : “a”";
  std::vector<FixIt> fixes = {
      {span_of(text, 30, 33), "\""}, {span_of(text, 26, 29), "\""}, {span_of(text, 33, 33), ";"}};
  EXPECT_EQ(apply_fixes(text, fixes), "SELECT 1 FROM CSCI 1010 : \"a\";");
}

}  // namespace
}  // namespace brix
