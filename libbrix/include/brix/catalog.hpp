// The department codes a file may name. The built-in catalog is the default;
// another can be given as a list of codes or as text in the built-in data
// file's format (one code per line).
#pragma once

#include "brix/config.hpp"

#include <string>
#include <string_view>
#include <vector>

#include "brix/result.hpp"

namespace brix {

class Catalog {
 public:
  // The catalog built into the library.
  static const Catalog& builtin();
  // Fails, naming the entry, on an empty list, a malformed code (3 or 4
  // characters from A to Z and "&") or a code given twice.
  static Result<Catalog> from_codes(const std::vector<std::string>& codes);
  // One code per line; a final line feed and CR LF line breaks are allowed.
  // Fails like from_codes, naming lines.
  static Result<Catalog> from_text(std::string_view text);

  bool contains(std::string_view code) const;
  // The code most like `code`, as suggested for an unknown department.
  std::string_view closest(std::string_view code) const;
  // Sorted byte-wise.
  const std::vector<std::string>& codes() const { return codes_; }

  friend bool operator==(const Catalog&, const Catalog&) = default;

 private:
  std::vector<std::string> codes_;
};

}  // namespace brix
