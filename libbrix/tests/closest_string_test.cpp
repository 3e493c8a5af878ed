#include "closest_string/closest_string.hpp"

#include <gtest/gtest.h>

#include <array>
#include <bit>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace brix::detail {
namespace {

// The selector function names in the order the builder passes them.
constexpr std::array<std::string_view, 9> kFunctionNames = {
    "CLASS", "RANGE",     "TAG_DEPT",   "TAG",       "PLACEMENT",
    "DIST",  "DIST_DEPT", "RANGE_DIST", "RANGE_TAG",
};

std::string ascii_lower(std::string_view text) {
  std::string out(text);
  for (char& c : out) c = static_cast<char>(c >= 'A' && c <= 'Z' ? c - 'A' + 'a' : c);
  return out;
}

int key(std::string_view a, std::string_view b) {
  return static_cast<int>(jaro_winkler(ascii_lower(a), ascii_lower(b)) * 1000.0);
}

TEST(JaroWinkler, BitExactScores) {
  struct Row {
    std::string a;
    std::string b;
    double expected;
  };
  const Row rows[] = {
      {"dwayne", "duane", 0.8400000000000001},
      {"martha", "marhta", 0.9611111111111111},
      {"same", "same", 1.0},
      {"", "", 1.0},
      {"", "abc", 0.0},
      {"abc", "", 0.0},
      {"abc", "xyz", 0.0},
      // Jaro 0.6999999999999998 (10 matches, 3 transpositions, 10 and 25
      // characters): not above 0.7, so the shared prefix "ab" adds nothing.
      {"abcdefghij", "abdcfehgij" + std::string(15, 'x'), 0.6999999999999998},
      // Jaro 0.7000000000000001: just above, so the prefix "abc" boosts it.
      {"abc", "abc" + std::string(27, 'x'), 0.79},
      // Six shared leading characters boost as four: 0.958333 + 0.041667 * 0.4.
      {"abcdefgh", "abcdefhg", 0.975},
      // Characters, not bytes: "é" and "è" share their lead byte but differ.
      {"\xC3\xA9", "\xC3\xA8", 0.0},
      {"caf\xC3\xA9", "cafx", 0.8833333333333334},
  };
  for (const Row& row : rows) {
    const double got = jaro_winkler(row.a, row.b);
    EXPECT_EQ(std::bit_cast<std::uint64_t>(got), std::bit_cast<std::uint64_t>(row.expected))
        << row.a << " / " << row.b << ": " << got;
  }
}

TEST(ClosestString, FunctionNames) {
  struct Row {
    std::string_view target;
    std::string_view expected;
    int expected_key;
  };
  const Row rows[] = {
      {"CLAS", "CLASS", 960},      {"Class", "CLASS", 1000},       {"TAGDEPT", "TAG_DEPT", 970},
      {"PLACE", "PLACEMENT", 911}, {"abc", "PLACEMENT", 629},      {"FOO", "RANGE_TAG", 0},
      {"", "RANGE_TAG", 0},        {"rangetag", "RANGE_TAG", 977},
  };
  for (const Row& row : rows) {
    const auto got = closest_string(row.target, kFunctionNames);
    ASSERT_TRUE(got.has_value()) << row.target;
    EXPECT_EQ(*got, row.expected) << row.target;
    EXPECT_EQ(key(row.target, row.expected), row.expected_key) << row.target;
  }
}

TEST(ClosestString, PicksTheBestKeyTheLaterOnATieAndReturnsTheStoredText) {
  // "martha" scores 0.96111 against "marhta" and 0.96190 against "mamrtha":
  // both key 961, so the later candidate wins although the earlier is closer.
  ASSERT_EQ(key("martha", "marhta"), 961);
  ASSERT_EQ(key("martha", "mamrtha"), 961);
  ASSERT_GT(jaro_winkler("martha", "mamrtha"), jaro_winkler("martha", "marhta"));
  // "É" is not folded to "é": "Été" against "été" keeps one difference.
  EXPECT_EQ(key("\xC3\x89t\xC3\xA9", "\xC3\xA9t\xC3\xA9"), 777);
  struct Row {
    std::string_view target;
    std::vector<std::string_view> candidates;
    std::optional<std::string_view> expected;
  };
  const Row rows[] = {
      {"ab", {"abx", "aby"}, "aby"},
      {"ab", {"aby", "abx"}, "abx"},
      {"martha", {"mamrtha", "marhta"}, "marhta"},
      {"beta", {"Alpha", "BETA", "gamma"}, "BETA"},
      {"\xC3\x89T\xC3\xA9", {"\xC3\xA9t\xC3\xA9", "zzz"}, "\xC3\xA9t\xC3\xA9"},
      {"beta", {}, std::nullopt},
  };
  for (const Row& row : rows) {
    EXPECT_EQ(closest_string(row.target, row.candidates), row.expected) << row.target;
  }
}

}  // namespace
}  // namespace brix::detail
