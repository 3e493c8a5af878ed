"""brix-lsp driven over stdio as an editor drives it, through tables of
(text, edits, cursor) and what the server must answer.

In the texts, «» marks an expected range (the markers are removed before the
text is sent) and ‸ the cursor. Expected ranges are worked out in the
encoding the session negotiated, so every table runs in UTF-16 (the default),
UTF-8 and UTF-32, and the emoji and accented lines tell them apart.
"""

import asyncio
import re
import sys

import pytest

if sys.version_info < (3, 10):
    pytest.skip("the language server's tests need Python 3.10 or later (pytest-lsp)", allow_module_level=True)

import pytest_lsp  # noqa: E402
from lsprotocol import types as lsp  # noqa: E402
from pygls.protocol import default_converter  # noqa: E402
from pytest_lsp import ClientServerConfig, LanguageClient  # noqa: E402
from pytest_lsp.client import DEFAULT_CLIENT_FEATURES, register_lsp_features  # noqa: E402

pytestmark = pytest.mark.asyncio(loop_scope="module")

ENCODINGS = [lsp.PositionEncodingKind.Utf16, lsp.PositionEncodingKind.Utf8, lsp.PositionEncodingKind.Utf32]


def make_client() -> LanguageClient:
    """pytest-lsp's client, which also keeps every publication by (uri, version)."""
    client = LanguageClient(converter_factory=default_converter)
    client.published = {}  # type: ignore[attr-defined]

    def publish(client: LanguageClient, params: lsp.PublishDiagnosticsParams) -> None:
        client.diagnostics[params.uri] = params.diagnostics
        client.published[(params.uri, params.version)] = params.diagnostics  # type: ignore[attr-defined]

    register_lsp_features(client, {**DEFAULT_CLIENT_FEATURES, lsp.TEXT_DOCUMENT_PUBLISH_DIAGNOSTICS: publish})
    return client


@pytest_lsp.fixture(
    config=ClientServerConfig(server_command=[sys.executable, "-m", "brix.lsp"], client_factory=make_client),
    scope="module",
    params=ENCODINGS,
    ids=["utf-16", "utf-8", "utf-32"],
)
async def client(lsp_client: LanguageClient, request: pytest.FixtureRequest):
    capabilities = lsp.ClientCapabilities(
        general=lsp.GeneralClientCapabilities(position_encodings=[request.param]),
        text_document=lsp.TextDocumentClientCapabilities(
            completion=lsp.CompletionClientCapabilities(
                completion_item=lsp.ClientCompletionItemOptions(snippet_support=True)
            )
        ),
    )
    result = await lsp_client.initialize_session(lsp.InitializeParams(capabilities=capabilities))
    lsp_client.encoding = result.capabilities.position_encoding  # type: ignore[attr-defined]
    yield
    await lsp_client.shutdown_session()


# Positions as the client counts them, worked out here on their own.
def units(text: str, encoding: str) -> int:
    if encoding == lsp.PositionEncodingKind.Utf8:
        return len(text.encode("utf-8", "surrogatepass"))
    if encoding == lsp.PositionEncodingKind.Utf32:
        return len(text)
    return len(text.encode("utf-16-le", "surrogatepass")) // 2


def position(text: str, index: int, encoding: str) -> lsp.Position:
    before = text[:index]
    line_start = max(before.rfind("\n"), before.rfind("\r")) + 1
    lines = len(re.findall("\r\n|\r|\n", before))
    return lsp.Position(line=lines, character=units(before[line_start:], encoding))


def unmark(marked: str):
    """The text without «» and ‸, the marked index pairs and the cursor index."""
    text, ranges, cursor, start = "", [], None, None
    for char in marked:
        if char == "«":
            start = len(text)
        elif char == "»":
            ranges.append((start, len(text)))
        elif char == "‸":
            cursor = len(text)
        else:
            text += char
    return text, ranges, cursor


def as_range(text: str, pair, encoding: str) -> lsp.Range:
    return lsp.Range(start=position(text, pair[0], encoding), end=position(text, pair[1], encoding))


def show(r: lsp.Range) -> str:
    return f"{r.start.line}:{r.start.character}-{r.end.line}:{r.end.character}"


class Session:
    """One open document of the client, kept in step with the server's."""

    count = 0

    def __init__(self, client: LanguageClient, text: str, uri: str = ""):
        Session.count += 1
        self.client, self.text, self.version = client, text, 1
        self.uri = uri or f"file:///tmp/brix-lsp-test/doc{Session.count}.brix"
        self.encoding = client.encoding  # type: ignore[attr-defined]

    async def open(self):
        self.client.text_document_did_open(
            lsp.DidOpenTextDocumentParams(
                text_document=lsp.TextDocumentItem(uri=self.uri, language_id="brix", version=self.version, text=self.text)
            )
        )
        return await self.diagnostics()

    async def diagnostics(self):
        """The diagnostics published for the current version."""
        key = (self.uri, self.version)
        for _ in range(2000):
            if key in self.client.published:  # type: ignore[attr-defined]
                return self.client.published[key]  # type: ignore[attr-defined]
            await asyncio.sleep(0.01)
        raise AssertionError(f"no diagnostics for version {self.version} of {self.uri}")

    def edit(self, start: int, end: int, new: str, raw_range: "lsp.Range | None" = None):
        where = raw_range or as_range(self.text, (start, end), self.encoding)
        self.text = self.text[:start] + new + self.text[end:]
        self.version += 1
        self.client.text_document_did_change(
            lsp.DidChangeTextDocumentParams(
                text_document=lsp.VersionedTextDocumentIdentifier(uri=self.uri, version=self.version),
                content_changes=[lsp.TextDocumentContentChangePartial(range=where, text=new)],
            )
        )

    def replace(self, old: str, new: str):
        start = self.text.index(old)
        self.edit(start, start + len(old), new)

    def apply(self, edits):
        for e in sorted(edits, key=lambda e: (e.range.start.line, e.range.start.character), reverse=True):
            start = index_at(self.text, e.range.start, self.encoding)
            end = index_at(self.text, e.range.end, self.encoding)
            self.edit(start, end, e.new_text)

    def at(self, index: int) -> lsp.Position:
        return position(self.text, index, self.encoding)

    def doc(self):
        return lsp.TextDocumentIdentifier(uri=self.uri)


def index_at(text: str, at: lsp.Position, encoding: str) -> int:
    for index in range(len(text) + 1):
        if position(text, index, encoding) == at:
            return index
    raise AssertionError(f"no index at {at}")


# (text with «» at each expected range, edits as (old, new) applied in turn,
#  expected codes in order). The ranges are looked for in the final text.
DIAGNOSTICS = [
    ('SELECT 1 FROM «CSCX» 1010 : "a";', [], ["E0401"]),
    ('$t = "😀 é"; SELECT 1 FROM CSCI 1010 : $t;\nSELECT 1 FROM [CSCI 1010, «CSCX» 1020] : "é";', [], ["E0401"]),
    ('SELECT 1 FROM CSCI 1010 : "a";\r\nSELECT 1 FROM «CSCX» 1020 : "é";', [], ["E0401"]),
    ('SELECT 1 FROM CSCI 1010 : "a";\rSELECT 1 FROM «CSCX» 1020 : "é";', [], ["E0401"]),
    ('$core = [CSCI 1010];\nSELECT 1 FROM $core : "b";\nSELECT 1 FROM «$Core» : "a";', [], ["E0301"]),
    ('SELECT «5» FROM [CSCI 1010, CSCI 1020] : "a";', [], ["W0201"]),
    ('SELECT 1 FROM CSCX 1010 : "a";', [("CSCX", "CSCI")], []),
    ('SELECT 1 FROM CSCI 1010 : "😀";', [("CSCI", "CSCX")], ["E0401"]),
    ('', [("", 'SELECT 1 FROM «CSCX» 1010 : "a";')], ["E0401"]),
    # Typed a character at a time; only the last text's result counts.
    ('SELECT 1 FROM CSCI 1010 : "a";', [("CSCI", "CSC"), ("CSC", "CS"), ("CS", "CSX"), ("CSX", "CSXX")], ["E0401"]),
    ("// 😀 only a comment\n", [], []),
]


@pytest.mark.parametrize("marked, edits, codes", DIAGNOSTICS)
async def test_diagnostics(client: LanguageClient, marked, edits, codes):
    text, _, _ = unmark(marked.replace("«", "").replace("»", "") if edits else marked)
    session = Session(client, text)
    found = await session.open()
    for old, new in edits:
        session.replace(old, new.replace("«", "").replace("»", ""))
    if edits:
        found = await session.diagnostics()
    final_marked = marked
    for old, new in edits:
        final_marked = final_marked.replace(old, new, 1)
    _, ranges, _ = unmark(final_marked)
    assert [d.code for d in found] == codes
    assert all(d.source == "brix" for d in found)
    for d, pair in zip(found, ranges):
        assert show(d.range) == show(as_range(session.text, pair, session.encoding))


async def test_diagnostic_positions_golden_in_utf16(client: LanguageClient):
    """The emoji counts two UTF-16 units, four UTF-8 bytes and one character."""
    session = Session(client, 'SELECT 1 FROM CSCI 1010 : "😀"; SELECT 1 FROM CSCX 1020 : "b";')
    found = await session.open()
    expected = {"utf-16": "0:46-0:50", "utf-8": "0:48-0:52", "utf-32": "0:45-0:49"}
    assert show(found[0].range) == expected[session.encoding]


# (text with «» at the range a fix works on, expected title, text after the fix)
QUICK_FIXES = [
    ('SELECT 1 FROM «CSCX» 1010 : "😀";', "Replace with `CSCI`", 'SELECT 1 FROM CSCI 1010 : "😀";'),
    (
        '$core = [CSCI 1010];\nSELECT 1 FROM «$Core» : "a";',
        "Replace with `$core`",
        '$core = [CSCI 1010];\nSELECT 1 FROM $core : "a";',
    ),
    (
        'SELECT 1 FROM «CSCI» 1010 : "é"\nSELECT 1 FROM CSCI 1020 : "b";',
        "Insert `;`",
        'SELECT 1 FROM CSCI 1010 : "é";\nSELECT 1 FROM CSCI 1020 : "b";',
    ),
]


@pytest.mark.parametrize("marked, title, fixed", QUICK_FIXES)
async def test_quick_fix_clears_the_error(client: LanguageClient, marked, title, fixed):
    text, ranges, _ = unmark(marked)
    session = Session(client, text)
    found = await session.open()
    assert found and found[0].severity == lsp.DiagnosticSeverity.Error
    actions = await client.text_document_code_action_async(
        lsp.CodeActionParams(
            text_document=session.doc(),
            range=as_range(text, ranges[0], session.encoding),
            context=lsp.CodeActionContext(diagnostics=found),
        )
    )
    assert [a.title for a in actions] == [title]
    session.apply(actions[0].edit.changes[session.uri])
    assert session.text == fixed
    assert [d for d in await session.diagnostics() if d.severity == lsp.DiagnosticSeverity.Error] == []


async def test_no_quick_fix_away_from_the_error(client: LanguageClient):
    session = Session(client, 'SELECT 1 FROM CSCX 1010 : "a";\n\nSELECT 1 FROM CSCI 1010 : "b";')
    found = await session.open()
    far = lsp.Range(start=lsp.Position(line=2, character=0), end=lsp.Position(line=2, character=1))
    assert not await client.text_document_code_action_async(
        lsp.CodeActionParams(text_document=session.doc(), range=far, context=lsp.CodeActionContext(diagnostics=found))
    )


# (text with ‸ at the cursor, labels that must be offered, labels that must not)
COMPLETIONS = [
    ("SELECT 1 FROM CS‸", ["CSCI", "MATH", "RANGE", "TAG_DEPT", "SELECT", "FROM"], []),
    ('$core = [CSCI 1010];\n$n = 2;\nSELECT $n FROM $c‸', ["$core", "$n"], ["CSCI", "RANGE", "SELECT"]),
    ('$a = 1;\nSELECT $‸ FROM CSCI 1010 : "😀";\n$b = 2;', ["$a"], ["$b"]),
    ('extern $later;\n$é = 1;\nSELECT 1 FROM $‸', ["$later"], []),
]


@pytest.mark.parametrize("marked, present, absent", COMPLETIONS)
async def test_completion(client: LanguageClient, marked, present, absent):
    text, _, cursor = unmark(marked)
    session = Session(client, text)
    await session.open()
    result = await client.text_document_completion_async(lsp.CompletionParams(text_document=session.doc(), position=session.at(cursor)))
    labels = [item.label for item in result.items]
    assert set(present) <= set(labels)
    assert not set(absent) & set(labels)


async def test_completion_of_a_function_is_a_snippet_and_a_variable_replaces_its_dollar(client: LanguageClient):
    text, _, cursor = unmark('$core = [CSCI 1010];\nSELECT 1 FROM [RANGE_TAG(CSCI 1000, CSCI 2000, "😀"), $co‸')
    session = Session(client, text)
    await session.open()
    items = {i.label: i for i in (await client.text_document_completion_async(
        lsp.CompletionParams(text_document=session.doc(), position=session.at(cursor)))).items}
    assert items["$core"].detail == "[CSCI 1010]"
    assert show(items["$core"].text_edit.range) == show(as_range(text, (cursor - 3, cursor), session.encoding))
    session = Session(client, "SELECT 1 FROM RA‸".replace("‸", ""))
    await session.open()
    items = {i.label: i for i in (await client.text_document_completion_async(
        lsp.CompletionParams(text_document=session.doc(), position=session.at(len(session.text))))).items}
    assert items["RANGE_TAG"].insert_text == 'RANGE_TAG(${1:CSCI 3000}, ${2:CSCI 4999}, "${3:tag}")'
    assert items["RANGE_TAG"].insert_text_format == lsp.InsertTextFormat.Snippet


# (text with ‸ at the cursor and «» at each expected location, in order)
DEFINITIONS = [
    ('«$x» = 1;\nSELECT $‸x FROM CSCI 1010 : "a";', "definition"),
    ('$x = 1;\n«$x» = 2;\nSELECT $x‸ FROM CSCI 1010 : "a";', "definition"),
    ('«$x» = [CSCI 1010];\n$x = [$‸x, CSCI 1020];', "definition"),
    ('$t = "😀"; «$x» = 1; SELECT $x FROM CSCI 1010 : "😀"; SELECT $‸x FROM CSCI 1020 : $t;', "definition"),
    ('extern «$e»;\nSELECT $e‸ FROM CSCI 1010 : "a";', "definition"),
    ('«$x» = [CSCI 1010];\nSELECT 1 FROM «$‸x» : "é";\nSELECT 1 FROM «$x» : "b";\n$x = [CSCI 1020];', "references"),
    ('$x = 1;\n«$‸x» = 2;\nSELECT «$x» FROM CSCI 1010 : "😀";', "references"),
    ('SELECT 1 FROM CSCI 1010‸ : "a";', "definition"),
]


@pytest.mark.parametrize("marked, kind", DEFINITIONS)
async def test_locations(client: LanguageClient, marked, kind):
    text, ranges, cursor = unmark(marked)
    session = Session(client, text)
    await session.open()
    if kind == "definition":
        found = await client.text_document_definition_async(lsp.DefinitionParams(text_document=session.doc(), position=session.at(cursor)))
        found = [] if found is None else [found] if isinstance(found, lsp.Location) else found
    else:
        found = await client.text_document_references_async(
            lsp.ReferenceParams(
                text_document=session.doc(),
                position=session.at(cursor),
                context=lsp.ReferenceContext(include_declaration=True),
            )
        )
    assert [show(loc.range) for loc in found] == [show(as_range(text, r, session.encoding)) for r in ranges]
    assert all(loc.uri == session.uri for loc in found)


# (text with ‸ and «» at every place renamed, new name, text after)
RENAMES = [
    ('«$x» = 1;\nSELECT «$x‸» FROM CSCI 1010 : "😀";', "count", '$count = 1;\nSELECT $count FROM CSCI 1010 : "😀";'),
    # Only the assignment in effect is renamed: the later one is another binding.
    (
        '$x = [CSCI 1010];\n$x = [$‸x, CSCI 1020];\nSELECT 1 FROM $x : "a";',
        "$base",
        '$base = [CSCI 1010];\n$x = [$base, CSCI 1020];\nSELECT 1 FROM $x : "a";',
    ),
]


@pytest.mark.parametrize("marked, new_name, renamed", RENAMES)
async def test_rename(client: LanguageClient, marked, new_name, renamed):
    text, _, cursor = unmark(marked)
    session = Session(client, text)
    await session.open()
    edit = await client.text_document_rename_async(lsp.RenameParams(text_document=session.doc(), position=session.at(cursor), new_name=new_name))
    session.apply(edit.changes[session.uri])
    assert session.text == renamed


async def test_rename_refuses_a_name_that_is_not_a_variable(client: LanguageClient):
    session = Session(client, '$x = 1;\nSELECT $x FROM CSCI 1010 : "a";')
    await session.open()
    with pytest.raises(Exception):
        await client.text_document_rename_async(lsp.RenameParams(text_document=session.doc(), position=session.at(1), new_name="two words"))


# (text with ‸, what the hover says; None for no hover)
HOVERS = [
    ('$core = [CSCI 1010, CSCI 1020];\nSELECT 2 FROM $co‸re : "Core";', "`$core` = `[CSCI 1010, CSCI 1020]`"),
    ('SELECT 2 FROM [MATH 1210, MATH 1220] : "Calc‸ulus";', "Take 2 of: MATH 1210, MATH 1220. (Calculus)"),
    ('extern $n;\nSELECT $‸n FROM CSCI 1010 : "a";', "`$n`: extern, value not given"),
    ('SELECT 1 FROM $‸nowhere : "a";', "`$nowhere` is not defined above"),
    ("// just a comment‸\n", None),
]


@pytest.mark.parametrize("marked, expected", HOVERS)
async def test_hover(client: LanguageClient, marked, expected):
    text, _, cursor = unmark(marked)
    session = Session(client, text)
    await session.open()
    found = await client.text_document_hover_async(lsp.HoverParams(text_document=session.doc(), position=session.at(cursor)))
    assert (found.contents.value if found else None) == expected


async def test_hover_uses_the_sibling_externs_file(client: LanguageClient, tmp_path):
    (tmp_path / "major.externs").write_text("# values\nn = 3\n", encoding="utf-8")
    session = Session(client, 'extern $n;\nSELECT $n FROM CSCI 1010 : "a";', uri=(tmp_path / "major.brix").as_uri())
    assert not await session.open()
    found = await client.text_document_hover_async(lsp.HoverParams(text_document=session.doc(), position=session.at(19)))
    assert found.contents.value == "`$n`: extern = `3`"


async def test_document_symbols_outline_requirements_by_description(client: LanguageClient):
    text = '$t = "Física 😀";\nSELECT 1 FROM CSCI 1010 : "Intro";\nSELECT 1 FROM [\n  SELECT 1 FROM CSCI 1020\n] : $t : 2;\n'
    session = Session(client, text)
    await session.open()
    found = await client.text_document_document_symbol_async(lsp.DocumentSymbolParams(text_document=session.doc()))
    assert [(s.name, s.kind) for s in found] == [
        ("$t", lsp.SymbolKind.Variable),
        ("Intro", lsp.SymbolKind.Object),
        ("Física 😀", lsp.SymbolKind.Object),
    ]
    assert show(found[2].range) == f"2:0-4:{units('] : $t : 2;', session.encoding)}"


# (text, the text after the formatting edits are applied; None for no answer)
FORMATTINGS = [
    (
        '$t = "Física 😀";\nSELECT 1 FROM CSCI 1010 : "Intro"; SELECT 2 FROM [CSCI 1010, MATH 1210] : $t;',
        '$t = "Física 😀";\nSELECT 1 FROM CSCI 1010              : "Intro";\nSELECT 2 FROM [CSCI 1010, MATH 1210] : $t;\n',
    ),
    ('SELECT 1 FROM CSCI 1010 : "a";\n', 'SELECT 1 FROM CSCI 1010 : "a";\n'),
    ("SELECT 1 FROM [CSCI 1010,", None),
]


@pytest.mark.parametrize("text, formatted", FORMATTINGS)
async def test_formatting(client: LanguageClient, text, formatted):
    session = Session(client, text)
    await session.open()
    params = lsp.DocumentFormattingParams(text_document=session.doc(), options=lsp.FormattingOptions(tab_size=2, insert_spaces=True))
    edits = await client.text_document_formatting_async(params)
    if formatted is None:
        assert edits is None
        return
    session.apply(edits)
    assert session.text == formatted


# Whatever arrives, the server goes on answering.
HOSTILE_TEXTS = [
    bytes(range(256)).decode("latin-1"),
    "\ud800 lone surrogate \udfff SELECT 1 FROM CSCX 1010 : \"a\";",
    '"' * 5000,
    "[" * 5000,
    "SELECT 1 FROM CSCI 1010 : \"a\";\n" * 30000,
]


@pytest.mark.parametrize("text", HOSTILE_TEXTS, ids=["bytes", "surrogates", "quotes", "brackets", "1 MB"])
async def test_hostile_text_keeps_it_answering(client: LanguageClient, text):
    session = Session(client, text)
    await session.open()
    for kind in ("hover", "completion", "symbols"):
        at = session.at(len(session.text) // 2)
        if kind == "hover":
            await client.text_document_hover_async(lsp.HoverParams(text_document=session.doc(), position=at))
        elif kind == "completion":
            await client.text_document_completion_async(lsp.CompletionParams(text_document=session.doc(), position=at))
        else:
            await client.text_document_document_symbol_async(lsp.DocumentSymbolParams(text_document=session.doc()))


async def test_edits_and_requests_past_the_end_are_clamped(client: LanguageClient):
    session = Session(client, 'SELECT 1 FROM CSCI 1010 : "a";')
    await session.open()
    far = lsp.Range(start=lsp.Position(line=99, character=99), end=lsp.Position(line=120, character=0))
    session.edit(len(session.text), len(session.text), "\nSELECT 1 FROM CSCX 1020 : \"b\";", raw_range=far)
    found = await session.diagnostics()
    assert [(d.code, show(d.range)) for d in found] == [("E0401", "1:14-1:18")]
    assert await client.text_document_hover_async(lsp.HoverParams(text_document=session.doc(), position=lsp.Position(line=500, character=7))) is None


async def test_unknown_methods_get_an_error_and_the_server_goes_on(client: LanguageClient):
    with pytest.raises(Exception, match="brix/noSuchMethod"):
        await asyncio.wait_for(client.protocol.send_request_async("brix/noSuchMethod", {"x": 1}), 20)
    client.protocol.notify("brix/noSuchNotification", {})
    session = Session(client, 'SELECT 1 FROM CSCX 1010 : "a";')
    assert [d.code for d in await session.open()] == ["E0401"]
