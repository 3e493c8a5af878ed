// The one-pass converter: BRIX text straight to compact JSON, with no parse
// tree and no data model in between.
//
// It reads the language with a recursive-descent reader that commits to the
// one alternative the next bytes allow, writes each requirement's JSON as it
// reads it, and keeps variables as the JSON they are written as, so using one
// is a copy of bytes. It never reports an error: at anything that is or may
// be an error (and at input it leaves to the full parser, such as very deep
// nesting) it stops and says where the last statement it finished ends. The
// full parser then goes on from there and gives the exact report, or the rest
// of the document when there was no error. A file the converter finishes is
// one the full parser accepts, and its JSON is the same, byte for byte.
#pragma once

#include <cstddef>
#include <cstdint>
#include <memory>
#include <optional>
#include <string>
#include <string_view>

#include "brix/brix.hpp"

namespace brix::detail {

// Where the converter stopped, and the state of the file at that point.
struct DirectStop {
  // Just past the ";" of the last assignment or requirement finished; 0 when
  // none was (the full parser then starts from the beginning).
  std::uint32_t resume = 0;
  // The size of the output at that point: the document's opening and the
  // JSON of every requirement before it.
  std::size_t out_size = 0;
  bool wrote_requirement = false;
  // What copies out of variables had produced by then (see ExpansionMeter).
  std::size_t selectors_charged = 0;
  std::size_t text_charged = 0;
};

class DirectConverter {
 public:
  DirectConverter(std::string_view text, const ExternValues& externals);
  ~DirectConverter();
  DirectConverter(const DirectConverter&) = delete;
  DirectConverter& operator=(const DirectConverter&) = delete;

  // Appends the whole document to `out` and returns true, or returns false
  // with `out` holding what stop() describes (and possibly more after it).
  bool run(std::string& out);
  const DirectStop& stop() const;

  // The value `name` was bound to where the converter stopped, rebuilt as the
  // full parser would hold it; nothing when the name was not bound.
  std::optional<VarValue> binding(std::string_view name) const;

 private:
  struct Impl;
  std::unique_ptr<Impl> impl_;
};

}  // namespace brix::detail
