#include <gtest/gtest.h>

#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <random>
#include <sstream>
#include <string>
#include <string_view>
#include <vector>

#include "brix/brix.hpp"
#include "model_examples.hpp"

namespace brix {
namespace {

using examples::course;
using examples::nested;
using examples::selector;

std::string compact(const BRIXQueryFile& file) {
  auto result = ParseResult{file}.to_string();
  EXPECT_TRUE(result.ok());
  return result.ok() ? *result : std::string();
}

std::string pretty(const BRIXQueryFile& file) {
  auto result = ParseResult{file}.to_string_pretty();
  EXPECT_TRUE(result.ok());
  return result.ok() ? *result : std::string();
}

TEST(Json, WorkedExampleCompact) {
  EXPECT_EQ(
      compact(examples::worked_example()),
      R"({"version":"0.1.12","requirements":[{"query":{"quantity":{"Single":2},"type":"Select","selector":[{"Class":{"department_id":"ABCD","course_number":1234,"lab":false}},{"Range":{"from":{"department_id":"ABCD","course_number":100,"lab":false},"to":{"department_id":"ABCD","course_number":199,"lab":true}}}]},"description":"Two \"core\" courses","priority":1}]})");
}

TEST(Json, WorkedExamplePretty) {
  EXPECT_EQ(pretty(examples::worked_example()), R"({
  "version": "0.1.12",
  "requirements": [
    {
      "query": {
        "quantity": {
          "Single": 2
        },
        "type": "Select",
        "selector": [
          {
            "Class": {
              "department_id": "ABCD",
              "course_number": 1234,
              "lab": false
            }
          },
          {
            "Range": {
              "from": {
                "department_id": "ABCD",
                "course_number": 100,
                "lab": false
              },
              "to": {
                "department_id": "ABCD",
                "course_number": 199,
                "lab": true
              }
            }
          }
        ]
      },
      "description": "Two \"core\" courses",
      "priority": 1
    }
  ]
})");
}

TEST(Json, ManyQuantity) {
  BRIXQueryFile file = examples::worked_example();
  file.requirements[0].query.quantity = Quantity{Quantity::Many{1, 3}};
  EXPECT_NE(compact(file).find(R"("quantity":{"Many":{"from":1,"to":3}},"type")"),
            std::string::npos);
  EXPECT_NE(pretty(file).find(R"(
        "quantity": {
          "Many": {
            "from": 1,
            "to": 3
          }
        },
)"),
            std::string::npos)
      << pretty(file);
}

TEST(Json, EmptyRequirements) {
  EXPECT_EQ(compact(BRIXQueryFile{}), R"({"version":"0.1.12","requirements":[]})");
  EXPECT_EQ(pretty(BRIXQueryFile{}), "{\n  \"version\": \"0.1.12\",\n  \"requirements\": []\n}");
}

// Every variant once, LIMIT, extreme numbers, an empty selector list.
TEST(Json, EverySelectorVariantCompact) {
  BRIXQueryFile file;
  file.requirements.push_back(BRIXRequirement{
      BRIXQuery{Quantity{Quantity::Single{65535}}, QueryType::Limit, examples::every_selector()},
      "d", 0});
  file.requirements.push_back(BRIXRequirement{
      BRIXQuery{Quantity{Quantity::Many{0, 65535}}, QueryType::Select, {}}, "", 65535});
  EXPECT_EQ(
      compact(file),
      R"({"version":"0.1.12","requirements":[{"query":{"quantity":{"Single":65535},"type":"Limit","selector":[)"
      R"({"Class":{"department_id":"CSCI","course_number":0,"lab":false}},)"
      R"({"Placement":"calc"},)"
      R"({"Tag":"wr"},)"
      R"({"TagCode":{"tag":"wr","code":"CSCI"}},)"
      R"({"Dist":"SS"},)"
      R"({"DistCode":{"dist":"SS","code":"ECON"}},)"
      R"({"Range":{"from":{"department_id":"MATH","course_number":100,"lab":false},"to":{"department_id":"MATH","course_number":199,"lab":false}}},)"
      R"({"RangeDist":{"from":{"department_id":"BIOL","course_number":0,"lab":false},"to":{"department_id":"BIOL","course_number":9999,"lab":true},"dist":"NS"}},)"
      R"({"RangeTag":{"from":{"department_id":"PHYS","course_number":1,"lab":false},"to":{"department_id":"PHYS","course_number":2,"lab":false},"tag":"lab"}},)"
      R"({"Query":{"quantity":{"Many":{"from":1,"to":3}},"type":"Select","selector":[{"Tag":"x"}]}})"
      R"(]},"description":"d","priority":0},)"
      R"({"query":{"quantity":{"Many":{"from":0,"to":65535}},"type":"Select","selector":[]},"description":"","priority":65535}]})");
}

TEST(Json, NestedQueriesIndentTwoMoreSpacesPerLevel) {
  BRIXQuery inner{Quantity{Quantity::Single{1}},
                  QueryType::Select,
                  {selector(Selector::DistCode{"SS", "ECON"})}};
  BRIXQuery middle{Quantity{Quantity::Single{2}}, QueryType::Select, {nested(std::move(inner))}};
  BRIXQueryFile file;
  file.requirements.push_back(BRIXRequirement{
      BRIXQuery{Quantity{Quantity::Single{3}}, QueryType::Limit, {nested(std::move(middle))}}, "n",
      7});
  EXPECT_EQ(pretty(file), R"({
  "version": "0.1.12",
  "requirements": [
    {
      "query": {
        "quantity": {
          "Single": 3
        },
        "type": "Limit",
        "selector": [
          {
            "Query": {
              "quantity": {
                "Single": 2
              },
              "type": "Select",
              "selector": [
                {
                  "Query": {
                    "quantity": {
                      "Single": 1
                    },
                    "type": "Select",
                    "selector": [
                      {
                        "DistCode": {
                          "dist": "SS",
                          "code": "ECON"
                        }
                      }
                    ]
                  }
                }
              ]
            }
          }
        ]
      },
      "description": "n",
      "priority": 7
    }
  ]
})");
}

TEST(Json, StringEscapes) {
  struct Row {
    std::string text;
    std::string_view expected;
  };
  const Row rows[] = {
      {"line\nand\ttab", R"("line\nand\ttab")"},
      {"\x01", R"("\u0001")"},
      {"\x1b[0m", R"("\u001b[0m")"},
      {std::string("\0|\x1f", 3), R"("\u0000|\u001f")"},
      {"\b\f\r", R"("\b\f\r")"},
      {R"(say "hi" \ bye)", R"("say \"hi\" \\ bye")"},
      {"a/b", R"("a/b")"},
      {"del\x7f", "\"del\x7f\""},
      {"caf\xC3\xA9 \xE2\x82\xAC \xF0\x9F\x98\x80 \xE2\x80\xA8",
       "\"caf\xC3\xA9 \xE2\x82\xAC \xF0\x9F\x98\x80 \xE2\x80\xA8\""},
      {"", R"("")"},
  };
  for (const Row& row : rows) {
    BRIXQueryFile file;
    file.requirements.push_back(BRIXRequirement{
        BRIXQuery{Quantity{Quantity::Single{1}}, QueryType::Select, {}}, row.text, 1});
    const std::string json = compact(file);
    const std::string needle = "\"description\":" + std::string(row.expected) + ",\"priority\"";
    EXPECT_NE(json.find(needle), std::string::npos) << json;
  }
}

TEST(Json, WriteJsonAppendsToTheCallersBuffer) {
  std::string buffer = "prefix:";
  write_json(BRIXQueryFile{}, buffer);
  EXPECT_EQ(buffer, R"(prefix:{"version":"0.1.12","requirements":[]})");
  buffer.clear();
  write_json_pretty(BRIXQueryFile{}, buffer);
  write_json(BRIXQueryFile{}, buffer);
  EXPECT_EQ(buffer,
            "{\n  \"version\": \"0.1.12\",\n  \"requirements\": []\n}"
            R"({"version":"0.1.12","requirements":[]})");
}

// Random trees, checked against Python's json module: the compact text must
// be what json.dumps writes for the parsed document with compact separators,
// and the indented text what it writes with indent=2.
class TreeGenerator {
 public:
  explicit TreeGenerator(std::uint32_t seed) : rng_(seed) {}

  BRIXQueryFile file() {
    BRIXQueryFile f;
    const int n = below(4);
    for (int i = 0; i < n; ++i) {
      f.requirements.push_back(BRIXRequirement{query(0), text(), number()});
    }
    return f;
  }

 private:
  int below(int n) { return std::uniform_int_distribution<int>(0, n - 1)(rng_); }

  std::uint16_t number() {
    switch (below(4)) {
      case 0:
        return 0;
      case 1:
        return 65535;
      default:
        return static_cast<std::uint16_t>(std::uniform_int_distribution<int>(0, 65535)(rng_));
    }
  }

  std::string text() {
    static constexpr std::string_view kPieces[] = {
        "\"",
        "\\",
        "/",
        "\x7f",
        "'",
        "a",
        "Z",
        " ",
        "0",
        "\xC3\xA9",
        "\xE2\x82\xAC",
        "\xF0\x9F\x98\x80",
        "\xE2\x80\xA8",
        "\xCC\x81",
        "\xEF\xBB\xBF",
    };
    std::string out;
    const int n = below(12);
    for (int i = 0; i < n; ++i) {
      // Half the pieces are control bytes, all 32 of them equally likely.
      if (below(2) == 0) {
        out.push_back(static_cast<char>(below(32)));
      } else {
        out += kPieces[below(static_cast<int>(std::size(kPieces)))];
      }
    }
    return out;
  }

  Class course() { return Class{text(), number(), below(2) == 1}; }

  Quantity quantity() {
    if (below(2) == 0) return Quantity{Quantity::Single{number()}};
    return Quantity{Quantity::Many{number(), number()}};
  }

  BRIXQuery query(int depth) {
    BRIXQuery q{quantity(), below(2) == 0 ? QueryType::Select : QueryType::Limit, {}};
    const int n = below(5);
    for (int i = 0; i < n; ++i) q.selector.push_back(selector_at(depth));
    return q;
  }

  Selector selector_at(int depth) {
    switch (below(depth < 3 ? 10 : 9)) {
      case 0:
        return selector(course());
      case 1:
        return selector(Selector::Placement{text()});
      case 2:
        return selector(Selector::Tag{text()});
      case 3:
        return selector(Selector::TagCode{text(), text()});
      case 4:
        return selector(Selector::Dist{text()});
      case 5:
        return selector(Selector::DistCode{text(), text()});
      case 6:
        return selector(Selector::Range{course(), course()});
      case 7:
        return selector(Selector::RangeDist{course(), course(), text()});
      case 8:
        return selector(Selector::RangeTag{course(), course(), text()});
      default:
        return nested(query(depth + 1));
    }
  }

  std::mt19937 rng_;
};

constexpr std::string_view kPythonScript = R"(import json, sys
with open(sys.argv[1], encoding="utf-8", newline="") as f:
    lines = [line for line in f.read().split("\n") if line]
out = []
for line in lines:
    doc = json.loads(line)
    out.append(json.dumps(doc, ensure_ascii=False, separators=(",", ":")))
    out.append(json.dumps(doc, ensure_ascii=False, indent=2))
with open(sys.argv[2], "w", encoding="utf-8", newline="") as f:
    f.write("\x1e".join(out))
)";

std::string read_file(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  std::ostringstream text;
  text << in.rdbuf();
  return text.str();
}

TEST(Json, AgreesWithPythonsJsonModule) {
  if (std::system("python3 -c '' >/dev/null 2>&1") != 0) GTEST_SKIP() << "python3 not available";

  constexpr int kDocuments = 300;
  TreeGenerator generator(0x5eed1234);
  std::vector<std::string> compact_texts;
  std::vector<std::string> pretty_texts;
  std::string input;
  for (int i = 0; i < kDocuments; ++i) {
    const BRIXQueryFile file = generator.file();
    compact_texts.push_back(compact(file));
    pretty_texts.push_back(pretty(file));
    input += compact_texts.back();
    input += '\n';
  }
  // Every control byte must have been exercised, or the comparison proves little.
  for (int c = 0; c < 0x20; ++c) {
    char hex[8];
    std::snprintf(hex, sizeof hex, "%04x", c);
    const std::string_view shortcut = "\b\t\n\f\r";
    const bool has_short_form = shortcut.find(static_cast<char>(c)) != std::string_view::npos;
    if (!has_short_form) {
      EXPECT_NE(input.find(std::string("\\u") + hex), std::string::npos) << "byte " << c;
    }
  }

  const std::string dir = ::testing::TempDir();
  const std::string stem = dir + "brix_json_" + std::to_string(std::random_device{}());
  const std::string script = stem + ".py";
  const std::string in_path = stem + ".in";
  const std::string out_path = stem + ".out";
  std::ofstream(script, std::ios::binary) << kPythonScript;
  std::ofstream(in_path, std::ios::binary) << input;
  const std::string command = "python3 '" + script + "' '" + in_path + "' '" + out_path + "'";
  ASSERT_EQ(std::system(command.c_str()), 0) << command;
  const std::string expected = read_file(out_path);
  std::remove(script.c_str());
  std::remove(in_path.c_str());
  std::remove(out_path.c_str());

  std::vector<std::string_view> python_texts;
  std::string_view rest = expected;
  for (std::size_t sep; (sep = rest.find('\x1e')) != std::string_view::npos;) {
    python_texts.push_back(rest.substr(0, sep));
    rest.remove_prefix(sep + 1);
  }
  python_texts.push_back(rest);
  ASSERT_EQ(python_texts.size(), 2u * kDocuments);
  for (std::size_t i = 0; i < kDocuments; ++i) {
    EXPECT_EQ(compact_texts[i], python_texts[2 * i]) << "document " << i;
    EXPECT_EQ(pretty_texts[i], python_texts[2 * i + 1]) << "document " << i;
  }
}

// The writer stages text in chunks of a few kilobytes and writes long texts
// and escapes separately; json_size must agree with what it writes.
TEST(Json, SizeIsTheLengthOfTheCompactText) {
  TreeGenerator generator(0x51ce);
  for (int i = 0; i < 200; ++i) {
    const BRIXQueryFile file = generator.file();
    EXPECT_EQ(json_size(file), compact(file).size()) << "document " << i;
  }

  struct Row {
    std::string_view name;
    std::string description;
    std::string expected;  // as written between the quotes
  };
  const Row rows[] = {
      {"longer than a chunk", std::string(20000, 'x'), std::string(20000, 'x')},
      {"escapes across chunks", std::string(5000, '\x01'),
       [] {
         std::string out;
         for (int i = 0; i < 5000; ++i) out += "\\u0001";
         return out;
       }()},
      {"quotes and plain runs", std::string(3000, '"') + std::string(9000, 'y'),
       [] {
         std::string out;
         for (int i = 0; i < 3000; ++i) out += "\\\"";
         return out + std::string(9000, 'y');
       }()},
  };
  for (const Row& row : rows) {
    BRIXQueryFile file;
    file.requirements.push_back(BRIXRequirement{
        BRIXQuery{Quantity{Quantity::Single{1}}, QueryType::Select, {}}, row.description, 1});
    const std::string json = compact(file);
    EXPECT_EQ(
        json,
        R"({"version":"0.1.12","requirements":[{"query":{"quantity":{"Single":1},"type":"Select","selector":[]},"description":")" +
            row.expected + R"(","priority":1}]})")
        << row.name;
    EXPECT_EQ(json_size(file), json.size()) << row.name;
  }
}

}  // namespace
}  // namespace brix
