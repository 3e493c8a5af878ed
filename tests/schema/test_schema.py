"""The JSON Schema of docs/brix.schema.json against every document the project
produces (the examples, the generated benchmark corpus, the fuzz corpus's
successful inputs) and against documents broken on purpose."""

import json
import os
import pathlib
import subprocess

import jsonschema
import pytest

ROOT = pathlib.Path(__file__).resolve().parents[2]
SCHEMA = json.loads((ROOT / "docs" / "brix.schema.json").read_text())
VALIDATOR = jsonschema.Draft202012Validator(SCHEMA)
BRIX = os.environ.get("BRIX_BIN", str(ROOT / "build" / "cli" / "brix"))
GEN_CORPUS = os.environ.get("BRIX_GEN_CORPUS", str(ROOT / "build" / "bench" / "brix_gen_corpus"))


def brix(*args, stdin=None):
    done = subprocess.run([BRIX, *args], input=stdin, capture_output=True, timeout=120)
    return done.returncode, done.stdout


def validated(document_bytes):
    """Validates one document; returns the list of its errors' messages."""
    return [e.message for e in VALIDATOR.iter_errors(json.loads(document_bytes))]


def test_the_schema_is_a_valid_draft_2020_12_schema():
    jsonschema.Draft202012Validator.check_schema(SCHEMA)


def test_the_schema_pins_the_version_the_command_writes():
    status, out = brix("--version")
    assert status == 0
    version = out.decode().split()[-1]
    assert SCHEMA["properties"]["version"]["const"] == version
    assert SCHEMA["$id"].endswith(":" + version)


@pytest.mark.parametrize("example", sorted((ROOT / "examples").glob("*.brix")), ids=lambda p: p.name)
def test_every_example_document_is_valid(example):
    externs = example.with_suffix(".externs")
    args = ["--externs-file", str(externs)] if externs.exists() else []
    for layout in ([], ["--pretty"]):
        status, out = brix(*layout, *args, str(example))
        assert status == 0
        assert validated(out) == []


def test_the_generated_benchmark_corpus_document_is_valid():
    # A quarter of a mebibyte holds every block of the generator many times over.
    done = subprocess.run([GEN_CORPUS, "0.25"], capture_output=True, check=True, timeout=60)
    externs = [arg for line in done.stderr.decode().splitlines() if line for arg in ("-x", line)]
    status, out = brix(*externs, "-", stdin=done.stdout)
    assert status == 0
    document = json.loads(out)
    assert len(document["requirements"]) > 1000
    assert validated(out) == []


def fuzz_inputs(target):
    return sorted((ROOT / "fuzz" / "corpus" / target).iterdir())


def run_fuzz_input(path):
    """Runs one corpus input through the command as its fuzzer does; returns (status, stdout)."""
    data = path.read_bytes()
    if path.parent.name != "parse_with_externals":
        return brix("-", stdin=data)
    text, _, extern_lines = data.partition(b"\n%%\n")
    lines = [line for line in extern_lines.split(b"\n") if b"=" in line]
    if any(b"\0" in line for line in lines):
        return None, b""  # not expressible as a command-line argument
    return brix(*[arg for line in lines for arg in ("-x", line)], "-", stdin=text)


@pytest.mark.parametrize("target", ["parse", "parse_with_externals"])
def test_every_successful_fuzz_corpus_document_is_valid(target):
    valid = 0
    for path in fuzz_inputs(target):
        status, out = run_fuzz_input(path)
        if status == 0:
            assert validated(out) == [], path.name
            valid += 1
    # Most inputs are errors; enough succeed for the check to mean something.
    assert valid >= 20


# A valid document and edits of it, each a line: (name, text replaced, replacement).
BASE = (
    '{"version":"0.1.12","requirements":[{"query":{"quantity":{"Single":2},"type":"Select",'
    '"selector":[{"Class":{"department_id":"CSCI","course_number":1010,"lab":false}},'
    '{"Query":{"quantity":{"Single":1},"type":"Select","selector":[{"Tag":"QR"}]}}]},'
    '"description":"x","priority":1}]}'
)

ACCEPTED = [
    ("the base document", "", ""),
    ("no requirements", BASE[len('{"version":"0.1.12","requirements":'):-1], "[]"),
    ("LIMIT at the top", '"type":"Select","selector":[{"Class"', '"type":"Limit","selector":[{"Class"'),
    ("largest count", '"Single":2', '"Single":65535'),
    ("priority zero", '"priority":1', '"priority":0'),
    ("largest priority", '"priority":1', '"priority":65535'),
    ("nested range from zero", '{"Single":1}', '{"Many":{"from":0,"to":0}}'),
    ("department with an ampersand", '"CSCI"', '"C&EE"'),
    ("three-letter department", '"CSCI"', '"ART"'),
    ("course number zero, lab", '"course_number":1010,"lab":false', '"course_number":0,"lab":true'),
    ("empty tag and a non-ASCII dist", '{"Tag":"QR"}', '{"Tag":""},{"Dist":"Géographie"}'),
]

REJECTED = [
    ("wrong variant tag", '{"Class":', '{"Course":'),
    ("two variants in one selector", '{"Tag":"QR"}', '{"Tag":"QR","Dist":"x"}'),
    ("selector with no variant", '{"Tag":"QR"}', "{}"),
    ("empty selector list", '[{"Tag":"QR"}]', "[]"),
    ("query type in lower case", '"type":"Select","selector":[{"Class"', '"type":"select","selector":[{"Class"'),
    ("LIMIT nested", '"type":"Select","selector":[{"Tag"', '"type":"Limit","selector":[{"Tag"'),
    ("count above 65535", '"Single":2', '"Single":65536'),
    ("count zero", '"Single":2', '"Single":0'),
    ("count as a fraction", '"Single":2', '"Single":1.5'),
    ("range above 65535", '"Single":2', '"Many":{"from":1,"to":65536}'),
    ("negative range bound", '{"Single":1}', '{"Many":{"from":-1,"to":2}}'),
    ("range from zero at the top", '"Single":2', '"Many":{"from":0,"to":2}'),
    ("range without its upper bound", '"Single":2', '"Many":{"from":1}'),
    ("Single and Many at once", '"Single":2', '"Single":2,"Many":{"from":1,"to":2}'),
    ("negative priority", '"priority":1', '"priority":-1'),
    ("priority above 65535", '"priority":1', '"priority":65536'),
    ("priority missing", ',"priority":1', ""),
    ("unknown key", '"priority":1', '"priority":1,"note":"x"'),
    ("lab missing", ',"lab":false', ""),
    ("lab as a number", '"lab":false', '"lab":0'),
    ("lower-case department", '"CSCI"', '"csci"'),
    ("five-letter department", '"CSCI"', '"CSCIE"'),
    ("course number of five digits", '"course_number":1010', '"course_number":10000'),
    ("another version", '"0.1.12"', '"0.2.0"'),
    ("description not a string", '"description":"x"', '"description":null'),
    ("requirements not a list", BASE[len('{"version":"0.1.12","requirements":'):-1], "{}"),
]


def edited(old, new):
    assert old in BASE
    return BASE.replace(old, new, 1)


@pytest.mark.parametrize("name,old,new", ACCEPTED, ids=[row[0] for row in ACCEPTED])
def test_accepted(name, old, new):
    assert validated(edited(old, new)) == []


@pytest.mark.parametrize("name,old,new", REJECTED, ids=[row[0] for row in REJECTED])
def test_rejected(name, old, new):
    assert validated(edited(old, new)) != []
