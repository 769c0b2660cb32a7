"""The module's own number and comparison slots (python/fast_slots.hpp):
the same behaviour as CPython's generic slots over many operand kinds, and
no references or memory kept over long runs, error paths included."""
import gc
import subprocess
import sys
from pathlib import Path

import ostrell
from ostrell import Complex128 as C, Float128 as F
from test_robustness import assert_flat

HERE = Path(__file__).resolve().parent


def run_transcript(mode):
    out = subprocess.run([sys.executable, str(HERE / "slot_transcript.py"), mode], cwd=HERE,
                         capture_output=True, text=True)
    assert out.returncode == 0, f"slot_transcript.py {mode}:\n{out.stderr}"
    return out.stdout.splitlines()


def test_transcript_matches_generic_slots():
    fast, generic = run_transcript("fast"), run_transcript("generic")
    assert len(fast) > 20000 and fast[-1].startswith("grid ")
    diffs = [(f, g) for f, g in zip(fast, generic) if f != g]
    assert len(fast) == len(generic) and not diffs, \
        "\n".join(f"fast:    {f}\ngeneric: {g}" for f, g in diffs[:10])


class Sub(F):
    pass


class Refl:
    def __radd__(self, other):
        return 1.0


def fast_paths(n):
    """n operations, 20 per round, through the slots' direct paths."""
    x, y = F("1.25"), F(3.0)
    z, w = C(0.5, -2.0), C(F("0.1"), F(7.0))
    for _ in range(n // 20):
        x + y, x - y, x * y, x / y, -x
        x < y, x <= y, x == y, x != y, x > y, x >= y
        t = F(1.0)
        t += y; t -= x; t *= y; t /= x
        z + w, z * w
        z += w
        z -= w


def other_paths(n):
    """n operations, 10 per round, that leave the direct paths: subclass and
    foreign operands, reflected methods, and the TypeErrors of bad operands."""
    x, s, r, z = F(2.0), Sub(3.0), Refl(), C(1.0, 1.0)
    errors = [lambda: x + 1.0, lambda: 1.5 * x, lambda: x < None, lambda: z / x, lambda: -z]
    for i in range(n // 10):
        x + s, s * x, x + r, x == 2.0, z + 1.5
        try:
            errors[i % 5]()
        except TypeError:
            pass
        else:
            raise AssertionError(f"case {i % 5} did not raise TypeError")
        t = F(1.0)
        t += s
        t *= x
        try:
            t -= 1
        except TypeError:
            pass
        u = C(1.0, 0.0)
        u += 2


def test_memory_and_references_stay_flat():
    x = F(2.0)
    shared = [x, NotImplemented, True, False, F, C, Sub, ostrell.pi]
    gc.collect()                  # earlier tests' garbage holds many True and False
    before = [sys.getrefcount(o) for o in shared]
    assert_flat(fast_paths, 10 ** 6)
    assert_flat(other_paths, 2 * 10 ** 5)
    after = [sys.getrefcount(o) for o in shared]
    # A reference kept or dropped per operation would move a count by 10^5 or
    # more; the interpreter's own use of True and False moves them by a few.
    assert all(abs(a - b) < 1000 for a, b in zip(after, before)), \
        f"reference counts {before} -> {after} for {shared}"
