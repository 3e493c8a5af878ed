// Writes realistic BRIX files of any size, deterministically from a seed:
// comments, externs, assignments of lists and counts, SELECT and LIMIT with
// counts and ranges, nested queries, all nine selector functions, lab courses,
// descriptions with doubled quotes and non-ASCII letters, and priorities.
// Every 16 blocks make one program, whose list variables only its own
// requirements name.
#pragma once

#include <cstddef>
#include <cstdint>
#include <initializer_list>
#include <random>
#include <string>
#include <string_view>
#include <vector>

namespace brix::bench {

// Extern names the corpus declares; supply a value for each (see externs()).
inline const std::vector<std::pair<std::string, std::string>>& corpus_externs() {
  static const std::vector<std::pair<std::string, std::string>> externs = {
      {"$electives", "[CSCI 3300, CSCI 3400, RANGE(MATH 3000, MATH 3990)]"},
      {"$capstone_count", "2"},
  };
  return externs;
}

class CorpusWriter {
 public:
  explicit CorpusWriter(std::uint64_t seed) : rng_(seed) {}

  // A file of at least `bytes` bytes. When `error_at_end` is set, the last
  // statement names a department that is not in the catalog.
  std::string write(std::size_t bytes, bool error_at_end = false) {
    std::string out;
    out.reserve(bytes + 256);
    out += "// Degree requirements generated for benchmarking\n";
    for (const auto& [name, value] : corpus_externs()) out += "extern " + name + ";\n";
    int block = 0;
    while (out.size() < bytes) write_block(out, block++);
    if (error_at_end) out += "SELECT 1 FROM [CSCI 1010, QQQZ 1020] : \"Broken at the end\";\n";
    return out;
  }

 private:
  static constexpr std::string_view kDepts[] = {"CSCI", "MATH", "BIOL", "CHEM", "PHYS",
                                                "ENGL", "HIST", "ECON", "PSYC"};
  static constexpr std::string_view kWords[] = {
      "Core",     "Upper-level",  "Laboratory", "Électives",     "Writing", "Seminar",
      "Capstone", "Introductory", "Advanced",   "Naïve methods", "Théorie", "Research"};

  // Braced lists are evaluated left to right, so building text with cat()
  // keeps the order of random draws, and so the corpus, the same on every
  // compiler (the operands of + have no fixed evaluation order).
  static std::string cat(std::initializer_list<std::string_view> parts) {
    std::string s;
    for (std::string_view p : parts) s += p;
    return s;
  }

  std::size_t pick(std::size_t n) {
    return std::uniform_int_distribution<std::size_t>(0, n - 1)(rng_);
  }
  int number(int lo, int hi) { return std::uniform_int_distribution<int>(lo, hi)(rng_); }
  std::string_view dept() { return kDepts[pick(std::size(kDepts))]; }

  std::string course() {
    std::string c(dept());
    c += ' ';
    c += std::to_string(number(1000, 4999));
    if (pick(6) == 0) c += 'L';
    return c;
  }

  std::string selector_function() {
    switch (pick(9)) {
      case 0:
        return cat({"CLASS(", course(), ")"});
      case 1:
        return "PLACEMENT(\"MATH placement " + std::to_string(number(1, 3)) + "\")";
      case 2:
        return "TAG(\"QR\")";
      case 3:
        return "TAG_DEPT(\"WRIT\", \"Computer Science\")";
      case 4:
        return "DIST(\"SCI\")";
      case 5:
        return "DIST_DEPT(\"HUM\", \"History\")";
      case 6:
        return cat({"RANGE(", course(), ", ", course(), ")"});
      case 7:
        return cat({"RANGE_DIST(", course(), ", ", course(), ", \"SOC\")"});
      default:
        return cat({"RANGE_TAG(", course(), ", ", course(), ", \"LAB\")"});
    }
  }

  std::string single() {
    switch (pick(4)) {
      case 0:
        return selector_function();
      case 1:
        return "$core" + std::to_string(core_vars_ ? core_vars_ - 1 - pick(in_program()) : 0);
      default:
        return course();
    }
  }

  // A list variable is named within the program that defines it: a large
  // file holds many programs' requirements one after another, each using its
  // own lists, not one program whose lists are named megabytes away.
  static constexpr std::size_t kBlocksPerProgram = 16;
  std::size_t in_program() const { return (core_vars_ - 1) % kBlocksPerProgram + 1; }

  std::string count() {
    if (pick(3) == 0) {
      int lo = number(1, 3);
      int extra = number(0, 2);
      return std::to_string(lo) + "-" + std::to_string(lo + extra);
    }
    return std::to_string(number(1, 4));
  }

  std::string description() {
    std::string d = "\"";
    d += kWords[pick(std::size(kWords))];
    d += ' ';
    d += kWords[pick(std::size(kWords))];
    if (pick(4) == 0) d += " (\"\"required\"\")";
    d += " courses\"";
    return d;
  }

  void write_block(std::string& out, int block) {
    out += "\n// Block " + std::to_string(block) + "\n";
    out += cat({"$core", std::to_string(core_vars_), " = [", course(), ", ", course(), ", ",
                selector_function(), "];\n"});
    ++core_vars_;
    out += "$n" + std::to_string(block) + " = " + count() + ";\n";
    for (int i = 0; i < 6; ++i) {
      std::string s = pick(8) == 0 ? "LIMIT " : "SELECT ";
      s += pick(5) == 0 ? "$n" + std::to_string(block) : count();
      s += " FROM ";
      switch (pick(5)) {
        case 0:
          s +=
              cat({"[SELECT ", count(), " FROM [", single(), ", ", course(), "], ", single(), "]"});
          break;
        case 1:
          s += single();
          break;
        case 2:
          s += pick(2) ? "$electives" : cat({"[$electives, ", course(), "]"});
          break;
        default:
          s += cat({"[", single(), ", ", single(), ", ", single(), "]"});
      }
      s += " : " + description();
      if (pick(3) == 0) s += " : " + std::to_string(number(0, 5));
      out += s + ";\n";
    }
  }

  std::mt19937_64 rng_;
  std::size_t core_vars_ = 0;
};

}  // namespace brix::bench
