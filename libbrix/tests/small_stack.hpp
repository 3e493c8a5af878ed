// Runs a job on a thread with a small stack, as an embedding program's worker
// thread might have, to show that deep input cannot exhaust the stack.
#pragma once

#include <gtest/gtest.h>
#include <pthread.h>

#include <cstddef>
#include <functional>

namespace brix::test_support {

// AddressSanitizer pads every stack frame several times over (up to six times
// in unoptimised builds); the 512 KiB budget is meant for ordinary builds.
#if defined(__SANITIZE_ADDRESS__)
inline constexpr std::size_t kSmallStack = 4096 * 1024;
#elif defined(__has_feature)
#if __has_feature(address_sanitizer)
inline constexpr std::size_t kSmallStack = 4096 * 1024;
#else
inline constexpr std::size_t kSmallStack = 512 * 1024;
#endif
#else
inline constexpr std::size_t kSmallStack = 512 * 1024;
#endif

inline void on_small_stack(std::function<void()> job) {
  pthread_attr_t attr;
  ASSERT_EQ(pthread_attr_init(&attr), 0);
  ASSERT_EQ(pthread_attr_setstacksize(&attr, kSmallStack), 0);
  pthread_t thread;
  auto run = [](void* arg) -> void* {
    (*static_cast<std::function<void()>*>(arg))();
    return nullptr;
  };
  ASSERT_EQ(pthread_create(&thread, &attr, run, &job), 0);
  ASSERT_EQ(pthread_join(thread, nullptr), 0);
  pthread_attr_destroy(&attr);
}

}  // namespace brix::test_support
