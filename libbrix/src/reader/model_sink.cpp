#include "reader/model_sink.hpp"

namespace brix::detail {
namespace {

Text text_argument(const Argument<VarValue>& a) {
  if (a.value != nullptr) return std::get<VarValue::String>(a.value->value).value;
  return ModelSink::text_of(a.literal);
}

Class course_argument(const Argument<VarValue>& a) {
  if (a.value != nullptr) return std::get<Class>(a.value->value);
  return ModelSink::class_of(a.course);
}

}  // namespace

void ModelSink::call(const Call<VarValue>& call) {
  const auto& a = call.arguments;
  Selector built;
  switch (call.function) {
    case Function::Class:
      built.value = course_argument(a[0]);
      break;
    case Function::Placement:
      built.value = Selector::Placement{text_argument(a[0])};
      break;
    case Function::Tag:
      built.value = Selector::Tag{text_argument(a[0])};
      break;
    case Function::TagDept:
      built.value = Selector::TagCode{text_argument(a[0]), text_argument(a[1])};
      break;
    case Function::Dist:
      built.value = Selector::Dist{text_argument(a[0])};
      break;
    case Function::DistDept:
      built.value = Selector::DistCode{text_argument(a[0]), text_argument(a[1])};
      break;
    case Function::Range:
      built.value = Selector::Range{course_argument(a[0]), course_argument(a[1])};
      break;
    case Function::RangeDist:
      built.value =
          Selector::RangeDist{course_argument(a[0]), course_argument(a[1]), text_argument(a[2])};
      break;
    case Function::RangeTag:
      built.value =
          Selector::RangeTag{course_argument(a[0]), course_argument(a[1]), text_argument(a[2])};
      break;
  }
  selectors_.push_back(std::move(built));
}

}  // namespace brix::detail
