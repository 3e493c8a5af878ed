// Parts of the compact JSON document written on their own, byte for byte as
// they appear inside the whole document: for writers that assemble the
// document from pieces (the one-pass converter and its fallback).
#pragma once

#include <string>
#include <string_view>

#include "brix/model.hpp"

namespace brix::detail {

// Each appends its piece to `out`: a requirement object, a selector object,
// a course object, or a text as a quoted JSON string.
void write_json_piece(const BRIXRequirement& requirement, std::string& out);
void write_json_piece(const Selector& selector, std::string& out);
void write_json_piece(const Class& course, std::string& out);
void write_json_piece(std::string_view text, std::string& out);

}  // namespace brix::detail
