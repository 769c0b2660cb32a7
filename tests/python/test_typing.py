"""The type stubs: shipped with the module, found by mypy, true to the module."""
import ast
import re
import subprocess
import sys
from pathlib import Path

import pytest

import ostrell

pytest.importorskip("mypy")

HERE = Path(__file__).resolve().parent
STUB = HERE.parents[1] / "python" / "ostrell.pyi"


def mypy(tmp_path, *args):
    cmd = [sys.executable, "-m", "mypy", "--strict", "--cache-dir", str(tmp_path / "cache"), *args]
    return subprocess.run(cmd, capture_output=True, text=True, cwd=tmp_path)


def test_stub_is_installed_for_tools_and_for_mypy():
    site = Path(ostrell.__file__).parent
    for installed in (site / "ostrell.pyi", site / "ostrell-stubs" / "__init__.pyi"):
        assert installed.read_text() == STUB.read_text(), installed


def test_mypy_accepts_typed_use(tmp_path):
    r = mypy(tmp_path, str(HERE / "typing_ok.py"))
    assert r.returncode == 0, r.stdout + r.stderr


def test_mypy_rejects_misuse(tmp_path):
    r = mypy(tmp_path, str(HERE / "typing_bad.py"))
    assert r.returncode == 1, r.stdout + r.stderr
    flagged = {int(line.split(":")[1]) for line in r.stdout.splitlines() if ": error:" in line}
    assert flagged == {4, 5, 6, 7}, r.stdout


def test_stubtest(tmp_path):
    # The metaclass of the classes is the binding library's own type.
    allow = tmp_path / "allow.txt"
    allow.write_text("ostrell.Float128\nostrell.Complex128\n")
    cmd = [sys.executable, "-m", "mypy.stubtest", "ostrell", "--allowlist", str(allow),
           "--mypy-config-file", str(tmp_path / "none.ini")]
    r = subprocess.run(cmd, capture_output=True, text=True, cwd=tmp_path)
    assert r.returncode == 0, r.stdout + r.stderr


def signature_counts(body):
    counts = {}
    for node in body:
        if isinstance(node, ast.FunctionDef):
            counts[node.name] = counts.get(node.name, 0) + 1
    return counts


def runtime_counts(namespace):
    # pybind11 numbers the signatures of an overloaded function in its docstring.
    # A class's __new__ is CPython's wrapper of its tp_new (which makes the
    # instance that __init__ then sets), with no signature of its own.
    return {name: len(re.findall(rf"^\d+\. {name}\(", f.__doc__, re.M)) or 1
            for name, f in namespace.items()
            if callable(f) and not isinstance(f, type) and not name.startswith("_pybind11")
            and name != "__new__"}


def test_stub_has_every_signature():
    tree = ast.parse(STUB.read_text())
    assert signature_counts(tree.body) == runtime_counts(vars(ostrell))
    classes = {node.name: node for node in tree.body if isinstance(node, ast.ClassDef)}
    assert set(classes) == {"Float128", "Complex128"}
    for name, node in classes.items():
        assert signature_counts(node.body) == runtime_counts(vars(getattr(ostrell, name))), name
