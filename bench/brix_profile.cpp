// brix_profile FILE [RUNS]: converts FILE to compact JSON RUNS times (default
// 1) with the corpus's extern values, by the one-pass converter and through
// the data model, and prints the time of each stage. Meant
// for profilers (callgrind, perf record): unlike the benchmark binary it
// replaces no allocator and does no measuring of its own inside the stages.
#include <sys/resource.h>

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <iterator>
#include <sstream>
#include <string>

#include "brix/brix.hpp"
#include "inputs.hpp"
#include "parser/grammar.hpp"

namespace {

using Clock = std::chrono::steady_clock;

long minor_faults() {
  rusage usage{};
  getrusage(RUSAGE_SELF, &usage);
  return usage.ru_minflt;
}

double ms_since(Clock::time_point start) {
  return std::chrono::duration<double, std::milli>(Clock::now() - start).count();
}

}  // namespace

int main(int argc, char** argv) {
  if (argc < 2) {
    std::fprintf(stderr, "usage: brix_profile FILE [RUNS]\n");
    return 2;
  }
  std::ifstream in(argv[1], std::ios::binary);
  std::ostringstream buffer;
  buffer << in.rdbuf();
  const std::string text = buffer.str();
  const int runs = argc > 2 ? std::atoi(argv[2]) : 1;

  const brix::ExternValues values = brix::bench::externs();

  std::string out;
  for (int run = 0; run < runs; ++run) {
    const long faults = minor_faults();
    Clock::time_point t = Clock::now();
    auto built = brix::parse_with_externals(text, values);
    const double parse = ms_since(t);
    if (!built.ok()) {
      std::fprintf(stderr, "%s\n", built.error().to_string().c_str());
      return 1;
    }

    t = Clock::now();
    out.clear();
    brix::write_json(built->parsed_brix_file, out);
    const double json = ms_since(t);

    t = Clock::now();
    { auto drop = std::move(built); }
    const double destroy = ms_since(t);
    const long run_faults = minor_faults() - faults;

    // The grammar alone, building the whole file's tree, for comparison.
    t = Clock::now();
    { auto tree = brix::detail::parse_rule(brix::Rule::file, text); }
    const double tree = ms_since(t);

    // The one-pass converter, into the same (already grown) string.
    t = Clock::now();
    out.clear();
    auto direct = brix::parse_to_json(text, values, out);
    const double one_pass = ms_since(t);
    if (!direct.ok()) return 1;

    const double total = parse + json + destroy;
    const double mb = static_cast<double>(text.size()) / 1e6;
    std::printf(
        "one pass %.2f ms (%.0f MB/s)  | model: parse+build %.2f  json %.2f  destroy %.2f"
        "  total %.2f ms (%.0f MB/s, %ld page faults)  | tree only %.2f ms\n",
        one_pass, mb / (one_pass / 1e3), parse, json, destroy, total, mb / (total / 1e3),
        run_faults, tree);
  }
  return 0;
}
