#include "ordered_pool.hpp"

#include <algorithm>
#include <atomic>
#include <condition_variable>
#include <mutex>
#include <optional>
#include <thread>
#include <utility>
#include <vector>

namespace brix::cli {
namespace {

int emit(Outcome&& outcome, std::FILE* out, std::FILE* err) {
  if (!outcome.out.empty()) std::fwrite(outcome.out.data(), 1, outcome.out.size(), out);
  if (!outcome.err.empty()) {
    // Keep the two streams in input order when they share a terminal.
    std::fflush(out);
    std::fwrite(outcome.err.data(), 1, outcome.err.size(), err);
    std::fflush(err);
  }
  recycle_output(std::move(outcome.out));
  return outcome.status;
}

}  // namespace

int run_in_order(std::size_t count, unsigned jobs, const std::function<Outcome(std::size_t)>& work,
                 std::FILE* out, std::FILE* err) {
  int status = kOk;
  const std::size_t threads = std::min<std::size_t>(std::max(jobs, 1u), count);
  if (threads <= 1) {
    for (std::size_t i = 0; i < count; ++i) status = std::max(status, emit(work(i), out, err));
    return status;
  }

  std::vector<std::optional<Outcome>> results(count);
  std::atomic<std::size_t> next{0};
  std::mutex mutex;
  std::condition_variable ready;
  const auto publish = [&](std::size_t i, Outcome outcome) {
    {
      std::lock_guard lock(mutex);
      results[i] = std::move(outcome);
    }
    ready.notify_one();
  };

  // The calling thread is one of the `threads`: it writes every outcome that
  // is ready in order, works on the next input itself while there is one, and
  // waits only when every input has been taken by some thread.
  std::vector<std::jthread> helpers;
  helpers.reserve(threads - 1);
  for (std::size_t t = 1; t < threads; ++t) {
    helpers.emplace_back([&] {
      for (std::size_t i = next++; i < count; i = next++) publish(i, work(i));
    });
  }
  for (std::size_t printed = 0; printed < count;) {
    std::optional<Outcome> outcome;
    {
      std::unique_lock lock(mutex);
      if (!results[printed] && next.load() >= count) {
        ready.wait(lock, [&] { return results[printed].has_value(); });
      }
      if (results[printed]) outcome = std::exchange(results[printed], std::nullopt);
    }
    if (outcome) {
      status = std::max(status, emit(std::move(*outcome), out, err));
      ++printed;
    } else if (const std::size_t i = next++; i < count) {
      publish(i, work(i));
    }
  }
  return status;
}

}  // namespace brix::cli
