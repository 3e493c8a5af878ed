"""The TextMate grammar: valid JSON, every pattern a regular expression that
Python's re also reads, and a simple scanner that applies the grammar as an
editor does (at each place the earliest match wins, ties by order) leaving no
text unscoped in any example or guide snippet."""

import json
import pathlib
import re
from typing import Dict, List, Tuple

import pytest

HERE = pathlib.Path(__file__).resolve().parent
ROOT = HERE.parents[1]
GRAMMAR = json.loads((HERE / "syntaxes" / "brix.tmLanguage.json").read_text(encoding="utf-8"))
FENCE = re.compile(r"^```brix\n(.*?)^```$", re.MULTILINE | re.DOTALL)


def rules() -> List[Tuple[re.Pattern, Dict]]:
    """The top-level rules in order, includes resolved, as (regex, rule)."""
    out = []

    def add(rule: Dict) -> None:
        if "include" in rule:
            add(GRAMMAR["repository"][rule["include"][1:]])
        elif "patterns" in rule and "match" not in rule and "begin" not in rule:
            for inner in rule["patterns"]:
                add(inner)
        elif "begin" in rule:
            # A string: begin, then up to the end pattern on the same line.
            out.append((re.compile(rule["begin"] + r'(?:[^"\n]|"")*(?:' + rule["end"] + ")", re.M), rule))
        else:
            out.append((re.compile(rule["match"], re.M), rule))

    for rule in GRAMMAR["patterns"]:
        add(rule)
    return out


RULES = rules()


def scan(text: str) -> List[Tuple[str, str]]:
    """(scope, text) for every token; unscoped text is reported as "?"."""
    tokens, at = [], 0
    while at < len(text):
        best = None
        for pattern, rule in RULES:
            match = pattern.search(text, at)
            if match and match.end() > match.start() and (best is None or match.start() < best[0].start()):
                best = (match, rule)
        if best is None:
            tokens.append(("?", text[at:]))
            break
        match, rule = best
        if match.start() > at:
            tokens.append(("?", text[at : match.start()]))
        if "captures" in rule:
            for group, capture in rule["captures"].items():
                if match.group(int(group)):
                    tokens.append((capture["name"], match.group(int(group))))
        else:
            tokens.append((rule["name"], match.group()))
        at = match.end()
    return [(scope, part) for scope, part in tokens if not (scope == "?" and part.strip() == "")]


def sources() -> List:
    found = [pytest.param(p.read_text(encoding="utf-8"), id=p.name) for p in sorted((ROOT / "examples").glob("*.brix"))]
    guide = (ROOT / "docs" / "language.md").read_text(encoding="utf-8")
    for n, match in enumerate(FENCE.finditer(guide)):
        found.append(pytest.param(match.group(1), id=f"guide-{n}"))
    return found


def test_the_files_are_json_and_name_the_grammar():
    package = json.loads((HERE / "package.json").read_text(encoding="utf-8"))
    configuration = json.loads((HERE / "language-configuration.json").read_text(encoding="utf-8"))
    [grammar] = package["contributes"]["grammars"]
    assert (HERE / grammar["path"]).is_file() and grammar["scopeName"] == GRAMMAR["scopeName"]
    assert (HERE / package["main"]).is_file()
    assert configuration["comments"]["lineComment"] == "//"
    assert ["[", "]"] in configuration["brackets"] and ["(", ")"] in configuration["brackets"]


@pytest.mark.parametrize("text", sources())
def test_every_example_and_snippet_is_scoped(text):
    assert [part for scope, part in scan(text) if scope == "?"] == []


# (line, the tokens it gives as "scope-ending:text")
LINES = [
    (
        'SELECT 2-3 FROM [E&ES 1100, CHEM 1610L] : "A ""quoted"" word" : 2; // note',
        "query:SELECT numeric:2-3 query:FROM brackets:[ department:E&ES course:1100 separator:, department:CHEM "
        'course:1610 lab:L brackets:] separator:: double:"A ""quoted"" word" separator:: numeric:2 statement:; '
        "double-slash:// note",
    ),
    (
        "$count = tag_dept(\"😀\", \"x\"); extern $e;",
        'other:$count assignment:= selector:tag_dept brackets:( double:"😀" separator:, double:"x" brackets:) '
        "statement:; extern:extern other:$e statement:;",
    ),
]


@pytest.mark.parametrize("line, expected", LINES)
def test_tokens(line, expected):
    shown = " ".join(f"{scope.split('.')[-2] if scope.endswith('.brix') else scope}:{part}" for scope, part in scan(line))
    assert shown == expected
