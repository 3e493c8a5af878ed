// What the command does with one input: print its document, check it, or show
// an extern value. Each input yields its own outcome, so inputs can be handled
// on several threads and reported in input order.
#pragma once

#include <string>
#include <vector>

#include "brix/brix.hpp"
#include "brix/diagnostics.hpp"
#include "options.hpp"
#include "report.hpp"

namespace brix::cli {

struct Outcome {
  int status = kOk;
  std::string out;  // for standard output
  std::string err;  // for standard error
  std::size_t warnings = 0;
};

struct Context {
  const Options& options;
  const ExternValues& externs;
  ReportStyle style;
  const Catalog* catalog = nullptr;  // null: the built-in one
};

// The inputs of `brix check`: each path, with directories replaced by the
// *.brix files below them in name order.
std::vector<std::string> expand_inputs(const std::vector<std::string>& inputs);

// The requirements document of one file, in the chosen output format.
Outcome print_file(const std::string& path, const Context& context);
// Takes back an outcome's standard output once it has been written. Documents
// can be many megabytes, so a later file's compact document is written into
// memory an earlier one has already grown and touched.
void recycle_output(std::string&& text);
// "PATH: ok", or the file's diagnostics under a "PATH:" heading (with its
// warnings for `brix lint`).
Outcome check_file(const std::string& path, const Context& context);
// The diagnostic text of one extern value text.
Outcome show_value(const std::string& text, const Context& context);

}  // namespace brix::cli
