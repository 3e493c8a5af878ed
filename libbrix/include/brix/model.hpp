// The requirements document: plain value types. Every node owns its children,
// copies are deep and nothing is shared between two places of a tree.
#pragma once

#include <cstdint>
#include <memory>
#include <string>
#include <string_view>
#include <utility>
#include <variant>
#include <vector>

namespace brix {

// An owning pointer with value semantics: copying a Box copies the pointee.
// It lets a selector hold a nested query (the only recursive edge of the tree).
template <class T>
class Box {
 public:
  explicit Box(T value) : ptr_(std::make_unique<T>(std::move(value))) {}
  Box(const Box& other) : ptr_(std::make_unique<T>(*other.ptr_)) {}
  Box(Box&&) noexcept = default;
  Box& operator=(const Box& other) {
    if (this != &other) ptr_ = std::make_unique<T>(*other.ptr_);
    return *this;
  }
  Box& operator=(Box&&) noexcept = default;
  ~Box() = default;

  T& operator*() { return *ptr_; }
  const T& operator*() const { return *ptr_; }
  T* operator->() { return ptr_.get(); }
  const T* operator->() const { return ptr_.get(); }
  friend bool operator==(const Box& a, const Box& b) { return *a.ptr_ == *b.ptr_; }

 private:
  std::unique_ptr<T> ptr_;
};

// One course: a department code, a course number and the lab marker.
struct Class {
  std::string department_id;
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
    std::string value;
    friend bool operator==(const Placement&, const Placement&) = default;
  };
  struct Tag {
    std::string value;
    friend bool operator==(const Tag&, const Tag&) = default;
  };
  struct TagCode {
    std::string tag;
    std::string code;
    friend bool operator==(const TagCode&, const TagCode&) = default;
  };
  struct Dist {
    std::string value;
    friend bool operator==(const Dist&, const Dist&) = default;
  };
  struct DistCode {
    std::string dist;
    std::string code;
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
    std::string dist;
    friend bool operator==(const RangeDist&, const RangeDist&) = default;
  };
  struct RangeTag {
    Class from;
    Class to;
    std::string tag;
    friend bool operator==(const RangeTag&, const RangeTag&) = default;
  };
  struct Query {
    Box<BRIXQuery> query;
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
  std::string description;
  std::uint16_t priority = 1;
  friend bool operator==(const BRIXRequirement&, const BRIXRequirement&) = default;
};

inline constexpr const char* VERSION = "0.1.12";

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
    std::string value;
    friend bool operator==(const String&, const String&) = default;
  };
  using Variant = std::variant<SelectorList, Selector, Quantity, String, Class>;
  Variant value;
  friend bool operator==(const VarValue&, const VarValue&) = default;
};

// One argument of a selector function call while it is checked.
using Argument = std::variant<Class, std::string>;

}  // namespace brix
