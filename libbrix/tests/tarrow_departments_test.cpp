#include "tarrow_departments/tarrow_departments.hpp"

#include <gtest/gtest.h>

#include <algorithm>
#include <latch>
#include <set>
#include <string>
#include <string_view>
#include <thread>
#include <vector>

#include "closest_string/closest_string.hpp"

namespace brix::detail {
namespace {

// Kept first in the file so that, run alone (as ctest runs each test), it is
// the catalog's first use and the threads really race to build it.
TEST(TarrowDepartments, ThreadsRacingOnFirstUseSeeOneList) {
  constexpr int kThreads = 8;
  std::latch start(kThreads);
  std::vector<const std::string_view*> seen(kThreads, nullptr);
  std::vector<std::size_t> sizes(kThreads, 0);
  std::vector<int> found(kThreads, 0);
  std::vector<std::thread> threads;
  for (int t = 0; t < kThreads; ++t) {
    threads.emplace_back([&, t] {
      start.arrive_and_wait();
      // Half the threads enter through the lookup, half through the list.
      const auto i = static_cast<std::size_t>(t);
      if (t % 2 == 0) found[i] = is_department("CSCI");
      const auto list = tarrow_departments_list();
      seen[i] = list.data();
      sizes[i] = list.size();
      if (t % 2 != 0) found[i] = is_department("MATH");
    });
  }
  for (std::thread& thread : threads) thread.join();
  for (std::size_t i = 0; i < kThreads; ++i) {
    EXPECT_EQ(seen[i], seen[0]) << "thread " << i;
    EXPECT_EQ(sizes[i], 125u) << "thread " << i;
    EXPECT_TRUE(found[i]) << "thread " << i;
  }
}

// Sorted byte-wise ("&" before every letter, a prefix before its longer
// codes), as the suggestions' ties need; exact and case-sensitive lookups.
TEST(TarrowDepartments, SortedAndExact) {
  const auto list = tarrow_departments_list();
  EXPECT_TRUE(std::is_sorted(list.begin(), list.end()));
  EXPECT_EQ(std::adjacent_find(list.begin(), list.end()), list.end());
  EXPECT_EQ(list.front(), "A&AS");
  for (std::string_view code : {"CSCI", "E&ES", "ART", "ARTS"}) EXPECT_TRUE(is_department(code));
  for (std::string_view code : {"LAWS", "csci", "CSCI ", "", "A&A"}) {
    EXPECT_FALSE(is_department(code)) << '"' << code << '"';
  }
}

TEST(TarrowDepartments, SuggestionsOverTheSortedList) {
  struct Row {
    std::string_view target;
    std::string_view expected;
  };
  // "XXXX" has no letter in common with any code: every key is 0 and the code
  // that sorts last wins.
  const Row rows[] = {
      {"CSCE", "CSCI"}, {"MTH", "MATH"}, {"PSYCH", "PSYC"}, {"ECNO", "ECON"},
      {"A&A", "A&AS"},  {"ARTZ", "ART"}, {"XXXX", "WRIT"},
  };
  for (const Row& row : rows) {
    EXPECT_EQ(closest_string(row.target, tarrow_departments_list()), row.expected) << row.target;
  }
}

}  // namespace
}  // namespace brix::detail
