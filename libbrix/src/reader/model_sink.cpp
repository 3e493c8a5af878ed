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

// Adds the selector of row I, its fields taken from the arguments in order.
// It is made in its place at the end of the list.
template <std::size_t I, std::size_t... K>
void build(std::vector<Selector>& out, const Argument<VarValue>* a, std::index_sequence<K...>) {
  out.emplace_back().value.template emplace<I>(
      Built<I>{argument<kFunctions[I].pattern[K]>(a[K])...});
}
template <std::size_t I>
void build(std::vector<Selector>& out, const Argument<VarValue>* a) {
  build<I>(out, a, std::make_index_sequence<kFunctions[I].arity>{});
}

using Build = void (*)(std::vector<Selector>&, const Argument<VarValue>*);

template <std::size_t... I>
constexpr std::array<Build, sizeof...(I)> builders(std::index_sequence<I...>) {
  return {&build<I>...};
}
constexpr auto kBuild = builders(std::make_index_sequence<kFunctions.size()>{});

}  // namespace

void ModelSink::call(const Call<VarValue>& call) {
  kBuild[static_cast<std::size_t>(call.function)](selectors_, call.arguments.data());
}

}  // namespace brix::detail
