"""The compact document is made while a file is parsed, and json_pretty() lays it
out, before or after json() has turned it into a str; the parse result behind
str() is built from the kept text and extern values only when first asked for.
All must agree whatever is called first and whatever happens to the arguments
in between, and every character must come through the module's own UTF-8 and
Latin-1 conversions unchanged."""

import gc
import itertools
import json

import pytest

from rediriziv import parse, parse_with_externals


class Text(str):
    pass


def expected(description):
    """The three outputs for `one_requirement(description)`, built independently
    of the module (the library writes JSON as Python's json module does)."""
    compact = (
        '{"version":"0.1.12","requirements":[{"query":{"quantity":{"Single":1},"type":"Select",'
        '"selector":[{"Class":{"department_id":"COMP","course_number":1010,"lab":false}}]},'
        f'"description":{json.dumps(description, ensure_ascii=False)},"priority":1}}]}}'
    )
    quoted = description.replace("\\", "\\\\").replace('"', '\\"')
    text = (
        'ParseResult { parsed_brix_file: BRIXQueryFile { version: "0.1.12", requirements: '
        "[BRIXRequirement { query: BRIXQuery { quantity: Single(1), type: Select, selector: "
        '[Class(Class { department_id: "COMP", course_number: 1010, lab: false })] }, '
        f'description: "{quoted}", priority: 1 }}] }} }}'
    )
    pretty = json.dumps(json.loads(compact), indent=2, ensure_ascii=False)
    return {"json": compact, "json_pretty": pretty, "str": text}


def one_requirement(description):
    # The description also stands in a comment, so the text is converted with
    # non-ASCII characters before the part that reaches the document.
    return f'// {description}\nSELECT 1 FROM COMP 1010 : "{description.replace(chr(34), 2 * chr(34))}";'


def output(result, name):
    return str(result) if name == "str" else getattr(result, name)()


DESCRIPTIONS = {
    "ASCII, longer than a word": 'Core courses, "quoted" \\ ' * 4,
    "Latin-1 letters between ASCII runs": "Économie naïve " * 3 + "théorie ÿ",
    "Latin-1 then a wider character": "Économie " * 5 + "経済",
    "first character past Latin-1": "\u0100 é",
    "emoji after Latin-1": "é 🎓",
}


@pytest.mark.parametrize("description", DESCRIPTIONS.values(), ids=DESCRIPTIONS.keys())
def test_outputs_in_every_order(description):
    want = expected(description)
    for order in itertools.permutations(want):
        result = parse(one_requirement(description))
        assert {name: output(result, name) for name in order} == want, order
        assert output(result, "json") == want["json"]


def test_non_ascii_characters_at_every_offset_of_a_block():
    # The conversions look for non-ASCII bytes 16 and 64 at a time.
    for offset in range(80):
        description = "a" * offset + "é" + "b" * (offset % 17) + "ÿ経"[: 1 + offset % 2]
        assert parse(one_requirement(description)).json() == expected(description)["json"], offset


def test_documents_stay_apart_while_the_module_reuses_their_buffers():
    # json() hands a document's buffer to the next parse, which may be of a
    # larger or a smaller file, or fail; each step is checked as it happens.
    sizes = {"large": "Économie " * 3000, "small": "x", "medium": "é" * 300}
    held = {}
    for step, size in [
        ("parse", "large"), ("parse", "small"), ("json", "small"), ("parse", "medium"),
        ("json", "large"), ("fail", None), ("parse", "small"), ("json", "medium"),
        ("json", "small"), ("del", "large"), ("parse", "large"), ("json", "large"),
    ]:  # fmt: skip
        if step == "parse":
            held[size] = parse(one_requirement(sizes[size]))
        elif step == "json":
            assert held[size].json() == expected(sizes[size])["json"], size
        elif step == "del":
            del held[size]
        else:
            with pytest.raises(ValueError):
                parse('SELECT 0 FROM COMP 1010 : "é";')
    for size, result in held.items():
        assert result.json() == expected(sizes[size])["json"], size


# What a caller may do to the arguments once parse_with_externals has returned.
AFTERWARDS = {
    "externals emptied": lambda externals: externals.clear(),
    "externals changed to a bad value": lambda externals: externals.update({"$n": "0"}),
    "nothing": lambda externals: None,
}


@pytest.mark.parametrize("afterwards", AFTERWARDS.values(), ids=AFTERWARDS.keys())
@pytest.mark.parametrize("kind", [str, Text])
def test_arguments_may_change_or_go_after_parsing(afterwards, kind):
    # Built at run time, so that the only other reference is the module's.
    text = kind("".join(["extern $n; extern $what;\n", 'SELECT $n FROM $what : "Économie 経済";']))
    externals = {"$n": "2-3", "$what": '[COMP 1010, TAG("é")]'}
    result = parse_with_externals(text, externals)
    afterwards(externals)
    del text
    gc.collect()
    want = parse('SELECT 2-3 FROM [COMP 1010, TAG("é")] : "Économie 経済";')
    assert (str(result), result.json(), result.json_pretty()) == (str(want), want.json(), want.json_pretty())


# Each failing text, the column its report points at, and its message. Columns
# count characters, so a text converted wrongly points elsewhere; the rest of
# the report is the library's.
ERRORS = [
    ('SELECT 1 FROM [TAG("経🎓é"), $nope] : "d";', 28, "undefined variable `$nope`"),
    ('SELECT 1 FROM [TAG("Ωé"), COMP 1010] "d";', 27, "expected variable, XYZ, or statement"),
]


@pytest.mark.parametrize("text, column, message", ERRORS)
def test_errors_after_non_ascii_characters(text, column, message):
    for call in (lambda: parse(text), lambda: parse_with_externals(text, {"$x": '"é 経"'})):
        with pytest.raises(ValueError) as raised:
            call()
        report = str(raised.value)
        assert f"--> 1:{column}\n" in report
        assert f"1 | {text}\n" in report
        assert report.endswith(f"= {message}")


def test_a_document_that_fills_most_of_its_buffer_is_kept_whole():
    # A document of megabytes keeps the buffer it was written in, not a copy.
    one = json.loads(parse('SELECT 1 FROM COMP 1010 : "d";').json())["requirements"]
    document = json.loads(parse('SELECT 1 FROM COMP 1010 : "d";\n' * 20_000).json())
    assert document["requirements"] == one * 20_000
