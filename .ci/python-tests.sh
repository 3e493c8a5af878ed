#!/usr/bin/env bash
# Builds the rediriziv wheel, installs it into a fresh virtual environment and
# tests the installed modules there: pytest, the stable-ABI audit of the wheel,
# and the type stubs checked against the modules. The wheel also holds the brix
# package, whose page tests drive Debian's chromium when it is installed.
set -euo pipefail
repo="$(cd "$(dirname "$0")/.." && pwd)"
cd "$repo"

python="${PYTHON:-python3}"
rm -rf dist
"$python" -m pip wheel . -w dist --no-deps
wheels=(dist/rediriziv-*-cp38-abi3-*.whl)
if [ "${#wheels[@]}" -ne 1 ] || [ ! -f "${wheels[0]}" ]; then
  echo "expected exactly one abi3 wheel in dist/, found: $(ls dist)" >&2
  exit 1
fi
wheel="$repo/${wheels[0]}"

venv="$repo/build/python-test-venv"
rm -rf "$venv"
"$python" -m venv "$venv"
"$venv/bin/python" -m pip install -q "$wheel" pytest mypy abi3audit pygments types-Pygments html5lib selenium

# Run from outside the checkout, so that `import rediriziv` can only find the
# installed module and never the source directory of the same name.
workdir="$(mktemp -d)"
trap 'rm -rf "$workdir"' EXIT
cd "$workdir"

"$venv/bin/abi3audit" --strict --summary "$wheel"
"$venv/bin/python" -m mypy.stubtest rediriziv
"$venv/bin/python" -m pytest -p no:cacheprovider "$repo/rediriziv/tests"

"$venv/bin/python" -m mypy.stubtest brix
"$venv/bin/python" -m mypy --strict "$venv"/lib/python3*/site-packages/brix
BRIX_TEST_OUTPUT="$repo/build/test-output" \
  "$venv/bin/python" -m pytest -p no:cacheprovider "$repo/python/tests"
