#!/usr/bin/env bash
# Installs the built library to a temporary prefix and uses it as a consumer
# would: find_package with a C++17 project, pkg-config, and a compiler run
# without C++20, which must stop at the one #error. A subproject build must
# define the library without the command or any install rule.
# Usage: check-consumers.sh BUILD_DIR SOURCE_DIR CMAKE CXX
set -euo pipefail
build="$1" source="$2" cmake="$3" cxx="$4"
here="$(cd "$(dirname "$0")" && pwd)"
work="$(mktemp -d)"
trap 'rm -rf "$work"' EXIT
prefix="$work/prefix"

version="$(sed -n 's/^project(brix VERSION \([0-9.]*\) .*/\1/p' "$source/CMakeLists.txt")"
expected="$version {\"version\":\"$version\",\"requirements\":[{\"query\":{\"quantity\":{\"Single\":2},\"type\":\"Select\",\"selector\":[{\"Class\":{\"department_id\":\"CSCI\",\"course_number\":1010,\"lab\":false}},{\"Class\":{\"department_id\":\"MATH\",\"course_number\":2210,\"lab\":true}}]},\"description\":\"Core\",\"priority\":1}]}"

fail() { echo "FAILED: $*" >&2; exit 1; }
same() { [ "$2" = "$expected" ] || fail "$1 printed '$2'"; }

"$cmake" --build "$build" --target brix >/dev/null
"$cmake" --install "$build" --prefix "$prefix" --component development >/dev/null

echo "-- find_package(brix CONFIG REQUIRED), consumer asking for C++17"
"$cmake" -S "$here/consumer" -B "$work/cmake-consumer" -DCMAKE_BUILD_TYPE=Release \
  -DCMAKE_CXX_COMPILER="$cxx" -DCMAKE_PREFIX_PATH="$prefix" >/dev/null
"$cmake" --build "$work/cmake-consumer" >/dev/null
same "the find_package consumer" "$("$work/cmake-consumer/consumer")"

echo "-- pkg-config"
export PKG_CONFIG_PATH="$(dirname "$(find "$prefix" -name brix.pc)")"
[ "$(pkg-config --modversion brix)" = "$version" ] || fail "pkg-config --modversion brix"
# shellcheck disable=SC2046  # the flags are meant to split
"$cxx" -std=c++20 "$here/consumer/main.cpp" $(pkg-config --cflags --libs brix) -o "$work/pc-consumer"
same "the pkg-config consumer" "$("$work/pc-consumer")"

echo "-- the header compiled without C++20"
if printf '#include <brix/brix.hpp>\n' |
  "$cxx" -x c++ -std=c++17 -fsyntax-only $(pkg-config --cflags brix) - 2>"$work/cxx17.log"; then
  fail "compiling the headers as C++17 succeeded"
fi
grep -q 'libbrix needs C++20' "$work/cxx17.log" || fail "no #error naming C++20: $(cat "$work/cxx17.log")"
errors="$(grep -c ': error:' "$work/cxx17.log" || true)"
[ "$errors" -eq 1 ] || fail "$errors errors instead of the one #error: $(cat "$work/cxx17.log")"

echo "-- add_subdirectory"
"$cmake" -S "$here/subproject" -B "$work/subproject" -DBRIX_SOURCE_DIR="$source" \
  -DCMAKE_CXX_COMPILER="$cxx" >/dev/null
"$cmake" --install "$work/subproject" --prefix "$work/sub-prefix" >/dev/null
[ ! -e "$work/sub-prefix" ] || fail "a subproject build installed: $(find "$work/sub-prefix" -type f)"

echo "consumers: ok"
