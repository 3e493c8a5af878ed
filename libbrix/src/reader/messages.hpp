// The texts of the reader's semantic errors, each written here once. Where a
// message names something, the text before the name is kept (and the text
// after it, if any). The diagnostics tell errors apart by these texts
// (diagnostics/codes.cpp) and read suggestions back out of kDidYouMean.
#pragma once

#include <string_view>

namespace brix::detail::messages {

// Counts.
inline constexpr std::string_view kSelectZero = "cannot select zero";
inline constexpr std::string_view kAssignZero = "cannot assign zero as a quantity";
inline constexpr std::string_view kRangeFromZero =
    "cannot select a range starting from zero on a top-level SELECT";
inline constexpr std::string_view kSelectRangeOrder =
    "for any SELECT n-k statements, k>=n must be true. ";
inline constexpr std::string_view kRangeOrder = "for any range n-k, k>=n must be true. ";
inline constexpr std::string_view kSelectionTooLarge = "selection could not fit as u16";
inline constexpr std::string_view kQuantityTooLarge = "quantity could not fit as u16";
inline constexpr std::string_view kPriorityRange =
    "priority must be a single number, not a range (`";

// Queries.
inline constexpr std::string_view kLimitNested = "LIMIT must be a top-level query";
inline constexpr std::string_view kFailedQuantity = "failed parsing quantity";
inline constexpr std::string_view kFailedSelector = "failed parsing selector";
inline constexpr std::string_view kFailedNestedQuery = "could not parse nested query";

// Variables and externs.
inline constexpr std::string_view kUndefinedVariable = "undefined variable `";
inline constexpr std::string_view kExternMissing = "extern variable `";
inline constexpr std::string_view kExternMissingEnd =
    "` was declared but not provided by the caller";
inline constexpr std::string_view kExpectedSelector = "expected selector, found ";
inline constexpr std::string_view kExpectedArgument = "expected string or class argument, found ";
inline constexpr std::string_view kExpectedQuantity = "expected quantity, found ";
inline constexpr std::string_view kExpectedPriority = "expected quantity for priority, found ";
inline constexpr std::string_view kExpectedDescription = "expected string for description, found ";
// Reported in place of the exact expansion error by a sink that keeps no
// values; the exact one is found by reading again.
inline constexpr std::string_view kExpansionLimit = "expansion limit";

// Departments and functions.
inline constexpr std::string_view kDepartmentForm =
    "departments must be 3-4 uppercase ASCII character symbols";
inline constexpr std::string_view kUnknownDepartment =
    "this department does not exist in Tarrow's course catalog ";
inline constexpr std::string_view kUnknownFunction = "not a valid query ";
// Then the suggestion and ")".
inline constexpr std::string_view kDidYouMean = "(Did you mean: ";

}  // namespace brix::detail::messages
