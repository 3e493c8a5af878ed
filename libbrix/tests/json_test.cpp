#include <gtest/gtest.h>

#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <random>
#include <string>
#include <string_view>
#include <vector>

#include <unistd.h>

#include "brix/brix.hpp"
#include "model/json_size.hpp"
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

// A file without requirements, written into the caller's buffer after what
// it holds.
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

// Random trees of every variant, with texts full of control bytes, escapes
// and multi-byte characters and numbers at their limits.
class TreeGenerator {
 public:
  explicit TreeGenerator(std::uint32_t seed) : rng_(seed) {}

  BRIXQueryFile file() {
    BRIXQueryFile f;
    for (int i = below(4); i > 0; --i) f.requirements.push_back({query(0), text(), number()});
    return f;
  }

 private:
  int below(int n) { return std::uniform_int_distribution<int>(0, n - 1)(rng_); }

  std::uint16_t number() {
    const int pick = below(4);
    if (pick < 2) return pick == 0 ? 0 : 65535;
    return static_cast<std::uint16_t>(std::uniform_int_distribution<int>(0, 65535)(rng_));
  }

  // Half the pieces are control bytes, all 32 of them equally likely.
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
    for (int i = below(12); i > 0; --i) {
      if (below(2) == 0) {
        out.push_back(static_cast<char>(below(32)));
      } else {
        out += kPieces[below(static_cast<int>(std::size(kPieces)))];
      }
    }
    return out;
  }

  Class course() { return Class{text(), number(), below(2) == 1}; }

  BRIXQuery query(int depth) {
    Quantity q = below(2) == 0 ? Quantity{Quantity::Single{number()}}
                               : Quantity{Quantity::Many{number(), number()}};
    BRIXQuery out{std::move(q), below(2) == 0 ? QueryType::Select : QueryType::Limit, {}};
    for (int i = below(5); i > 0; --i) out.selector.push_back(selector_at(depth));
    return out;
  }

  Selector selector_at(int depth) {
    const int pick = below(depth < 3 ? 10 : 9);
    if (pick == 0) return selector(course());
    if (pick == 1) return selector(Selector::Placement{text()});
    if (pick == 2) return selector(Selector::Tag{text()});
    if (pick == 3) return selector(Selector::TagCode{text(), text()});
    if (pick == 4) return selector(Selector::Dist{text()});
    if (pick == 5) return selector(Selector::DistCode{text(), text()});
    if (pick == 6) return selector(Selector::Range{course(), course()});
    if (pick == 7) return selector(Selector::RangeDist{course(), course(), text()});
    if (pick == 8) return selector(Selector::RangeTag{course(), course(), text()});
    return nested(query(depth + 1));
  }

  std::mt19937 rng_;
};

// Python's json module rewrites each compact text, read back, with compact
// separators and with indent=2; both must come out byte for byte as written.
constexpr std::string_view kPythonScript = R"(import json, sys
with open(sys.argv[1], encoding="utf-8", newline="") as f:
    docs = [json.loads(line) for line in f.read().split("\n") if line]
out = []
for doc in docs:
    out.append(json.dumps(doc, ensure_ascii=False, separators=(",", ":")))
    out.append(json.dumps(doc, ensure_ascii=False, indent=2))
with open(sys.argv[2], "w", encoding="utf-8", newline="") as f:
    f.write("\x1e".join(out))
)";

TEST(Json, AgreesWithPythonsJsonModule) {
  if (std::system("python3 -c '' >/dev/null 2>&1") != 0) GTEST_SKIP() << "python3 not available";

  TreeGenerator generator(0x5eed1234);
  std::string input;
  std::vector<std::string> ours;
  for (int i = 0; i < 300; ++i) {
    const BRIXQueryFile file = generator.file();
    input += compact(file) + '\n';
    ours.push_back(compact(file));
    ours.push_back(pretty(file));
  }
  // Every control byte must have been exercised, or the comparison proves little.
  for (int c = 0; c < 0x20; ++c) {
    char escape[8];
    std::snprintf(escape, sizeof escape, "\\u%04x", c);
    if (std::string_view("\b\t\n\f\r").find(static_cast<char>(c)) != std::string_view::npos) {
      continue;
    }
    EXPECT_NE(input.find(escape), std::string::npos) << "byte " << c;
  }

  const std::string stem = ::testing::TempDir() + "brix_json_" + std::to_string(getpid());
  std::ofstream(stem + ".py", std::ios::binary) << kPythonScript;
  std::ofstream(stem + ".in", std::ios::binary) << input;
  const std::string command = "python3 '" + stem + ".py' '" + stem + ".in' '" + stem + ".out'";
  ASSERT_EQ(std::system(command.c_str()), 0) << command;
  std::ifstream out(stem + ".out", std::ios::binary);
  std::vector<std::string> python;
  for (std::string text; std::getline(out, text, '\x1e');) python.push_back(text);
  for (const char* suffix : {".py", ".in", ".out"}) std::remove((stem + suffix).c_str());
  ASSERT_EQ(python.size(), ours.size());
  for (std::size_t i = 0; i < ours.size(); ++i) EXPECT_EQ(ours[i], python[i]) << "text " << i;
}

// The writer stages text in chunks of a few kilobytes and writes long texts
// and escapes separately; json_size must agree with what it writes.
TEST(Json, SizeIsTheLengthOfTheCompactText) {
  TreeGenerator generator(0x51ce);
  for (int i = 0; i < 200; ++i) {
    const BRIXQueryFile file = generator.file();
    EXPECT_EQ(detail::json_size(file), compact(file).size()) << "document " << i;
  }

  const auto repeat = [](std::string_view piece, int times) {
    std::string out;
    for (int i = 0; i < times; ++i) out += piece;
    return out;
  };
  const std::string rows[][2] = {
      {repeat("x", 20000), repeat("x", 20000)},         // longer than a chunk
      {repeat("\x01", 5000), repeat("\\u0001", 5000)},  // escapes across chunks
      {repeat("\"", 3000) + repeat("y", 9000), repeat("\\\"", 3000) + repeat("y", 9000)},
  };
  for (const auto& [description, expected] : rows) {
    BRIXQueryFile file;
    file.requirements.push_back(BRIXRequirement{
        BRIXQuery{Quantity{Quantity::Single{1}}, QueryType::Select, {}}, description, 1});
    const std::string json = compact(file);
    EXPECT_EQ(json, R"({"version":"0.1.12","requirements":[{"query":{"quantity":{"Single":1},)"
                    R"("type":"Select","selector":[]},"description":")" +
                        expected + R"(","priority":1}]})");
    EXPECT_EQ(detail::json_size(file), json.size());
  }
}

// Indenting a compact document lays it out as the walk does, for random
// trees and for nesting deeper than the indents kept ready-made.
TEST(Json, IndentingTheCompactTextGivesThePrettyText) {
  TreeGenerator generator(0x1d3e);
  std::vector<BRIXQueryFile> files;
  for (int i = 0; i < 200; ++i) files.push_back(generator.file());
  BRIXQuery deep{
      Quantity{Quantity::Single{1}}, QueryType::Select, {selector(course("MATH", 1010))}};
  for (int i = 0; i < 40; ++i) {
    deep = BRIXQuery{Quantity{Quantity::Single{1}}, QueryType::Select, {nested(std::move(deep))}};
  }
  files.emplace_back().requirements.push_back({std::move(deep), "deep", 1});
  for (std::size_t i = 0; i < files.size(); ++i) {
    std::string indented = "kept:";
    indent_json(compact(files[i]), indented);
    EXPECT_EQ(indented, "kept:" + pretty(files[i])) << "document " << i;
  }
}

// Text that no writer of ours produced is laid out by the same rules and
// never read past its end.
TEST(Json, IndentingOtherTextStaysWithinIt) {
  const std::string_view rows[][2] = {
      {R"("open)", R"("open)"},
      {R"("ends in \)", R"("ends in \)"},
      {R"(["a\\",1])", "[\n  \"a\\\\\",\n  1\n]"},
      {"}}", "\n}\n}"},
      {"[", "[\n  "},
      {"", ""},
  };
  for (const auto& [text, expected] : rows) {
    std::string out;
    indent_json(text, out);
    EXPECT_EQ(out, expected) << text;
  }
}

}  // namespace
}  // namespace brix
