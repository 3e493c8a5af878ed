#!/usr/bin/env bash
# Installs Google Benchmark, which the C++ benchmarks (BRIX_BUILD_BENCH=ON)
# need, from the system's packages: Debian and Ubuntu (libbenchmark-dev),
# Fedora (google-benchmark-devel), Arch (benchmark) or Homebrew (google-benchmark).
# Needs root (or sudo) for the system package managers.
set -euo pipefail

as_root() {
  if [ "$(id -u)" -eq 0 ]; then "$@"; else sudo "$@"; fi
}

if command -v apt-get >/dev/null; then
  export DEBIAN_FRONTEND=noninteractive
  dpkg -s libbenchmark-dev >/dev/null 2>&1 && exit 0
  as_root apt-get update -qq
  as_root apt-get install -y -qq libbenchmark-dev
elif command -v dnf >/dev/null; then
  as_root dnf install -y google-benchmark-devel
elif command -v pacman >/dev/null; then
  as_root pacman -S --needed --noconfirm benchmark
elif command -v brew >/dev/null; then
  brew install google-benchmark
else
  echo "no known package manager: install Google Benchmark (its CMake package \"benchmark\") by hand" >&2
  exit 1
fi
