"""Completion items: keywords, the nine selector functions with their
arguments as snippets, department codes and the variables in scope."""

from typing import Dict, List, Mapping, Sequence

from lsprotocol import types as lsp

from .._types import Symbols

KEYWORDS = ("SELECT", "LIMIT", "FROM", "extern")

# Each function's arguments, as snippet placeholders.
FUNCTIONS: Dict[str, str] = {
    "CLASS": "${1:CSCI 1010}",
    "PLACEMENT": '"${1:placement}"',
    "TAG": '"${1:tag}"',
    "TAG_DEPT": '"${1:tag}", "${2:major code}"',
    "DIST": '"${1:distribution}"',
    "DIST_DEPT": '"${1:distribution}", "${2:major code}"',
    "RANGE": "${1:CSCI 3000}, ${2:CSCI 4999}",
    "RANGE_DIST": '${1:CSCI 3000}, ${2:CSCI 4999}, "${3:distribution}"',
    "RANGE_TAG": '${1:CSCI 3000}, ${2:CSCI 4999}, "${3:tag}"',
}


def _plain(arguments: str) -> str:
    """A snippet's text without its placeholders' markup."""
    out, i = [], 0
    while i < len(arguments):
        if arguments.startswith("${", i):
            colon = arguments.index(":", i)
            close = arguments.index("}", colon)
            out.append(arguments[colon + 1 : close])
            i = close + 1
        else:
            out.append(arguments[i])
            i += 1
    return "".join(out)


def variables_in_scope(symbols: Symbols, offset: int) -> Dict[str, str]:
    """Each variable defined by a statement that ends before ``offset``, with the
    value in effect there ("extern" for an extern)."""
    found: Dict[str, str] = {}
    for definition in symbols.definitions:
        if definition.statement.end.offset <= offset:
            found[definition.name] = "extern" if definition.extern else definition.value
    return found


def items(
    symbols: Symbols,
    offset: int,
    departments: Sequence[str],
    department_names: Mapping[str, str],
    snippets: bool,
    variable_only: bool,
) -> List[lsp.CompletionItem]:
    found: List[lsp.CompletionItem] = []
    for name, value in sorted(variables_in_scope(symbols, offset).items()):
        found.append(
            lsp.CompletionItem(label=name, kind=lsp.CompletionItemKind.Variable, detail=value, filter_text=name)
        )
    if variable_only:
        return found
    for keyword in KEYWORDS:
        found.append(lsp.CompletionItem(label=keyword, kind=lsp.CompletionItemKind.Keyword))
    for function, arguments in FUNCTIONS.items():
        found.append(
            lsp.CompletionItem(
                label=function,
                kind=lsp.CompletionItemKind.Function,
                detail=f"{function}({_plain(arguments)})",
                insert_text=f"{function}({arguments})" if snippets else f"{function}(",
                insert_text_format=lsp.InsertTextFormat.Snippet if snippets else lsp.InsertTextFormat.PlainText,
            )
        )
    for code in departments:
        found.append(
            lsp.CompletionItem(
                label=code,
                kind=lsp.CompletionItemKind.Module,
                detail=department_names.get(code, "department"),
            )
        )
    return found
