// The error value of every fallible operation: a non-empty list of entries,
// outermost first, each entry caused by the next.
#pragma once

#include "brix/config.hpp"

#include <string>
#include <utility>
#include <variant>
#include <vector>

#include "brix/error.hpp"

namespace brix {

// Failures of the decimal u16 conversion.
enum class IntError {
  Empty,         // "cannot parse integer from empty string"
  InvalidDigit,  // "invalid digit found in string"
  PosOverflow,   // "number too large to fit in target type"
};

std::string_view int_error_text(IntError error);

class ErrorChain {
 public:
  // A plain message, an error report, or an integer-conversion failure.
  using Entry = std::variant<std::string, Error, IntError>;

  static ErrorChain from_message(std::string message);
  static ErrorChain from_report(Error report);
  static ErrorChain from_int_error(IntError error);

  // Puts `message` in front; the current entries become its causes.
  ErrorChain wrap(std::string message) &&;

  const std::vector<Entry>& entries() const { return entries_; }

  // The first entry, then "Caused by:" and the causes, indented (numbered
  // when there are two or more). No line feed at the end.
  std::string to_string() const;

  friend bool operator==(const ErrorChain&, const ErrorChain&) = default;

 private:
  explicit ErrorChain(Entry entry) { entries_.push_back(std::move(entry)); }
  std::vector<Entry> entries_;
};

// The text of one entry as it appears in the chain's text form.
std::string entry_text(const ErrorChain::Entry& entry);

}  // namespace brix
