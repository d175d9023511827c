#!/usr/bin/python3
# SPDX-License-Identifier: GPL-3.0-or-later
"""The inputs of bench/map-wall: a study of ten classes made from the demo spectra, and a
synthetic Int16 scene of an image sensor's bands made from that study's spectra.

    map_scene.py study DEMO_DIR OUT_DIR [--sites 4] [--spectra 50] [--seed 1]
    map_scene.py bands --template TILE.tif --out BANDS.tif
    map_scene.py scene --template TILE.tif --spectra SYNTH.csv --out SCENE.tif
                       --width W --height H [--noise 0.001] [--seed 1] [--truth TRUTH.tif]

`study` writes a study folder (one folder per class, one per site, one instrument file per
spectrum, the layout of examples/demo-study). The four demo classes each give a class of their
own (85 % of the class, 5 % of each of the others) and the six pairs a class of mixtures (45 %
of each of the pair, 5 % of each of the other two). Each spectrum mixes one randomly drawn
demo spectrum of every demo class with weights drawn around the class's (Dirichlet), times a
brightness around 1 (sd 5 %), plus white noise of sd 0.001 on the 1 nm grid, so every class
has 200 spectra that vary in every direction (a class covariance of full rank in 20 features;
the demo's GS alone has only 19 spectra).

`bands` writes a scene of 4 x 4 pixels of one flat spectrum on those bands, whose sensor
(`orvane-cli sensor import --from-image`) is the scene's before the scene exists.

`scene` writes a GeoTIFF (Int16, pixel interleaved, striped, scale 0.0001, nodata -32768)
with the band wavelengths and FWHM of TILE.tif (band metadata `wavelength`, `fwhm`,
`wavelength_units`; no bad-band list, so every band is usable) and its georeferencing moved to
the scene's size. Each pixel is a random spectrum of a random class of SYNTH.csv (the study's
spectra exported at the synthesized stage on the scene's sensor) plus Gaussian noise of sd
NOISE (reflectance) in every band, from a fixed seed, written a band of rows at a time so that
the generator's memory does not grow with the scene. Bands where the export has no value (the
study's filter ranges) are filled by linear interpolation over wavelength; the chain drops
them again. TRUTH.tif gets each pixel's class number (1.. in the export's sorted class order).
"""
import argparse
import csv
import glob
import os
import struct
import sys

import numpy as np

HEADER_BYTES = 484
BANDS = 2150
DEMO = ("AT", "GS", "OPS", "PH")


def header(comment, site, k):
    h = bytearray(HEADER_BYTES)
    h[0:3] = b"as1"
    text = comment.encode("ascii")[:156]
    h[3:3 + len(text)] = text
    struct.pack_into("<6h", h, 160, (13 * k) % 60, (7 * k) % 60, 9 + (k // 10) % 8, 4 + site,
                     2, 2019 - 1900)
    h[186] = 1  # reflectance
    struct.pack_into("<3d", h, 350, -2545.5 - 0.2 * site, 2812.3 + 0.2 * site, 1420.0 + site)
    return bytes(h)


def read_demo(folder):
    spectra = {}
    for code in DEMO:
        files = sorted(glob.glob(os.path.join(folder, code, "*", "*")))
        if not files:
            sys.exit("map_scene.py: no spectra of %s under %s" % (code, folder))
        rows = []
        for path in files:
            with open(path, "rb") as f:
                data = f.read()
            rows.append(np.frombuffer(data[HEADER_BYTES:HEADER_BYTES + 4 * BANDS], "<f4"))
        spectra[code] = np.array(rows, dtype=np.float64)
    return spectra


def make_study(args):
    demo = read_demo(args.demo)
    rng = np.random.default_rng(args.seed)
    classes = []
    for i, code in enumerate(DEMO):
        w = np.full(4, 0.05)
        w[i] = 0.85
        classes.append((code, w))
    for i in range(4):
        for j in range(i + 1, 4):
            w = np.full(4, 0.05)
            w[i] = w[j] = 0.45
            classes.append(("%s-%s" % (DEMO[i], DEMO[j]), w))
    for name, w in classes:
        for site in range(1, args.sites + 1):
            folder = os.path.join(args.out, name, "site%02d" % site)
            os.makedirs(folder, exist_ok=True)
            for k in range(args.spectra):
                weights = rng.dirichlet(50.0 * w)
                drawn = np.array([demo[c][rng.integers(len(demo[c]))] for c in DEMO])
                x = rng.normal(1.0, 0.05) * (weights @ drawn) + rng.normal(0.0, 0.001, BANDS)
                number = (site - 1) * args.spectra + k + 1
                path = os.path.join(folder, "%s%05d.asd" % (name.lower().replace("-", ""), number))
                with open(path, "wb") as f:
                    f.write(header("%s bench site %d spectrum %d" % (name, site, number), site, k))
                    f.write(x.astype("<f4").tobytes())
    print("map_scene.py: %d classes of %d sites of %d spectra in %s"
          % (len(classes), args.sites, args.spectra, args.out))


def read_export(path):
    """Species names and spectra (rows) of a csv export, NaN where a band has no value."""
    with open(path, newline="") as f:
        rows = list(csv.reader(f))
    names, values = [], []
    for r in rows[1:]:
        if r:
            names.append(r[0])
            values.append([float(v) if v else np.nan for v in r[1:]])
    return [float(h) for h in rows[0][1:]], names, np.array(values)


def create_scene(template, path, width, height):
    """An empty scene with the template's bands and georeferencing (its corner kept)."""
    from osgeo import gdal
    nb = template.RasterCount
    ds = gdal.GetDriverByName("GTiff").Create(path, width, height, nb, gdal.GDT_Int16,
                                              ["INTERLEAVE=PIXEL", "BIGTIFF=IF_SAFER"])
    ds.SetGeoTransform(template.GetGeoTransform())
    ds.SetProjection(template.GetProjection())
    for b in range(1, nb + 1):
        src = template.GetRasterBand(b)
        band = ds.GetRasterBand(b)
        band.SetScale(0.0001)
        band.SetOffset(0.0)
        band.SetNoDataValue(-32768)
        band.SetMetadata({"wavelength": src.GetMetadataItem("wavelength"),
                          "fwhm": src.GetMetadataItem("fwhm"),
                          "wavelength_units": src.GetMetadataItem("wavelength_units") or
                          "Nanometers"})
    return ds


def make_bands(args):
    """A small scene of one flat spectrum, to make the sensor of the scene's bands from."""
    from osgeo import gdal
    gdal.UseExceptions()
    template = gdal.Open(args.template)
    ds = create_scene(template, args.out, 4, 4)
    for b in range(1, template.RasterCount + 1):
        ds.GetRasterBand(b).Fill(3000)
    ds = None


def make_scene(args):
    from osgeo import gdal
    gdal.UseExceptions()
    template = gdal.Open(args.template)
    nb = template.RasterCount
    centres = [float(template.GetRasterBand(b).GetMetadataItem("wavelength"))
               for b in range(1, nb + 1)]
    export_centres, names, spectra = read_export(args.spectra)
    # The export lists the bands by wavelength; the image keeps its own order (EnMAP's VNIR
    # and SWIR overlap), so each image band takes the column of its wavelength.
    order = np.argsort(centres, kind="stable")
    if len(export_centres) != nb or \
            np.abs(np.array(export_centres) - np.array(centres)[order]).max() > 0.01:
        sys.exit("map_scene.py: %s does not lie on the bands of %s" % (args.spectra, args.template))
    empty = np.all(np.isnan(spectra), axis=0)
    have = ~empty
    x = np.array(export_centres)
    for row in spectra:
        row[empty] = np.interp(x[empty], x[have], row[have])
    if np.isnan(spectra).any():
        sys.exit("map_scene.py: a spectrum of %s lacks a value in a band the others have"
                 % args.spectra)
    column = np.empty(nb, dtype=np.int64)
    column[order] = np.arange(nb)
    spectra = spectra[:, column]
    classes = sorted(set(names))
    label = np.array([classes.index(n) for n in names])
    members = [np.flatnonzero(label == c) for c in range(len(classes))]

    driver = gdal.GetDriverByName("GTiff")
    ds = create_scene(template, args.out, args.width, args.height)
    geo = ds.GetGeoTransform()
    truth = None
    if args.truth:
        truth = driver.Create(args.truth, args.width, args.height, 1, gdal.GDT_Byte,
                              ["COMPRESS=DEFLATE", "TILED=YES"])
        truth.SetGeoTransform(geo)
        truth.SetProjection(template.GetProjection())
    rng = np.random.default_rng(args.seed)
    rows_per = max(1, 4_000_000 // (args.width * nb))
    for y in range(0, args.height, rows_per):
        h = min(rows_per, args.height - y)
        n = h * args.width
        cls = rng.integers(len(classes), size=n)
        pick = np.empty(n, dtype=np.int64)
        for c in range(len(classes)):
            at = np.flatnonzero(cls == c)
            pick[at] = members[c][rng.integers(len(members[c]), size=at.size)]
        values = spectra[pick] + rng.normal(0.0, args.noise, (n, nb))
        dn = np.clip(np.rint(values / 0.0001), -32767, 32767).astype("<i2")
        ds.WriteRaster(0, y, args.width, h, dn.tobytes(), buf_xsize=args.width, buf_ysize=h,
                       buf_type=gdal.GDT_Int16, band_list=list(range(1, nb + 1)),
                       buf_pixel_space=2 * nb, buf_line_space=2 * nb * args.width,
                       buf_band_space=2)
        if truth is not None:
            truth.GetRasterBand(1).WriteArray((cls + 1).astype(np.uint8).reshape(h, args.width),
                                              0, y)
    ds = None
    truth = None
    print("map_scene.py: %s, %d x %d pixels x %d bands, %d classes"
          % (args.out, args.width, args.height, nb, len(classes)))


def main():
    parser = argparse.ArgumentParser(description=__doc__,
                                     formatter_class=argparse.RawDescriptionHelpFormatter)
    sub = parser.add_subparsers(dest="what", required=True)
    s = sub.add_parser("study")
    s.add_argument("demo")
    s.add_argument("out")
    s.add_argument("--sites", type=int, default=4)
    s.add_argument("--spectra", type=int, default=50)
    s.add_argument("--seed", type=int, default=1)
    b = sub.add_parser("bands")
    b.add_argument("--template", required=True)
    b.add_argument("--out", required=True)
    c = sub.add_parser("scene")
    c.add_argument("--template", required=True)
    c.add_argument("--spectra", required=True)
    c.add_argument("--out", required=True)
    c.add_argument("--width", type=int, required=True)
    c.add_argument("--height", type=int, required=True)
    c.add_argument("--noise", type=float, default=0.001)
    c.add_argument("--seed", type=int, default=1)
    c.add_argument("--truth")
    args = parser.parse_args()
    {"study": make_study, "bands": make_bands, "scene": make_scene}[args.what](args)


if __name__ == "__main__":
    main()
