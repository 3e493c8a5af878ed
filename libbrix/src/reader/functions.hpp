// The nine selector functions, one row each: how the name is spelt, the
// arguments it takes and the message when a call's arguments do not fit.
// The selector a call builds is the variant of the same position (see
// Function); the sinks write it.
#pragma once

#include <array>
#include <cstdint>
#include <optional>
#include <string_view>

#include "reader/sink.hpp"

namespace brix::detail {

enum class Arg : std::uint8_t { Course, Text };

struct FunctionRow {
  Function function;
  std::string_view upper;
  std::string_view lower;
  std::uint8_t arity;
  std::array<Arg, 3> pattern;
  std::string_view message;
};

inline constexpr std::array<FunctionRow, 9> kFunctions{{
    {Function::Class,
     "CLASS",
     "class",
     1,
     {Arg::Course},
     "CLASS function must take one <CLASS> argument of the form `DEPARTMENT_ID CLASS_ID`"},
    {Function::Placement,
     "PLACEMENT",
     "placement",
     1,
     {Arg::Text},
     "PLACEMENT function must take one <STRING> argument of the form `\"abcXYZ123\"`"},
    {Function::Tag,
     "TAG",
     "tag",
     1,
     {Arg::Text},
     "TAG function must take one <STRING> argument of the form `\"abcXYZ123\"`"},
    {Function::TagDept,
     "TAG_DEPT",
     "tag_dept",
     2,
     {Arg::Text, Arg::Text},
     "TAG_DEPT function must take two <STRING>, <STRING> arguments of the form `\"TC TAG\"`, "
     "`\"Tarrow Major Code\"`"},
    {Function::Dist,
     "DIST",
     "dist",
     1,
     {Arg::Text},
     "DIST function must take one <STRING> argument of the form `\"abcXYZ123\"`"},
    {Function::DistDept,
     "DIST_DEPT",
     "dist_dept",
     2,
     {Arg::Text, Arg::Text},
     "DIST_DEPT function must take two <STRING>, <STRING> arguments of the form `\"TC dist\"`, "
     "`\"Tarrow Major Code\"`"},
    {Function::Range,
     "RANGE",
     "range",
     2,
     {Arg::Course, Arg::Course},
     "RANGE function must take two <CLASS>, <CLASS> arguments of the form `DEPARTMENT_ID "
     "CLASS_ID`"},
    {Function::RangeDist,
     "RANGE_DIST",
     "range_dist",
     3,
     {Arg::Course, Arg::Course, Arg::Text},
     "RANGE_DIST function must take three <CLASS>, <CLASS>, <STRING> arguments"},
    {Function::RangeTag,
     "RANGE_TAG",
     "range_tag",
     3,
     {Arg::Course, Arg::Course, Arg::Text},
     "RANGE_TAG function must take three <CLASS>, <CLASS>, <STRING> arguments"},
}};

// Candidates for a misspelt name; among equally close names the later one is
// suggested, so this order is part of the messages.
inline constexpr std::array<std::string_view, 9> kFunctionSuggestions{
    "CLASS", "RANGE",     "TAG_DEPT",   "TAG",      "PLACEMENT",
    "DIST",  "DIST_DEPT", "RANGE_DIST", "RANGE_TAG"};

// The row of a name written in either spelling; nothing for any other name.
inline const FunctionRow* function_named(std::string_view name) {
  for (const FunctionRow& row : kFunctions) {
    if (name == row.upper || name == row.lower) return &row;
  }
  return nullptr;
}

}  // namespace brix::detail
