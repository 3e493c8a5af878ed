"""Argument checking: every mistake a caller can make is a TypeError with the
interpreter's own wording, raised before any BRIX text is parsed."""

import pytest

import rediriziv
from rediriziv import parse, parse_extern_value, parse_with_externals


class Outer:
    class Inner:
        pass


class Text(str):
    pass


class Mapping(dict):
    pass


# (call, expected message)
TYPE_ERRORS = [
    (lambda: parse(), "parse() missing 1 required positional argument: 'brix'"),
    (lambda: parse_with_externals(), "parse_with_externals() missing 2 required positional arguments: 'brix' and 'externals'"),
    (lambda: parse_with_externals(""), "parse_with_externals() missing 1 required positional argument: 'externals'"),
    (lambda: parse("", ""), "parse() takes 1 positional arguments but 2 were given"),
    (lambda: parse(x=""), "parse() got an unexpected keyword argument 'x'"),
    (lambda: parse("", brix=""), "parse() got multiple values for argument 'brix'"),
    (lambda: parse(1), "argument 'brix': 'int' object cannot be cast as 'str'"),
    (lambda: parse(Outer.Inner()), "argument 'brix': 'Outer.Inner' object cannot be cast as 'str'"),
    (lambda: parse_extern_value(3.5), "argument 'expr': 'float' object cannot be cast as 'str'"),
    (lambda: parse_with_externals("", []), "argument 'externals': 'list' object cannot be cast as 'dict'"),
    (lambda: parse_with_externals("", {"$a": 1}), "argument 'externals': 'int' object cannot be cast as 'str'"),
    (lambda: parse_with_externals("", {1: "3"}), "argument 'externals': 'int' object cannot be cast as 'str'"),
    # Every entry is converted before any value is parsed, so a later bad type
    # wins over an earlier bad value.
    (lambda: parse_with_externals("", {"$a": "0", "$b": 1}), "argument 'externals': 'int' object cannot be cast as 'str'"),
    (lambda: rediriziv.BRIX(), "cannot create 'builtins.BRIX' instances"),
]


@pytest.mark.parametrize("call, message", TYPE_ERRORS)
def test_type_errors(call, message):
    with pytest.raises(TypeError) as raised:
        call()
    assert str(raised.value) == message
    assert raised.value.__cause__ is None


@pytest.mark.parametrize(
    "call",
    [
        lambda: parse("\udc80"),
        lambda: parse_extern_value("\ud800"),
        lambda: parse_with_externals("", {"$a\udc80": "3"}),
        lambda: parse_with_externals("", {"$a": "\udc80"}),
    ],
)
def test_lone_surrogates_raise_the_interpreters_encoding_error(call):
    with pytest.raises(UnicodeEncodeError, match="surrogates not allowed"):
        call()


def test_subclasses_of_str_and_dict_are_accepted():
    result = parse_with_externals(
        Text('extern $n; SELECT $n FROM COMP 1010 : "d";'), Mapping({Text("$n"): Text("2")})
    )
    assert '"quantity":{"Single":2}' in result.json()
    assert parse_extern_value(expr=Text("3")) == "Quantity(Single(3))"


def test_arguments_by_keyword():
    assert parse(brix="").version() == "0.1.12"
    assert parse_with_externals(externals={}, brix="").version() == "0.1.12"
