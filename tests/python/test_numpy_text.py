"""Exact decimal text of the companion (format, parse, format_rows,
parse_rows) against rational arithmetic: correctly rounded digits, shortest
texts that read back and are minimal and nearest, and the canonical pair of
any text.  Failures name pairs by their bit patterns."""
import math
import random
from decimal import Decimal
from fractions import Fraction

import pytest

import ostrell_numpy as on
from ostrell import Float128

from dtype_support import rows_of
from textref import (EXACT, canon, canon_text, end_pairs, exact, noncanonical_pairs, pair_hex, pairs_in_decimal_range, random_pair,
                     random_text, rounded, same, shortest_faults, special_pairs, tie_texts)

RNG = random.Random(20261208)
PAIRS = ([random_pair(RNG) for _ in range(150)] + [pairs_in_decimal_range(RNG) for _ in range(150)]
         + special_pairs(RNG) + end_pairs(RNG))
NONCANONICAL = noncanonical_pairs(RNG)


def pair_of(x):
    hi, lo = on.to_rows([x])[0]
    return (float(hi), float(lo))


@pytest.mark.parametrize("digits", [1, 2, 16, 17, 31, 32, 34, 40, 120, 800])
def test_digits_are_correctly_rounded(digits):
    pairs = PAIRS + NONCANONICAL
    for (hi, lo), text in zip(pairs, on.format_rows(rows_of(pairs), digits)):
        assert Decimal(text) == rounded(hi, lo, digits), (pair_hex(hi, lo), digits, text)
        assert len(text.lstrip("-").split("e")[0].replace(".", "").lstrip("0")) >= min(digits, 2) or \
            Decimal(text) == 0, text


def test_shortest_reads_back_is_minimal_and_nearest():
    pairs = PAIRS + NONCANONICAL
    texts = on.format_rows(rows_of(pairs))
    for (hi, lo), text in zip(pairs, texts):
        assert shortest_faults(hi, lo, text) == [], (pair_hex(hi, lo), text)
    back = on.parse_rows(texts)
    for (hi, lo), got in zip(PAIRS, back):
        assert same(tuple(got), (hi, lo)), (pair_hex(hi, lo), pair_hex(*got))


def test_parse_gives_the_canonical_pair_of_the_exact_value():
    texts = [random_text(RNG) for _ in range(600)] + tie_texts(RNG, 60)
    texts += [
        "9" * 1450, "0." + "0" * 320 + "1e321", "0." + "0" * 400 + "123456789" * 160 + "e400",
        "1" + "0" * 1400 + "e-1400", "2.4703282292062327208828439643411068618252990130716238221279284125033775e-324",
        "2.4703282292062327e-324", "4.9406564584124654e-324", "1.7976931348623158e308",
        "2.2250738585072011e-308", "1e-5", "123456789012345678901234567890.5", "0.1e-0",
        "1" * 300 + "e-300", "." + "3" * 2000, "7e-1080", "1e308", "5e-1075",
    ]
    back = on.parse_rows(texts)
    for text, got in zip(texts, back):
        want = canon_text(text)
        assert same(tuple(got), want), (text[:80], pair_hex(*got), pair_hex(*want))


def test_issue_examples():
    assert pair_of(on.parse("0.125")) == (0.125, 0.0)
    assert pair_of(on.parse("9007199254740993")) == (2.0**53, 1.0)
    assert on.parse("1e23") - on.parse("1e22") * Float128(10) == Float128(0)
    x = on.parse("6.02214076e23")
    assert abs(exact(*pair_of(x)) - Fraction(602214076 * 10**15)) <= Fraction(602214076 * 10**15) * Fraction(1, 2**106)
    assert on.format(Float128(1e20)) == "100000000000000000000"
    assert on.format(on.parse("0.1")) == "0.1" and on.format(on.parse("-1.5e-300")) == "-1.5e-300"
    assert on.format(on.parse("1e21")) == "1e+21" and on.format(on.parse("1e-5")) == "0.00001"
    assert on.format(on.parse("1e-6")) == "1e-6" and on.format(Float128(1.0), 5) == "1.0000"


def test_special_values_and_limits():
    inf, nan = math.inf, math.nan
    cases = {(inf, 0.0): "inf", (-inf, 0.0): "-inf", (nan, 0.0): "nan", (1.0, nan): "nan", (inf, -inf): "nan",
             (1.0, -inf): "-inf", (0.0, 0.0): "0", (-0.0, 0.0): "-0", (0.0, -0.0): "0", (1.0, -1.0): "0"}
    for (hi, lo), text in cases.items():
        assert on.format_rows(rows_of([(hi, lo)]))[0] == text
    assert on.format_rows(rows_of([(-0.0, 0.0)]), 3)[0] == "-0.00"
    # The overflow threshold of the canonical pair: 2^1024 - 2^970 - 2^916.
    top = Fraction(2**1024 - 2**970 - 2**916)
    for v, want in ((top, (inf, 0.0)), (top - Fraction(1, 10**300), canon(top - 1))):
        text = format(EXACT.divide(Decimal(v.numerator), Decimal(v.denominator)), "f")
        assert same(pair_of(on.parse(text)), want), text[:40]
    for text, want in (("-1e400", (-inf, 0.0)), ("1e-400", (0.0, 0.0)), ("-1e-400", (-0.0, 0.0)),
                       ("1e999999999999999999999", (inf, 0.0)), ("0e999999999999", (0.0, 0.0)),
                       ("INFINITY", (inf, 0.0)), ("-Inf", (-inf, 0.0)), ("+0.5", (0.5, 0.0)), ("5.", (5.0, 0.0))):
        assert same(pair_of(on.parse(text)), want), text
    assert math.isnan(pair_of(on.parse("NaN"))[0])


def test_invalid_texts_raise():
    for text in ["abc", "1,5", "12abc", "", " ", ".", "e5", "-", "--1", "1e", "1e+", "0x10", "1_000", "nan1",
                 "in", "1 2", "\x001", "1\x00", "١٢", b"abc", b"1.5\xff"]:
        with pytest.raises(ValueError) as info:
            on.parse(text)
        assert str(info.value) == f"could not convert string to Float128: {text!r}"
    assert pair_of(on.parse(" \t1.5e3\n")) == (1500.0, 0.0) and pair_of(on.parse("\u20031\u2003")) == (1.0, 0.0)
    # The blanks float() skips, no others: the ASCII separators \x1c..\x1f are refused, as float() refuses them.
    assert pair_of(on.parse("\v1.5\f")) == (1.5, 0.0)
    for text in ["1.5\x1c", "\x1f1.5", b"1.5\x1d"]:
        with pytest.raises(ValueError):
            float(text)
        with pytest.raises(ValueError):
            on.parse(text)
    with pytest.raises(ValueError, match=r"item 2: could not convert string to Float128: 'x'"):
        on.parse_rows(["1", b"2", "x"])
    for f in (on.parse_rows, on.from_strings):
        with pytest.raises(TypeError):
            f("3.14")
        with pytest.raises(TypeError):
            f([1.5])
    with pytest.raises(ValueError):
        on.format(Float128(1.0), -1)
    assert on.parse_rows([]).shape == (0, 2)
