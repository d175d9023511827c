# SPDX-License-Identifier: GPL-3.0-or-later
"""Orvane's core for Python: field spectra, sensors, the processing chain and classifiers.

Reading
    read(path)                 one instrument file: wavelengths, values and metadata
    read_study(folder)         a study's folder tree as a pandas DataFrame

Sensors and the chain
    sensors()                  the shipped sensors, by name
    Sensor                     from_response, from_file, from_image; sensor.resample(values)
    Chain(...)                 the processing chain; chain.run(values, stage="features")

Statistics
    Library.fit(X, y)          classes' statistics and a classifier; predict, scores
    cross_validate(X, y)       error matrix, overall accuracy and kappa (loo, k-fold)
    separability(X, y)         Jeffries-Matusita and Bhattacharyya distances
    pca(X), unmix(E, X)        principal components, least-squares fractions

Images
    map_image(library, image, out=...)   a species map of an image, written through GDAL
    library.predict(cube)      the class of every pixel of a numpy cube (memmap too)

Errors
    Error                      Orvane's own errors (a RuntimeError), with their remedy;
                               bad arguments raise ValueError naming the argument.

Threads
    set_threads(n), threads()  how many threads long calls use; they release the GIL.

Arrays of float64 in C order are read where they lie, without a copy; other layouts and
float32 are read row by row. Values are reflectance as a fraction, NaN where a band has none.
"""

from typing import NamedTuple

import numpy as np
import pandas as pd

from . import _orvane
from ._orvane import Chain, Error, Sensor, sensors, set_threads, threads

__version__ = _orvane.__version__

__all__ = ["Chain", "CrossValidation", "Error", "Library", "Pca", "Sensor", "Separability",
           "Spectrum", "SpeciesMap", "Unmixing", "cross_validate", "map_image", "pca", "read", "read_study", "sensors",
           "separability", "set_threads", "threads", "unmix"]


class Spectrum(NamedTuple):
    """One spectrum read from a file.

    wavelengths: float64 array (nm), values: float64 array (NaN where no value),
    metadata: dict (see read).
    """

    wavelengths: np.ndarray
    values: np.ndarray
    metadata: dict


def read(path, sensor=None) -> Spectrum:
    """Read one field spectrum file: binary instrument files (.asd and numbered files such
    as leaf.012), SIG and SED text files, and ENVI Z profiles (an image pixel's values, read
    onto the bands of ``sensor``, a Sensor or a shipped sensor's name); the reader is chosen by
    the file's content, else its extension.

    Returns a Spectrum (wavelengths, values, metadata) on the 1 nm grid from 350 to 2499 nm;
    values are reflectance at single precision, as a study database stores them, NaN where the
    instrument measured nothing. metadata holds "name", "number" (from the file's name),
    "path", "reader", "instrument" ("" when the header names none), "time" (a
    datetime.datetime, or None), "latitude", "longitude", "altitude" (None when absent),
    "comment", "splice_points" (nm, where one detector hands over to the next) and "notes"
    (what the reader could not take from the header). A Z profile gives the sensor's band
    centres as wavelengths and its metadata only "name", "number", "path", "reader" and
    "sensor".

    Raises orvane.Error with the reason when the file cannot be read.
    """
    wavelengths, values, metadata = _orvane.read_file(_path_text(path, "path"), sensor)
    return Spectrum(wavelengths, values, metadata)


def read_study(folder) -> pd.DataFrame:
    """Read a study's folder tree as an import reads it: one folder per species, one folder
    per site in it (numbered by a name "siteN", else by position), instrument files in those.

    Returns a DataFrame with one row per spectrum, indexed by a MultiIndex (species, site,
    file), and one column per wavelength (350 to 2499 nm, float64, NaN where no value).
    Entries left out (files that are not instrument files or cannot be read, copies of a
    measurement, folders where none belong) are listed as "path: reason" in
    ``df.attrs["skipped"]``.
    """
    wavelengths, values, species, sites, files, skipped = _orvane.read_study_folder(
        _path_text(folder, "folder"))
    index = pd.MultiIndex.from_arrays([species, sites, files], names=["species", "site", "file"])
    frame = pd.DataFrame(values, index=index, columns=pd.Index(wavelengths.astype(int),
                                                               name="wavelength"), copy=False)
    frame.attrs["skipped"] = list(skipped)
    return frame


def _path_text(path, name):
    import os
    try:
        return os.fsdecode(os.fspath(path))
    except TypeError:
        raise ValueError(f"{name}: a path is needed, not {type(path).__name__}") from None


def _labels(y, n):
    """The classes of y in sorted order and each row's class code."""
    values = y.to_numpy() if isinstance(y, (pd.Series, pd.Index)) else np.asarray(y)
    if values.ndim != 1 or values.shape[0] != n:
        raise ValueError(f"y: one label per row of X is needed ({n}), not "
                         f"{values.shape[0] if values.ndim == 1 else values.size}")
    try:
        classes, codes = np.unique(values, return_inverse=True)
    except TypeError:
        raise ValueError("y: the labels must be comparable with each other (all words or all "
                         "numbers)") from None
    return classes, codes


def _rows(X):
    return X.to_numpy() if isinstance(X, pd.DataFrame) else X


class Library:
    """A spectral library: the classes' statistics (count, mean, covariance) of feature
    vectors and a classifier fitted to them, as a study's library holds them.

    Make one with Library.fit or Database.library. Classifiers (the words orvane-cli's
    --classifier takes): "mahalanobis" (ln det C + squared Mahalanobis distance to each class,
    QDA with equal priors), "modified-mahalanobis", "gsd" (the squared distance under the
    pooled covariance, LDA with equal priors), "sam" (spectral angle) and "mahalanobis-shrunk"
    (class covariances shrunk by Ledoit-Wolf in standardised features). A class whose
    covariance cannot be estimated (fewer spectra than features + 1, or rank-deficient) is not
    modelled by the covariance classifiers: it never wins, and ``problems`` says why.
    """

    def __init__(self, models, classes):
        self._models = models
        self.classes = classes
        """The classes, sorted (as numpy.unique sorts y)."""

    @classmethod
    def fit(cls, X, y, classifier="mahalanobis", chain=None) -> "Library":
        """Fit a library to features X (n x d, a row per spectrum, every value finite) and
        their labels y (n). With a chain (a Chain with a feature space), X may also be spectra
        on the 1 nm grid or on the chain's sensor bands, and predict and map_image take spectra
        and image pixels. Raises ValueError naming the argument for bad input, orvane.Error
        when the core cannot fit (no class modelled, a singular pooled covariance).
        """
        X = _rows(X)
        if chain is not None and not isinstance(chain, Chain):
            raise ValueError("chain: a Chain is needed")
        if chain is not None and np.ndim(X) == 2 and np.shape(X)[1] != chain.dimension:
            X = chain.run(X)
        n = np.shape(X)[0] if np.ndim(X) >= 1 else 0
        classes, codes = _labels(y, n)
        models = _orvane._fit(X, codes, len(classes), classifier, chain)
        return cls(models, classes)

    @property
    def classifier(self) -> str:
        """The classifier's word."""
        return self._models.classifier

    @property
    def chain(self):
        """The Chain the library's features come from, or None."""
        return self._models.chain

    @property
    def dimension(self) -> int:
        """The number of features."""
        return self._models.dimension

    @property
    def modelled_classes(self) -> list:
        """The classes the classifier models (all of them but for the covariance classifiers'
        classes of too few spectra)."""
        return [c for c, p in zip(self.classes, self._models.problems) if not p]

    @property
    def problems(self) -> dict:
        """Why each unmodelled class is not modelled, by class."""
        return {c: p for c, p in zip(self.classes, self._models.problems) if p}

    def scores(self, X, on="auto") -> pd.DataFrame:
        """Every class's classifier value for each row of X (a DataFrame, one column per
        class): the Mahalanobis values, distances or angles, the smallest winning (the
        modified Mahalanobis: the largest magnitude); +inf for an unmodelled class. X as for
        predict, 2-D."""
        values = self._models.values(_rows(X), on)
        index = X.index if isinstance(X, pd.DataFrame) else None
        return pd.DataFrame(values, index=index, columns=pd.Index(self.classes, name="class"))

    def predict(self, X, on="auto", threshold=None):
        """Classify each row of X: features (n x d), or with the library's chain, spectra on
        the 1 nm grid or pixels on its sensor's bands (on="features", "grid" or "sensor" where
        the column count cannot tell). A row without a value at a feature is refused.

        Returns the class of each row. For an image cube (height x width x bands, a
        numpy.memmap too) it returns the class raster's numbers instead (int32, height x
        width): 1 for classes[0], 2 for classes[1], ..., 0 where a pixel has no value or the
        threshold leaves it unclassified. threshold: "chi2:P", "prob:P" (Mahalanobis,
        shrunk Mahalanobis, gsd) or "angle:RAD" (sam), as orvane-cli map takes it.
        """
        X = _rows(X)
        codes = self._models.classes(X, on, "none" if threshold is None else threshold)
        if codes.ndim == 2:
            return codes
        if threshold is not None:
            out = np.empty(codes.shape, dtype=object)
            out[codes > 0] = self.classes[codes[codes > 0] - 1]
            out[codes == 0] = None
            return out
        return self.classes[codes - 1]

    def __repr__(self):
        return (f"<orvane.Library {self.classifier}, {len(self.classes)} classes "
                f"({len(self.modelled_classes)} modelled), {self.dimension} features>")


class CrossValidation(NamedTuple):
    """What a validated discriminant analysis found.

    error_matrix: counts, rows the class classified as, columns the reference class;
    overall_accuracy: percent of the diagonal, as orvane-cli da reports it; kappa: Cohen's
    kappa; unmodelled: per class, the held-out sets in which it was unmodelled; validation:
    "resubstitution", "leave-one-out" or "K-fold".
    """

    error_matrix: pd.DataFrame
    overall_accuracy: float
    kappa: float
    unmodelled: dict
    validation: str


def cross_validate(X, y, classifier="mahalanobis", validate="loo") -> CrossValidation:
    """The discriminant analysis of features X (n x d) with labels y, as orvane-cli da
    --validate runs it: "loo" classifies each row by the classes estimated without it,
    "kfold:K" (K >= 2, default 5, at most the smallest class) by those without its fold (within
    each class the i-th row, from 0, in the order of X lies in fold i mod K), "resubstitution"
    by all of them. Class means and covariances are re-estimated; features are not refitted.
    """
    X = _rows(X)
    n = np.shape(X)[0] if np.ndim(X) >= 1 else 0
    classes, codes = _labels(y, n)
    counts, accuracy, kappa, unmodelled, name = _orvane._cross_validate(
        X, codes, len(classes), classifier, validate, [str(c) for c in classes])
    labels = pd.Index(classes)
    matrix = pd.DataFrame(counts.astype(int), index=labels.rename("classified as"),
                          columns=labels.rename("reference"))
    return CrossValidation(matrix, accuracy, kappa,
                           {c: u for c, u in zip(classes, unmodelled) if u}, name)


class Separability(NamedTuple):
    """Jeffries-Matusita (0 to 2) and Bhattacharyya distances of every pair of classes
    (symmetric DataFrames, 0 on the diagonal); NaN for a pair with an unmodelled class (its
    reason in problems), B infinite (JM 2) where the pair's mean covariance is singular."""

    jm: pd.DataFrame
    b: pd.DataFrame
    problems: dict


def separability(X, y) -> Separability:
    """The separability of the classes of features X (n x d) with labels y: B = d'A^-1 d / 8
    + (ln det A - (ln det C_i + ln det C_j) / 2) / 2 with A the mean of the two covariances,
    JM = 2 (1 - e^-B), as orvane-cli separability computes them."""
    X = _rows(X)
    n = np.shape(X)[0] if np.ndim(X) >= 1 else 0
    classes, codes = _labels(y, n)
    jm, b, problems = _orvane._separability(X, codes, len(classes))
    labels = pd.Index(classes, name="class")
    return Separability(pd.DataFrame(jm, index=labels, columns=labels),
                        pd.DataFrame(b, index=labels, columns=labels),
                        {c: p for c, p in zip(classes, problems) if p})


class Pca(NamedTuple):
    """Principal components: eigenvalues of the sample covariance (divisor n - 1, largest
    first), components (row k the eigenvector of the k-th eigenvalue) and each one's share of
    the variance. The scores of spectra X are X @ components[:k].T (uncentred, as a PCT
    feature space projects them)."""

    eigenvalues: np.ndarray
    components: np.ndarray
    explained: np.ndarray


def pca(X) -> Pca:
    """The principal components of the rows of X (n x b, n >= 2, finite), as orvane-cli pca
    computes them on the derived stage (Householder tridiagonalisation and QL iterations)."""
    eigenvalues, components = _orvane._pca(_rows(X))
    eigenvalues = np.asarray(eigenvalues)
    return Pca(eigenvalues, components, eigenvalues / eigenvalues.sum())


class Unmixing(NamedTuple):
    """Fractions (a row per mixture, a column per endmember; unconstrained, so they may lie
    outside 0 to 1 and need not sum to 1) and each mixture's residual RMSE."""

    fractions: np.ndarray
    rmse: np.ndarray


def unmix(endmembers, X) -> Unmixing:
    """Least-squares fractions of the rows of X in the endmembers (rows, on the same bands):
    a = (E'E)^-1 E'y for each row y, as orvane-cli unmix computes them on the chosen sensor
    bands. Raises ValueError when the endmembers are linearly dependent on these bands."""
    fractions, rmse = _orvane._unmix(_rows(endmembers), _rows(X))
    return Unmixing(fractions, np.asarray(rmse))


class SpeciesMap(NamedTuple):
    """What map_image wrote: the class raster (and the rules raster, or None), the pixels of
    each class (a Series by class), those left unclassified by the threshold, those without a
    value at a usable band or a feature, those the mask left out, the area of a pixel in
    squared map units (None without georeferencing), and what was inferred or left out of the
    image's metadata."""

    class_raster: str
    rules_raster: object
    pixels: pd.Series
    unclassified: int
    no_data: int
    masked: int
    pixel_area: object
    notes: list


def map_image(library, image, out, rules=None, threshold=None, mask=None,
              wavelengths=None) -> SpeciesMap:
    """Map an image (any raster GDAL reads: ENVI, GeoTIFF, ...) pixel by pixel with a library
    fitted with a chain whose sensor is the image's usable bands (Sensor.from_image makes
    one), as orvane-cli map does: each pixel with a value in every usable band runs through the
    chain from the synth stage on and is classified.

    out: the class raster (GeoTIFF, byte or uint16: 1 for library.classes[0], ..., 0 for
    unclassified or no data), written under its name only once it is whole; rules: a raster
    of every class's rule (posterior probability, spectral angle or classifier value);
    threshold: "chi2:P", "prob:P" or "angle:RAD"; mask: a raster of the image's size whose 0
    or nodata pixels stay unmapped; wavelengths: a file of the image's band centres (and FWHM)
    replacing its own. Warns (UserWarning) when the values do not look like reflectance.
    """
    if not isinstance(library, Library):
        raise ValueError("library: a Library is needed")
    result = _orvane._map_image(library._models, [str(c) for c in library.classes], image, out,
                                rules, "none" if threshold is None else threshold, mask,
                                wavelengths)
    if result["warning"]:
        import warnings
        warnings.warn(result["warning"], stacklevel=2)
    return SpeciesMap(result["class_raster"], result["rules_raster"],
                      pd.Series(result["pixels"], index=pd.Index(library.classes, name="class"),
                                name="pixels"),
                      result["unclassified"], result["no_data"], result["masked"],
                      result["pixel_area"], result["notes"])
