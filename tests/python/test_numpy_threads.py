"""The companion's GIL-free functions and the dtype's ufunc loops from several threads at once on shared
read-only inputs: every result has the bits of a single-threaded run, and
memory stays flat over repeated calls of every kind, failing ones included
(companion_stress.py runs the same with 10^6 calls of each kind)."""
import sys
import threading

import pytest

import companion_stress as stress
from test_robustness import assert_flat


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

    interval = sys.getswitchinterval()
    sys.setswitchinterval(1e-6)
    try:
        threads = [threading.Thread(target=run, args=(k,)) for k in range(threads_n)]
        for t in threads:
            t.start()
        for t in threads:
            t.join()
    finally:
        sys.setswitchinterval(interval)
    assert not errors, errors
    for k in range(threads_n):
        for r, got in enumerate(results[k]):
            for name, g, want in zip(names, got, alone):
                assert g == want, f"thread {k}, round {r}: {name} differs: {first_difference(g, want)}"


def first_difference(got, want):
    """The first differing row (16 bytes), inputs and results as hex."""
    i = next(i for i in range(0, len(want), 16) if got[i:i + 16] != want[i:i + 16]) // 16
    a, b = stress.A[i % len(stress.A)], stress.B[i % len(stress.B)]
    return (f"row {i}: a {a[0].hex()} {a[1].hex()}, b {b[0].hex()} {b[1].hex()}, "
            f"got {got[16 * i:16 * i + 16].hex()}, want {want[16 * i:16 * i + 16].hex()}")


@pytest.mark.parametrize("work, n", [(stress.gil_free_elementwise, 400), (stress.gil_free_reductions, 2000),
                                     (stress.small_calls, 20000), (stress.error_calls, 20000),
                                     (stress.dtype_loops, 1000), (stress.dtype_errors, 20000)])
def test_memory_stays_flat(work, n):
    assert_flat(work, n)
