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


def test_names_in_registration_order():
    # the module dict keeps the order in which the module body set the names
    names = [n for n in vars(ostrell) if not n.startswith("__")]
    assert names == [
        "Float128", "Complex128",
        "exp", "log", "pow", "sin", "cos", "tan", "sinh", "cosh", "tanh", "sqrt", "abs",
        "floor", "ceil", "trunc", "round", "fmod", "atan", "atan2", "asin", "acos",
        "isnan", "isinf", "abs_sqr",
        "pi", "e", "sqrt2", "ln2",
        "add_arrays", "sub_arrays", "mul_arrays", "div_arrays"]
    assert {n for n in dir(ostrell) if n.startswith("__")} == {
        "__doc__", "__file__", "__loader__", "__name__", "__package__", "__spec__"}
