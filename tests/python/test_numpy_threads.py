"""The companion's GIL-free functions and the dtype's ufunc loops from several threads at once on shared
read-only inputs: every result has the bits of a single-threaded run (a NaN
part only as a NaN in the same part: its sign and payload may follow the
output's alignment, which differs from call to call), and memory stays flat
over repeated calls of every kind, failing ones included
(companion_stress.py runs the same with 10^6 calls of each kind)."""
import threading

import numpy as np
import pytest

import companion_stress as stress
from dtype_support import assert_rows_equal
from test_robustness import assert_flat, in_threads


def test_threads_compute_what_one_thread_computes():
    alone = stress.every_gil_free_call()
    names = stress.CALL_NAMES
    threads_n, rounds = 4, 3
    results, errors = [[] for _ in range(threads_n)], []
    barrier = threading.Barrier(threads_n)

    def run(k):
        try:
            barrier.wait()
            for _ in range(rounds):
                results[k].append(stress.every_gil_free_call())
        except BaseException as e:  # reported below, from the main thread
            errors.append(e)

    in_threads(run, range(threads_n))
    assert not errors, errors
    for k in range(threads_n):
        for r, got in enumerate(results[k]):
            for name, g, want in zip(names, got, alone):
                assert_same_result(g, want, f"thread {k}, round {r}: {name} differs")


def assert_same_result(got, want, what):
    """Boolean results equal; float64 results bit for bit in pairs of
    doubles, a NaN as a NaN (the inputs shown are the shared rows of the
    same index)."""
    if want.dtype == np.bool_:
        assert np.array_equal(got, want), what
        return
    g, w = got.reshape(-1, 2), want.reshape(-1, 2)
    try:
        assert_rows_equal(g, w, *((stress.A, stress.B) if len(w) == len(stress.A) else ()))
    except AssertionError as e:
        raise AssertionError(f"{what}: {e}") from None


@pytest.mark.parametrize("work, n", [(stress.gil_free_elementwise, 400), (stress.gil_free_reductions, 2000),
                                     (stress.small_calls, 20000), (stress.error_calls, 20000),
                                     (stress.dtype_loops, 1000), (stress.dtype_errors, 20000)])
def test_memory_stays_flat(work, n):
    assert_flat(work, n)
