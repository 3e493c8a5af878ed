#!/usr/bin/env bash
# Builds the rediriziv wheel, installs it into a fresh virtual environment and
# tests the installed module there: pytest, the stable-ABI audit of the wheel,
# and the type stubs checked against the module.
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
# The lsp extra brings the language server's dependencies; pytest-lsp drives
# it in the tests (both need a newer Python than the wheel: the tests skip).
# The page tests read pages with html5lib and drive Debian's chromium through
# selenium (they skip where no browser is installed).
"$venv/bin/python" -m pip install -q "$wheel[lsp]" pytest mypy abi3audit \
  "pytest-lsp; python_version >= '3.10'" "pytest-asyncio; python_version >= '3.10'" \
  pygments types-Pygments html5lib selenium

# Run from outside the checkout, so that `import rediriziv` can only find the
# installed module and never the source directory of the same name.
workdir="$(mktemp -d)"
trap 'rm -rf "$workdir"' EXIT
cd "$workdir"

"$venv/bin/abi3audit" --strict --summary "$wheel"
"$venv/bin/python" -m mypy.stubtest rediriziv
# The brix package whole, its language server included, where the server's
# dependencies install (Python 3.9 on); without them, everything else.
if "$venv/bin/python" -c 'import pygls' 2>/dev/null; then
  "$venv/bin/python" -m mypy.stubtest brix
  "$venv/bin/python" -m mypy --strict -p brix
else
  "$venv/bin/python" -m mypy.stubtest brix._native brix._check brix._symbols brix._types brix._positions brix.lexer
  "$venv/bin/python" -m mypy --strict -p brix._check -p brix._symbols -p brix._types -p brix._positions \
    -p brix.lexer
fi
"$venv/bin/python" -m pytest -p no:cacheprovider "$repo/rediriziv/tests"
"$venv/bin/python" -m pytest -p no:cacheprovider "$repo/python/tests/test_lsp.py" "$repo/python/tests/test_package.py"
BRIX_TEST_OUTPUT="$repo/build/test-output" "$venv/bin/python" -m pytest -p no:cacheprovider \
  "$repo/python/tests/test_lexer.py" "$repo/python/tests/test_explain.py" \
  "$repo/python/tests/test_render.py" "$repo/python/tests/test_browser.py"
"$venv/bin/python" -m pytest -p no:cacheprovider "$repo/editors/vscode/test_grammar.py"
