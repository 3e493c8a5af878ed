// The requirements document: plain value types. Every node owns its children,
// copies are deep and nothing is shared between two places of a tree.
#pragma once

#include "brix/config.hpp"

#include <compare>
#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>
#include <variant>
#include <vector>

#include "brix/detail/box.hpp"
#include "brix/detail/small_text.hpp"
#include "brix/version.hpp"

namespace brix {

// An owned UTF-8 text in eight bytes, the type of every text of the tree.
// Short texts (department codes, most tags) take no heap block.
class Text {
 public:
  Text() noexcept = default;
  Text(std::string_view text) : bytes_(text) {}
  Text(const char* text) : bytes_(std::string_view(text)) {}
  Text(const std::string& text) : bytes_(std::string_view(text)) {}

  std::size_t size() const noexcept { return bytes_.size(); }
  bool empty() const noexcept { return size() == 0; }
  const char* data() const noexcept { return bytes_.data(); }
  std::string_view view() const noexcept { return bytes_.view(); }
  operator std::string_view() const noexcept { return view(); }
  std::string str() const { return std::string(view()); }
  void swap(Text& other) noexcept { bytes_.swap(other.bytes_); }

  friend bool operator==(const Text& a, const Text& b) noexcept { return a.view() == b.view(); }
  friend bool operator==(const Text& a, std::string_view b) noexcept { return a.view() == b; }
  friend bool operator==(const Text& a, const std::string& b) noexcept { return a.view() == b; }
  friend bool operator==(const Text& a, const char* b) noexcept {
    return a.view() == std::string_view(b);
  }
  friend std::strong_ordering operator<=>(const Text& a, const Text& b) noexcept {
    return a.view() <=> b.view();
  }

 private:
  detail::SmallText bytes_;
};
static_assert(sizeof(Text) == 8);

// One course: a department code, a course number and the lab marker.
struct Class {
  Text department_id;
  std::uint16_t course_number = 0;
  bool lab = false;
  friend bool operator==(const Class&, const Class&) = default;
};

// How many of the selected courses count.
struct Quantity {
  // No default member initialisers in the nested alternatives: they would keep
  // Quantity itself from being default-constructible. A default Quantity is
  // Single with the value 0 (value-initialised).
  struct Single {
    std::uint16_t value;
    friend bool operator==(const Single&, const Single&) = default;
  };
  struct Many {
    std::uint16_t from;
    std::uint16_t to;
    friend bool operator==(const Many&, const Many&) = default;
  };
  std::variant<Single, Many> value;
  friend bool operator==(const Quantity&, const Quantity&) = default;
};

enum class QueryType : std::uint8_t { Select, Limit };

struct BRIXQuery;

// One thing a query selects from. The alternatives of `value` are in the
// language's fixed variant order; the index is the variant number.
struct Selector {
  struct Placement {
    Text value;
    friend bool operator==(const Placement&, const Placement&) = default;
  };
  struct Tag {
    Text value;
    friend bool operator==(const Tag&, const Tag&) = default;
  };
  struct TagCode {
    Text tag;
    Text code;
    friend bool operator==(const TagCode&, const TagCode&) = default;
  };
  struct Dist {
    Text value;
    friend bool operator==(const Dist&, const Dist&) = default;
  };
  struct DistCode {
    Text dist;
    Text code;
    friend bool operator==(const DistCode&, const DistCode&) = default;
  };
  struct Range {
    Class from;
    Class to;
    friend bool operator==(const Range&, const Range&) = default;
  };
  struct RangeDist {
    Class from;
    Class to;
    Text dist;
    friend bool operator==(const RangeDist&, const RangeDist&) = default;
  };
  struct RangeTag {
    Class from;
    Class to;
    Text tag;
    friend bool operator==(const RangeTag&, const RangeTag&) = default;
  };
  struct Query {
    detail::Box<BRIXQuery> query;  // read with * and ->
    friend bool operator==(const Query&, const Query&) = default;
  };

  using Variant = std::variant<Class, Placement, Tag, TagCode, Dist, DistCode, Range, RangeDist,
                               RangeTag, Query>;
  Variant value;
  friend bool operator==(const Selector&, const Selector&) = default;
};

struct BRIXQuery {
  Quantity quantity;
  QueryType type = QueryType::Select;
  std::vector<Selector> selector;
  friend bool operator==(const BRIXQuery&, const BRIXQuery&) = default;
};

struct BRIXRequirement {
  BRIXQuery query;
  Text description;
  std::uint16_t priority = 1;
  friend bool operator==(const BRIXRequirement&, const BRIXRequirement&) = default;
};

struct BRIXQueryFile {
  // Always the library's version constant; never copied.
  const char* version = VERSION;
  std::vector<BRIXRequirement> requirements;
  friend bool operator==(const BRIXQueryFile& a, const BRIXQueryFile& b) {
    return std::string_view(a.version) == b.version && a.requirements == b.requirements;
  }
};

// A value bound to a variable or an extern name while a file is built.
// Alternatives in the fixed variant order.
struct VarValue {
  struct SelectorList {
    std::vector<Selector> selectors;
    friend bool operator==(const SelectorList&, const SelectorList&) = default;
  };
  struct String {
    Text value;
    friend bool operator==(const String&, const String&) = default;
  };
  using Variant = std::variant<SelectorList, Selector, Quantity, String, Class>;
  Variant value;
  friend bool operator==(const VarValue&, const VarValue&) = default;
};

}  // namespace brix
