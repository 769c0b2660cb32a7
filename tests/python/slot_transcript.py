"""Prints what every operator and function does on operands of many kinds:
results (exact parts), exception types and messages, which Python-level
methods ran and in which order, identity of in-place results.

    python slot_transcript.py fast      the module as built
    python slot_transcript.py generic   the same after each operator method is
                                        assigned to its own class again, which
                                        makes CPython put back its generic slots

test_fast_slots.py compares the two outputs line by line."""
import ctypes
import hashlib
import math
import operator
import sys

import numpy as np

import ostrell
from ostrell import Complex128 as C, Float128 as F
from ddvalues import parts

ARITH = ["add", "sub", "mul", "truediv"]
COMPARE = ["lt", "le", "eq", "ne", "gt", "ge"]
SLOT_METHODS = {F: [f"__{n}__" for n in ARITH + ["i" + n for n in ARITH] + COMPARE + ["neg"]],
                C: [f"__{n}__" for n in ARITH + ["i" + n for n in ARITH]]}

log = []


def logged(name, result):
    def method(self, *args):
        log.append(f"{type(self).__name__}.{name}")
        return NotImplemented if result is NotImplemented else result(self, *args)
    return method


def dunders(names, result):
    return {f"__{n}__": logged(n, result) for n in names}


def tagged(self, *args):
    return f"<{type(self).__name__} result>"


def plain_repr(self):
    return f"<{type(self).__name__}>"


# Subclasses: without overrides, overriding every operator, and returning
# NotImplemented from the reflected and comparison methods.
SubPlain = type("SubPlain", (F,), {})
SubOver = type("SubOver", (F,), {**dunders(ARITH + ["r" + n for n in ARITH] + ["i" + n for n in ARITH]
                                          + COMPARE + ["neg"], tagged)})
SubNI = type("SubNI", (F,), {**dunders(["r" + n for n in ARITH] + COMPARE, NotImplemented)})
CSub = type("CSub", (C,), {})
# Unrelated classes with reflected methods and comparisons, one giving results,
# one NotImplemented (its methods must run once each, in the same order).
Refl = type("Refl", (), {**dunders(["r" + n for n in ARITH] + COMPARE, tagged), "__repr__": plain_repr})
ReflNI = type("ReflNI", (), {**dunders(["r" + n for n in ARITH] + COMPARE + ARITH, NotImplemented),
                             "__repr__": plain_repr})


def operands():
    """(label, factory): a fresh object per call, since in-place forms change it."""
    return [
        ("F(1.5)", lambda: F(1.5)), ("F(0.1)", lambda: F("0.1")), ("F(-0)", lambda: F(-0.0)),
        ("F(nan)", lambda: F(math.nan)), ("F(-inf)", lambda: F(-math.inf)), ("pi", lambda: ostrell.pi),
        ("SubPlain(2)", lambda: SubPlain(2.0)), ("SubOver(3)", lambda: SubOver(3.0)),
        ("SubNI(4)", lambda: SubNI(4.0)), ("Refl", Refl), ("ReflNI", ReflNI),
        ("C(1,2)", lambda: C(1.0, 2.0)), ("C(F(0.1),-0)", lambda: C(F("0.1"), F(-0.0))),
        ("CSub(3,4)", lambda: CSub(3.0, 4.0)),
        ("2.5", lambda: 2.5), ("3", lambda: 3), ("True", lambda: True), ("1+2j", lambda: 1 + 2j),
        ("None", lambda: None), ("'s'", lambda: "s"), ("np.float64(2)", lambda: np.float64(2.0)),
        ("np.int32(3)", lambda: np.int32(3)), ("np.array([1.,2.])", lambda: np.array([1.0, 2.0])),
        ("np.array([F(1)], object)", lambda: np.array([F(1.0)], dtype=object)),
    ]


def show(x):
    if isinstance(x, F):
        try:
            text = " ".join(float.hex(p) for p in parts(x))
        except (AssertionError, ArithmeticError, ValueError):
            text = str(x)                   # NaN, infinities
        return f"{type(x).__name__}[{text}]"
    if isinstance(x, C):
        return f"{type(x).__name__}[{show(x.real())} {show(x.imag())}]"
    if isinstance(x, np.ndarray):
        return f"ndarray{x.dtype}[{', '.join(show(v) for v in x.ravel())}]"
    return f"{type(x).__name__}:{x!r}"


def outcome(call):
    try:
        r = call()
        text = show(r)
    except Exception as e:              # the type and message are part of the behaviour
        r, text = None, f"raises {type(e).__name__}: {e}"
    calls = ",".join(log)
    log.clear()
    return r, text + (f" calls {calls}" if calls else "")


def transcript():
    ops = operands()
    for la, fa in ops:
        for lb, fb in ops:
            for n in ARITH:
                yield f"{la} {n} {lb}: " + outcome(lambda: getattr(operator, n)(fa(), fb()))[1]
                a = fa()
                r, text = outcome(lambda: getattr(operator, "i" + n)(a, fb()))
                yield f"{la} i{n} {lb}: {text} same object {r is a}"
            for n in COMPARE:
                yield f"{la} {n} {lb}: " + outcome(lambda: getattr(operator, n)(fa(), fb()))[1]
        a = fa()
        yield f"{la} is {la}: {a is a} == {outcome(lambda: a == a)[1]}"
        yield f"-{la}: " + outcome(lambda: -fa())[1]
        yield f"hash {la}: " + outcome(lambda: hash(fa()))[1].split(":")[0]
        for name in sorted(n for n in dir(ostrell) if callable(getattr(ostrell, n))
                           and not n[0].isupper() and not n.endswith("_arrays")):
            f = getattr(ostrell, name)
            yield f"{name}({la}): " + outcome(lambda: f(fa()))[1]
            for lb, fb in ops[:7]:
                yield f"{name}({la}, {lb}): " + outcome(lambda: f(fa(), fb()))[1]


def grid_hash():
    """Exact parts of the results over a grid of Float128 and Complex128
    values, hashed: every operator and in-place form, comparisons, negation."""
    vals = [0.0, -0.0, 5e-324, 1.0, -1.0, 2.0 ** -60, 3.0, 1e300, -1e-300, math.inf, -math.inf, math.nan]
    xs = [F(v) for v in vals] + [F(s) for s in ("0.1", "-2.7182818284590452353602874713527",
                                                "1e-310", "123456789.98765432123456789")]
    xs += [x / F(7.0) for x in xs[:8]]
    zs = [C(a, b) for a in xs[::3] for b in xs[1::4]]
    h = hashlib.sha256()
    for group in (xs, zs):
        for a in group:
            for b in group:
                for n in ARITH:
                    r = getattr(operator, n)(a, b)
                    c = C(a.real(), a.imag()) if isinstance(a, C) else -(-a)   # exact copies
                    getattr(operator, "i" + n)(c, b)
                    h.update(f"{show(r)} {show(c)}".encode())
                if isinstance(a, F):
                    h.update(" ".join(str(getattr(operator, n)(a, b)) for n in COMPARE).encode())
            if isinstance(a, F):
                h.update(show(-a).encode())
    return h.hexdigest()


def nb_add_slot(cls):
    """The address in the type object's nb_add field (CPython's PyTypeObject
    layout: tp_as_number is the 13th pointer-sized field)."""
    number_methods = ctypes.c_void_p.from_address(id(cls) + 12 * ctypes.sizeof(ctypes.c_void_p)).value
    return ctypes.c_void_p.from_address(number_methods).value


def main(mode):
    np.seterr(all="ignore")       # NumPy's warnings on NaN and infinite elements
    if mode == "generic":
        for cls, names in SLOT_METHODS.items():
            for name in names:
                setattr(cls, name, cls.__dict__[name])
    generic = type("Generic", (), {"__add__": lambda a, b: 0})
    # The run must exercise the path it names.
    assert (nb_add_slot(F) == nb_add_slot(generic)) == (mode == "generic"), mode
    assert (nb_add_slot(C) == nb_add_slot(generic)) == (mode == "generic"), mode
    for line in transcript():
        print(line)
    print("grid", grid_hash())


if __name__ == "__main__":
    main(sys.argv[1])
