// The storage behind brix::Text: eight bytes that hold a short text inline
// or point at one heap block with a long text's length and bytes.
#pragma once

#include <bit>
#include <cstddef>
#include <cstring>
#include <new>
#include <string_view>

namespace brix::detail {

// Texts of up to seven bytes (department codes, most tags) are kept inline.
// A std::string takes 32 bytes, which made every Selector 120 bytes long;
// with this it takes 48, so a document's tree is less than half the memory
// to build, copy, walk and free.
class SmallText {
 public:
  SmallText() noexcept { set_inline(0); }
  explicit SmallText(std::string_view text) { assign(text); }
  SmallText(const SmallText& other) {
    if (other.is_inline()) {
      std::memcpy(bytes_, other.bytes_, sizeof bytes_);
    } else {
      assign(other.view());
    }
  }
  SmallText(SmallText&& other) noexcept {
    std::memcpy(bytes_, other.bytes_, sizeof bytes_);
    other.set_inline(0);
  }
  SmallText& operator=(const SmallText& other) {
    SmallText copy(other);
    swap(copy);
    return *this;
  }
  SmallText& operator=(SmallText&& other) noexcept {
    swap(other);
    return *this;
  }
  ~SmallText() {
    if (!is_inline()) ::operator delete(block());
  }

  std::size_t size() const noexcept {
    if (is_inline()) return static_cast<std::size_t>(bytes_[kTag] >> 1);
    std::size_t size;
    std::memcpy(&size, block(), sizeof size);
    return size;
  }
  const char* data() const noexcept {
    return is_inline() ? reinterpret_cast<const char*>(bytes_) + kInlineStart
                       : static_cast<const char*>(block()) + sizeof(std::size_t);
  }
  std::string_view view() const noexcept { return std::string_view(data(), size()); }

  void swap(SmallText& other) noexcept {
    unsigned char tmp[sizeof bytes_];
    std::memcpy(tmp, bytes_, sizeof bytes_);
    std::memcpy(bytes_, other.bytes_, sizeof bytes_);
    std::memcpy(other.bytes_, tmp, sizeof bytes_);
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
static_assert(sizeof(SmallText) == sizeof(void*));

}  // namespace brix::detail
