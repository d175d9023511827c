#!/usr/bin/python3
# SPDX-License-Identifier: GPL-3.0-or-later
# Reference values for the *Math tests in matrix_statistics_test.cpp, from numpy, scipy and
# scikit-learn. Run once; the test holds the printed numbers and needs none of them.
import numpy as np
from sklearn.covariance import ledoit_wolf_shrinkage
from sklearn.decomposition import PCA
from sklearn.discriminant_analysis import QuadraticDiscriminantAnalysis
from sklearn.preprocessing import StandardScaler

def show(name, value):
    print(name, "=", repr(np.asarray(value).tolist()))


# Three features (rows) over 14 spectra (columns), the classes interleaved.
X = np.array([
    [0.12, 0.31, 0.15, 0.52, 0.29, 0.11, 0.55, 0.33, 0.50, 0.18, 0.14, 0.30, 0.16, 0.28],
    [0.40, 0.22, 0.43, 0.61, 0.25, 0.38, 0.66, 0.20, 0.58, 0.47, 0.41, 0.27, 0.45, 0.23],
    [1.10, 0.95, 1.05, 0.70, 0.90, 1.20, 0.72, 0.88, 0.69, 1.00, 1.15, 0.97, 1.08, 0.93],
])
labels = np.array([0, 1, 0, 2, 1, 0, 2, 1, 2, 0, 0, 1, 0, 1])
k = 3

# Library statistics: mean, sample covariance, Ledoit-Wolf intensity in the standardisation
# of all spectra.
Z = StandardScaler().fit_transform(X.T)
for c in range(k):
    Xc = X[:, labels == c]
    show(f"mean{c}", Xc.mean(axis=1))
    show(f"cov{c}", np.cov(Xc, ddof=1))
    show(f"shrinkage{c}", ledoit_wolf_shrinkage(Z[labels == c]))

# Classifier values of probes: Mahalanobis ln det C + d'C^-1 d, Modified -ln det C * d'C^-1 d,
# Gen. Squared Dist d'P^-1 d with P = sum (n_c - 1) C_c / N, SAM the angle. Class 2 has 3
# spectra in 3 features: its covariance cannot be estimated, so the class-covariance
# classifiers leave it out (the winners below come from classes 0 and 1 only).
probes = np.array([[0.14, 0.42, 1.08], [0.30, 0.24, 0.92], [0.22, 0.33, 1.00]])
n = np.array([np.sum(labels == c) for c in range(k)])
P = sum((n[c] - 1) * np.cov(X[:, labels == c], ddof=1) for c in range(k)) / n.sum()
for i, x in enumerate(probes):
    maha, modified, general, sam = [], [], [], []
    for c in range(k):
        Xc = X[:, labels == c]
        m = Xc.mean(axis=1)
        d = x - m
        C = np.cov(Xc, ddof=1)
        general.append(d @ np.linalg.solve(P, d))
        sam.append(np.arccos(x @ m / np.linalg.norm(x) / np.linalg.norm(m)))
        if c < 2:
            sign, logdet = np.linalg.slogdet(C)
            q = d @ np.linalg.solve(C, d)
            maha.append(logdet + q)
            modified.append(-logdet * q)
    show(f"mahalanobis{i}", maha)
    show(f"modified{i}", modified)
    show(f"general{i}", general)
    show(f"sam{i}", sam)
two = labels < 2
qda = QuadraticDiscriminantAnalysis(priors=[0.5, 0.5]).fit(X[:, two].T, labels[two])
show("qda_winners", qda.predict(probes))

# Bhattacharyya distance of classes 0 and 1.
m0, m1 = X[:, labels == 0].mean(axis=1), X[:, labels == 1].mean(axis=1)
C0, C1 = np.cov(X[:, labels == 0], ddof=1), np.cov(X[:, labels == 1], ddof=1)
A = (C0 + C1) / 2
d = m0 - m1
B = d @ np.linalg.solve(A, d) / 8 + 0.5 * (
    np.linalg.slogdet(A)[1] - 0.5 * np.linalg.slogdet(C0)[1] - 0.5 * np.linalg.slogdet(C1)[1])
show("b01", B)
show("jm01", 2 * (1 - np.exp(-B)))

# Principal components of all 14 spectra: eigenvalues largest first, and the components with
# the sign that makes their largest entry positive.
pca = PCA().fit(X.T)
show("eigenvalues", pca.explained_variance_)
comps = pca.components_ * np.sign(pca.components_[np.arange(3), np.abs(pca.components_).argmax(1)])[:, None]
show("components", comps)

# Unmixing: two endmember means on four bands and two mixtures, by least squares.
E = np.array([[0.05, 0.40], [0.08, 0.45], [0.04, 0.30], [0.30, 0.10]])
Y = np.array([[0.2225, 0.10], [0.2650, 0.12], [0.1700, 0.09], [0.2000, 0.25]])
A_, res, rank, sv = np.linalg.lstsq(E, Y, rcond=None)
show("fractions", A_)
show("rmse", np.sqrt(np.mean((Y - E @ A_) ** 2, axis=0)))
