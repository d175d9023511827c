#!/usr/bin/python3
# SPDX-License-Identifier: GPL-3.0-or-later
# The reference values of the splice and continuum tests in processing_chain_test.cpp, computed
# apart from the program: the splice shifts with numpy's polyfit, the hulls with scipy's
# ConvexHull (qhull). Run with the system's python3 (python3-numpy, python3-scipy).
import numpy as np
from scipy.spatial import ConvexHull

x = np.arange(350, 2500, dtype=float)


def splice(y, joins):
    v = y.copy()
    shifts = []
    for a, b in joins:
        xs = np.arange(a - 9, a + 1, dtype=float)
        m, c = np.polyfit(xs, v[(xs - 350).astype(int)], 1)
        d = m * b + c - v[b - 350]
        v[x > a] += d
        shifts.append(d)
    return shifts


def continuum_removed(y, ranges):
    out = np.full_like(y, np.nan)
    for lo, hi in ranges:
        idx = np.arange(lo - 350, hi - 350 + 1)
        runs, start = [], None
        for i in idx:
            if not np.isnan(y[i]) and start is None:
                start = i
            if np.isnan(y[i]) and start is not None:
                runs.append((start, i))
                start = None
        if start is not None:
            runs.append((start, idx[-1] + 1))
        for s, e in runs:
            px, py = x[s:e], y[s:e]
            hull = ConvexHull(np.column_stack([px, py]))
            # Facets whose outward normal points up make the upper hull.
            upper = sorted({k for simplex, eq in zip(hull.simplices, hull.equations)
                            if eq[1] > 0 for k in simplex}, key=lambda k: px[k])
            out[s:e] = py / np.interp(px, px[upper], py[upper])
    return out


stepped = 0.35 + 0.1 * np.sin(x / 150.0) + 0.02 * np.cos(x / 37.0)
stepped[x >= 1001] += 0.05
stepped[x >= 1801] -= 0.03
print("splice shifts %.17g %.17g" % tuple(splice(stepped, [(1000, 1001), (1800, 1801)])))

dipped = 0.5 + 0.2 * np.sin(x / 80.0) - 0.1 * np.exp(-((x - 1400.0) / 40.0) ** 2)
dipped[(x >= 1350) & (x <= 1360)] = np.nan
probe = list(range(350, 2500, 97)) + [1349, 1361, 1400]
for name, ranges in (("whole", [(350, 2499)]), ("ranges", [(400, 1300), (1500, 2400)])):
    removed = continuum_removed(dipped, ranges)
    print(name, ", ".join("{%d, %.17g}" % (b, removed[b - 350]) for b in probe))
