#!/usr/bin/python3
# SPDX-License-Identifier: GPL-3.0-or-later
"""The species map of bench/map-wall written as a Python user would write it, and the
comparison of two class rasters.

    map_peer.py map --image SCENE.tif --derived DERIVED.csv --features FEATURES.csv
                    --classifier sam|qda --out CLASSES.tif --rules RULES.tif
    map_peer.py agree A.tif B.tif [--truth TRUTH.tif]

`map` takes the library from Orvane's exports of its spectra (csv, plain numbers) at the
derived stage and at the features stage, row for row the same spectra. The bands that keep a
value at the derived stage are those the chain's filter and the derivative leave, and the PCT
features are a linear map of them (Orvane's transform has no offset), fitted here by least
squares from the two exports (the residual is printed; with the exports' shortest exact
decimals it is at the level of double rounding). Then, as a user would: the whole scene read
with GDAL into one array, scaled to reflectance (float64, numpy's default), its bands put in
the order of their wavelengths (EnMAP's VNIR and SWIR detectors overlap), the first derivative
as forward differences, (x[k+1] - x[k]) / (wl[k+1] - wl[k]) (the chain's default method,
"iterative"), the kept bands projected onto the features, and classified by `spectral.spectral_angles` against the class
means of the library's features (sam) or by scikit-learn's QuadraticDiscriminantAnalysis
with equal priors, `predict_proba` (qda). The class raster (UInt8, 0 for a pixel without
value) and the rules raster (Float32, a band per class: angles or posteriors, NaN without
value) are written with GDAL with Orvane's creation options (tiled 256 x 256, DEFLATE).

`agree` prints the share of pixels where two class rasters agree, and with --truth the share
of each that equals the scene's true classes.
"""
import argparse
import csv
import sys

import numpy as np
from osgeo import gdal

gdal.UseExceptions()


def read_export(path):
    """Class names and the rows of a csv export (NaN where a band has no value)."""
    with open(path, newline="") as f:
        rows = [r for r in csv.reader(f) if r]
    names = [r[0] for r in rows[1:]]
    values = np.array([[_nan(v) for v in r[1:]] for r in rows[1:]])
    return [_number(h) for h in rows[0][1:]], names, values


def _number(text):
    try:
        return float(text)
    except ValueError:
        return None


def _nan(text):
    v = _number(text)
    return np.nan if v is None else v


def create(path, like, bands, gdal_type):
    options = ["TILED=YES", "BLOCKXSIZE=256", "BLOCKYSIZE=256", "COMPRESS=DEFLATE",
               "BIGTIFF=IF_SAFER"]
    if bands > 1:
        options.append("INTERLEAVE=PIXEL")
    out = gdal.GetDriverByName("GTiff").Create(path, like.RasterXSize, like.RasterYSize, bands,
                                               gdal_type, options)
    out.SetGeoTransform(like.GetGeoTransform())
    out.SetProjection(like.GetProjection())
    return out


def map_scene(args):
    # The library: the kept derived bands, the PCT transform and the class feature rows.
    centres, names, derived = read_export(args.derived)
    _, feature_names, features = read_export(args.features)
    if names != feature_names:
        sys.exit("map_peer.py: the two exports do not hold the same spectra in the same order")
    keep = np.flatnonzero(~np.isnan(derived).any(axis=0))
    transform, _, rank, _ = np.linalg.lstsq(derived[:, keep], features, rcond=None)
    residual = np.abs(derived[:, keep] @ transform - features).max()
    print("map_peer.py: %d derived bands kept, PCT map of rank %d, largest residual %.3g "
          "(features up to %.3g)" % (keep.size, rank, residual, np.abs(features).max()))
    classes = sorted(set(names))
    y = np.array([classes.index(n) for n in names])

    # The scene, as one array.
    ds = gdal.Open(args.image)
    band = ds.GetRasterBand(1)
    scale, offset, nodata = band.GetScale() or 1.0, band.GetOffset() or 0.0, band.GetNoDataValue()
    wavelengths = np.array([float(ds.GetRasterBand(b).GetMetadataItem("wavelength"))
                            for b in range(1, ds.RasterCount + 1)])
    # The derivative runs along the wavelengths, and EnMAP's two detectors overlap.
    order = np.argsort(wavelengths, kind="stable")
    wavelengths = wavelengths[order]
    if len(centres) != len(wavelengths) or np.abs(wavelengths - centres).max() > 0.01:
        sys.exit("map_peer.py: the library's bands are not the image's")
    cube = ds.ReadAsArray()                      # bands, rows, columns
    valid = np.all(cube != nodata, axis=0)
    reflectance = np.moveaxis(cube[order], 0, -1) * scale + offset
    del cube
    derivative = np.diff(reflectance, axis=-1) / np.diff(wavelengths)
    del reflectance
    pixels = derivative[..., keep] @ transform   # rows, columns, features
    del derivative

    if args.classifier == "sam":
        means = np.array([features[y == c].mean(axis=0) for c in range(len(classes))])
        import spectral
        rules = spectral.spectral_angles(pixels, means)
        labels = np.argmin(rules, axis=-1) + 1
    else:
        from sklearn.discriminant_analysis import QuadraticDiscriminantAnalysis
        qda = QuadraticDiscriminantAnalysis(priors=np.full(len(classes), 1.0 / len(classes)))
        qda.fit(features, y)
        flat = pixels.reshape(-1, pixels.shape[-1])
        rules = qda.predict_proba(flat).reshape(pixels.shape[:2] + (len(classes),))
        labels = np.argmax(rules, axis=-1) + 1
    labels[~valid] = 0
    rules[~valid] = np.nan

    out = create(args.out, ds, 1, gdal.GDT_Byte)
    out.GetRasterBand(1).SetNoDataValue(0)
    out.GetRasterBand(1).WriteArray(labels.astype(np.uint8))
    out = None
    out = create(args.rules, ds, len(classes), gdal.GDT_Float32)
    for c in range(len(classes)):
        b = out.GetRasterBand(c + 1)
        b.SetDescription(classes[c])
        b.SetNoDataValue(float("nan"))
        b.WriteArray(rules[..., c].astype(np.float32))
    out = None


def agree(args):
    a = gdal.Open(args.a).ReadAsArray()
    b = gdal.Open(args.b).ReadAsArray()
    print("agreement %.6f (%d of %d pixels differ)" % ((a == b).mean(), (a != b).sum(), a.size))
    if args.truth:
        t = gdal.Open(args.truth).ReadAsArray()
        print("equal to the scene's classes: %.4f and %.4f" % ((a == t).mean(), (b == t).mean()))


def main():
    parser = argparse.ArgumentParser(description=__doc__,
                                     formatter_class=argparse.RawDescriptionHelpFormatter)
    sub = parser.add_subparsers(dest="what", required=True)
    m = sub.add_parser("map")
    m.add_argument("--image", required=True)
    m.add_argument("--derived", required=True)
    m.add_argument("--features", required=True)
    m.add_argument("--classifier", choices=("sam", "qda"), required=True)
    m.add_argument("--out", required=True)
    m.add_argument("--rules", required=True)
    g = sub.add_parser("agree")
    g.add_argument("a")
    g.add_argument("b")
    g.add_argument("--truth")
    args = parser.parse_args()
    map_scene(args) if args.what == "map" else agree(args)


if __name__ == "__main__":
    main()
