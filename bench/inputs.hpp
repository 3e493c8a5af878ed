// What the benchmarks read: the generated corpus, made once per size, and the
// values of its externs.
#pragma once

#include <cstddef>
#include <string>
#include <utility>

#include "brix/brix.hpp"
#include "corpus.hpp"

namespace brix::bench {

inline constexpr std::size_t kMiB = 1 << 20;

// The corpus of about `mib` MiB (at most 16); with `error_at_end`, the same
// with an unknown department in its last statement.
inline const std::string& corpus(std::size_t mib, bool error_at_end = false) {
  static std::string cache[2][17];
  std::string& s = cache[error_at_end][mib];
  if (s.empty()) s = CorpusWriter(42).write(mib * kMiB, error_at_end);
  return s;
}

inline ExternValues externs() {
  ExternValues values;
  for (const auto& [name, text] : corpus_externs())
    values.emplace(name, std::move(*parse_extern_value(text)));
  return values;
}

}  // namespace brix::bench
