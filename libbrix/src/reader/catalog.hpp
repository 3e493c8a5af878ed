// The department codes a course may name. The reader checks every course
// against one Catalog; the built-in one is the catalog of Tarrow's courses,
// and a caller may give its own list.
#pragma once

#include <span>
#include <string_view>

namespace brix::detail {

class Catalog {
 public:
  // The built-in catalog.
  Catalog();
  // A caller's codes, sorted byte-wise; the span must outlive the Catalog.
  explicit Catalog(std::span<const std::string_view> sorted_codes)
      : codes_(sorted_codes), built_in_(false) {}

  bool contains(std::string_view code) const;
  // Every code, sorted, for suggestions.
  std::span<const std::string_view> codes() const { return codes_; }

 private:
  std::span<const std::string_view> codes_;
  bool built_in_ = true;
};

}  // namespace brix::detail
