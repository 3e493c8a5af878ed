// Runs one job per input on a pool of threads and writes the outcomes in
// input order as soon as each is ready, so output does not depend on timing.
#pragma once

#include <cstddef>
#include <cstdio>
#include <functional>

#include "commands.hpp"

namespace brix::cli {

// Runs work(0) .. work(count - 1) on up to `jobs` threads, writes each
// outcome's texts to `out` and `err` in index order, and returns the highest
// status.
int run_in_order(std::size_t count, unsigned jobs, const std::function<Outcome(std::size_t)>& work,
                 std::FILE* out, std::FILE* err);

}  // namespace brix::cli
