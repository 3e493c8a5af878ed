// A program that uses the installed library: prints the version and the
// document of a one-line file.
#include <brix/brix.hpp>
#include <cstdio>

// The consumer asks for C++17; the library's compile feature raises it.
static_assert(__cplusplus >= 202002L, "brix::brix should raise the standard to C++20");

int main() {
  auto result = brix::parse("SELECT 2 FROM [CSCI 1010, MATH 2210L] : \"Core\";");
  if (!result) {
    std::fputs(result.error().to_string().c_str(), stderr);
    return 1;
  }
  std::printf("%s %s\n", brix::VERSION, result->to_string().value().c_str());
  return 0;
}
