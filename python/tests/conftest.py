"""Shared inputs of the brix package's tests: the examples with their extern
values, the guide's code blocks, and the folder that keeps screenshots."""

import os
import pathlib
import re
from typing import Dict, List, NamedTuple

import pytest

ROOT = pathlib.Path(__file__).resolve().parents[2]
EXAMPLES = sorted((ROOT / "examples").glob("*.brix"))
GUIDE = ROOT / "docs" / "language.md"
FENCE = re.compile(r"^```([^\n`]*)\n(.*?)^```$", re.MULTILINE | re.DOTALL)


class Example(NamedTuple):
    name: str
    text: str
    externs: Dict[str, str]


def read_externs(path: pathlib.Path) -> Dict[str, str]:
    """NAME = VALUE lines; blank lines and # comments skipped."""
    externs = {}
    if path.exists():
        for line in path.read_text(encoding="utf-8").splitlines():
            if line.strip() and not line.lstrip().startswith("#"):
                name, value = line.split("=", 1)
                externs[name.strip()] = value.strip()
    return externs


def examples() -> List[Example]:
    return [
        Example(path.stem, path.read_text(encoding="utf-8"), read_externs(path.with_suffix(".externs")))
        for path in EXAMPLES
    ]


def guide_snippets(kinds=("brix",)) -> List[pytest.param]:
    """The guide's code blocks of the given kinds, named by their line."""
    text = GUIDE.read_text(encoding="utf-8")
    found = []
    for match in FENCE.finditer(text):
        info = match.group(1).split()
        if info and info[0] in kinds:
            line = text.count("\n", 0, match.start()) + 1
            found.append(pytest.param(match.group(2), id=f"guide-line{line}"))
    return found


def example_params() -> List[pytest.param]:
    return [pytest.param(example, id=example.name) for example in examples()]


@pytest.fixture(scope="session")
def output_dir() -> pathlib.Path:
    """Where tests leave files for people to look at (screenshots, pages)."""
    folder = pathlib.Path(os.environ.get("BRIX_TEST_OUTPUT", ROOT / "build" / "test-output"))
    folder.mkdir(parents=True, exist_ok=True)
    return folder
