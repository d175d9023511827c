# SPDX-License-Identifier: GPL-3.0-or-later
# Images: a species map of an EnMAP tile against the same library's classes of the pixels
# read with GDAL's Python bindings and against scikit-learn's QDA; cubes as numpy.memmap,
# read without a copy; two Python threads classifying at once.
import threading
import time

import numpy as np
import pytest
from osgeo import gdal
from sklearn.discriminant_analysis import QuadraticDiscriminantAnalysis

import orvane
from conftest import TEST_DATA

TILE = TEST_DATA / "imagery" / "enmap_potsdam_tile_64_0.tif"


@pytest.fixture(scope="module")
def scene():
    """The tile's usable bands in wavelength order as reflectance (scale applied, nodata NaN),
    its sensor, a chain of two normalised differences and a library of three brightness
    classes of its pixels."""
    sensor = orvane.Sensor.from_image(TILE)
    image = gdal.Open(str(TILE))
    layers = []
    for number in sensor.bands:
        band = image.GetRasterBand(number)
        values = band.ReadAsArray().astype(np.float64)
        values[values == band.GetNoDataValue()] = np.nan
        layers.append(values * band.GetScale() + band.GetOffset())
    cube = np.stack(layers, axis=-1)
    chain = orvane.Chain(sensor=sensor, feature_space=("NTBI", [(660, 860), (560, 1650)]))
    features = chain.run(cube)
    brightness = np.nanmean(cube, axis=-1)
    labels = np.digitize(brightness, np.nanpercentile(brightness, [33, 66]))
    names = np.array(["dark", "mid", "bright"])[labels]
    ok = ~np.isnan(features).any(axis=-1)
    library = orvane.Library.fit(features[ok], names[ok], chain=chain)
    return cube, features, ok, names, library


def test_map_of_an_image_as_its_pixels_classify(scene, tmp_path):
    cube, features, ok, names, library = scene
    result = orvane.map_image(library, TILE, out=tmp_path / "classes.tif",
                              rules=tmp_path / "rules.tif")
    written = gdal.Open(str(tmp_path / "classes.tif")).ReadAsArray()
    np.testing.assert_array_equal(written, library.predict(cube))
    qda = QuadraticDiscriminantAnalysis(priors=np.full(3, 1 / 3)).fit(features[ok], names[ok])
    expected = np.searchsorted(library.classes, qda.predict(features[ok])) + 1
    np.testing.assert_array_equal(written[ok], expected)
    assert result.pixels.sum() + result.no_data == cube.shape[0] * cube.shape[1]
    assert list(result.pixels.index) == ["bright", "dark", "mid"]
    assert result.pixel_area == 900.0
    rules = gdal.Open(str(tmp_path / "rules.tif"))
    assert rules.RasterCount == 3
    posteriors = rules.ReadAsArray()[:, ok]
    np.testing.assert_allclose(posteriors.sum(axis=0), 1.0, rtol=1e-5)
    # A threshold leaves pixels unclassified; the cube gives the same numbers.
    strict = orvane.map_image(library, TILE, out=tmp_path / "strict.tif", threshold="prob:0.99")
    assert strict.unclassified > 0
    np.testing.assert_array_equal(gdal.Open(str(tmp_path / "strict.tif")).ReadAsArray(),
                                  library.predict(cube, threshold="prob:0.99"))


def test_memory_mapped_cube_is_read_where_it_lies(scene, tmp_path):
    cube, _, _, _, library = scene
    copies = 40
    path = tmp_path / "cube.f64"
    mapped = np.memmap(path, np.float64, "w+", shape=(cube.shape[0] * copies,) + cube.shape[1:])
    mapped[:] = np.tile(cube, (copies, 1, 1))
    mapped.flush()
    mapped = np.memmap(path, np.float64, "r", shape=mapped.shape)
    assert orvane._orvane._input_address(mapped) == mapped.__array_interface__["data"][0]

    def anonymous_kib():
        for line in open("/proc/self/status"):
            if line.startswith("RssAnon:"):
                return int(line.split()[1])

    before = anonymous_kib()
    peak = [before]
    done = threading.Event()

    def watch():
        while not done.is_set():
            peak[0] = max(peak[0], anonymous_kib())
            time.sleep(0.001)

    watcher = threading.Thread(target=watch)
    watcher.start()
    codes = library.predict(mapped)
    done.set()
    watcher.join()
    # The cube is 71 MB; the result and the workers' buffers take well under 8 MB.
    assert mapped.nbytes > 64 * 2**20
    assert peak[0] - before < 8 * 1024
    np.testing.assert_array_equal(codes, np.tile(library.predict(cube), (copies, 1)))


def test_two_threads_classify_at_once(scene):
    cube, _, _, _, library = scene
    big = np.tile(cube, (8, 1, 1))
    expected = library.predict(big)
    results = [None, None]

    def run(i):
        results[i] = library.predict(big)

    threads = [threading.Thread(target=run, args=(i,)) for i in range(2)]
    for t in threads:
        t.start()
    for t in threads:
        t.join()
    for r in results:
        np.testing.assert_array_equal(r, expected)


def test_map_refusals(scene, tmp_path):
    cube, features, ok, names, library = scene
    plain = orvane.Library.fit(features[ok], names[ok])
    with pytest.raises(ValueError, match="^library: a library fitted with a chain"):
        orvane.map_image(plain, TILE, out=tmp_path / "x.tif")
    with pytest.raises(ValueError, match="^threshold: "):
        orvane.map_image(library, TILE, out=tmp_path / "x.tif", threshold="angle:0.1")
    other = orvane.Library.fit(
        features[ok], names[ok],
        chain=orvane.Chain(sensor="EnMAP HSI", feature_space=("NTBI", [(660, 860), (560, 1650)])))
    with pytest.raises(orvane.Error, match="band"):
        orvane.map_image(other, TILE, out=tmp_path / "x.tif")
    assert not (tmp_path / "x.tif").exists()
    with pytest.raises(orvane.Error, match="absent.tif"):
        orvane.map_image(library, tmp_path / "absent.tif", out=tmp_path / "x.tif")
