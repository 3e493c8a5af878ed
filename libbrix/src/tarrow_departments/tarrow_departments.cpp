#include "tarrow_departments/tarrow_departments.hpp"

#include <algorithm>
#include <cstddef>
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

bool is_department(std::string_view code) {
  const std::span<const std::string_view> list = tarrow_departments_list();
  return std::binary_search(list.begin(), list.end(), code);
}

}  // namespace brix::detail
