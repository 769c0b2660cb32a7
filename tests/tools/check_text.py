"""Exhaustive-style check of the companion's exact text against rational
arithmetic, far more values than the test suite runs:

    python tests/tools/check_text.py [count per direction, default 1000000] [seed]

Direction 1, print: format_rows(rows, d) equals hi + lo rounded to d digits
(d from 1 to 40 and a few longer), for canonical pairs over the whole range,
in [1e-4, 1e15), and the special and non-canonical pairs.  Direction 2,
shortest: reads back as the pair, minimal, nearest.  Direction 3, parse:
parse_rows of random texts (and ties) equals the canonical pair of the exact
value.  Prints the count and failures per direction; exit status 1 on any.
"""
import random
import sys
import time
from decimal import Decimal
from fractions import Fraction
from pathlib import Path

import numpy as np

sys.path.insert(0, str(Path(__file__).resolve().parents[1] / "python"))
import ostrell_numpy as on  # noqa: E402
from textref import (canon, canon_text, noncanonical_pairs, pair_hex, pairs_in_decimal_range, random_pair,  # noqa: E402
                     random_text, rounded, same, shortest_faults, special_pairs, tie_texts)

BATCH = 5000


def pairs(rng, n):
    out = []
    while len(out) < n:
        k = rng.random()
        if k < 0.45:
            out.append(random_pair(rng))
        elif k < 0.9:
            out.append(pairs_in_decimal_range(rng))
        else:
            out += rng.sample(special_pairs(rng), 20) + rng.sample(noncanonical_pairs(rng), 5)
    return out[:n]


def run(name, total, check_batch):
    """check_batch(n) checks about n values and returns (checked, faults);
    called until total are checked.  Prints the report; the failure count."""
    t0, faults, done = time.time(), [], 0
    while done < total:
        checked, batch_faults = check_batch(min(BATCH, total - done))
        faults += batch_faults
        done += checked
    print(f"{name:9s} {done:9d} checks {len(faults):6d} failures  {time.time() - t0:7.1f} s", flush=True)
    for f in faults[:10]:
        print("   ", f)
    return len(faults)


def main():
    total = int(sys.argv[1]) if len(sys.argv) > 1 else 1_000_000
    rng = random.Random(int(sys.argv[2]) if len(sys.argv) > 2 else 1)

    def print_batch(n):
        d = rng.choice(list(range(1, 41)) + [50, 100, 400])
        batch = pairs(rng, n)
        texts = on.format_rows(np.array(batch).reshape(-1, 2), d)
        return len(batch), [f"{pair_hex(hi, lo)} d={d}: {text}"
                            for (hi, lo), text in zip(batch, texts) if Decimal(text) != rounded(hi, lo, d)]

    def shortest_batch(n):
        batch = pairs(rng, n)
        faults = []
        for (hi, lo), text in zip(batch, on.format_rows(np.array(batch).reshape(-1, 2))):
            f = shortest_faults(hi, lo, text)
            if f:
                faults.append(f"{pair_hex(hi, lo)}: {text}: {f}")
        return len(batch), faults

    def parse_batch(n):
        texts = [random_text(rng) for _ in range(n - 60)] + tie_texts(rng, 20)
        faults = []
        for text, got in zip(texts, on.parse_rows(texts)):
            want = canon_text(text)
            if not same(tuple(got), want):
                faults.append(f"{text[:60]!r}: {pair_hex(*got)} not {pair_hex(*want)}")
        return len(texts), faults

    bad = run("print", total, print_batch) + run("shortest", total, shortest_batch) + run("parse", total, parse_batch)
    return 1 if bad else 0


if __name__ == "__main__":
    sys.exit(main())
