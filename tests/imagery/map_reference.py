#!/usr/bin/python3
# SPDX-License-Identifier: GPL-3.0-or-later
"""The classes scikit-learn and numpy give the pixels of the EnMAP tiles in the library's
features, for tests/imagery/species_map_test.cpp.

    ORVANE_MAP_REFERENCE=DIR ctest --preset release -R SpeciesMap
    tests/imagery/map_reference.py DIR > tests/imagery/map_reference.inc

DIR/library.csv holds the library's spectra (species, features), DIR/pixels.csv each pixel's
features (tile, row, column, features; none where the pixel has no value). Classes are numbered
from 1 in the library's order (species sorted by name); 0 is a pixel without value."""
import sys

import numpy as np
from sklearn.discriminant_analysis import (LinearDiscriminantAnalysis,
                                           QuadraticDiscriminantAnalysis)

folder = sys.argv[1]
rows = [line.rstrip("\n").split(",") for line in open(f"{folder}/library.csv")][1:]
species = sorted({r[0] for r in rows})
y = np.array([species.index(r[0]) for r in rows])
X = np.array([[float(v) for v in r[1:]] for r in rows])
priors = np.full(len(species), 1.0 / len(species))
qda = QuadraticDiscriminantAnalysis(priors=priors).fit(X, y)
lda = LinearDiscriminantAnalysis(priors=priors).fit(X, y)
means = np.array([X[y == c].mean(axis=0) for c in range(len(species))])


def sam(F):
    cos = (F @ means.T) / np.outer(np.linalg.norm(F, axis=1), np.linalg.norm(means, axis=1))
    return np.argmin(np.arccos(np.clip(cos, -1, 1)), axis=1)


tiles = {0: [], 1: []}
for line in open(f"{folder}/pixels.csv"):
    parts = line.rstrip("\n").split(",")
    tiles[int(parts[0])].append([float(v) for v in parts[3:]])

for word, classify in (("mahalanobis", qda.predict), ("gsd", lda.predict), ("sam", sam)):
    strings = []
    for t in (0, 1):
        pixels = tiles[t]
        have = [i for i, p in enumerate(pixels) if p]
        classes = np.zeros(len(pixels), dtype=int)
        if have:
            classes[have] = classify(np.array([pixels[i] for i in have])) + 1
        strings.append("".join(str(c) for c in classes))
    print('{"%s",\n {"%s",\n  "%s"}},' % (word, strings[0], strings[1]))
