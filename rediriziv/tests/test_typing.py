"""The installed type stubs are found by a type checker and describe the module."""

import subprocess
import sys

import pytest

pytest.importorskip("mypy")

USAGE = """
import rediriziv

result: rediriziv.BRIX = rediriziv.parse_with_externals("", {"$n": "2"})
text: str = result.json() + result.json_pretty() + result.version() + str(result)
value: str = rediriziv.parse_extern_value("3")
count: int = result.json()
rediriziv.parse_with_externals("", {"$n": 2})
rediriziv.parse(b"")
"""


def test_mypy_reads_the_stubs(tmp_path):
    source = tmp_path / "usage.py"
    source.write_text(USAGE)
    checked = subprocess.run(
        [sys.executable, "-m", "mypy", "--strict", "--no-incremental", str(source)],
        capture_output=True,
        text=True,
        cwd=tmp_path,
    )
    errors = [line.split(": error: ")[1] for line in checked.stdout.splitlines() if ": error: " in line]
    assert errors == [
        'Incompatible types in assignment (expression has type "str", variable has type "int")'
        "  [assignment]",
        'Dict entry 0 has incompatible type "str": "int"; expected "str": "str"  [dict-item]',
        'Argument 1 to "parse" has incompatible type "bytes"; expected "str"  [arg-type]',
    ], checked.stdout
