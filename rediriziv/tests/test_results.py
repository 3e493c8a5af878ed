"""Results and library errors as Python sees them."""

# The library's tests pin the JSON layout and the message texts; these check the
# binding: the types it returns and the exceptions it raises. The texts it
# converts both ways are the conversion tests'.

import inspect

import pytest

import rediriziv
from rediriziv import parse, parse_extern_value, parse_with_externals

ZERO = 'SELECT 0 FROM COMP 1010 : "é";'
ZERO_TEXT = """failed parsing quantity

Caused by:
     --> 1:8
      |
    1 | SELECT 0 FROM COMP 1010 : "é";
      |        ^
      |
      = cannot select zero"""


def test_results_are_brix_objects():
    result = parse("")
    assert type(result) is rediriziv.BRIX
    assert result.version() == "0.1.12"


def test_library_errors_raise_value_error_with_the_chain_text():
    for call in (lambda: parse(ZERO), lambda: parse_with_externals(ZERO, {})):
        with pytest.raises(ValueError) as raised:
            call()
        assert str(raised.value) == ZERO_TEXT
        assert raised.value.__cause__ is None and raised.value.__context__ is None


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
    [("3", "Quantity(Single(3))"), ('"é ""x"" 経済"', 'String("é \\"x\\" 経済")')],
)
def test_extern_values(expr, text):
    assert parse_extern_value(expr) == text


def test_bad_extern_value():
    with pytest.raises(ValueError) as raised:
        parse_extern_value("[$x]")
    assert str(raised.value) == " --> 1:2\n  |\n1 | [$x]\n  |  ^^\n  |\n  = undefined variable `$x`"


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
