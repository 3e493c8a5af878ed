#include "brix/catalog.hpp"

#include <algorithm>
#include <optional>
#include <span>

#include "closest_string/closest_string.hpp"
#include "tarrow_departments/tarrow_departments.hpp"

namespace brix {
namespace {

bool well_formed(std::string_view code) {
  if (code.size() != 3 && code.size() != 4) return false;
  return std::all_of(code.begin(), code.end(),
                     [](char c) { return (c >= 'A' && c <= 'Z') || c == '&'; });
}

// `what` names an entry for messages: "line 3" or "entry 3".
Result<Catalog> build(const std::vector<std::string_view>& codes, std::string_view what,
                      Catalog& out, std::vector<std::string>& sorted) {
  if (codes.empty())
    return ErrorChain::from_message("the catalog is empty: it needs at least one department code");
  std::vector<std::pair<std::string_view, std::size_t>> seen;
  seen.reserve(codes.size());
  for (std::size_t i = 0; i < codes.size(); ++i) {
    const std::string where = std::string(what) + " " + std::to_string(i + 1);
    if (!well_formed(codes[i])) {
      return ErrorChain::from_message("catalog " + where + ": `" + std::string(codes[i]) +
                                      "` is not a department code (3 or 4 characters, each "
                                      "A to Z or &)");
    }
    seen.emplace_back(codes[i], i + 1);
  }
  std::stable_sort(seen.begin(), seen.end(),
                   [](const auto& a, const auto& b) { return a.first < b.first; });
  for (std::size_t i = 1; i < seen.size(); ++i) {
    if (seen[i].first == seen[i - 1].first) {
      return ErrorChain::from_message(
          "catalog " + std::string(what) + " " + std::to_string(seen[i].second) + ": `" +
          std::string(seen[i].first) + "` is listed twice (first at " + std::string(what) + " " +
          std::to_string(seen[i - 1].second) + ")");
    }
  }
  for (const auto& [code, line] : seen) sorted.emplace_back(code);
  return std::move(out);
}

}  // namespace

const Catalog& Catalog::builtin() {
  static const Catalog catalog = [] {
    std::vector<std::string> codes;
    for (std::string_view code : detail::tarrow_departments_list()) codes.emplace_back(code);
    Catalog built;
    built.codes_ = std::move(codes);
    return built;
  }();
  return catalog;
}

Result<Catalog> Catalog::from_codes(const std::vector<std::string>& codes) {
  const std::vector<std::string_view> views(codes.begin(), codes.end());
  Catalog catalog;
  return build(views, "entry", catalog, catalog.codes_);
}

Result<Catalog> Catalog::from_text(std::string_view text) {
  std::vector<std::string_view> lines;
  while (!text.empty()) {
    const std::size_t lf = text.find('\n');
    std::string_view line = text.substr(0, lf);
    if (line.ends_with('\r')) line.remove_suffix(1);
    lines.push_back(line);
    if (lf == std::string_view::npos) break;
    text.remove_prefix(lf + 1);
  }
  Catalog catalog;
  return build(lines, "line", catalog, catalog.codes_);
}

bool Catalog::contains(std::string_view code) const {
  return std::binary_search(codes_.begin(), codes_.end(), code,
                            [](std::string_view a, std::string_view b) { return a < b; });
}

std::string_view Catalog::closest(std::string_view code) const {
  std::vector<std::string_view> views(codes_.begin(), codes_.end());
  return detail::closest_string(code, views).value_or(std::string_view());
}

}  // namespace brix
