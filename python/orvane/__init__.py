# SPDX-License-Identifier: GPL-3.0-or-later
"""Orvane's core for Python: field spectra, sensors, the processing chain and classifiers.

Reading
    read(path)                 one instrument file: wavelengths, values and metadata
    read_study(folder)         a study's folder tree as a pandas DataFrame

Sensors and the chain
    sensors()                  the shipped sensors, by name
    Sensor                     from_response, from_file, from_image; sensor.resample(values)
    Chain(...)                 the processing chain; chain.run(values, stage="features")

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

__all__ = ["Chain", "Error", "Sensor", "Spectrum", "read", "read_study", "sensors",
           "set_threads", "threads"]


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
