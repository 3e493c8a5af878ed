// Text keeps up to seven bytes inline and longer texts on the heap; every
// operation must behave the same on both sides of that boundary.
#include <gtest/gtest.h>

#include <string>
#include <string_view>
#include <utility>

#include "brix/model.hpp"

namespace brix {
namespace {

TEST(Text, HoldsItsBytesOnBothSidesOfTheInlineLimit) {
  const std::string_view rows[] = {
      "",
      "Q",
      "CSCI",
      "seven!!",
      "eight!!!",
      "Computer Science",
      std::string_view("nul\0inside", 10),
      "Électives",
  };
  for (std::string_view row : rows) {
    const Text text(row);
    EXPECT_EQ(text.view(), row);
    EXPECT_EQ(text.size(), row.size());
    EXPECT_EQ(text.empty(), row.empty());

    Text copy(text);
    EXPECT_EQ(copy, text) << row;
    EXPECT_EQ(copy.view(), row);
    if (!row.empty()) {
      EXPECT_NE(copy.data(), text.data()) << "a copy owns its bytes: " << row;
    }

    Text moved(std::move(copy));
    EXPECT_EQ(moved.view(), row);
    EXPECT_TRUE(copy.empty());  // a moved-from Text is empty

    Text assigned("something else entirely");
    assigned = text;
    EXPECT_EQ(assigned.view(), row);
    assigned = Text("x");
    EXPECT_EQ(assigned.view(), "x");
  }
}

TEST(Text, ComparesAsItsBytes) {
  struct Row {
    Text a;
    std::string_view b;
    bool equal;
  };
  const Row rows[] = {
      {"CSCI", "CSCI", true},       {"CSCI", "CSC", false},          {"", "", true},
      {"seven!!", "seven!!", true}, {"eight!!!", "eight!!?", false}, {"abc", "abcdefghij", false},
  };
  for (const Row& row : rows) {
    EXPECT_EQ(row.a == row.b, row.equal) << row.a.view() << " / " << row.b;
    EXPECT_EQ(row.a == Text(row.b), row.equal) << row.a.view() << " / " << row.b;
    EXPECT_EQ(row.a == std::string(row.b), row.equal) << row.a.view() << " / " << row.b;
  }
  EXPECT_LT(Text("ABCD"), Text("ABCDEFGHI"));
  EXPECT_TRUE(Text("MATH") == "MATH");
}

}  // namespace
}  // namespace brix
