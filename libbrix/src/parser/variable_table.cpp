#include "parser/variable_table.hpp"

#include <algorithm>
#include <array>
#include <bit>
#include <string>
#include <variant>

namespace brix::detail {
namespace {

std::uint32_t tag_of(std::uint64_t hash) {
  return static_cast<std::uint32_t>(hash >> 32);
}

constexpr std::size_t kMinSlots = 16;

}  // namespace

std::string_view kind_name(const VarValue& value) {
  static constexpr std::array<std::string_view, 5> kNames{"selector list", "selector", "quantity",
                                                          "string", "class"};
  static_assert(std::variant_size_v<VarValue::Variant> == kNames.size());
  return kNames[value.value.index()];
}

const VariableTable::Slot& VariableTable::probe(std::string_view name, std::uint64_t hash) const {
  const std::size_t mask = slots_.size() - 1;
  const std::uint32_t tag = tag_of(hash);
  for (std::size_t i = static_cast<std::size_t>(hash) & mask;; i = (i + 1) & mask) {
    const Slot& slot = slots_[i];
    if (slot.entry == 0) return slot;
    if (slot.tag == tag && name_of(entries_[slot.entry - 1]) == name) return slot;
  }
}

VariableTable::Slot& VariableTable::probe(std::string_view name, std::uint64_t hash) {
  return const_cast<Slot&>(std::as_const(*this).probe(name, hash));
}

void VariableTable::rehash(std::size_t slot_count) {
  std::vector<Slot> old = std::move(slots_);
  slots_.assign(slot_count, Slot{});
  const std::size_t mask = slot_count - 1;
  for (const Slot& slot : old) {
    if (slot.entry == 0) continue;
    std::uint64_t hash = hash_variable_name(name_of(entries_[slot.entry - 1]), seed_);
    std::size_t i = static_cast<std::size_t>(hash) & mask;
    while (slots_[i].entry != 0) i = (i + 1) & mask;
    slots_[i] = slot;
  }
}

void VariableTable::reserve(std::size_t count) {
  if (count == 0) return;
  entries_.reserve(count);
  std::size_t wanted = std::bit_ceil(std::max(kMinSlots, count * 2));
  if (wanted > slots_.size()) rehash(wanted);
}

void VariableTable::bind(std::string_view name, VarValue value) {
  if ((entries_.size() + 1) * 2 > slots_.size()) {
    rehash(std::max(kMinSlots, slots_.size() * 2));
  }
  const std::uint64_t hash = hash_variable_name(name, seed_);
  Slot& slot = probe(name, hash);
  if (slot.entry != 0) {
    entries_[slot.entry - 1].value = std::move(value);
    return;
  }
  entries_.push_back(Entry{static_cast<std::uint32_t>(names_.size()),
                           static_cast<std::uint32_t>(name.size()), std::move(value)});
  names_.append(name);
  slot = Slot{tag_of(hash), static_cast<std::uint32_t>(entries_.size())};
}

const VarValue* VariableTable::find(std::string_view name) const {
  if (entries_.empty()) return nullptr;
  const Slot& slot = probe(name, hash_variable_name(name, seed_));
  return slot.entry != 0 ? &entries_[slot.entry - 1].value : nullptr;
}

Result<const VarValue*> VariableTable::lookup(Pair variable) const {
  std::string_view name = variable.as_str();
  if (const VarValue* value = find(name)) return value;
  return ErrorChain::from_report(
      Error::new_from_span(CustomError{"undefined variable `" + std::string(name) + "`"},
                           variable.input(), variable.start(), variable.end())
          .renamed_rules(renamed_rules_impl));
}

}  // namespace brix::detail
