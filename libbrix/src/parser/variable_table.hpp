// The variables of one file while it is built: name as written ("$" included)
// to value, with the lookup that reports an undefined name.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

#include "brix/model.hpp"
#include "brix/result.hpp"
#include "parser/expansion_meter.hpp"
#include "parser/name_hash.hpp"
#include "peg/tree.hpp"

namespace brix::detail {

// The name of a value's kind as used in mismatch messages ("selector list").
std::string_view kind_name(const VarValue& value);

// An open-addressing hash table: the probed slots hold only a hash tag and an
// index, so a lookup touches one small array before it reaches the entry.
class VariableTable {
 public:
  // Adds or replaces a binding.
  void bind(std::string_view name, VarValue value);

  // The value bound to the `variable` leaf's name, or the "undefined variable"
  // report on the leaf. The value stays owned by the table.
  Result<const VarValue*> lookup(Pair variable) const;
  // The value bound to `name`, or null. No error value is built, so this is
  // the cheap test for code that only wants to look.
  const VarValue* find(std::string_view name) const;

  bool empty() const { return entries_.empty(); }

  // The builder charges every copy of a bound value here before making it.
  // The meter is bookkeeping of the build, not part of the bindings, so a
  // table that is only read still counts what is taken out of it.
  ExpansionMeter& meter() const { return meter_; }
  void reserve(std::size_t count);

 private:
  struct Slot {
    std::uint32_t tag = 0;
    std::uint32_t entry = 0;  // index into entries_ plus one; 0 marks an empty slot
  };

  // The slot that holds `name`, or the empty slot where it would go.
  Slot& probe(std::string_view name, std::uint64_t hash);
  const Slot& probe(std::string_view name, std::uint64_t hash) const;
  void rehash(std::size_t slot_count);

  struct Entry {
    std::uint32_t name_start;  // in names_
    std::uint32_t name_size;
    VarValue value;
  };
  std::string_view name_of(const Entry& entry) const {
    return std::string_view(names_).substr(entry.name_start, entry.name_size);
  }

  std::uint64_t seed_ = name_hash_seed();
  std::vector<Slot> slots_;  // a power of two in size, at most half full
  std::vector<Entry> entries_;
  // The names, back to back. Comparing a probed name here rather than at its
  // place in the source keeps lookups in a few cache lines: a large file
  // refers to variables defined anywhere in megabytes of text.
  std::string names_;
  mutable ExpansionMeter meter_;
};

}  // namespace brix::detail
