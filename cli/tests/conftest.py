"""Runs the real brix binary: BRIX_BIN, or the usual build directories."""

import os
import pathlib
import subprocess

import pytest

ROOT = pathlib.Path(__file__).resolve().parents[2]


def _find_binary():
    if os.environ.get("BRIX_BIN"):
        return pathlib.Path(os.environ["BRIX_BIN"]).resolve()
    for build in ("build", "build/ci", "build/release"):
        candidate = ROOT / build / "cli" / "brix"
        if candidate.exists():
            return candidate
    pytest.exit("brix binary not found: build it or set BRIX_BIN", returncode=2)


class Brix:
    def __init__(self, binary):
        self.binary = binary

    def __call__(self, *args, stdin=b"", cwd=None, env=None):
        """Runs brix; returns (status, stdout, stderr) with texts decoded."""
        full_env = {k: v for k, v in os.environ.items() if k != "NO_COLOR"}
        full_env.update(env or {})
        done = subprocess.run(
            [str(self.binary), *args],
            input=stdin.encode() if isinstance(stdin, str) else stdin,
            capture_output=True,
            cwd=cwd,
            env=full_env,
            timeout=120,
        )
        return done.returncode, done.stdout.decode(), done.stderr.decode()


@pytest.fixture(scope="session")
def brix():
    return Brix(_find_binary())


@pytest.fixture
def files(tmp_path, monkeypatch):
    """Writes {name: text or bytes} into a fresh directory, which becomes the cwd."""
    monkeypatch.chdir(tmp_path)

    def write(named):
        for name, text in named.items():
            path = tmp_path / name
            if isinstance(text, bytes):
                path.write_bytes(text)
            else:
                path.write_text(text, encoding="utf-8")
        return tmp_path

    return write
