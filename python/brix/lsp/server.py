"""brix-lsp: the language server for BRIX files, over stdio.

Documents are kept here, not in pygls's workspace, so that line breaks and
positions follow the protocol exactly and an edit past the end is clamped
rather than refused. Every handler answers, whatever the text: a failure
inside one is logged and answered with an empty result.
"""

import asyncio
import functools
import logging
import pathlib
import re
from dataclasses import dataclass, field
from typing import Any, Callable, Dict, List, Optional, Sequence, Tuple, TypeVar

from lsprotocol import types as lsp
from pygls.lsp.server import LanguageServer
from pygls.uris import to_fs_path

from .. import _check, _native, _symbols
from .._types import BrixError, Diagnostic, Span, Symbols
from . import completion
from .text import LineIndex, apply_change, clean

log = logging.getLogger("brix-lsp")

_SEVERITY = {
    "error": lsp.DiagnosticSeverity.Error,
    "warning": lsp.DiagnosticSeverity.Warning,
    "note": lsp.DiagnosticSeverity.Information,
}
_VARIABLE_NAME = re.compile(r"\$?[A-Za-z_][A-Za-z0-9_]*")


@dataclass
class Settings:
    """What a client may set, under "brix" in its settings or in the
    initialization options."""

    externs: Optional[Dict[str, str]] = None  # instead of a sibling NAME.externs
    externs_file: Optional[str] = None
    catalog: Optional[Any] = None  # a list of codes, or a file with one per line
    department_names: Dict[str, str] = field(default_factory=dict)
    warnings: bool = True
    allow: List[str] = field(default_factory=list)
    debounce: float = 0.01  # seconds between a change and its check

    @classmethod
    def read(cls, raw: Any) -> "Settings":
        if isinstance(raw, dict) and isinstance(raw.get("brix"), dict):
            raw = raw["brix"]
        settings = cls()
        if not isinstance(raw, dict):
            return settings
        if isinstance(raw.get("externs"), dict):
            settings.externs = {str(k): str(v) for k, v in raw["externs"].items()}
        if isinstance(raw.get("externsFile"), str):
            settings.externs_file = raw["externsFile"]
        if isinstance(raw.get("catalog"), (str, list)):
            settings.catalog = raw["catalog"]
        if isinstance(raw.get("departmentNames"), dict):
            settings.department_names = {str(k): str(v) for k, v in raw["departmentNames"].items()}
        if isinstance(raw.get("warnings"), bool):
            settings.warnings = raw["warnings"]
        if isinstance(raw.get("allow"), list):
            settings.allow = [str(code) for code in raw["allow"]]
        if isinstance(raw.get("debounceMs"), (int, float)) and not isinstance(raw.get("debounceMs"), bool):
            settings.debounce = max(0.0, min(float(raw["debounceMs"]), 5000.0)) / 1000.0
        return settings


@dataclass
class Document:
    uri: str
    text: str
    version: int
    # The diagnostics of `checked_version`, with their fixes, for quick fixes.
    diagnostics: List[Diagnostic] = field(default_factory=list)
    checked_version: Optional[int] = None
    _symbols: Optional[Tuple[int, Symbols]] = None
    _index: Optional[Tuple[int, LineIndex]] = None

    @property
    def symbols(self) -> Symbols:
        if self._symbols is None or self._symbols[0] != self.version:
            # The library's reading leaves statements with errors out; while
            # the file has some, the tokenizer finds its way around them.
            tolerant = _symbols.has_errors(self.text)
            found = _symbols.read_any(self.text) if tolerant else _symbols.symbols(self.text)
            self._symbols = (self.version, found)
        return self._symbols[1]

    @property
    def lines(self) -> LineIndex:
        if self._index is None or self._index[0] != self.version:
            self._index = (self.version, LineIndex(self.text))
        return self._index[1]


F = TypeVar("F", bound=Callable[..., Any])


def answering(empty: Any) -> Callable[[F], F]:
    """A handler that logs its failures and answers ``empty`` instead."""

    def wrap(handler: F) -> F:
        @functools.wraps(handler)
        def safe(*args: Any) -> Any:
            try:
                return handler(*args)
            except Exception:  # noqa: BLE001 - the server must keep answering
                log.exception("%s failed", handler.__name__)
                return empty

        return safe  # type: ignore[return-value]

    return wrap


class BrixServer(LanguageServer):
    def __init__(self) -> None:
        super().__init__("brix-lsp", _native.__version__, text_document_sync_kind=lsp.TextDocumentSyncKind.Incremental)
        self.documents: Dict[str, Document] = {}
        self.settings = Settings()
        self.snippets = False
        self._pending: Dict[str, "asyncio.Task[None]"] = {}

    @property
    def encoding(self) -> str:
        try:
            return str(self.workspace.position_encoding or lsp.PositionEncodingKind.Utf16)
        except RuntimeError:
            return lsp.PositionEncodingKind.Utf16

    # Checking.

    def _externs(self, uri: str) -> Optional[Dict[str, str]]:
        if self.settings.externs is not None:
            return self.settings.externs
        if self.settings.externs_file is not None:
            path = pathlib.Path(self.settings.externs_file)
        else:
            fs_path = to_fs_path(uri) if uri.startswith("file:") else None
            if fs_path is None:
                return None
            path = pathlib.Path(fs_path).with_suffix(".externs")
        try:
            return _check.read_externs(path.read_text(encoding="utf-8-sig"))
        except (OSError, UnicodeDecodeError):
            return None

    def check(self, document: Document) -> List[Diagnostic]:
        try:
            return _check.check(
                document.text,
                externs=self._externs(document.uri),
                catalog=self.settings.catalog,
                warnings=self.settings.warnings,
                allow=self.settings.allow,
            )
        except (ValueError, OSError) as error:
            # A bad extern value or catalog: say so at the top of the file.
            return [Diagnostic("error", "E0503" if "catalog" in str(error) else "E0303", str(error), None)]

    def to_lsp(self, document: Document, found: Sequence[Diagnostic]) -> List[lsp.Diagnostic]:
        out = []
        for d in found:
            if d.span is not None:
                where = document.lines.range(d.span.start.offset, d.span.end.offset, self.encoding)
            else:
                where = lsp.Range(start=lsp.Position(line=0, character=0), end=lsp.Position(line=0, character=0))
            message = d.message if not d.help else f"{d.message}\nhelp: {d.help}"
            out.append(
                lsp.Diagnostic(
                    range=where, message=message, severity=_SEVERITY.get(d.severity), code=d.code, source="brix"
                )
            )
        return out

    async def publish(self, uri: str, delay: float) -> None:
        """Checks the document's latest text after ``delay`` and publishes the
        result, unless the text changed meanwhile (then it checks again)."""
        await asyncio.sleep(delay)
        loop = asyncio.get_running_loop()
        while True:
            document = self.documents.get(uri)
            if document is None:
                return
            version = document.version
            found = await loop.run_in_executor(None, self.check, document)
            if document.version != version or self.documents.get(uri) is not document:
                continue
            document.diagnostics, document.checked_version = found, version
            self.text_document_publish_diagnostics(
                lsp.PublishDiagnosticsParams(uri=uri, version=version, diagnostics=self.to_lsp(document, found))
            )
            return

    def schedule(self, uri: str, delay: float) -> None:
        running = self._pending.get(uri)
        if running is not None and not running.done():
            return  # it reads the latest text when its turn comes
        self._pending[uri] = asyncio.ensure_future(self._publish_logged(uri, delay))

    async def _publish_logged(self, uri: str, delay: float) -> None:
        try:
            await self.publish(uri, delay)
        except Exception:  # noqa: BLE001
            log.exception("checking %s failed", uri)

    def document(self, uri: str) -> Optional[Document]:
        return self.documents.get(uri)


server = BrixServer()


@server.feature(lsp.INITIALIZE)
@answering(None)
def initialize(ls: BrixServer, params: lsp.InitializeParams) -> None:
    ls.settings = Settings.read(params.initialization_options)
    text_caps = params.capabilities.text_document
    item = text_caps.completion.completion_item if text_caps and text_caps.completion else None
    ls.snippets = bool(item and item.snippet_support)


@server.feature(lsp.WORKSPACE_DID_CHANGE_CONFIGURATION)
@answering(None)
def did_change_configuration(ls: BrixServer, params: lsp.DidChangeConfigurationParams) -> None:
    ls.settings = Settings.read(params.settings)
    for uri in ls.documents:
        ls.schedule(uri, 0.0)


@server.feature(lsp.TEXT_DOCUMENT_DID_OPEN)
@answering(None)
def did_open(ls: BrixServer, params: lsp.DidOpenTextDocumentParams) -> None:
    item = params.text_document
    ls.documents[item.uri] = Document(item.uri, clean(item.text), item.version)
    ls.schedule(item.uri, 0.0)


@server.feature(lsp.TEXT_DOCUMENT_DID_CHANGE)
@answering(None)
def did_change(ls: BrixServer, params: lsp.DidChangeTextDocumentParams) -> None:
    document = ls.document(params.text_document.uri)
    if document is None:
        return
    for change in params.content_changes:
        document.text = apply_change(document.text, change, ls.encoding)
    document.version = params.text_document.version
    ls.schedule(document.uri, ls.settings.debounce)


@server.feature(lsp.TEXT_DOCUMENT_DID_CLOSE)
@answering(None)
def did_close(ls: BrixServer, params: lsp.DidCloseTextDocumentParams) -> None:
    if ls.documents.pop(params.text_document.uri, None) is not None:
        ls.text_document_publish_diagnostics(lsp.PublishDiagnosticsParams(uri=params.text_document.uri, diagnostics=[]))


def _overlaps(a: lsp.Range, b: lsp.Range) -> bool:
    def key(p: lsp.Position) -> Tuple[int, int]:
        return (p.line, p.character)

    return key(a.start) <= key(b.end) and key(b.start) <= key(a.end)


def _fix_title(document: Document, d: Diagnostic) -> str:
    fix = d.fixes[0]
    if not fix.replacement:
        return "Remove " + repr(document.text.encode("utf-8")[fix.span.start.offset : fix.span.end.offset].decode())
    if fix.span.start.offset == fix.span.end.offset:
        return f"Insert `{fix.replacement}`"
    return f"Replace with `{fix.replacement}`"


@server.feature(lsp.TEXT_DOCUMENT_CODE_ACTION, lsp.CodeActionOptions(code_action_kinds=[lsp.CodeActionKind.QuickFix]))
@answering([])
def code_action(ls: BrixServer, params: lsp.CodeActionParams) -> List[lsp.CodeAction]:
    document = ls.document(params.text_document.uri)
    if document is None or document.checked_version != document.version:
        return []
    actions = []
    for d in document.diagnostics:
        if not d.fixes:
            continue
        published = ls.to_lsp(document, [d])[0]
        if not _overlaps(published.range, params.range):
            continue
        edits = [
            lsp.TextEdit(
                range=document.lines.range(fix.span.start.offset, fix.span.end.offset, ls.encoding),
                new_text=fix.replacement,
            )
            for fix in d.fixes
        ]
        actions.append(
            lsp.CodeAction(
                title=_fix_title(document, d),
                kind=lsp.CodeActionKind.QuickFix,
                diagnostics=[published],
                is_preferred=True,
                edit=lsp.WorkspaceEdit(changes={document.uri: edits}),
            )
        )
    return actions


def _offset_at(ls: BrixServer, document: Document, position: lsp.Position) -> int:
    index = document.lines.index(position, ls.encoding)
    return len(document.text[:index].encode("utf-8", "surrogatepass"))


def _touches(span: Span, offset: int) -> bool:
    """Whether the cursor at ``offset`` is within ``span`` or at either end of it."""
    return span.start.offset <= offset <= span.end.offset


@server.feature(
    lsp.TEXT_DOCUMENT_COMPLETION, lsp.CompletionOptions(trigger_characters=["$"], resolve_provider=False)
)
@answering(None)
def complete(ls: BrixServer, params: lsp.CompletionParams) -> Optional[lsp.CompletionList]:
    document = ls.document(params.text_document.uri)
    if document is None:
        return None
    index = document.lines.index(params.position, ls.encoding)
    start = index
    while start > 0 and (document.text[start - 1].isalnum() or document.text[start - 1] in "_&"):
        start -= 1
    variable = start > 0 and document.text[start - 1] == "$"
    if variable:
        start -= 1
    catalog = ls.settings.catalog
    if isinstance(catalog, list):
        departments: Sequence[str] = [str(code) for code in catalog]
    else:
        departments = (_check._catalog_codes(catalog) or []) if catalog else _native.departments()
    offset = len(document.text[:index].encode("utf-8", "surrogatepass"))
    found = completion.items(
        document.symbols, offset, departments, ls.settings.department_names, ls.snippets, variable
    )
    if variable:
        replace = lsp.Range(
            start=document.lines.position(start, ls.encoding), end=document.lines.position(index, ls.encoding)
        )
        for item in found:
            item.text_edit = lsp.TextEdit(range=replace, new_text=item.label)
    return lsp.CompletionList(is_incomplete=False, items=found)


def _variable_at(document: Document, offset: int) -> Tuple[Optional[int], List[int]]:
    """The definition that the variable at ``offset`` stands for, and the indexes of
    the uses bound to it."""
    symbols = document.symbols
    target: Optional[int] = None
    for number, definition in enumerate(symbols.definitions):
        if _touches(definition.span, offset):
            target = number
    for use in symbols.uses:
        if _touches(use.span, offset):
            target = use.definition
    if target is None:
        return None, []
    return target, [i for i, use in enumerate(symbols.uses) if use.definition == target]


@server.feature(lsp.TEXT_DOCUMENT_DEFINITION)
@answering(None)
def definition(ls: BrixServer, params: lsp.DefinitionParams) -> Optional[lsp.Location]:
    document = ls.document(params.text_document.uri)
    if document is None:
        return None
    target, _ = _variable_at(document, _offset_at(ls, document, params.position))
    if target is None:
        return None
    span = document.symbols.definitions[target].span
    return lsp.Location(uri=document.uri, range=document.lines.range(span.start.offset, span.end.offset, ls.encoding))


@server.feature(lsp.TEXT_DOCUMENT_REFERENCES)
@answering(None)
def references(ls: BrixServer, params: lsp.ReferenceParams) -> Optional[List[lsp.Location]]:
    document = ls.document(params.text_document.uri)
    if document is None:
        return None
    target, uses = _variable_at(document, _offset_at(ls, document, params.position))
    if target is None:
        return None
    spans = [document.symbols.uses[i].span for i in uses]
    if params.context.include_declaration:
        spans.insert(0, document.symbols.definitions[target].span)
    return [
        lsp.Location(uri=document.uri, range=document.lines.range(s.start.offset, s.end.offset, ls.encoding))
        for s in spans
    ]


@server.feature(lsp.TEXT_DOCUMENT_RENAME)
def rename(ls: BrixServer, params: lsp.RenameParams) -> Optional[lsp.WorkspaceEdit]:
    document = ls.document(params.text_document.uri)
    if document is None:
        return None
    if not _VARIABLE_NAME.fullmatch(params.new_name):
        raise ValueError(f"{params.new_name!r} is not a variable name: $, then a letter or _, then letters, digits, _")
    new_name = params.new_name if params.new_name.startswith("$") else "$" + params.new_name
    target, uses = _variable_at(document, _offset_at(ls, document, params.position))
    if target is None:
        return None
    spans = [document.symbols.definitions[target].span] + [document.symbols.uses[i].span for i in uses]
    edits = [
        lsp.TextEdit(range=document.lines.range(s.start.offset, s.end.offset, ls.encoding), new_text=new_name)
        for s in spans
    ]
    return lsp.WorkspaceEdit(changes={document.uri: edits})


def _requirement_words(ls: BrixServer, document: Document, number: int) -> Optional[str]:
    """The requirement's explanation in plain words, when the file is valid."""
    try:
        text = _native.explain(document.text, ls._externs(document.uri))
    except (ValueError, TypeError):
        return None
    blocks = text.strip("\n").split("\n\n")
    if len(blocks) != len(document.symbols.requirements):
        return None
    return blocks[number]


def _hover(text: str, where: Optional[lsp.Range] = None, kind: str = lsp.MarkupKind.Markdown) -> lsp.Hover:
    return lsp.Hover(contents=lsp.MarkupContent(kind=lsp.MarkupKind(kind), value=text), range=where)


@server.feature(lsp.TEXT_DOCUMENT_HOVER)
@answering(None)
def hover(ls: BrixServer, params: lsp.HoverParams) -> Optional[lsp.Hover]:
    document = ls.document(params.text_document.uri)
    if document is None:
        return None
    offset = _offset_at(ls, document, params.position)
    symbols = document.symbols
    for use in symbols.uses:
        if _touches(use.span, offset):
            if use.definition is None:
                return _hover(f"`{use.name}` is not defined above")
            definition = symbols.definitions[use.definition]
            if definition.extern:
                value = (ls._externs(document.uri) or {}).get(use.name)
                shown = f"`{use.name}`: extern" + (f" = `{value}`" if value is not None else ", value not given")
            else:
                shown = f"`{use.name}` = `{definition.value}`"
            where = document.lines.range(use.span.start.offset, use.span.end.offset, ls.encoding)
            return _hover(shown, where)
    for number, requirement in enumerate(symbols.requirements):
        if _touches(requirement.span, offset):
            words = _requirement_words(ls, document, number)
            if words is None:
                return None
            return _hover(words, kind=lsp.MarkupKind.PlainText)
    return None


@server.feature(lsp.TEXT_DOCUMENT_DOCUMENT_SYMBOL)
@answering([])
def document_symbols(ls: BrixServer, params: lsp.DocumentSymbolParams) -> List[lsp.DocumentSymbol]:
    document = ls.document(params.text_document.uri)
    if document is None:
        return []
    lines, encoding, found = document.lines, ls.encoding, []
    symbols = document.symbols
    for definition in symbols.definitions:
        whole = lines.range(definition.statement.start.offset, definition.statement.end.offset, encoding)
        name = lines.range(definition.span.start.offset, definition.span.end.offset, encoding)
        found.append(
            lsp.DocumentSymbol(
                name=definition.name,
                detail="extern" if definition.extern else definition.value,
                kind=lsp.SymbolKind.Variable,
                range=whole,
                selection_range=name,
            )
        )
    for requirement in symbols.requirements:
        whole = lines.range(requirement.span.start.offset, requirement.span.end.offset, encoding)
        at = requirement.description_span or requirement.span
        found.append(
            lsp.DocumentSymbol(
                name=requirement.description or "(no description)",
                kind=lsp.SymbolKind.Object,
                range=whole,
                selection_range=lines.range(at.start.offset, at.end.offset, encoding),
            )
        )
    found.sort(key=lambda s: (s.range.start.line, s.range.start.character))
    return found


if hasattr(_native, "format"):

    @server.feature(lsp.TEXT_DOCUMENT_FORMATTING)
    @answering(None)
    def formatting(ls: BrixServer, params: lsp.DocumentFormattingParams) -> Optional[List[lsp.TextEdit]]:
        document = ls.document(params.text_document.uri)
        if document is None:
            return None
        try:
            formatted = _check.format(document.text)
        except BrixError:
            return None  # the diagnostics already show why
        if formatted == document.text:
            return []
        end = document.lines.position(len(document.text), ls.encoding)
        return [lsp.TextEdit(range=lsp.Range(start=lsp.Position(line=0, character=0), end=end), new_text=formatted)]


def main() -> None:
    logging.basicConfig(level=logging.WARNING, format="brix-lsp: %(message)s")
    server.start_io()
