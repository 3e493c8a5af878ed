"""How long after an edit brix-lsp publishes the diagnostics of a 100 KB file.

    python3 bench/bench_lsp.py [--size 100000] [--edits 50]

Runs the installed server (``python -m brix.lsp``) over stdio, opens a file
made of the examples, then changes one department code back and forth and
times each change from the moment it is written to the moment the
diagnostics of that version arrive. The server's debounce (10 ms by default)
is part of the number, as an editor sees it.
"""

import argparse
import json
import pathlib
import statistics
import subprocess
import sys
import time

ROOT = pathlib.Path(__file__).resolve().parents[1]


class Connection:
    def __init__(self) -> None:
        self.process = subprocess.Popen(
            [sys.executable, "-m", "brix.lsp"], stdin=subprocess.PIPE, stdout=subprocess.PIPE
        )
        self.next_id = 1

    def send(self, method: str, params: object, request: bool = False) -> None:
        message = {"jsonrpc": "2.0", "method": method, "params": params}
        if request:
            message["id"] = self.next_id
            self.next_id += 1
        body = json.dumps(message).encode()
        self.process.stdin.write(b"Content-Length: %d\r\n\r\n" % len(body) + body)
        self.process.stdin.flush()

    def receive(self) -> dict:
        length = 0
        while True:
            line = self.process.stdout.readline()
            if line in (b"\r\n", b""):
                break
            if line.lower().startswith(b"content-length:"):
                length = int(line.split(b":")[1])
        return json.loads(self.process.stdout.read(length))

    def wait(self, method: str, version: object = None) -> dict:
        while True:
            message = self.receive()
            if message.get("method") == method and (version is None or message["params"].get("version") == version):
                return message
            if "id" in message and method == "response":
                return message


def main() -> None:
    parser = argparse.ArgumentParser()
    parser.add_argument("--size", type=int, default=100_000)
    parser.add_argument("--edits", type=int, default=50)
    args = parser.parse_args()

    base = "".join(p.read_text(encoding="utf-8") for p in sorted((ROOT / "examples").glob("*.brix")) if "cs-major" not in p.name)
    text, copy = "", 0
    while len(text.encode()) < args.size:
        text += base.replace("$", f"$c{copy}_")
        copy += 1
    marker = text.index("MATH 1210")
    line = text.count("\n", 0, marker)
    column = marker - text.rfind("\n", 0, marker) - 1

    server = Connection()
    server.send("initialize", {"processId": None, "rootUri": None, "capabilities": {}}, request=True)
    server.wait("response")
    server.send("initialized", {})
    uri = "file:///bench/large.brix"
    server.send("textDocument/didOpen", {"textDocument": {"uri": uri, "languageId": "brix", "version": 1, "text": text}})
    server.wait("textDocument/publishDiagnostics", 1)

    times = []
    for version in range(2, args.edits + 2):
        code = "MATX" if version % 2 == 0 else "MATH"
        change = {
            "range": {"start": {"line": line, "character": column}, "end": {"line": line, "character": column + 4}},
            "text": code,
        }
        start = time.perf_counter()
        server.send(
            "textDocument/didChange",
            {"textDocument": {"uri": uri, "version": version}, "contentChanges": [change]},
        )
        published = server.wait("textDocument/publishDiagnostics", version)
        times.append((time.perf_counter() - start) * 1000)
        errors = [d for d in published["params"]["diagnostics"] if d["severity"] == 1]
        assert bool(errors) == (code == "MATX"), published
    server.send("shutdown", None, request=True)
    server.send("exit", None)
    server.process.wait(timeout=10)
    times.sort()
    print(
        f"{len(text.encode())} bytes, {text.count(chr(10))} lines, {args.edits} edits: "
        f"median {statistics.median(times):.1f} ms, p95 {times[int(len(times) * 0.95) - 1]:.1f} ms, "
        f"max {times[-1]:.1f} ms from change to diagnostics"
    )


if __name__ == "__main__":
    main()
