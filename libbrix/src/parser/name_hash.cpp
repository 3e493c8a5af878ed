#include "parser/name_hash.hpp"

#include <chrono>

// getentropy (glibc 2.25, the BSDs, macOS) rather than std::random_device:
// a statically linked C++ runtime's random device needs a newer C library
// than the rest of the Python wheel does.
#if __has_include(<sys/random.h>)
#include <sys/random.h>
#include <unistd.h>
#define BRIX_HAS_GETENTROPY 1
#else
#include <random>
#endif

namespace brix::detail {

std::uint64_t name_hash_seed() {
  static const std::uint64_t seed = [] {
    // Where the system has no random device, the stack's address (moved by
    // address-space randomisation) and the clock still vary by process.
    std::uint64_t value =
        reinterpret_cast<std::uintptr_t>(&value) ^
        static_cast<std::uint64_t>(std::chrono::steady_clock::now().time_since_epoch().count());
#ifdef BRIX_HAS_GETENTROPY
    std::uint64_t random = 0;
    if (getentropy(&random, sizeof random) == 0) value ^= random;
#else
    try {
      std::random_device device;
      value ^= (std::uint64_t{device()} << 32) ^ device();
    } catch (...) {
    }
#endif
    return value;
  }();
  return seed;
}

}  // namespace brix::detail
