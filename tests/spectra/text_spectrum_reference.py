#!/usr/bin/python3
# SPDX-License-Identifier: GPL-3.0-or-later
# Expected values of tests/spectra/text_spectrum_reader_pure_test.cpp: the channels of
# tests/support/text_spectrum_file.cpp, joined at the break points by hand and resampled with
# numpy.interp (no extrapolation: NaN outside the channels), at the bands the test checks.
import numpy as np

def detectors():
    d1 = [(33850 + 137 * k, 2000 + (k * 53) % 700) for k in range(493)]
    d2 = [(97525 + 145 * k, 2600 + (k * 29) % 500) for k in range(641)]
    d3 = [(188010 + 151 * k, 1500 + (k * 41) % 600) for k in range(421)]
    return [d1, d2, d3]

def joined(cuts):
    d1, d2, d3 = detectors()
    out = [c for c in d1 if c[0] / 100 < cuts[0]]
    out += [c for c in d2 if cuts[0] <= c[0] / 100 < cuts[1]]
    out += [c for c in d3 if c[0] / 100 >= cuts[1]]
    return out

BANDS = [350, 351, 500, 975, 990, 994, 995, 1000, 1013, 1014, 1500, 1880, 1891, 1892, 1900,
         2000, 2499]

def resampled(channels):
    xp = np.array([float("%d.%02d" % (w // 100, w % 100)) for w, _ in channels])
    fp = np.array([float("%d.%02d" % (p // 100, p % 100)) / 100.0 for _, p in channels])
    assert np.all(np.diff(xp) > 0)
    return np.interp(np.array(BANDS, dtype=float), xp, fp, left=np.nan, right=np.nan)

d1, d2, d3 = detectors()
middle = [(d2[0][0] + d1[-1][0]) / 200, (d3[0][0] + d2[-1][0]) / 200]
for name, values in [("kNamedBreaks", resampled(joined([990, 1900]))),
                     ("kMiddleBreaks", resampled(joined(middle))),
                     ("kFirstDetector", resampled(d1))]:
    print(name, ", ".join("kNone" if np.isnan(v) else repr(float(v)) for v in values))
