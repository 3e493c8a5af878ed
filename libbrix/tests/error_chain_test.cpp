#include "brix/error_chain.hpp"

#include <gtest/gtest.h>

#include <string>

namespace brix {
namespace {

Error report() {
  return Error::new_from_span(CustomError{"undefined variable `$x`"}, "SELECT 1 FROM $x", 14, 16);
}

TEST(ErrorChain, RendersCauses) {
  struct Row {
    const char* what;
    ErrorChain chain;
    std::string expected;
  };
  const Row rows[] = {
      {"a single message", ErrorChain::from_message("failed parsing selector"),
       "failed parsing selector"},
      {"numbered causes",
       ErrorChain::from_int_error(IntError::PosOverflow)
           .wrap("selection could not fit as u16")
           .wrap("failed parsing quantity"),
       R"(failed parsing quantity

Caused by:
    0: selection could not fit as u16
    1: number too large to fit in target type)"},
      {"one cause, four spaces and no number",
       ErrorChain::from_int_error(IntError::InvalidDigit).wrap("could not parse class_id into u16"),
       R"(could not parse class_id into u16

Caused by:
    invalid digit found in string)"},
      {"a report on its own", ErrorChain::from_report(report()), R"( --> 1:15
  |
1 | SELECT 1 FROM $x
  |               ^^
  |
  = undefined variable `$x`)"},
      {"a one-cause report keeps its lines, indented by four",
       ErrorChain::from_report(report()).wrap("failed parsing selector"),
       "failed parsing selector\n\nCaused by:\n"
       "     --> 1:15\n"
       "      |\n"
       "    1 | SELECT 1 FROM $x\n"
       "      |               ^^\n"
       "      |\n"
       "      = undefined variable `$x`"},
      {"numbered report lines are indented by seven",
       ErrorChain::from_report(report())
           .wrap("could not parse nested query")
           .wrap("failed parsing selector"),
       "failed parsing selector\n\nCaused by:\n"
       "    0: could not parse nested query\n"
       "    1:  --> 1:15\n"
       "         |\n"
       "       1 | SELECT 1 FROM $x\n"
       "         |               ^^\n"
       "         |\n"
       "         = undefined variable `$x`"},
  };
  for (const Row& row : rows) EXPECT_EQ(row.chain.to_string(), row.expected) << row.what;
}

TEST(ErrorChain, NumbersAreRightAlignedInFiveColumns) {
  ErrorChain chain = ErrorChain::from_message("cause 11");
  for (int i = 10; i >= 0; --i) chain = std::move(chain).wrap("cause " + std::to_string(i));
  const std::string text = chain.to_string();
  EXPECT_NE(text.find("\n    9: cause 10\n   10: cause 11"), std::string::npos) << text;
  EXPECT_TRUE(text.starts_with("cause 0\n\nCaused by:\n    0: cause 1\n")) << text;
}

}  // namespace
}  // namespace brix
