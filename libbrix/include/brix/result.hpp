// A value or the ErrorChain that explains why there is none. The library's
// operations return errors as values and never throw across its API.
#pragma once

#include "brix/config.hpp"

#include <cassert>
#include <utility>
#include <variant>

#include "brix/error_chain.hpp"

namespace brix {

template <class T>
class [[nodiscard]] Result {
 public:
  Result(T value) : data_(std::in_place_index<0>, std::move(value)) {}
  Result(ErrorChain error) : data_(std::in_place_index<1>, std::move(error)) {}

  bool ok() const { return data_.index() == 0; }
  explicit operator bool() const { return ok(); }

  // Only on success: asking an error for its value is a programming error.
  T& value() & { return *checked(); }
  const T& value() const& { return *checked(); }
  T&& value() && { return std::move(*checked()); }
  T* operator->() { return std::get_if<0>(&data_); }
  const T* operator->() const { return std::get_if<0>(&data_); }
  T& operator*() & { return value(); }
  const T& operator*() const& { return value(); }

  ErrorChain& error() & { return *std::get_if<1>(&data_); }
  const ErrorChain& error() const& { return *std::get_if<1>(&data_); }
  ErrorChain&& error() && { return std::move(*std::get_if<1>(&data_)); }

 private:
  T* checked() {
    assert(ok() && "value() of a Result that holds an error");
    return std::get_if<0>(&data_);
  }
  const T* checked() const {
    assert(ok() && "value() of a Result that holds an error");
    return std::get_if<0>(&data_);
  }
  std::variant<T, ErrorChain> data_;
};

}  // namespace brix
