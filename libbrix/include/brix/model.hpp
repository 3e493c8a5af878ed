// The requirements document: plain value types. Every node owns its children,
// copies are deep and nothing is shared between two places of a tree.
#pragma once

#include "brix/config.hpp"

#include <bit>
#include <compare>
#include <cstddef>
#include <cstdint>
#include <cstring>
#include <memory>
#include <new>
#include <string>
#include <string_view>
#include <utility>
#include <variant>
#include <vector>

#include "brix/version.hpp"

namespace brix {

// An owned UTF-8 text in eight bytes, the type of every text of the tree.
// Texts of up to seven bytes (department codes, most tags) are kept inline;
// a longer one lives in one heap block holding its length and its bytes. A
// std::string takes 32 bytes, which made every Selector 120 bytes long; with
// Text it takes 48, so a document's tree is less than half the memory to
// build, copy, walk and free.
class Text {
 public:
  Text() noexcept { set_inline(0); }
  Text(std::string_view text) { assign(text); }
  Text(const char* text) { assign(std::string_view(text)); }
  Text(const std::string& text) { assign(std::string_view(text)); }
  Text(const Text& other) {
    if (other.is_inline()) {
      std::memcpy(bytes_, other.bytes_, sizeof bytes_);
    } else {
      assign(other.view());
    }
  }
  Text(Text&& other) noexcept {
    std::memcpy(bytes_, other.bytes_, sizeof bytes_);
    other.set_inline(0);
  }
  Text& operator=(const Text& other) {
    Text copy(other);
    swap(copy);
    return *this;
  }
  Text& operator=(Text&& other) noexcept {
    swap(other);
    return *this;
  }
  ~Text() {
    if (!is_inline()) ::operator delete(block());
  }

  std::size_t size() const noexcept {
    if (is_inline()) return static_cast<std::size_t>(bytes_[kTag] >> 1);
    std::size_t size;
    std::memcpy(&size, block(), sizeof size);
    return size;
  }
  bool empty() const noexcept { return size() == 0; }
  const char* data() const noexcept {
    return is_inline() ? reinterpret_cast<const char*>(bytes_) + kInlineStart
                       : static_cast<const char*>(block()) + sizeof(std::size_t);
  }
  std::string_view view() const noexcept { return std::string_view(data(), size()); }
  operator std::string_view() const noexcept { return view(); }
  std::string str() const { return std::string(view()); }

  void swap(Text& other) noexcept {
    unsigned char tmp[sizeof bytes_];
    std::memcpy(tmp, bytes_, sizeof bytes_);
    std::memcpy(bytes_, other.bytes_, sizeof bytes_);
    std::memcpy(other.bytes_, tmp, sizeof bytes_);
  }

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
  // The tag byte is the pointer's low-order byte: a heap block's address is
  // even, an inline text sets the low bit and keeps its length above it. The
  // inline bytes are the seven others, in order.
  static constexpr std::size_t kTag = std::endian::native == std::endian::little ? 0 : 7;
  static constexpr std::size_t kInlineStart = kTag == 0 ? 1 : 0;
  static constexpr std::size_t kInlineMax = 7;

  bool is_inline() const noexcept { return (bytes_[kTag] & 1) != 0; }
  void set_inline(std::size_t length) noexcept {
    std::memset(bytes_, 0, sizeof bytes_);
    bytes_[kTag] = static_cast<unsigned char>(length << 1 | 1);
  }
  void* block() const noexcept {
    void* p;
    std::memcpy(&p, bytes_, sizeof p);
    return p;
  }
  void assign(std::string_view text) {
    if (text.size() <= kInlineMax) {
      set_inline(text.size());
      if (!text.empty()) std::memcpy(bytes_ + kInlineStart, text.data(), text.size());
      return;
    }
    void* p = ::operator new(sizeof(std::size_t) + text.size());
    const std::size_t size = text.size();
    std::memcpy(p, &size, sizeof size);
    std::memcpy(static_cast<char*>(p) + sizeof size, text.data(), size);
    std::memcpy(bytes_, &p, sizeof p);
  }

  alignas(void*) unsigned char bytes_[sizeof(void*)];
};
static_assert(sizeof(Text) == 8);

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

// One argument of a selector function call while it is checked.
using Argument = std::variant<Class, Text>;

}  // namespace brix
