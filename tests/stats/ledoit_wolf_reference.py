#!/usr/bin/python3
# SPDX-License-Identifier: GPL-3.0-or-later
# Reference values for the Mahalanobis (shrunk) tests in spectral_statistics_test.cpp, from
# scikit-learn: StandardScaler over all spectra, LedoitWolf per class in that space, and the
# discriminant ln det(C) + d'C^-1 d of each class for a few probes. Run once; the test holds
# the printed numbers and does not need scikit-learn.
import numpy as np
from sklearn.covariance import LedoitWolf
from sklearn.preprocessing import StandardScaler

classes = {
    # 7 spectra in 5 features; the second feature in tens, so standardising matters.
    "a": [[0.12, 31.0, 0.40, 0.05, 1.10], [0.15, 28.0, 0.43, 0.07, 1.05],
          [0.11, 35.0, 0.38, 0.04, 1.20], [0.18, 30.0, 0.47, 0.06, 1.00],
          [0.14, 33.0, 0.41, 0.09, 1.15], [0.13, 29.0, 0.45, 0.05, 1.08],
          [0.16, 32.0, 0.39, 0.08, 1.12]],
    # 6 spectra.
    "b": [[0.22, 25.0, 0.30, 0.12, 0.90], [0.25, 27.0, 0.28, 0.10, 0.95],
          [0.21, 24.0, 0.33, 0.15, 0.85], [0.27, 26.0, 0.29, 0.11, 0.80],
          [0.24, 23.0, 0.31, 0.13, 0.92], [0.23, 28.0, 0.27, 0.14, 0.88]],
    # 3 spectra in 5 features: n <= d, its sample covariance has rank 2.
    "c": [[0.30, 40.0, 0.50, 0.20, 1.30], [0.35, 38.0, 0.55, 0.18, 1.25],
          [0.32, 42.0, 0.52, 0.22, 1.40]],
    # 2 spectra: Ledoit-Wolf finds no noise to shrink (intensity 0), its covariance rank 1.
    "d": [[0.05, 20.0, 0.20, 0.02, 0.70], [0.07, 22.0, 0.21, 0.03, 0.72]],
}
probes = [[0.14, 30.0, 0.42, 0.06, 1.10], [0.24, 26.0, 0.30, 0.12, 0.88],
          [0.31, 39.0, 0.51, 0.19, 1.28], [0.20, 30.0, 0.40, 0.10, 1.00]]

all_rows = np.vstack([np.array(v) for v in classes.values()])
scaler = StandardScaler().fit(all_rows)
np.set_printoptions(precision=17)
for name, rows in classes.items():
    z = scaler.transform(np.array(rows))
    lw = LedoitWolf().fit(z)
    print(name, repr(lw.shrinkage_))
    values = []
    sign, logdet = np.linalg.slogdet(lw.covariance_)
    rank = np.linalg.matrix_rank(lw.covariance_)
    inv = np.linalg.inv(lw.covariance_) if rank == len(rows[0]) else None
    for p in probes:
        if inv is None:
            break
        d = scaler.transform(np.array([p]))[0] - lw.location_
        values.append(repr(logdet + d @ inv @ d))
    print("   ", ", ".join(values), "rank", rank)

# The library's classes: the pair features of the database tests.
library = {"alpha": [[0.10, 0.20], [0.30, 0.10], [0.20, 0.40], [0.15, 0.25]],
           "beta": [[-0.20, 0.00], [0.00, -0.20], [-0.10, -0.10], [-0.05, 0.05]],
           "gamma": [[0.5, -0.3], [0.6, -0.2], [0.55, -0.35]]}
rows = np.vstack([np.array(v) for v in library.values()])
scaler = StandardScaler().fit(rows)
for name, r in library.items():
    lw = LedoitWolf().fit(scaler.transform(np.array(r)))
    d = scaler.transform(np.array([[0.12, 0.18]]))[0] - lw.location_
    sign, logdet = np.linalg.slogdet(lw.covariance_)
    print(name, repr(lw.shrinkage_), repr(logdet + d @ np.linalg.inv(lw.covariance_) @ d))
print("scale", repr(scaler.scale_))
