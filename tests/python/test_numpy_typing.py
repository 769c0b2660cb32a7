"""The stubs of ostrell_numpy: shipped with the module, found by mypy, true
to the module."""
import ast
import subprocess
import sys
from pathlib import Path

import pytest

import ostrell_numpy

pytest.importorskip("mypy")

HERE = Path(__file__).resolve().parent
STUB = HERE.parents[1] / "python" / "ostrell_numpy.pyi"


def mypy(tmp_path, *args):
    cmd = [sys.executable, "-m", "mypy", "--strict", "--cache-dir", str(tmp_path / "cache"), *args]
    return subprocess.run(cmd, capture_output=True, text=True, cwd=tmp_path)


def test_stub_is_installed_for_tools_and_for_mypy():
    site = Path(ostrell_numpy.__file__).parent
    for installed in (site / "ostrell_numpy.pyi", site / "ostrell_numpy-stubs" / "__init__.pyi"):
        assert installed.read_text() == STUB.read_text(), installed


def test_mypy_accepts_typed_use_and_rejects_misuse(tmp_path):
    r = mypy(tmp_path, str(HERE / "typing_numpy_ok.py"))
    assert r.returncode == 0, r.stdout + r.stderr
    r = mypy(tmp_path, str(HERE / "typing_numpy_bad.py"))
    assert r.returncode == 1, r.stdout + r.stderr
    flagged = {int(line.split(":")[1]) for line in r.stdout.splitlines() if ": error:" in line}
    assert flagged == {4, 5, 6, 7}, r.stdout


def test_stubtest(tmp_path):
    cmd = [sys.executable, "-m", "mypy.stubtest", "ostrell_numpy",
           "--mypy-config-file", str(tmp_path / "none.ini")]
    r = subprocess.run(cmd, capture_output=True, text=True, cwd=tmp_path)
    assert r.returncode == 0, r.stdout + r.stderr


def test_stub_names_every_function_once():
    tree = ast.parse(STUB.read_text())
    stubbed = sorted(node.name for node in tree.body if isinstance(node, ast.FunctionDef))
    public = sorted(name for name, f in vars(ostrell_numpy).items()
                    if callable(f) and not isinstance(f, type) and not name.startswith("_"))
    assert stubbed == public
