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


@pytest.mark.parametrize(
    "expr, text",
    [("3", "Quantity(Single(3))"), ('"é ""x"" 経済"', 'String("é \\"x\\" 経済")')],
)
def test_extern_values(expr, text):
    assert parse_extern_value(expr) == text


def test_a_bad_extern_value_names_its_extern():
    with pytest.raises(ValueError) as raised:
        parse_with_externals("", {"$a": "70000"})
    assert str(raised.value).startswith("Error parsing extern value for $a: ")


def test_bad_extern_value():
    with pytest.raises(ValueError) as raised:
        parse_extern_value("[$x]")
    assert str(raised.value).endswith("= undefined variable `$x`")


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
