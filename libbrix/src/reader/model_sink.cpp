#include "reader/model_sink.hpp"

#include <array>
#include <cstddef>
#include <utility>
#include <vector>

namespace brix::detail {
namespace {

template <Arg A>
ArgumentType<A> argument(const Argument<VarValue>& a) {
  if constexpr (A == Arg::Text) {
    if (a.value != nullptr) return std::get<VarValue::String>(a.value->value).value;
    return ModelSink::text_of(a.literal);
  } else {
    if (a.value != nullptr) return std::get<Class>(a.value->value);
    return ModelSink::class_of(a.course);
  }
}

template <std::size_t I, std::size_t... K>
Selector::Variant variant_of(const Argument<VarValue>* a, std::index_sequence<K...>) {
  return Selector::Variant(std::in_place_index<I>, argument<kFunctions[I].pattern[K]>(a[K])...);
}

// Adds the selector of row I, its fields taken from the arguments in order.
// The selector is made in its place in the list: the variant comes out of a
// conversion, so nothing is built first and then moved.
template <std::size_t I>
void build(std::vector<Selector>& out, const Argument<VarValue>* a) {
  struct InPlace {
    const Argument<VarValue>* a;
    operator Selector::Variant() const {
      return variant_of<I>(a, std::make_index_sequence<kFunctions[I].arity>{});
    }
  };
  out.emplace_back(InPlace{a});
}

using Build = void (*)(std::vector<Selector>&, const Argument<VarValue>*);

template <std::size_t... I>
constexpr std::array<Build, sizeof...(I)> builders(std::index_sequence<I...>) {
  return {&build<I>...};
}
constexpr auto kBuild = builders(std::make_index_sequence<kFunctions.size()>{});

}  // namespace

void ModelSink::call(const Call<VarValue>& call) {
  kBuild[static_cast<std::size_t>(call.function)](*targets_.back(), call.arguments.data());
}

}  // namespace brix::detail
