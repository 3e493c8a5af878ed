// check: every error of a file, then its warnings.
//
// A file without errors is read once, by the linter or, without warnings,
// by a sink that keeps nothing; only a file with errors is read again to
// find them all (recovery.cpp).
#include <utility>

#include "brix/diagnostics.hpp"
#include "diagnostics/lint.hpp"
#include "diagnostics/read.hpp"
#include "diagnostics/recovery.hpp"

namespace brix {

std::vector<Diagnostic> check(std::string_view text, const Options& options) {
  if (options.warnings) {
    detail::LintSink sink(text, options);
    if (detail::read_clean(text, options, sink)) return std::move(sink).warnings();
  } else {
    detail::Sink<> sink;
    if (detail::read_clean(text, options, sink)) return {};
  }
  detail::Recovered recovered = detail::recover(text, options, true);
  std::vector<Diagnostic> out = std::move(recovered.errors);
  if (options.warnings && recovered.parses) {
    for (Diagnostic& warning : detail::lint(text, recovered.readable, options)) {
      out.push_back(std::move(warning));
    }
  }
  return out;
}

std::string_view severity_name(Severity severity) {
  switch (severity) {
    case Severity::Error:
      return "error";
    case Severity::Warning:
      return "warning";
    case Severity::Note:
      break;
  }
  return "note";
}

}  // namespace brix
