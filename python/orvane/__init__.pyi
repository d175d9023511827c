# SPDX-License-Identifier: GPL-3.0-or-later
# Type stubs of the orvane package; the docstrings are the package's own (help(orvane)).
import os
from typing import Any, Dict, Iterable, List, NamedTuple, Optional, Tuple, Union

import numpy as np
import numpy.typing as npt
import pandas as pd

__version__: str

PathLike = Union[str, bytes, os.PathLike]
ArrayLike = npt.ArrayLike
Pairs = Iterable[Tuple[int, int]]

class Error(RuntimeError):
    remedy: Optional[str]

class Spectrum(NamedTuple):
    wavelengths: np.ndarray
    values: np.ndarray
    metadata: Dict[str, Any]

def read(path: PathLike, sensor: Union["Sensor", str, None] = ...) -> Spectrum: ...
def read_study(folder: PathLike) -> pd.DataFrame: ...
def set_threads(count: int) -> None: ...
def threads() -> int: ...

class Sensor:
    @staticmethod
    def from_response(name: str, centres: Optional[ArrayLike] = ...,
                      fwhm: Optional[ArrayLike] = ..., *, wavelengths: Optional[ArrayLike] = ...,
                      responses: Optional[ArrayLike] = ..., bands: Optional[ArrayLike] = ...,
                      description: str = ...) -> "Sensor": ...
    @staticmethod
    def from_file(path: PathLike) -> "Sensor": ...
    @staticmethod
    def from_image(path: PathLike, wavelengths: Optional[PathLike] = ...,
                   name: str = ...) -> "Sensor": ...
    @property
    def name(self) -> str: ...
    @property
    def description(self) -> str: ...
    @property
    def response(self) -> str: ...
    @property
    def centres(self) -> np.ndarray: ...
    @property
    def fwhm(self) -> np.ndarray: ...
    @property
    def bands(self) -> List[int]: ...
    @property
    def usable(self) -> List[bool]: ...
    def resample(self, values: ArrayLike) -> np.ndarray: ...
    def __len__(self) -> int: ...

def sensors() -> Dict[str, Sensor]: ...

class Chain:
    def __init__(self, *, filter: Optional[Iterable[Union[int, Tuple[int, int]]]] = ...,
                 smoothing: Union[str, Dict[str, Any], None] = ...,
                 derivative: Union[int, Dict[str, Any], None] = ...,
                 splice: Union[str, Pairs, None] = ..., continuum: Union[str, Pairs, None] = ...,
                 sensor: Union[Sensor, str, None] = ...,
                 feature_space: Union[Tuple[str, Any], Dict[str, Any], None] = ...) -> None: ...
    def run(self, values: ArrayLike, stage: str = ..., on: str = ...) -> np.ndarray: ...
    @property
    def derived_bands(self) -> List[int]: ...
    @property
    def dimension(self) -> int: ...
    @property
    def sensor(self) -> Optional[Sensor]: ...

class Library:
    classes: np.ndarray
    @classmethod
    def fit(cls, X: Union[ArrayLike, pd.DataFrame], y: ArrayLike, classifier: str = ...,
            chain: Optional[Chain] = ...) -> "Library": ...
    @property
    def classifier(self) -> str: ...
    @property
    def chain(self) -> Optional[Chain]: ...
    @property
    def dimension(self) -> int: ...
    @property
    def modelled_classes(self) -> list: ...
    @property
    def problems(self) -> dict: ...
    def scores(self, X: Union[ArrayLike, pd.DataFrame], on: str = ...) -> pd.DataFrame: ...
    def predict(self, X: Union[ArrayLike, pd.DataFrame], on: str = ...,
                threshold: Optional[str] = ...) -> np.ndarray: ...

class CrossValidation(NamedTuple):
    error_matrix: pd.DataFrame
    overall_accuracy: float
    kappa: float
    unmodelled: dict
    validation: str

def cross_validate(X: Union[ArrayLike, pd.DataFrame], y: ArrayLike, classifier: str = ...,
                   validate: str = ...) -> CrossValidation: ...

class Separability(NamedTuple):
    jm: pd.DataFrame
    b: pd.DataFrame
    problems: dict

def separability(X: Union[ArrayLike, pd.DataFrame], y: ArrayLike) -> Separability: ...

class Pca(NamedTuple):
    eigenvalues: np.ndarray
    components: np.ndarray
    explained: np.ndarray

def pca(X: Union[ArrayLike, pd.DataFrame]) -> Pca: ...

class Unmixing(NamedTuple):
    fractions: np.ndarray
    rmse: np.ndarray

def unmix(endmembers: ArrayLike, X: ArrayLike) -> Unmixing: ...

class SpeciesMap(NamedTuple):
    class_raster: str
    rules_raster: Optional[str]
    pixels: pd.Series
    unclassified: int
    no_data: int
    masked: int
    pixel_area: Optional[float]
    notes: List[str]

def map_image(library: Library, image: PathLike, out: PathLike, rules: Optional[PathLike] = ...,
              threshold: Optional[str] = ..., mask: Optional[PathLike] = ...,
              wavelengths: Optional[PathLike] = ...) -> SpeciesMap: ...

class Database:
    @property
    def config(self) -> str: ...
    def studies(self) -> pd.DataFrame: ...
    def spectra(self, study: Union[str, int], stage: str = ...,
                sensor: Union[str, int, None] = ...,
                feature_space: Union[str, int, None] = ..., smoothing: Optional[str] = ...,
                derivative: Optional[int] = ..., splice: Optional[str] = ...,
                continuum: Optional[str] = ...,
                feature_type: Optional[str] = ...) -> pd.DataFrame: ...
    def library(self, study: Union[str, int], sensor: Union[str, int],
                feature_space: Union[str, int], classifier: str = ...,
                smoothing: Optional[str] = ..., derivative: Optional[int] = ...,
                splice: Optional[str] = ..., continuum: Optional[str] = ...,
                feature_type: Optional[str] = ...) -> Library: ...
    def close(self) -> None: ...
    def __enter__(self) -> "Database": ...
    def __exit__(self, *exc: Any) -> None: ...

def connect(config: Optional[PathLike] = ...) -> Database: ...
