"""Memory stays flat over many calls, and NULs pass through unchanged. The
library's own tests pin what hostile input gives."""

import os

import pytest

import rediriziv
from rediriziv import parse, parse_extern_value, parse_with_externals

VALID = 'extern $n; $c = [COMP 1010, MUSC 2000L]; SELECT $n FROM $c : "d" : 2;'


def use_result(result):
    result.json()
    result.json_pretty()
    str(result)
    result.version()


MIXED_CALLS = [
    lambda: use_result(parse_with_externals(VALID, {"$n": "1-2"})),
    lambda: use_result(parse('SELECT 1 FROM [TAG("x"), SELECT 2 FROM COMP 1010] : "d";')),
    lambda: parse("SELECT 1 FROM"),
    lambda: parse(VALID),
    lambda: parse_with_externals(VALID, {"$n": "0", "$other": "1"}),
    lambda: parse_extern_value("[COMP 1010, $undefined]"),
    lambda: parse_extern_value('RANGE(COMP 1010, COMP 1999)'),
    lambda: parse(b"bytes"),
    lambda: parse_with_externals("", {"$n": 1}),
    lambda: parse(brix="", extra=1),
    lambda: parse_with_externals(),
    lambda: rediriziv.BRIX(),
]


def run_mixed_calls(count):
    for i in range(count):
        try:
            MIXED_CALLS[i % len(MIXED_CALLS)]()
        except (ValueError, TypeError):
            pass


def resident_bytes():
    with open("/proc/self/statm") as statm:
        return int(statm.read().split()[1]) * os.sysconf("SC_PAGE_SIZE")


@pytest.mark.skipif(not os.path.exists("/proc/self/statm"), reason="needs /proc")
def test_memory_stays_flat_over_many_calls():
    run_mixed_calls(20_000)
    before = resident_bytes()
    run_mixed_calls(180_000)
    growth = resident_bytes() - before
    # A leak of a single small object per call would exceed this by far.
    assert growth < 2 * 1024 * 1024, f"resident memory grew by {growth} bytes"


def test_nul_characters_pass_through_unchanged():
    result = parse('SELECT 1 FROM COMP 1010 : "a\0b";')
    assert '"description":"a\\u0000b"' in result.json()
    with pytest.raises(ValueError) as raised:
        parse("\0\0\0")
    assert "1 | \0\0\0\n" in str(raised.value)
