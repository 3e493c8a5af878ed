// An error report: a message tied to a position or span of the source text,
// rendered with line, column, the source line and an underline.
#pragma once

#include "brix/config.hpp"

#include <cstddef>
#include <functional>
#include <optional>
#include <string>
#include <string_view>
#include <variant>
#include <vector>

#include "brix/rule.hpp"

namespace brix {

// The rules the grammar expected (positives) or found although forbidden
// (negatives) at the failure position, sorted by rule order, without repeats.
struct ParsingError {
  std::vector<Rule> positives;
  std::vector<Rule> negatives;
  friend bool operator==(const ParsingError&, const ParsingError&) = default;
};

struct CustomError {
  std::string message;
  friend bool operator==(const CustomError&, const CustomError&) = default;
};

using ErrorVariant = std::variant<ParsingError, CustomError>;

// Byte offsets into the source; a span's end is exclusive.
struct InputLocation {
  std::size_t start = 0;
  std::optional<std::size_t> end;  // set for a span
  bool is_span() const { return end.has_value(); }
  friend bool operator==(const InputLocation&, const InputLocation&) = default;
};

// 1-based line and column (columns count characters); end set for a span.
struct LineCol {
  std::size_t line = 1;
  std::size_t column = 1;
  friend bool operator==(const LineCol&, const LineCol&) = default;
};
struct LineColLocation {
  LineCol start;
  std::optional<LineCol> end;
  friend bool operator==(const LineColLocation&, const LineColLocation&) = default;
};

// Line and column of a byte offset; CR LF counts as one line break.
LineCol line_col(std::string_view input, std::size_t offset);

class Error {
 public:
  static Error new_from_pos(ErrorVariant variant, std::string_view input, std::size_t pos);
  static Error new_from_span(ErrorVariant variant, std::string_view input, std::size_t start,
                             std::size_t end);

  // Replaces a ParsingError by a CustomError whose message names each rule
  // with `name`; a CustomError is returned unchanged.
  Error renamed_rules(const std::function<std::string_view(Rule)>& name) const;

  // The custom message, or for a ParsingError the message with plain rule names.
  std::string message() const;

  // The multi-line report. `path`, when given, is shown before the line
  // number in the arrow line (" --> path:3:14").
  std::string to_string(std::optional<std::string_view> path = std::nullopt) const;

  const ErrorVariant& variant() const { return variant_; }
  const InputLocation& location() const { return location_; }
  const LineColLocation& line_col() const { return line_col_; }
  const std::string& line() const { return line_; }
  const std::optional<std::string>& continued_line() const { return continued_line_; }

  friend bool operator==(const Error&, const Error&) = default;

 private:
  ErrorVariant variant_;
  InputLocation location_;
  std::string line_;
  std::optional<std::string> continued_line_;
  LineColLocation line_col_;
};

}  // namespace brix
