"""The module as a whole: docstring, exported plain functions."""
import ctypes

import ostrell


def test_docstring():
    assert ostrell.__doc__ == "ostrell: 128-bit double-double arithmetic module"


def test_shared_object_exports_plain_conversions():
    lib = ctypes.CDLL(ostrell.__file__)
    for name in ("PyInit_ostrell", "ostrell_to_bytes", "ostrell_from_bytes", "ostrell_to_string_prec",
                 "ostrell_to_string", "ostrell_print", "ostrell_from_string"):
        assert hasattr(lib, name), name
