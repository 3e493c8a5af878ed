// The formatter: one row per layout rule and comment placement (input, then
// the formatted text), the texts it refuses, and a sweep over every BRIX text
// the project has, each of which must format to text that reads the same and
// formats to itself.
#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

#include "brix/brix.hpp"
#include "brix/diagnostics.hpp"
#include "brix/format.hpp"
#include "sample_files.hpp"

namespace brix {
namespace {

using testing::read_externs;
using testing::read_file;

struct Row {
  std::string_view input;
  std::string_view formatted;
};

void expect_rows(const std::vector<Row>& rows, const FormatOptions& options = {}) {
  for (const Row& row : rows) {
    Result<std::string> out = format(row.input, options);
    ASSERT_TRUE(out.ok()) << row.input << "\n" << out.error().to_string();
    EXPECT_EQ(*out, row.formatted) << row.input;
  }
}

TEST(Format, Spacing) {
  expect_rows({
      {"", ""},
      {" \n\t\r\n ", ""},
      {"SELECT  1FROM CSCI1010:\"Intro\";", "SELECT 1 FROM CSCI 1010 : \"Intro\";\n"},
      {"SELECT 2-3 FROM[CSCI   1010 ,MATH 1020L]:$d:007;",
       "SELECT 2-3 FROM [CSCI 1010, MATH 1020L] : $d : 007;\n"},
      {"extern$a;extern   $b ;", "extern $a;\nextern $b;\n"},
      {"$a=1;$b=\"x\";$c=CSCI 1010;$d=1-2;$e=TAG (\"t\");",
       "$a = 1;\n$b = \"x\";\n$c = CSCI 1010;\n$d = 1-2;\n$e = TAG(\"t\");\n"},
      {"SELECT 1 FROM RANGE_DIST ( CSCI 1000 , CSCI 2000 , \"d\" ) : \"x\" ;",
       "SELECT 1 FROM RANGE_DIST(CSCI 1000, CSCI 2000, \"d\") : \"x\";\n"},
      // A nested requirement needs no brackets; written without, it stays so.
      {"SELECT 1 FROM SELECT 2 FROM $x : \"x\";", "SELECT 1 FROM SELECT 2 FROM $x : \"x\";\n"},
      // Line breaks are line feeds, whatever the file used.
      {"$a = 1;\r\n$b = 2; // note\r\n", "$a = 1;\n$b = 2; // note\n"},
  });
}

TEST(Format, NamesAndTextsAsWritten) {
  expect_rows({
      // The grammar takes the nine functions in lower case too; they are
      // written in capitals. Any other spelling is a misspelt function, kept
      // for the error it will get.
      {"$a = [class(ABCD 1234), tag_dept(\"a\", \"b\"), range_tag(A&B 1000, A&B 2000, \"t\")];",
       "$a = [CLASS(ABCD 1234), TAG_DEPT(\"a\", \"b\"), RANGE_TAG(A&B 1000, A&B 2000, \"t\")];\n"},
      {"$a = [placement(\"p\"), tag(\"t\"), dist(\"d\"), dist_dept(\"d\", \"c\")];",
       "$a = [PLACEMENT(\"p\"), TAG(\"t\"), DIST(\"d\"), DIST_DEPT(\"d\", \"c\")];\n"},
      {"$a = [range(A&B 1000, A&B 2000), range_dist(A&B 1000, A&B 2000, \"d\")];",
       "$a = [RANGE(A&B 1000, A&B 2000), RANGE_DIST(A&B 1000, A&B 2000, \"d\")];\n"},
      {"$a = [Tag(\"x\"), TAGS(\"x\"), 9dist(\"x\")];",
       "$a = [Tag(\"x\"), TAGS(\"x\"), 9dist(\"x\")];\n"},
      // Department codes the builder will question are kept as written.
      {"$a = [cs 1010, abcdef1010];", "$a = [cs 1010, abcdef 1010];\n"},
      {"SELECT 1 FROM $x : \"a \"\"b\"\" // not a comment\";",
       "SELECT 1 FROM $x : \"a \"\"b\"\" // not a comment\";\n"},
  });
}

TEST(Format, BlankLines) {
  expect_rows({
      {"\n\n$a = 1;\n\n\n\n$b = 2;\n\n\n", "$a = 1;\n\n$b = 2;\n"},
      {"$a = 1;\n$b = 2;\n", "$a = 1;\n$b = 2;\n"},
      {"$a = 1;\n\n\n// one\n\n\n\n// two\n$b = 2;\n\n\n// end\n\n",
       "$a = 1;\n\n// one\n\n// two\n$b = 2;\n\n// end\n"},
      // Inside a statement blank lines go.
      {"$a = [\n\nCSCI 1010,\n\n\nCSCI 1020\n\n];", "$a = [CSCI 1010, CSCI 1020];\n"},
  });
}

TEST(Format, Comments) {
  expect_rows({
      {"// only a comment   \r\n", "// only a comment\n"},
      {"   // lead\n$a = 1;   //   after  \n", "// lead\n$a = 1; //   after\n"},
      // A comment before "," or ";" follows it.
      {"SELECT 1 FROM $x : \"d\" // why\n;", "SELECT 1 FROM $x : \"d\"; // why\n"},
      {"$a = [CSCI 1010 // one\n, CSCI 1020 // two\n];",
       "$a = [\n    CSCI 1010, // one\n    CSCI 1020 // two\n];\n"},
      // Comments on their own lines keep them, at the depth of the elements.
      {"$a = [ // open\nCSCI 1010,\n// own line\nCSCI 1020\n// before close\n];",
       "$a = [ // open\n    CSCI 1010,\n    // own line\n    CSCI 1020\n    // before close\n];\n"},
      // Between the parts of a statement: the rest goes on one step in.
      {"SELECT // count follows\n1 FROM $x : \"d\";",
       "SELECT // count follows\n    1 FROM $x : \"d\";\n"},
      {"SELECT 1 FROM $x\n// the description\n: \"d\";",
       "SELECT 1 FROM $x\n    // the description\n    : \"d\";\n"},
      {"extern // which\n$a;", "extern // which\n    $a;\n"},
      {"$a = TAG // t\n(\"x\");", "$a = TAG // t\n(\n    \"x\"\n);\n"},
  });
}

TEST(Format, LongLinesBreak) {
  // 100 characters fit; 101 do not.
  const std::string fits =
      "SELECT 1 FROM [CSCI 1010, CSCI 1020, CSCI 1030, CSCI 1040, CSCI 1050] : \"" +
      std::string(21, 'x') + "\" : 2;\n";
  ASSERT_EQ(fits.size(), 101u);
  const std::string over =
      "SELECT 1 FROM [CSCI 1010, CSCI 1020, CSCI 1030, CSCI 1040, CSCI 1050] : \"" +
      std::string(22, 'x') + "\" : 2;\n";
  const std::string list =
      "$a = [CSCI 1010, CSCI 1020, CSCI 1030, CSCI 1040, CSCI 1050, CSCI 1060, CSCI 1070, CSCI "
      "1080, "
      "CSCI 1090];";
  const std::string call =
      "$a = RANGE_TAG(CSCI 1000, CSCI 2000, \"" + std::string(70, 't') + "\");";
  const std::string query =
      "SELECT 1 FROM [CSCI 1010, CSCI 1020, CSCI 1030, CSCI 1040, CSCI 1050, "
      "CSCI 1060, CSCI 1070, CSCI 1080, CSCI 1090] : \"Long\";";
  expect_rows({
      {fits, fits},
      // The query fits alone: the description goes to the next line.
      {over, "SELECT 1 FROM [CSCI 1010, CSCI 1020, CSCI 1030, CSCI 1040, CSCI 1050]\n    : \"" +
                 std::string(22, 'x') + "\" : 2;\n"},
      {list,
       "$a = [\n    CSCI 1010,\n    CSCI 1020,\n    CSCI 1030,\n    CSCI 1040,\n    CSCI 1050,\n"
       "    CSCI 1060,\n    CSCI 1070,\n    CSCI 1080,\n    CSCI 1090\n];\n"},
      {call, "$a = RANGE_TAG(\n    CSCI 1000,\n    CSCI 2000,\n    \"" + std::string(70, 't') +
                 "\"\n);\n"},
      // The query alone is too long: its list breaks, the rest follows "]".
      {query,
       "SELECT 1 FROM [\n    CSCI 1010,\n    CSCI 1020,\n    CSCI 1030,\n    CSCI 1040,\n"
       "    CSCI 1050,\n    CSCI 1060,\n    CSCI 1070,\n    CSCI 1080,\n    CSCI 1090\n] : "
       "\"Long\";\n"},
      // A list of nested requirements takes a line per element, and only the
      // lists that do not fit break inside.
      {"SELECT 1 FROM [SELECT 2 FROM [CSCI 1010, CSCI 1020], $x] : \"Nested\";",
       "SELECT 1 FROM [\n    SELECT 2 FROM [CSCI 1010, CSCI 1020],\n    $x\n] : \"Nested\";\n"},
  });
}

TEST(Format, NarrowWidth) {
  expect_rows(
      {{"$a = [TAG(\"a\"), RANGE(CSCI 1000, CSCI 2000), MATH 1010];",
        "$a = [\n    TAG(\"a\"),\n    RANGE(\n        CSCI 1000,\n        CSCI 2000\n    ),\n"
        "    MATH 1010\n];\n"}},
      FormatOptions{20});
}

TEST(Format, DescriptionsAlignWithinABlock) {
  expect_rows({
      {"SELECT 1 FROM $a : \"A\" : 2;\nSELECT 2-3 FROM [CSCI 1010, CSCI 1020] : \"B\";\n"
       "LIMIT 1 FROM TAG(\"é\") : $c;\n",
       "SELECT 1 FROM $a                       : \"A\" : 2;\n"
       "SELECT 2-3 FROM [CSCI 1010, CSCI 1020] : \"B\";\n"
       "LIMIT 1 FROM TAG(\"é\")                  : $c;\n"},
      // A blank line, a comment or another statement ends the block; a
      // comment at the end of a line does not.
      {"SELECT 1 FROM $a : \"A\";\n\nSELECT 1 FROM $long : \"B\";\n// c\nSELECT 1 FROM $longer : "
       "\"C\";\n"
       "$x = 1;\nSELECT 1 FROM $longest : \"D\"; // d\nSELECT 1 FROM $e : \"E\";\n",
       "SELECT 1 FROM $a : \"A\";\n\nSELECT 1 FROM $long : \"B\";\n// c\nSELECT 1 FROM $longer : "
       "\"C\";\n"
       "$x = 1;\nSELECT 1 FROM $longest : \"D\"; // d\nSELECT 1 FROM $e       : \"E\";\n"},
      // A requirement that spans lines ends the block too.
      {"SELECT 1 FROM $a : \"A\";\nSELECT 1 FROM [SELECT 1 FROM $b] : \"B\";\nSELECT 1 FROM $ccc : "
       "\"C\";\n",
       "SELECT 1 FROM $a : \"A\";\nSELECT 1 FROM [\n    SELECT 1 FROM $b\n] : \"B\";\n"
       "SELECT 1 FROM $ccc : \"C\";\n"},
  });
  // When the column would push a line past the width, the longest query
  // leaves the alignment and the others align without it.
  const std::string wide = "SELECT 1 FROM [CSCI 1010, CSCI 1020, CSCI 1030, CSCI 1040] : \"W\";\n";
  std::string long_description(72, 'd');  // a quoted text of 70 characters
  long_description.front() = long_description.back() = '"';
  expect_rows(
      {{wide + "SELECT 1 FROM $a : " + long_description + ";\nSELECT 1 FROM $bb : \"B\";\n",
        wide + "SELECT 1 FROM $a  : " + long_description + ";\nSELECT 1 FROM $bb : \"B\";\n"}});
}

// The error parse gives, for what the formatter refuses.
TEST(Format, RefusesWhatDoesNotParse) {
  std::string deep = "SELECT 1 FROM ";
  for (int i = 0; i < 300; ++i) deep += "[SELECT 1 FROM ";
  for (std::string_view text :
       {std::string_view("SELECT 1 FROM CSCI 1010 \"x\";"),
        std::string_view("SELECT 1 FROM $x : \"x\";\nextern $a;"),
        std::string_view("$a = [CSCI 1010,];"), std::string_view("SELECT 1 FROM $x : \"\xff\";"),
        std::string_view("\xEF\xBB\xBF$a = 1;"), std::string_view(deep)}) {
    Result<std::string> out = format(text);
    ASSERT_FALSE(out.ok()) << text;
    Result<ParseResult> parsed = parse(text);
    ASSERT_FALSE(parsed.ok()) << text;
    EXPECT_EQ(out.error(), parsed.error()) << text;
  }
}

// Errors the builder finds do not stop the formatter: the text reads the same.
TEST(Format, FormatsFilesWithSemanticErrors) {
  expect_rows({
      {"SELECT 0 FROM QQQZ 1010:\"x\";", "SELECT 0 FROM QQQZ 1010 : \"x\";\n"},
      {"extern $a;SELECT $a FROM $undefined:\"x\";",
       "extern $a;\nSELECT $a FROM $undefined : \"x\";\n"},
  });
}

// ---- The sweep ----

struct Sample {
  std::string name;
  std::string text;
  ExternValues externs;
};

std::vector<Sample> samples() {
  const std::filesystem::path root = BRIX_SOURCE_DIR;
  std::vector<Sample> out;
  for (const auto& entry : std::filesystem::directory_iterator(root / "examples")) {
    if (entry.path().extension() != ".brix") continue;
    std::filesystem::path externs = entry.path();
    externs.replace_extension(".externs");
    out.push_back(
        {entry.path().string(), read_file(entry.path()),
         std::filesystem::exists(externs) ? read_externs(read_file(externs)) : ExternValues{}});
  }
  const std::string guide = read_file(root / "docs" / "language.md");
  // Every block fenced as ```brix... (std::regex is avoided: GCC 12 warns
  // inside it under the sanitizers).
  for (std::size_t at = guide.find("```brix"); at != std::string::npos;
       at = guide.find("```brix", at)) {
    const std::size_t body = guide.find('\n', at);
    const std::size_t close = body == std::string::npos ? body : guide.find("```", body + 1);
    if (close == std::string::npos) break;
    out.push_back({"guide block at byte " + std::to_string(at),
                   guide.substr(body + 1, close - body - 1),
                   {}});
    at = close + 3;
  }
  for (const char* folder : {"parse", "parse_with_externals"}) {
    for (const auto& entry :
         std::filesystem::directory_iterator(root / "fuzz" / "corpus" / folder)) {
      const std::string data = read_file(entry.path());
      const std::size_t split = data.find("\n%%\n");
      out.push_back(
          {entry.path().string(), data.substr(0, split),
           split == std::string::npos ? ExternValues{} : read_externs(data.substr(split + 4))});
    }
  }
  return out;
}

// Errors compared without their places, which move when the text is laid out.
std::string without_places(const ErrorChain& chain) {
  std::string out(error_code(chain));
  for (const ErrorChain::Entry& entry : chain.entries()) {
    if (const Error* report = std::get_if<Error>(&entry)) {
      out += " | " + report->message();
    } else {
      out += " | " + entry_text(entry);
    }
  }
  return out;
}

TEST(Format, EveryTextTheProjectHasReadsTheSameAndIsAFixedPoint) {
  const std::vector<Sample> all = samples();
  ASSERT_GT(all.size(), 250u);
  std::size_t formatted = 0;
  for (const Sample& sample : all) {
    SCOPED_TRACE(sample.name);
    Result<std::string> out = format(sample.text);
    Result<ParseResult> before = parse_with_externals(sample.text, sample.externs);
    if (!out) {
      // Refused: only for text that does not parse, with parse's own error.
      ASSERT_FALSE(before.ok());
      EXPECT_EQ(out.error(), parse(sample.text).error());
      const std::string_view code = error_code(out.error());
      EXPECT_TRUE(code == "E0101" || code == "E0501") << out.error().to_string();
      continue;
    }
    ++formatted;
    Result<ParseResult> after = parse_with_externals(*out, sample.externs);
    ASSERT_EQ(before.ok(), after.ok()) << *out;
    if (before.ok()) {
      EXPECT_EQ(*before, *after) << *out;
    } else {
      EXPECT_EQ(without_places(before.error()), without_places(after.error())) << *out;
    }
    Result<std::string> again = format(*out);
    ASSERT_TRUE(again.ok()) << *out;
    EXPECT_EQ(*again, *out);
  }
  EXPECT_GT(formatted, 200u);
}

TEST(Format, TheExamplesAreFormatted) {
  for (const Sample& sample : samples()) {
    if (sample.name.find("examples") == std::string::npos) continue;
    Result<std::string> out = format(sample.text);
    ASSERT_TRUE(out.ok()) << sample.name;
    EXPECT_EQ(*out, sample.text) << sample.name;
  }
}

}  // namespace
}  // namespace brix
