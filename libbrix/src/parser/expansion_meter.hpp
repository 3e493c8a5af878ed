// The limits on what copying variables may add to one document.
//
// Every use of a variable copies its value, so a few short lines can ask for
// more than any memory holds: `$a = [CSCI 1010]; $a = [$a, $a];` repeated
// forty times would need 2^40 selectors, and `$a = [SELECT 1 FROM $a];`
// repeated nests queries as deep as the file is long. The meter counts, over
// one file, the selectors (nested ones included) and the bytes of text that
// copies out of variables and extern values produce, and checks how deeply a
// copied value would nest queries where it is used. A use that would cross a
// limit fails with a report on the variable before anything is copied, so
// memory and time stay in proportion to the input. The limits are far above
// what any real requirements file needs.
#pragma once

#include <algorithm>
#include <cstddef>
#include <optional>

#include "brix/error_chain.hpp"
#include "brix/model.hpp"
#include "peg/tree.hpp"

namespace brix::detail {

// What one copy of a value adds: selectors (nested ones included), bytes of
// text, and the deepest level of nested queries inside it.
struct CopySize {
  std::size_t selectors = 0;
  std::size_t text = 0;
  int depth = 0;
};

class ExpansionMeter {
 public:
  // Selectors that copies may produce in one file: this many, or one for
  // every `kInputBytesPerSelector` bytes of a larger input. The input is the
  // text the charged variable was written in, so no caller has to pass its
  // size along.
  static constexpr std::size_t kMinSelectors = std::size_t{1} << 20;
  static constexpr std::size_t kInputBytesPerSelector = 8;
  // Bytes of text that copies may produce: this many, or a multiple of a
  // larger input's length.
  static constexpr std::size_t kMinTextBytes = std::size_t{1} << 26;
  static constexpr std::size_t kTextBytesPerInputByte = 4;

  static std::size_t selector_limit(std::size_t input_size);
  static std::size_t text_limit(std::size_t input_size);

  // Selectors that copies may still produce in a text of `input_size` bytes.
  std::size_t selectors_left(std::size_t input_size) const {
    const std::size_t limit = selector_limit(input_size);
    return limit - std::min(selectors_, limit);
  }

  // Accounts for one copy of `value`, the value of `variable`, about to be
  // made inside `nesting` open nested queries, against the limits for the
  // text `variable` belongs to. The report on the variable
  // when the copy would cross a limit; nothing is charged then.
  std::optional<ErrorChain> charge(const VarValue& value, Pair variable) {
    return charge(value, variable.input(), variable.start(), variable.end());
  }
  // The same for the variable at [start, end) of `input`.
  std::optional<ErrorChain> charge(const VarValue& value, std::string_view input, std::size_t start,
                                   std::size_t end);

  // The whole size of one copy of `value`, with no limit applied.
  static CopySize measure(const VarValue& value);

  // What copies have produced so far, and setting it: a build that takes over
  // a file part way through starts from the totals of the part before.
  std::size_t selectors_charged() const { return selectors_; }
  std::size_t text_charged() const { return text_bytes_; }
  void restore(std::size_t selectors, std::size_t text_bytes) {
    selectors_ = selectors;
    text_bytes_ = text_bytes;
  }

  // Nested queries currently being built, so that a spliced value's own
  // queries count on top of them.
  int nesting = 0;

 private:
  std::size_t selectors_ = 0;
  std::size_t text_bytes_ = 0;
};

}  // namespace brix::detail
