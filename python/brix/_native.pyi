from typing import Any, Iterable, List, Mapping, Optional, Tuple

__version__: str

def check(
    text: str,
    externs: Optional[Mapping[str, str]] = None,
    catalog: Optional[Iterable[str]] = None,
    warnings: bool = True,
    allowed: Optional[Iterable[str]] = None,
) -> List[Tuple[Any, ...]]: ...
def departments() -> List[str]: ...
def load(
    text: str,
    externs: Optional[Mapping[str, str]] = None,
    catalog: Optional[Iterable[str]] = None,
    path: Optional[str] = None,
) -> Tuple[bool, str]: ...

def symbols(
    text: str, externs: Optional[Mapping[str, str]] = None
) -> Tuple[List[Tuple[Any, ...]], List[Tuple[Any, ...]], List[Tuple[Any, ...]], List[Tuple[Any, ...]]]: ...
def format(text: str) -> Tuple[bool, str]: ...
def explain(text: str, externs: Optional[Mapping[str, str]] = None) -> str: ...
def render_html(
    text: str, externs: Optional[Mapping[str, str]] = None, title: str = "requirements"
) -> str: ...
def render_dot(
    text: str, externs: Optional[Mapping[str, str]] = None, title: str = "requirements"
) -> str: ...
def highlight(text: str) -> List[Tuple[str, str]]: ...
