// What showing a file to people costs next to parsing it: the web page, the
// graph and the explanation of the generated corpus, against
// parse_with_externals on the same text. MB/s counts input bytes; every
// result is allocated anew, as the command does.
#include <benchmark/benchmark.h>

#include <string>

#include "brix/brix.hpp"
#include "brix/explain.hpp"
#include "brix/highlight.hpp"
#include "brix/render.hpp"
#include "inputs.hpp"

namespace {

using brix::bench::corpus;
using brix::bench::externs;
using brix::bench::kMiB;

template <class Run>
void run(benchmark::State& state, Run job) {
  const std::string& text = corpus(static_cast<std::size_t>(state.range(0)));
  const brix::ExternValues values = externs();
  std::size_t out_bytes = 0;
  for (auto _ : state) {
    auto result = job(text, values);
    if (!result.ok()) {
      state.SkipWithError(result.error().to_string().c_str());
      return;
    }
    out_bytes = result->size();
    benchmark::DoNotOptimize(result);
  }
  state.SetBytesProcessed(static_cast<std::int64_t>(state.iterations() * text.size()));
  state.counters["output_MiB"] = static_cast<double>(out_bytes) / kMiB;
}

void BM_Parse(benchmark::State& state) {
  const std::string& text = corpus(static_cast<std::size_t>(state.range(0)));
  const brix::ExternValues values = externs();
  for (auto _ : state) {
    auto result = brix::parse_with_externals(text, values);
    if (!result.ok()) state.SkipWithError(result.error().to_string().c_str());
    benchmark::DoNotOptimize(result);
  }
  state.SetBytesProcessed(static_cast<std::int64_t>(state.iterations() * text.size()));
}

void BM_RenderHtml(benchmark::State& state) {
  run(state, [](const std::string& text, const brix::ExternValues& values) {
    return brix::render_html(text, values, {"corpus"});
  });
}

void BM_RenderDot(benchmark::State& state) {
  run(state, [](const std::string& text, const brix::ExternValues& values) {
    return brix::render_dot(text, values, {"corpus"});
  });
}

void BM_Explain(benchmark::State& state) {
  run(state, [](const std::string& text, const brix::ExternValues& values) {
    return brix::explain(text, values);
  });
}

void BM_Highlight(benchmark::State& state) {
  const std::string& text = corpus(static_cast<std::size_t>(state.range(0)));
  for (auto _ : state) {
    auto tokens = brix::highlight(text);
    benchmark::DoNotOptimize(tokens.data());
  }
  state.SetBytesProcessed(static_cast<std::int64_t>(state.iterations() * text.size()));
}

}  // namespace

BENCHMARK(BM_Parse)->Name("parse_with_externals")->Arg(1)->Arg(4)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_RenderHtml)->Name("render_html")->Arg(1)->Arg(4)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_RenderDot)->Name("render_dot")->Arg(1)->Arg(4)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_Explain)->Name("explain")->Arg(1)->Arg(4)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_Highlight)->Name("highlight")->Arg(1)->Arg(4)->Unit(benchmark::kMillisecond);

BENCHMARK_MAIN();
