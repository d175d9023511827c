#!/usr/bin/env python3
# SPDX-License-Identifier: GPL-3.0-or-later
"""Exact Savitzky-Golay coefficients for the large-window reference table of
savitzky_golay_pure_test.cpp.

The coefficients come from the least-squares normal equations solved in exact
rational arithmetic (fractions.Fraction), an approach independent of the
orthogonal-polynomial recurrence the library uses. Each case prints the
selected coefficients and the largest magnitude as C++ initialisers.
"""
from fractions import Fraction
from math import factorial


def coefficients(nl, nr, m, d, scale):
    ts = list(range(-nl, nr + 1))
    size = m + 1
    moments = [sum(Fraction(t) ** k for t in ts) for k in range(2 * m + 1)]
    a = [[moments[j + k] for k in range(size)] + [Fraction(int(j == d))]
         for j in range(size)]
    for col in range(size):
        piv = next(r for r in range(col, size) if a[r][col] != 0)
        a[col], a[piv] = a[piv], a[col]
        inv = 1 / a[col][col]
        a[col] = [v * inv for v in a[col]]
        for r in range(size):
            if r != col and a[r][col] != 0:
                f = a[r][col]
                a[r] = [vr - f * vc for vr, vc in zip(a[r], a[col])]
    z = [a[j][size] for j in range(size)]
    mult = factorial(d) if scale else 1
    return [mult * sum(z[j] * Fraction(t) ** j for j in range(size)) for t in ts]


CASES = [  # nl, nr, m, d, multiplied by d!
    (50, 50, 10, 0, False),
    (100, 100, 20, 0, False),
    (166, 166, 33, 0, False),
    (166, 166, 33, 1, True),
    (165, 166, 33, 2, True),
    (15, 16, 6, 3, True),
    # Windows barely wider than the order, where the plain three-term recurrence loses
    # orthogonality.
    (16, 17, 33, 5, True),
    (20, 20, 33, 0, False),
    (10, 10, 20, 10, True),
]

for nl, nr, m, d, scale in CASES:
    c = coefficients(nl, nr, m, d, scale)
    w = nl + nr + 1
    p = nl + 1
    big = max(abs(v) for v in c)
    arg = max(range(w), key=lambda i: abs(c[i])) + 1
    picks = sorted({1, 2, p - 1, p, p + 1, w // 3, w - 1, w, arg} - {0})
    vals = ", ".join("{%d, %r}" % (i, float(c[i - 1])) for i in picks)
    print("    {%d, %d, %d, %d, %s, %r, {%s}}," %
          (nl, nr, m, d, "true" if scale else "false", float(big), vals))
