"""Runs the real brix binary: BRIX_BIN, or the usual build directories."""

import os
import pathlib
import subprocess

import pytest

ROOT = pathlib.Path(__file__).resolve().parents[2]


class Brix:
    def __init__(self, binary):
        self.binary = binary

    def __call__(self, *args, stdin=b""):
        """Runs brix in the current directory; returns (status, stdout, stderr) decoded."""
        env = {k: v for k, v in os.environ.items() if k != "NO_COLOR"}
        done = subprocess.run([str(self.binary), *args], input=stdin.encode() if isinstance(stdin, str) else stdin,
                              capture_output=True, env=env, timeout=120)
        return done.returncode, done.stdout.decode(), done.stderr.decode()


@pytest.fixture(scope="session")
def brix():
    if os.environ.get("BRIX_BIN"):
        return Brix(pathlib.Path(os.environ["BRIX_BIN"]).resolve())
    for build in ("build", "build/ci", "build/release"):
        if (ROOT / build / "cli" / "brix").exists():
            return Brix(ROOT / build / "cli" / "brix")
    pytest.exit("brix binary not found: build it or set BRIX_BIN", returncode=2)


@pytest.fixture
def files(tmp_path, monkeypatch):
    """Writes {name: text or bytes} into a fresh directory, which becomes the cwd."""
    monkeypatch.chdir(tmp_path)

    def write(named):
        for name, text in named.items():
            (tmp_path / name).write_bytes(text if isinstance(text, bytes) else text.encode())
        return tmp_path

    return write
