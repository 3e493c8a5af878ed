#include "tarrow_departments/tarrow_departments.hpp"

#include <algorithm>
#include <bit>
#include <cstddef>
#include <cstdint>
#include <vector>

namespace brix::detail {
namespace {

// One code per line, separated by single line feeds (see departments.txt).
constexpr std::string_view kCatalogText =
#include "departments_data.inc"
    ;

std::vector<std::string_view> build_sorted_list(std::string_view text) {
  std::vector<std::string_view> codes;
  codes.reserve(static_cast<std::size_t>(std::count(text.begin(), text.end(), '\n')) + 1);
  while (!text.empty()) {
    const std::size_t lf = text.find('\n');
    std::string_view line = text.substr(0, lf);
    if (!line.empty() && line.back() == '\r') line.remove_suffix(1);
    codes.push_back(line);
    if (lf == std::string_view::npos) break;
    text.remove_prefix(lf + 1);
  }
  // string_view compares like memcmp, i.e. byte-wise with a prefix first.
  std::stable_sort(codes.begin(), codes.end());
  codes.shrink_to_fit();
  return codes;
}

}  // namespace

std::span<const std::string_view> tarrow_departments_list() {
  // A function-local static: the first caller builds it, concurrent first
  // callers wait for that build, and later reads take no lock.
  static const std::vector<std::string_view> TARROW_DEPARTMENTS_LIST =
      build_sorted_list(kCatalogText);
  return TARROW_DEPARTMENTS_LIST;
}

namespace {

// Codes of up to four bytes packed into one integer with their length, so a
// test is one hash probe and an integer comparison or two rather than a
// binary search of seven text comparisons. It runs for every course of a
// file.
constexpr std::size_t kPackedMax = 4;

std::uint64_t pack(std::string_view code) {
  std::uint64_t key = code.size();
  for (char c : code) key = key << 8 | static_cast<unsigned char>(c);
  return key;
}

// Open addressing over a power-of-two table at most a quarter full; 0 marks
// an empty slot (no key is 0: the length of a non-empty code is in it).
class PackedCodes {
 public:
  explicit PackedCodes(std::span<const std::string_view> list) {
    std::size_t packable = 0;
    for (std::string_view code : list) packable += !code.empty() && code.size() <= kPackedMax;
    slots_.assign(std::bit_ceil(std::max<std::size_t>(16, packable * 4)), 0);
    for (std::string_view code : list) {
      if (code.empty() || code.size() > kPackedMax) continue;
      const std::uint64_t key = pack(code);
      std::size_t i = slot_of(key);
      while (slots_[i] != 0 && slots_[i] != key) i = (i + 1) & (slots_.size() - 1);
      slots_[i] = key;
    }
  }

  bool contains(std::string_view code) const {
    const std::uint64_t key = pack(code);
    for (std::size_t i = slot_of(key);; i = (i + 1) & (slots_.size() - 1)) {
      if (slots_[i] == key) return true;
      if (slots_[i] == 0) return false;
    }
  }

 private:
  std::size_t slot_of(std::uint64_t key) const {
    return static_cast<std::size_t>((key * 0x9E3779B97F4A7C15ULL) >> 40) & (slots_.size() - 1);
  }

  std::vector<std::uint64_t> slots_;
};

}  // namespace

bool is_department(std::string_view code) {
  if (!code.empty() && code.size() <= kPackedMax) {
    static const PackedCodes packed(tarrow_departments_list());
    return packed.contains(code);
  }
  const std::span<const std::string_view> list = tarrow_departments_list();
  return std::binary_search(list.begin(), list.end(), code);
}

}  // namespace brix::detail
