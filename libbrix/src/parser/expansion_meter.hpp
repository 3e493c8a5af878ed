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

#include <string_view>
#include "brix/error_chain.hpp"
#include "brix/model.hpp"

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

  // The whole size of one copy of `value`, with no limit applied.
  static CopySize measure(const VarValue& value);

  // The report on one copy of `value`, the value of the variable at [start,
  // end) of `input`, made inside `nesting` nested queries after copies
  // produced `selectors` selectors and `text` bytes: which limit it crosses
  // first as its walk goes. Nothing when it crosses none.
  static std::optional<ErrorChain> over_limit(const VarValue& value, int nesting,
                                              std::size_t selectors, std::size_t text,
                                              std::string_view input, std::size_t start,
                                              std::size_t end);
};

}  // namespace brix::detail
