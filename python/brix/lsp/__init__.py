"""The language server for BRIX files: ``brix-lsp`` (or ``python -m brix.lsp``)
speaks the Language Server Protocol over standard input and output.

It needs the ``lsp`` extra: ``pip install 'rediriziv[lsp]'`` (Python 3.9 or later).
"""

import sys


def main() -> None:
    try:
        from .server import main as serve
    except ImportError as error:
        sys.stderr.write(f"brix-lsp: {error}; install the lsp extra (Python 3.9 or later): pip install 'rediriziv[lsp]'\n")
        raise SystemExit(2) from None
    serve()
