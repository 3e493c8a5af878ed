// Help for the common slips. A hint is a guess about what the writer meant,
// so each is tried before it is offered: its fix is applied and the text
// parsed again, and only a fix after which the text parses further is kept.
#pragma once

#include <cstddef>
#include <functional>
#include <string_view>

#include "brix/diagnostics.hpp"
#include "diagnostics/source_scan.hpp"

namespace brix::detail {

inline constexpr std::size_t kParsedWhole = static_cast<std::size_t>(-1);

// How far a text parses: the offset of its error, or kParsedWhole.
using Progress = std::function<std::size_t(std::string_view text)>;

// Where an error is, for one without a report: the first number in code
// too large for a count. Nothing (kParsedWhole) when there is none.
std::size_t find_too_large_number(std::string_view text, const SourceScan& scan,
                                  std::size_t* end = nullptr);

// Adds the help, a label on the slip and the fixes of the first hint that
// makes `text` parse further than `at`, the offset of `chain`'s error.
void add_hint(Diagnostic& diagnostic, std::string_view text, const SourceScan& scan,
              const ErrorChain& chain, std::size_t at, const Progress& progress);

}  // namespace brix::detail
