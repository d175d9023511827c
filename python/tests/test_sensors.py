# SPDX-License-Identifier: GPL-3.0-or-later
# Sensors and resampling: against the command line's synth export of the demo study, against
# python3-spectral's BandResampler, response tables summed with numpy, an image's bands read
# with GDAL's Python bindings; the zero-copy and GIL rules and the refusals.
import threading
import time

import numpy as np
import pytest
from osgeo import gdal
from spectral import BandResampler

import orvane
from conftest import SOURCE, TEST_DATA

GRID = np.arange(350, 2500, dtype=float)


def test_shipped_sensor_resamples_as_the_command_line_exports(demo):
    # The cirrus band 9, marked X in the definition file, is left out as a database leaves it.
    landsat = orvane.sensors()["Landsat 8 OLI"]
    assert landsat.bands == [1, 2, 3, 4, 5, 6, 7]
    synth = landsat.resample(demo.to_numpy())
    # `orvane-cli export --stage synth --format envi-sli` of the demo study (Landsat 8 OLI,
    # no filter, no smoothing), as tests/data/demo-results keeps it: float64.
    kept = np.fromfile(SOURCE / "tests/data/demo-results/09/"
                       "Demo study_Landsat 8 OLI_synth_lib_species.sli", "<f8").reshape(149, 7)
    np.testing.assert_array_equal(synth, kept)


def test_gaussian_weights_as_band_resampler_computes_them(demo):
    # BandResampler weights a destination band by the integral of its Gaussian over each
    # source band within FWHM/2 of its centre; with source bands 1e-4 nm wide that is the
    # Gaussian's density at each grid wavelength within the window, normalised. Orvane takes
    # the widest window symmetric about the centre in which every band has a value, so with
    # centres on whole nanometres, a width of 2h + 0.5 nm and no value beyond h nm of the
    # centre both weight the same bands by the same density.
    half = np.array([3, 10, 17, 42, 80])
    centres = np.array([480.0, 705.0, 1210.0, 1655.0, 2190.0])
    fwhm = 2 * half + 0.5
    sensor = orvane.Sensor.from_response("whole-nm", centres, fwhm)
    reference = BandResampler(GRID, centres, np.full(GRID.size, 1e-4), fwhm)
    spectra = demo.to_numpy()[::10]
    for band in range(centres.size):
        inside = np.abs(GRID - centres[band]) <= half[band]
        masked = np.where(inside, spectra, np.nan)
        got = sensor.resample(masked)[:, band]
        expected = reference(np.where(inside, spectra, 0.0).T)[band]
        np.testing.assert_allclose(got, expected, rtol=1e-6)


def test_response_table_is_the_weighted_mean_at_whole_nanometres(demo):
    shipped = orvane.sensors()["Sentinel-2A MSI (response table)"]
    table = np.loadtxt(SOURCE / "data/sensors/sentinel2a_msi_ratio.txt", delimiter=",",
                       skiprows=3)
    bands = np.unique(table[:, 0]).astype(int)
    wavelengths = np.unique(table[:, 1])
    responses = np.zeros((wavelengths.size, bands.size))
    for band, w, r in table:
        responses[np.searchsorted(wavelengths, w), np.searchsorted(bands, band)] = r
    made = orvane.Sensor.from_response("S2 table", wavelengths=wavelengths, responses=responses,
                                       bands=bands)
    spectra = demo.to_numpy()[:20]
    got = made.resample(spectra)
    np.testing.assert_array_equal(got, shipped.resample(spectra))
    at = np.floor(wavelengths).astype(int) - 350
    expected = spectra[:, at] @ responses / responses.sum(axis=0)
    np.testing.assert_allclose(got, expected, rtol=1e-12)


def test_sensor_of_an_image_has_its_usable_bands():
    path = TEST_DATA / "imagery" / "enmap_potsdam_tile_64_0.tif"
    sensor = orvane.Sensor.from_image(path)
    image = gdal.Open(str(path))
    meta = [image.GetRasterBand(b).GetMetadata() for b in range(1, image.RasterCount + 1)]
    # Usable bands (bbl 1) in wavelength order: EnMAP's SWIR detector begins below the VNIR's
    # last band.
    good = sorted((b for b in range(image.RasterCount) if meta[b]["bbl"] != "0"),
                  key=lambda b: float(meta[b]["wavelength"]))
    assert good != sorted(good)
    assert sensor.name == "enmap_potsdam_tile_64_0"
    assert sensor.bands == [b + 1 for b in good]
    np.testing.assert_array_equal(sensor.centres, [float(meta[b]["wavelength"]) for b in good])
    np.testing.assert_array_equal(sensor.fwhm, [float(meta[b]["fwhm"]) for b in good])


def test_zero_copy_and_the_gil(demo):
    sensor = orvane.sensors()["Sentinel-2A MSI"]
    x = np.ascontiguousarray(demo.to_numpy())
    assert orvane._orvane._input_address(x) == x.__array_interface__["data"][0]
    assert orvane._orvane._input_address(np.asfortranarray(x)) == 0
    assert orvane._orvane._input_address(x.astype(np.float32)) == 0
    expected = sensor.resample(x)
    np.testing.assert_array_equal(sensor.resample(np.asfortranarray(x)), expected)
    np.testing.assert_array_equal(sensor.resample(x[3]), expected[3])
    np.testing.assert_array_equal(sensor.resample(x.astype(np.float32)),
                                  sensor.resample(x.astype(np.float32).astype(float)))
    # This thread keeps running Python while another one resamples: with the GIL held for
    # the whole call it would stall for as long as the call takes.
    big = np.repeat(x, 200, axis=0)
    threads = orvane.threads()
    orvane.set_threads(1)
    try:
        worker = threading.Thread(target=sensor.resample, args=(big,))
        gaps, start = [], time.perf_counter()
        worker.start()
        last = time.perf_counter()
        while worker.is_alive():
            time.sleep(0.001)
            now = time.perf_counter()
            gaps.append(now - last)
            last = now
        took = time.perf_counter() - start
    finally:
        orvane.set_threads(threads)
    assert len(gaps) > 3 and max(gaps) < took / 2


def test_refusals_name_the_argument():
    sensor = orvane.sensors()["Sentinel-2A MSI"]
    with pytest.raises(ValueError, match=r"^values: 2150 values \(the 1 nm grid"):
        sensor.resample(np.zeros(2000))
    with pytest.raises(ValueError, match="^values: an array of 1 to 2 dimensions"):
        sensor.resample(np.zeros((2, 2, 2150)))
    bad = np.zeros((3, 2150))
    bad[2, 142] = np.inf  # 492 nm, inside the blue band's response
    with pytest.raises(ValueError, match="^values: row 2, column 142 is inf"):
        sensor.resample(bad)
    # 357 nm lies outside every response: it is never read, so it cannot spoil a band.
    bad[2, 142], bad[1, 7] = 0.0, -np.inf
    assert np.array_equal(sensor.resample(bad), sensor.resample(np.zeros((3, 2150))))
    with pytest.raises(ValueError, match="^values: an array of numbers is needed"):
        sensor.resample(["a"] * 2150)
    with pytest.raises(ValueError, match="^centres: Band 2 has the FWHM -3 nm"):
        orvane.Sensor.from_response("bad", [500, 600], [10, -3])
    with pytest.raises(ValueError, match="^fwhm: 2 widths are needed"):
        orvane.Sensor.from_response("bad", [500, 600], [10])
    with pytest.raises(ValueError, match="^responses: Band 1 has the response -1"):
        orvane.Sensor.from_response("bad", wavelengths=[500, 501], responses=[[1], [-1]])
    with pytest.raises(ValueError, match='^sensor: no shipped sensor is named "Sentinel"'):
        orvane.Chain(sensor="Sentinel")
    with pytest.raises(orvane.Error, match="lies on a sensor's bands; give that sensor"):
        orvane.read(SOURCE / "examples" / "sentinel2a-pixel.txt")
    pixel = orvane.read(SOURCE / "examples" / "sentinel2a-pixel.txt", sensor=sensor)
    np.testing.assert_array_equal(pixel.wavelengths, sensor.centres)
    assert pixel.values[0] == 0.0321
