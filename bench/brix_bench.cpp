// Throughput of the library on generated corpora. MB/s counts input bytes.
// Output buffers are reused between iterations (first-touch page faults on
// fresh multi-megabyte buffers would otherwise dominate); the benchmarks named
// "..._fresh" allocate their result anew each iteration, as a caller of
// ParseResult::to_string does.
//
// Peak memory is measured by counting live heap bytes in this binary's
// operator new/delete: "peak_MiB" is the most held at once during one
// iteration, "peak_per_io" that peak divided by (input + output) bytes.
#include <benchmark/benchmark.h>

#include <atomic>
#include <cstdlib>
#include <new>
#include <string>

#include "brix/brix.hpp"
#include "corpus.hpp"
#include "parser/grammar.hpp"

namespace {

std::atomic<std::size_t> g_live{0};
std::atomic<std::size_t> g_peak{0};

void reset_peak() {
  g_peak.store(g_live.load());
}

}  // namespace

void* operator new(std::size_t n) {
  void* p = std::malloc(n + 16);
  if (!p) throw std::bad_alloc();
  *static_cast<std::size_t*>(p) = n;
  std::size_t live = g_live.fetch_add(n) + n;
  std::size_t peak = g_peak.load();
  while (live > peak && !g_peak.compare_exchange_weak(peak, live)) {
  }
  return static_cast<char*>(p) + 16;
}
void operator delete(void* p) noexcept {
  if (!p) return;
  void* base = static_cast<char*>(p) - 16;
  g_live.fetch_sub(*static_cast<std::size_t*>(base));
  std::free(base);
}
void operator delete(void* p, std::size_t) noexcept {
  operator delete(p);
}

namespace {

constexpr std::size_t kMiB = 1 << 20;

const std::string& corpus(std::size_t mib, bool error_at_end = false) {
  static std::string cache[2][17];
  std::string& s = cache[error_at_end][mib];
  if (s.empty()) s = brix::bench::CorpusWriter(42).write(mib * kMiB, error_at_end);
  return s;
}

brix::ExternValues externs() {
  brix::ExternValues values;
  for (const auto& [name, text] : brix::bench::corpus_externs())
    values.emplace(name, std::move(*brix::parse_extern_value(text)));
  return values;
}

void report(benchmark::State& state, std::size_t input, std::size_t output, std::size_t base) {
  state.SetBytesProcessed(static_cast<std::int64_t>(state.iterations() * input));
  double peak = static_cast<double>(g_peak.load() - base);
  state.counters["peak_MiB"] = peak / kMiB;
  state.counters["peak_per_io"] = peak / static_cast<double>(input + output);
}

template <bool Pretty>
void BM_TextToJson(benchmark::State& state) {
  const std::string& text = corpus(static_cast<std::size_t>(state.range(0)));
  std::string out;
  const brix::ExternValues values = externs();
  std::size_t base = g_live.load();
  for (auto _ : state) {
    reset_peak();
    base = g_live.load();
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
  report(state, text.size(), out.size(), base);
}
BENCHMARK(BM_TextToJson<false>)
    ->Name("text_to_compact_json")
    ->Arg(1)
    ->Arg(4)
    ->Arg(16)
    ->Unit(benchmark::kMillisecond);
BENCHMARK(BM_TextToJson<true>)->Name("text_to_pretty_json")->Arg(4)->Unit(benchmark::kMillisecond);

void BM_TextToJsonFresh(benchmark::State& state) {
  const std::string& text = corpus(4);
  const brix::ExternValues values = externs();
  std::size_t out_size = 0;
  for (auto _ : state) {
    auto result = brix::parse_with_externals(text, values);
    auto json = result->to_string();
    out_size = json->size();
    benchmark::DoNotOptimize(json->data());
  }
  state.SetBytesProcessed(static_cast<std::int64_t>(state.iterations() * text.size()));
  (void)out_size;
}
BENCHMARK(BM_TextToJsonFresh)->Name("text_to_compact_json_fresh/4")->Unit(benchmark::kMillisecond);

void BM_ParseOnly(benchmark::State& state) {
  const std::string& text = corpus(static_cast<std::size_t>(state.range(0)));
  for (auto _ : state) {
    auto tree = brix::detail::parse_rule(brix::Rule::file, text);
    benchmark::DoNotOptimize(&tree);
  }
  state.SetBytesProcessed(static_cast<std::int64_t>(state.iterations() * text.size()));
}
BENCHMARK(BM_ParseOnly)->Name("parse_tree_only")->Arg(4)->Unit(benchmark::kMillisecond);

void BM_ErrorPath(benchmark::State& state) {
  const std::string& text = corpus(static_cast<std::size_t>(state.range(0)), true);
  const brix::ExternValues values = externs();
  for (auto _ : state) {
    auto result = brix::parse_with_externals(text, values);
    if (result.ok()) state.SkipWithError("the corpus should fail");
    benchmark::DoNotOptimize(&result);
  }
  state.SetBytesProcessed(static_cast<std::int64_t>(state.iterations() * text.size()));
}
BENCHMARK(BM_ErrorPath)->Name("error_at_last_statement")->Arg(4)->Unit(benchmark::kMillisecond);

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

}  // namespace

BENCHMARK_MAIN();
