#include "ordered_pool.hpp"

#include <algorithm>
#include <atomic>
#include <condition_variable>
#include <mutex>
#include <optional>
#include <thread>
#include <vector>

namespace brix::cli {
namespace {

int emit(const Outcome& outcome, std::FILE* out, std::FILE* err) {
  if (!outcome.out.empty()) std::fwrite(outcome.out.data(), 1, outcome.out.size(), out);
  if (!outcome.err.empty()) {
    // Keep the two streams in input order when they share a terminal.
    std::fflush(out);
    std::fwrite(outcome.err.data(), 1, outcome.err.size(), err);
    std::fflush(err);
  }
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
  {
    std::vector<std::jthread> pool;
    pool.reserve(threads);
    for (std::size_t t = 0; t < threads; ++t) {
      pool.emplace_back([&] {
        for (std::size_t i = next++; i < count; i = next++) {
          Outcome outcome = work(i);
          {
            std::lock_guard lock(mutex);
            results[i] = std::move(outcome);
          }
          ready.notify_one();
        }
      });
    }
    for (std::size_t i = 0; i < count; ++i) {
      Outcome outcome;
      {
        std::unique_lock lock(mutex);
        ready.wait(lock, [&] { return results[i].has_value(); });
        outcome = std::move(*results[i]);
        results[i].reset();
      }
      status = std::max(status, emit(outcome, out, err));
    }
  }
  return status;
}

}  // namespace brix::cli
