"""The page and the graph, read back the way a browser and Graphviz read them:
the page with html5lib, the graph with Debian's dot."""

import json
import re
import shutil
import subprocess

import html5lib
import pytest

import brix
import rediriziv
from conftest import example_params

HOSTILE = [
    "<b>bold</b> & <i>",
    "</script><script>alert(1)</script>",
    'Say "hello" & \'bye\'',
    "<!-- not a comment -->",
    "a < b > c &amp; &lt;",
    "tab\there, back\\slash \\l \\N",
    "é — 😀 ü",
    "]]> {{ }} ${x}",
]


def page_tree(html):
    return html5lib.parse(html, namespaceHTMLElements=False)


def classes(element):
    return element.get("class", "").split()


def find_class(root, name):
    return [e for e in root.iter() if name in classes(e)]


def text_of(element):
    return "".join(element.itertext())


def source_code(tree):
    return find_class(tree, "source")[0].find(".//code")


def page_shape(details):
    """(kind, [selector kind or nested shape]) of a query's <details>."""
    sels = next(e for e in details if e.tag == "ul")
    items = []
    for li in sels:
        if "sel" not in classes(li):
            continue
        if "nested" in classes(li):
            items.append(page_shape(li.find("details")))
        else:
            items.append(classes(li)[1])
    return details.get("data-kind"), items


def document_shape(query):
    items = []
    for selector in query["selector"]:
        (kind, value), = selector.items()
        items.append(document_shape(value) if kind == "Query" else kind)
    return query["type"], items


def document(text, externs):
    parsed = rediriziv.parse_with_externals(text, {f"${k.lstrip('$')}": v for k, v in externs.items()})
    return json.loads(parsed.json())


@pytest.mark.parametrize("example", example_params())
def test_page_has_the_documents_tree(example):
    tree = page_tree(brix.render_html(example.text, externs=example.externs, title=example.name))
    requirements = document(example.text, example.externs)["requirements"]
    reqs = find_class(tree, "req")
    assert [text_of(find_class(r, "desc")[0]) for r in reqs] == [r["description"] for r in requirements]
    assert [page_shape(r.find("details")) for r in reqs] == [document_shape(r["query"]) for r in requirements]
    assert [text_of(find_class(r, "prio")[0]) for r in reqs] == [f"priority {r['priority']}" for r in requirements]


@pytest.mark.parametrize("example", example_params())
def test_every_link_resolves_to_its_statement(example):
    tree = page_tree(brix.render_html(example.text, externs=example.externs))
    ids = [e.get("id") for e in tree.iter() if e.get("id")]
    assert len(ids) == len(set(ids))
    links = [a for a in tree.iter("a") if a.get("href")]
    assert links
    lines = {e.get("id"): text_of(e) for e in find_class(tree, "ln")}
    for a in links:
        target = a.get("href")
        assert target.startswith("#") and target[1:] in ids
        # A requirement's or nested query's link lands on the line where it starts.
        assert "SELECT" in lines[target[1:]] or "LIMIT" in lines[target[1:]]


@pytest.mark.parametrize("example", example_params())
def test_source_pane_is_the_file_and_every_line_is_numbered(example):
    tree = page_tree(brix.render_html(example.text, externs=example.externs))
    code = source_code(tree)
    assert text_of(code) == example.text
    assert len(find_class(tree, "ln")) == example.text.count("\n") + 1
    assert not find_class(code, "err")


@pytest.mark.parametrize("hostile", HOSTILE)
def test_hostile_texts_are_escaped(hostile):
    quoted = hostile.replace('"', '""')
    text = f'SELECT 1 FROM [TAG("{quoted}"), MATH 1210] : "{quoted}";\n'
    html = brix.render_html(text, title=hostile)
    tree = page_tree(html)
    assert len(list(tree.iter("script"))) == 1
    assert html.count("</script>") == 1
    nav = tree.find(".//nav")
    assert [text_of(d) for d in find_class(nav, "desc")] == [hostile]
    assert [text_of(c) for c in find_class(nav, "Tag")] == [f'tagged "{hostile}"']
    assert tree.find(".//h1").text == hostile
    assert text_of(source_code(tree)) == text


def test_large_files_open_collapsed():
    small = 'SELECT 1 FROM MATH 1210 : "x";\n'
    assert "<details open" in brix.render_html(small)
    assert "<details open" not in brix.render_html(small * 501)


def test_errors_are_the_parser_reports():
    with pytest.raises(ValueError, match="cannot select zero"):
        brix.render_html('SELECT 0 FROM MATH 1210 : "x";')
    with pytest.raises(ValueError, match="cannot select zero"):
        brix.render_dot('SELECT 0 FROM MATH 1210 : "x";')


def shown(label):
    """What Graphviz draws for a label: its escapes \\n and \\\\ undone; any other
    escape would be drawn differently, so it fails the test."""
    return re.sub(r"\\(.)", lambda m: {"n": "\n", "\\": "\\"}[m.group(1)], label)


def dot_json(source):
    if shutil.which("dot") is None:
        pytest.skip("Graphviz's dot is not installed (apt-get install graphviz)")
    done = subprocess.run(["dot", "-Tjson"], input=source.encode(), capture_output=True, timeout=60)
    assert done.returncode == 0, done.stderr.decode()
    assert done.stderr == b""
    return json.loads(done.stdout)


@pytest.mark.parametrize("example", example_params())
def test_graph_renders_with_dot(example):
    graph = dot_json(brix.render_dot(example.text, externs=example.externs, title=example.name))
    labels = [shown(node["label"]) for node in graph["objects"]]
    requirements = document(example.text, example.externs)["requirements"]
    assert labels[0] == example.name
    for r in requirements:
        assert sum(1 for label in labels if label.startswith(r["description"] + "\n")) >= 1
    # The file, each requirement, each variable run, and every selector: one edge in per node.
    assert len(graph["edges"]) == len(labels) - 1


@pytest.mark.parametrize("hostile", HOSTILE)
def test_graph_labels_keep_hostile_texts(hostile):
    quoted = hostile.replace('"', '""')
    graph = dot_json(brix.render_dot(f'SELECT 1 FROM TAG("{quoted}") : "{quoted}";', title=hostile))
    labels = [shown(node["label"]) for node in graph["objects"]]
    assert labels[0] == hostile
    assert labels[1] == hostile + "\n1 of, priority 1"
    assert labels[2] == f'tagged "{hostile}"'
