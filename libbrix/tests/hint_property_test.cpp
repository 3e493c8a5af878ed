// No hint makes a file worse. The example files are mutated the way people
// slip (a dropped ";" or description, lower-case keywords, a misspelt
// department or variable, "#" comments, curly quotes, a huge count, a lost
// character), and every fix check offers is applied: the text must then
// parse, or have fewer errors, or its first error must stand further on.
#include <gtest/gtest.h>

#include <algorithm>
#include <cctype>
#include <filesystem>
#include <functional>
#include <string>
#include <vector>

#include "brix/diagnostics.hpp"
#include "sample_files.hpp"

namespace brix {
namespace {

struct Mutation {
  const char* name;
  // Every mutant of a text.
  std::function<std::vector<std::string>(const std::string&)> mutants;
};

// The text with each match of `find` (in code, roughly: not after "//" on
// its line) replaced by `by`, one at a time.
std::vector<std::string> each(const std::string& text, const std::string& find,
                              const std::function<std::string(const std::string&)>& by) {
  std::vector<std::string> out;
  for (std::size_t at = text.find(find); at != std::string::npos; at = text.find(find, at + 1)) {
    const std::size_t line = text.rfind('\n', at);
    const std::size_t comment = text.find("//", line == std::string::npos ? 0 : line);
    if (comment < at && !find.starts_with("//")) continue;
    std::string mutant = text;
    mutant.replace(at, find.size(), by(find));
    out.push_back(std::move(mutant));
  }
  return out;
}

std::string lower(std::string word) {
  for (char& c : word) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
  return word;
}

const Mutation kMutations[] = {
    {"dropped ;", [](const std::string& t) { return each(t, ";\n", [](auto&) { return "\n"; }); }},
    {"dropped description",
     [](const std::string& t) {
       std::vector<std::string> out;
       for (std::size_t at = t.find(" : \""); at != std::string::npos;
            at = t.find(" : \"", at + 1)) {
         const std::size_t end = t.find('"', at + 4);
         std::string mutant = t;
         mutant.erase(at, end + 1 - at);
         out.push_back(std::move(mutant));
       }
       return out;
     }},
    {"select", [](const std::string& t) { return each(t, "SELECT", lower); }},
    {"from", [](const std::string& t) { return each(t, "FROM", lower); }},
    {"limit", [](const std::string& t) { return each(t, "LIMIT", lower); }},
    {"# comment", [](const std::string& t) { return each(t, "//", [](auto&) { return "#"; }); }},
    {"curly quotes",
     [](const std::string& t) { return each(t, " : \"", [](auto&) { return " : \u201C"; }); }},
    {"misspelt department",
     [](const std::string& t) { return each(t, "CSCI", [](auto&) { return "CSXI"; }); }},
    {"variable case",
     [](const std::string& t) { return each(t, "$core", [](auto&) { return "$Core"; }); }},
    {"huge count",
     [](const std::string& t) {
       return each(t, "SELECT 1 ", [](auto&) { return "SELECT 100000 "; });
     }},
    {"lost character",
     [](const std::string& t) {
       std::vector<std::string> out;
       for (std::size_t at = 0; at < t.size(); at += 23) {
         if ((static_cast<unsigned char>(t[at]) & 0xC0) == 0x80) continue;
         out.push_back(t.substr(0, at) + t.substr(at + 1));
       }
       return out;
     }},
};

std::size_t errors(const std::vector<Diagnostic>& found) {
  return static_cast<std::size_t>(
      std::count_if(found.begin(), found.end(),
                    [](const Diagnostic& d) { return d.severity == Severity::Error; }));
}

std::size_t first_error(const std::vector<Diagnostic>& found) {
  if (found.empty() || found[0].severity != Severity::Error) return std::string::npos;
  return found[0].span ? found[0].span->start.offset : 0;
}

// `offset` of a fixed text, as an offset of the text before the fixes.
std::size_t before_fixes(std::size_t offset, const std::vector<FixIt>& fixes) {
  long shift = 0;
  for (const FixIt& fix : fixes) {
    if (fix.span.start.offset >= offset) continue;
    shift += static_cast<long>(fix.replacement.size()) -
             static_cast<long>(fix.span.end.offset - fix.span.start.offset);
  }
  return static_cast<std::size_t>(static_cast<long>(offset) - shift);
}

TEST(HintProperty, NoFixMakesAnExampleWorse) {
  Options options;
  options.warnings = false;
  options.externs = testing::read_externs(
      testing::read_file(std::filesystem::path(BRIX_EXAMPLES_DIR) / "cs-major.externs"));
  std::size_t fixes_tried = 0;
  for (const auto& entry : std::filesystem::directory_iterator(BRIX_EXAMPLES_DIR)) {
    if (entry.path().extension() != ".brix") continue;
    const std::string text = testing::read_file(entry.path());
    ASSERT_TRUE(check(text, options).empty()) << entry.path();
    for (const Mutation& mutation : kMutations) {
      for (const std::string& mutant : mutation.mutants(text)) {
        const std::vector<Diagnostic> found = check(mutant, options);
        for (const Diagnostic& d : found) {
          if (d.fixes.empty()) continue;
          ++fixes_tried;
          const std::string fixed = apply_fixes(mutant, d.fixes);
          const std::vector<Diagnostic> after = check(fixed, options);
          const std::size_t was = first_error(found);
          const std::size_t now = first_error(after);
          const bool better = errors(after) == 0 || errors(after) < errors(found) ||
                              (now != std::string::npos && before_fixes(now, d.fixes) > was);
          EXPECT_TRUE(better) << entry.path().filename() << ", " << mutation.name << ", the fix of "
                              << d.code << " \"" << d.help << "\":\n"
                              << fixed;
        }
      }
    }
  }
  // The mutations reach the hints: a run that offers no fix proves nothing.
  EXPECT_GT(fixes_tried, 100u);
}

}  // namespace
}  // namespace brix
