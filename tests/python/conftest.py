"""Shared fixture: the value-class layer compiled as a small ctypes library,
the reference the module's results must match bit for bit."""
import ctypes
import os
import shutil
import subprocess
from pathlib import Path

import pytest

HERE = Path(__file__).resolve().parent

# A build without the companion module (CI's sanitizer run) leaves its tests out;
# everywhere else they run, and a companion that fails to import fails them.
if os.environ.get("OSTRELL_NO_COMPANION"):
    collect_ignore_glob = ["test_numpy_*.py", "test_dtype_*.py"]
INCLUDE = HERE.parents[1] / "include"


class ValueLayer:
    def __init__(self, path):
        self._lib = ctypes.CDLL(str(path))
        self._lib.ref_eval.restype = ctypes.c_int
        self._lib.ref_eval.argtypes = [ctypes.c_char_p] + [ctypes.POINTER(ctypes.c_double)] * 3

    def __call__(self, name, a, b=(0.0, 0.0, 0.0, 0.0)):
        """name applied to operands given as (hi, lo) or (re hi, re lo, im hi, im lo)."""
        buf = lambda xs: (ctypes.c_double * 4)(*xs)
        out = buf(())
        n = self._lib.ref_eval(name.encode(), buf(a), buf(b), out)
        assert n, f"no reference for {name}"
        return tuple(out[:n])


@pytest.fixture(scope="session")
def value_layer(tmp_path_factory):
    cxx = shutil.which(os.environ.get("CXX", "c++")) or shutil.which("g++")
    if cxx is None:
        pytest.skip("no C++ compiler for the reference library")
    lib = tmp_path_factory.mktemp("ref") / "value_layer_ref.so"
    # The library's own flags: no contraction, no fast-math, baseline x86-64;
    # OSTRELL_REF_CXXFLAGS adds more (CI: the sanitizers of the module build).
    extra = os.environ.get("OSTRELL_REF_CXXFLAGS", "").split()
    subprocess.run([cxx, "-std=c++17", "-O2", "-ffp-contract=off", "-fno-fast-math", "-fPIC", *extra,
                    "-shared", f"-I{INCLUDE}", str(HERE / "value_layer_ref.cpp"), "-o", str(lib)],
                   check=True)
    return ValueLayer(lib)
