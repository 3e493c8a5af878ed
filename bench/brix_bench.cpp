// Throughput of the library on generated corpora. MB/s counts input bytes.
// Output buffers are reused between iterations (first-touch page faults on
// fresh multi-megabyte buffers would otherwise dominate); the benchmarks named
// "..._fresh" allocate their result anew each iteration, as a caller of
// ParseResult::to_string does.
//
// Peak memory is measured only by the "peak_memory" benchmarks, which count
// the live heap bytes of this binary's operator new/delete while one
// conversion runs: "peak_MiB" is the most held at once, "peak_per_io" that
// peak divided by (input + output) bytes. Counting is off in every other
// benchmark, where operator new is plain malloc, so the throughput numbers
// carry no cost of the measuring.
#include <benchmark/benchmark.h>
#include <malloc.h>

#include <algorithm>
#include <cstdlib>
#include <fstream>
#include <iterator>
#include <new>
#include <string>
#include <vector>

#include "brix/brix.hpp"
#include "inputs.hpp"
#include "parser/grammar.hpp"

namespace {

// Single-threaded counters: benchmarks run on the main thread only.
bool g_counting = false;
std::ptrdiff_t g_live = 0;
std::ptrdiff_t g_peak = 0;

void start_counting() {
  g_live = 0;
  g_peak = 0;
  g_counting = true;
}

}  // namespace

// Sizes come from malloc_usable_size, so no header is added to a block and
// the allocator behaves exactly as without counting. A block allocated before
// counting began and freed during it lowers g_live below zero, as it should:
// the peak is relative to the heap at the start.
void* operator new(std::size_t n) {
  void* p = std::malloc(n);
  if (!p) throw std::bad_alloc();
  if (g_counting) {
    g_live += static_cast<std::ptrdiff_t>(malloc_usable_size(p));
    g_peak = std::max(g_peak, g_live);
  }
  return p;
}
void operator delete(void* p) noexcept {
  if (p && g_counting) g_live -= static_cast<std::ptrdiff_t>(malloc_usable_size(p));
  std::free(p);
}
void operator delete(void* p, std::size_t) noexcept {
  operator delete(p);
}

namespace {

using brix::bench::corpus;
using brix::bench::externs;
using brix::bench::kMiB;

// The job itself: text in, compact JSON out, into a buffer kept between
// iterations.
void BM_TextToJson(benchmark::State& state) {
  const std::string& text = corpus(static_cast<std::size_t>(state.range(0)));
  const brix::ExternValues values = externs();
  std::string out;
  for (auto _ : state) {
    out.clear();
    auto result = brix::parse_to_json(text, values, out);
    if (!result.ok()) state.SkipWithError(result.error().to_string().c_str());
    benchmark::DoNotOptimize(out.data());
  }
  state.SetBytesProcessed(static_cast<std::int64_t>(state.iterations() * text.size()));
}
BENCHMARK(BM_TextToJson)
    ->Name("text_to_compact_json")
    ->Arg(1)
    ->Arg(4)
    ->Arg(16)
    ->Unit(benchmark::kMillisecond);

// The indented document without the data model: the compact one, laid out.
void BM_TextToPrettyJson(benchmark::State& state) {
  const std::string& text = corpus(static_cast<std::size_t>(state.range(0)));
  const brix::ExternValues values = externs();
  std::string compact;
  std::string out;
  for (auto _ : state) {
    compact.clear();
    auto result = brix::parse_to_json(text, values, compact);
    if (!result.ok()) state.SkipWithError(result.error().to_string().c_str());
    out.clear();
    brix::indent_json(compact, out);
    benchmark::DoNotOptimize(out.data());
  }
  state.SetBytesProcessed(static_cast<std::int64_t>(state.iterations() * text.size()));
}
BENCHMARK(BM_TextToPrettyJson)
    ->Name("text_to_pretty_json")
    ->Arg(1)
    ->Arg(4)
    ->Arg(16)
    ->Unit(benchmark::kMillisecond);

// Through the data model: parse_with_externals, then a writer.
template <bool Pretty>
void BM_ModelToJson(benchmark::State& state) {
  const std::string& text = corpus(static_cast<std::size_t>(state.range(0)));
  std::string out;
  const brix::ExternValues values = externs();
  for (auto _ : state) {
    auto result = brix::parse_with_externals(text, values);
    if (!result.ok()) state.SkipWithError(result.error().to_string().c_str());
    out.clear();
    if constexpr (Pretty) {
      brix::write_json_pretty(result->parsed_brix_file, out);
    } else {
      brix::write_json(result->parsed_brix_file, out);
    }
    benchmark::DoNotOptimize(out.data());
  }
  state.SetBytesProcessed(static_cast<std::int64_t>(state.iterations() * text.size()));
}
BENCHMARK(BM_ModelToJson<false>)
    ->Name("model_to_compact_json")
    ->Arg(1)
    ->Arg(4)
    ->Arg(16)
    ->Unit(benchmark::kMillisecond);
BENCHMARK(BM_ModelToJson<true>)
    ->Name("model_to_pretty_json")
    ->Arg(1)
    ->Arg(4)
    ->Arg(16)
    ->Unit(benchmark::kMillisecond);

void BM_TextToJsonFresh(benchmark::State& state) {
  const std::string& text = corpus(static_cast<std::size_t>(state.range(0)));
  const brix::ExternValues values = externs();
  for (auto _ : state) {
    std::string out;
    auto result = brix::parse_to_json(text, values, out);
    benchmark::DoNotOptimize(out.data());
    benchmark::DoNotOptimize(&result);
  }
  state.SetBytesProcessed(static_cast<std::int64_t>(state.iterations() * text.size()));
}
BENCHMARK(BM_TextToJsonFresh)
    ->Name("text_to_compact_json_fresh")
    ->Arg(1)
    ->Arg(4)
    ->Arg(16)
    ->Unit(benchmark::kMillisecond);

// The most heap held at once while one corpus becomes compact JSON in a fresh
// string, relative to the heap before.
void BM_PeakMemory(benchmark::State& state) {
  const std::string& text = corpus(static_cast<std::size_t>(state.range(0)));
  const brix::ExternValues values = externs();
  double peak = 0;
  std::size_t out_size = 0;
  for (auto _ : state) {
    start_counting();
    {
      std::string out;
      auto result = brix::parse_to_json(text, values, out);
      out_size = out.size();
      benchmark::DoNotOptimize(out.data());
      benchmark::DoNotOptimize(&result);
    }
    g_counting = false;
    peak = static_cast<double>(g_peak);
  }
  state.SetBytesProcessed(static_cast<std::int64_t>(state.iterations() * text.size()));
  state.counters["peak_MiB"] = peak / kMiB;
  state.counters["peak_per_io"] = peak / static_cast<double>(text.size() + out_size);
}
BENCHMARK(BM_PeakMemory)
    ->Name("peak_memory")
    ->Arg(1)
    ->Arg(4)
    ->Arg(16)
    ->Iterations(1)
    ->Unit(benchmark::kMillisecond);

void BM_ParseOnly(benchmark::State& state) {
  const std::string& text = corpus(static_cast<std::size_t>(state.range(0)));
  for (auto _ : state) {
    auto tree = brix::detail::parse_rule(brix::Rule::file, text);
    benchmark::DoNotOptimize(&tree);
  }
  state.SetBytesProcessed(static_cast<std::int64_t>(state.iterations() * text.size()));
}
BENCHMARK(BM_ParseOnly)
    ->Name("parse_tree_only")
    ->Arg(1)
    ->Arg(4)
    ->Arg(16)
    ->Unit(benchmark::kMillisecond);

void BM_ErrorPath(benchmark::State& state) {
  const std::string& text = corpus(static_cast<std::size_t>(state.range(0)), true);
  const brix::ExternValues values = externs();
  std::string out;
  for (auto _ : state) {
    out.clear();
    auto result = brix::parse_to_json(text, values, out);
    if (result.ok()) state.SkipWithError("the corpus should fail");
    benchmark::DoNotOptimize(&result);
  }
  state.SetBytesProcessed(static_cast<std::int64_t>(state.iterations() * text.size()));
}
BENCHMARK(BM_ErrorPath)
    ->Name("error_at_last_statement")
    ->Arg(1)
    ->Arg(4)
    ->Arg(16)
    ->Unit(benchmark::kMillisecond);

void BM_ExternValue(benchmark::State& state) {
  const std::string_view values[] = {"3", "1-4", "\"Writing intensive\"", "CSCI 1010L",
                                     "[CSCI 3300, RANGE(MATH 3000, MATH 3990), TAG(\"QR\")]"};
  std::size_t bytes = 0;
  for (auto _ : state) {
    for (std::string_view v : values) {
      auto result = brix::parse_extern_value(v);
      benchmark::DoNotOptimize(&result);
      bytes += v.size();
    }
  }
  state.SetBytesProcessed(static_cast<std::int64_t>(bytes));
  state.SetItemsProcessed(static_cast<std::int64_t>(state.iterations() * std::size(values)));
}
BENCHMARK(BM_ExternValue)->Name("parse_extern_value_short");

// Files as a registrar writes them (examples/, each with its externs file if
// it has one), converted one after another into a new string each, as a tool
// that checks many small files does. "per_file" is the mean time of one file.
struct ExampleFile {
  std::string text;
  brix::ExternValues externs;
};

std::string read_file(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
}

std::vector<ExampleFile> example_files() {
  std::vector<ExampleFile> files;
  for (const char* name :
       {"biology-major", "cs-major", "double-major", "general-education", "math-minor"}) {
    std::string base = std::string(BRIX_EXAMPLES_DIR) + "/" + name;
    ExampleFile file{read_file(base + ".brix"), {}};
    // NAME = VALUE lines; blank lines and "#" comments skipped; "$" optional.
    std::ifstream externs(base + ".externs");
    for (std::string line; std::getline(externs, line);) {
      std::size_t eq = line.find('=');
      if (line.empty() || line[0] == '#' || eq == std::string::npos) continue;
      std::string key = line.substr(0, line.find_last_not_of(' ', eq - 1) + 1);
      std::string value = line.substr(line.find_first_not_of(' ', eq + 1));
      if (key[0] != '$') key.insert(0, "$");
      file.externs.emplace(key, std::move(*brix::parse_extern_value(value)));
    }
    files.push_back(std::move(file));
  }
  return files;
}

void BM_ExampleFiles(benchmark::State& state) {
  const std::vector<ExampleFile> files = example_files();
  std::size_t bytes = 0;
  for (auto _ : state) {
    for (const ExampleFile& file : files) {
      std::string out;
      auto result = brix::parse_to_json(file.text, file.externs, out);
      if (!result.ok()) state.SkipWithError(result.error().to_string().c_str());
      benchmark::DoNotOptimize(out.data());
      bytes += file.text.size();
    }
  }
  state.SetBytesProcessed(static_cast<std::int64_t>(bytes));
  state.counters["per_file"] =
      benchmark::Counter(static_cast<double>(state.iterations() * files.size()),
                         benchmark::Counter::kIsRate | benchmark::Counter::kInvert);
}
BENCHMARK(BM_ExampleFiles)->Name("example_files")->Unit(benchmark::kMicrosecond);

}  // namespace

// The context printed above the results says which numbers include the
// output's allocation.
int main(int argc, char** argv) {
  benchmark::AddCustomContext(
      "allocation",
      "every benchmark includes the library's own allocations; the output string is allocated "
      "anew only in text_to_compact_json_fresh and peak_memory, and kept between iterations "
      "elsewhere");
  benchmark::Initialize(&argc, argv);
  if (benchmark::ReportUnrecognizedArguments(argc, argv)) return 1;
  benchmark::RunSpecifiedBenchmarks();
  benchmark::Shutdown();
  return 0;
}
