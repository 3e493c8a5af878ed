#include "explain_command.hpp"

#include "brix/explain.hpp"
#include "source_file.hpp"

namespace brix::cli {

Outcome explain_file(const std::string& path, const Context& context) {
  const std::string shown = path == "-" ? context.options.stdin_name : path;
  SourceText source = read_source(path, shown);
  if (source.error) return Outcome{kUsageError, {}, "brix: " + *source.error + "\n"};
  Result<std::string> text = explain(source.text, context.externs);
  if (!text) return Outcome{kBrixError, {}, render_error(text.error(), shown, context.style)};
  return {kOk, std::move(text).value(), {}};
}

}  // namespace brix::cli
