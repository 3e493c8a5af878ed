"""Results and library errors as Python sees them."""

import inspect

import pytest

import rediriziv
from rediriziv import parse, parse_extern_value, parse_with_externals

EMPTY_PRETTY = """{
  "version": "0.1.12",
  "requirements": []
}"""

FILE = """// two requirements
$core = [COMP 1010, MUSC 2000L];
SELECT 1-2 FROM $core : "Core ""music"" courses";
LIMIT 1 FROM [SELECT 1 FROM TAG("QR")] : "One" : 3;
"""

FILE_JSON = (
    '{"version":"0.1.12","requirements":['
    '{"query":{"quantity":{"Many":{"from":1,"to":2}},"type":"Select","selector":['
    '{"Class":{"department_id":"COMP","course_number":1010,"lab":false}},'
    '{"Class":{"department_id":"MUSC","course_number":2000,"lab":true}}]},'
    '"description":"Core \\"music\\" courses","priority":1},'
    '{"query":{"quantity":{"Single":1},"type":"Limit","selector":['
    '{"Query":{"quantity":{"Single":1},"type":"Select","selector":[{"Tag":"QR"}]}}]},'
    '"description":"One","priority":3}]}'
)


def test_empty_file():
    result = parse("")
    assert type(result) is rediriziv.BRIX
    assert result.version() == "0.1.12"
    assert result.json() == '{"version":"0.1.12","requirements":[]}'
    assert result.json_pretty() == EMPTY_PRETTY
    assert str(result) == (
        'ParseResult { parsed_brix_file: BRIXQueryFile { version: "0.1.12", requirements: [] } }'
    )


def test_a_whole_file():
    result = parse(FILE)
    assert result.json() == FILE_JSON
    assert str(result).startswith(
        'ParseResult { parsed_brix_file: BRIXQueryFile { version: "0.1.12", requirements: '
        '[BRIXRequirement { query: BRIXQuery { quantity: Many { from: 1, to: 2 }, type: Select, '
    )
    pretty = result.json_pretty()
    assert pretty.startswith('{\n  "version": "0.1.12",\n  "requirements": [\n    {\n')
    assert "".join(pretty.split()) == FILE_JSON.replace(" ", "")


# (BRIX text, ValueError text)
LIBRARY_ERRORS = [
    (
        "extern $x;",
        """ --> 1:8
  |
1 | extern $x;
  |        ^^
  |
  = extern variable `$x` was declared but not provided by the caller""",
    ),
    (
        'SELECT 0 FROM COMP 1010 : "d";',
        """failed parsing quantity

Caused by:
     --> 1:8
      |
    1 | SELECT 0 FROM COMP 1010 : "d";
      |        ^
      |
      = cannot select zero""",
    ),
    (
        'SELECT 70000 FROM COMP 1010 : "d";',
        """failed parsing quantity

Caused by:
    0: selection could not fit as u16
    1: number too large to fit in target type""",
    ),
]


@pytest.mark.parametrize("text, message", LIBRARY_ERRORS)
def test_library_errors_raise_value_error_with_the_chain_text(text, message):
    for call in (lambda: parse(text), lambda: parse_with_externals(text, {})):
        with pytest.raises(ValueError) as raised:
            call()
        assert str(raised.value) == message
        assert raised.value.__cause__ is None and raised.value.__context__ is None


def test_syntax_error_text():
    with pytest.raises(ValueError) as raised:
        parse("// a requirement\nSELECT 1 FROM")
    text = str(raised.value)
    assert text.startswith(" --> 2:14\n  |\n2 | SELECT 1 FROM\n  |              ^---\n  |\n  = expected ")
    assert not text.endswith("\n")
    assert text.count("\n") == 5


def test_empty_externals_behave_as_parse():
    assert parse_with_externals(FILE, {}).json() == parse(FILE).json()


def test_externals_are_parsed_and_bound():
    text = 'extern $n; extern $what; SELECT $n FROM $what : "d";'
    result = parse_with_externals(text, {"$n": "2", "$what": "[COMP 1010]", "$unused": "7"})
    assert '"quantity":{"Single":2}' in result.json()
    assert '"department_id":"COMP"' in result.json()


def test_one_valid_and_one_invalid_extern_value():
    with pytest.raises(ValueError) as raised:
        parse_with_externals("extern $a; extern $b;", {"$a": "2", "$b": "0"})
    assert str(raised.value) == (
        "Error parsing extern value for $b:  --> 1:1\n"
        "  |\n"
        "1 | 0\n"
        "  | ^\n"
        "  |\n"
        "  = cannot assign zero as a quantity"
    )


def test_two_invalid_extern_values_report_one():
    with pytest.raises(ValueError) as raised:
        parse_with_externals("", {"$a": "70000", "$b": "5-3"})
    assert str(raised.value) in (
        "Error parsing extern value for $a: quantity could not fit as u16\n\n"
        "Caused by:\n    number too large to fit in target type",
        "Error parsing extern value for $b:  --> 1:3\n  |\n1 | 5-3\n  |   ^\n  |\n"
        "  = for any range n-k, k>=n must be true. 3<5",
    )


@pytest.mark.parametrize(
    "expr, text",
    [
        ("3", "Quantity(Single(3))"),
        ("1-3", "Quantity(Many { from: 1, to: 3 })"),
        ("3 and more", "Quantity(Single(3))"),
        ('"a""b"', 'String("a\\"b")'),
        ("COMP 1010L", 'Class(Class { department_id: "COMP", course_number: 1010, lab: true })'),
        ('[TAG("x"), DIST("y")]', 'SelectorList([Tag("x"), Dist("y")])'),
    ],
)
def test_extern_values(expr, text):
    assert parse_extern_value(expr) == text


def test_bad_extern_value():
    with pytest.raises(ValueError) as raised:
        parse_extern_value("[$x]")
    assert str(raised.value).endswith("= undefined variable `$x`")
    with pytest.raises(ValueError) as raised:
        parse_extern_value(" 3")
    assert str(raised.value).startswith(" --> 1:1\n")


def test_signatures_and_docs():
    signatures = {
        rediriziv.parse: "(brix)",
        rediriziv.parse_with_externals: "(brix, externals)",
        rediriziv.parse_extern_value: "(expr)",
        rediriziv.BRIX.version: "(self, /)",
        rediriziv.BRIX.json: "(self, /)",
        rediriziv.BRIX.json_pretty: "(self, /)",
    }
    for function, signature in signatures.items():
        assert str(inspect.signature(function)) == signature
    assert rediriziv.__doc__ == ""
    names = [name for name in vars(rediriziv) if not name.startswith("__")]
    assert names == ["parse", "parse_with_externals", "parse_extern_value", "BRIX"]
    assert (rediriziv.BRIX.__module__, rediriziv.BRIX.__qualname__) == ("builtins", "BRIX")
