// The hash of a variable name, for the variable tables.
#pragma once

#include <cstdint>
#include <cstring>
#include <string_view>

namespace brix::detail {

// A seed drawn once per process, so that no file can be written in advance
// to make its names collide and its lookups slow. Tables keep a copy.
std::uint64_t name_hash_seed();

namespace name_hash {
inline std::uint64_t mix(std::uint64_t h) {
  h ^= h >> 29;
  h *= 0xbf58476d1ce4e5b9u;
  h ^= h >> 32;
  return h;
}
}  // namespace name_hash

// Inline: it runs for every use of a variable. Never 0 (the top bit is set),
// which tables may use to mark an empty slot; the low bits, which pick the
// slot, are all mixed.
inline std::uint64_t hash_variable_name(std::string_view name, std::uint64_t seed) {
  std::uint64_t h = seed ^ name.size();
  const char* p = name.data();
  std::size_t n = name.size();
  for (; n >= 8; p += 8, n -= 8) {
    std::uint64_t w;
    std::memcpy(&w, p, 8);
    h = name_hash::mix(h ^ w) * 0x9e3779b97f4a7c15u;
  }
  std::uint64_t tail = 0;
  std::memcpy(&tail, p, n);
  return name_hash::mix(h ^ tail ^ (std::uint64_t{n} << 56)) | (std::uint64_t{1} << 63);
}

}  // namespace brix::detail
