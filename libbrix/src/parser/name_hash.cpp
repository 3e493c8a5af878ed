#include "parser/name_hash.hpp"

#include <chrono>
#include <random>

namespace brix::detail {

std::uint64_t name_hash_seed() {
  static const std::uint64_t seed = [] {
    // Where the system has no random device, the stack's address (moved by
    // address-space randomisation) and the clock still vary by process.
    std::uint64_t value =
        reinterpret_cast<std::uintptr_t>(&value) ^
        static_cast<std::uint64_t>(std::chrono::steady_clock::now().time_since_epoch().count());
    try {
      std::random_device device;
      value ^= (std::uint64_t{device()} << 32) ^ device();
    } catch (...) {
    }
    return value;
  }();
  return seed;
}

}  // namespace brix::detail
