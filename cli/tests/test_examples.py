"""Every example in examples/ gives exactly the JSON committed beside it."""

import json

import pytest

from conftest import ROOT

EXAMPLES = sorted((ROOT / "examples").glob("*.brix"))


def test_there_are_examples():
    assert len(EXAMPLES) >= 5


@pytest.mark.parametrize("example", EXAMPLES, ids=lambda p: p.stem)
def test_example_matches_its_json(brix, example):
    externs = example.with_suffix(".externs")
    args = ["--externs-file", str(externs)] if externs.exists() else []
    expected = example.with_suffix(".json").read_text(encoding="utf-8")

    assert brix("--pretty", *args, str(example)) == (0, expected, "")
    status, compact, _ = brix(*args, str(example))
    assert status == 0
    assert json.loads(compact) == json.loads(expected)


def test_check_accepts_every_example_without_externs_files(brix):
    plain = [str(e) for e in EXAMPLES if not e.with_suffix(".externs").exists()]
    status, out, err = brix("check", *plain)
    assert (status, err) == (0, "")
    summary = f"{len(plain)} files: {len(plain)} ok, 0 with errors, 0 warnings\n"
    assert out == "".join(f"{p}: ok\n" for p in plain) + summary
