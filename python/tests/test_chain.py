# SPDX-License-Identifier: GPL-3.0-or-later
# The chain made of plain arguments: each argument reaches its stage (checked against scipy's
# Savitzky-Golay filter, numpy's polyfit and qhull's hull), features equal the command line's
# export of the demo study, image pixels enter at the synth stage, and refusals name the
# argument.
import numpy as np
import pytest
from scipy.signal import savgol_filter
from scipy.spatial import ConvexHull

import orvane
from conftest import SOURCE

GRID = np.arange(350, 2500, dtype=float)


def test_features_as_the_command_line_exports_them(demo):
    # `orvane-cli --fs-type NTBI export --stage features` of the demo study: Landsat 8 OLI,
    # the seeded NDVI (bands nearest 660 and 860 nm), written with 15 significant digits.
    chain = orvane.Chain(sensor="Landsat 8 OLI", feature_space=("NTBI", [(660, 860)]))
    exported = np.loadtxt(SOURCE / "tests/data/demo-results/10/Demo study_NDVI_lib_species.csv",
                          delimiter=",", skiprows=1, usecols=1)
    features = chain.run(demo.to_numpy())
    assert features.shape == (149, 1)
    np.testing.assert_allclose(features[:, 0], exported, rtol=1e-14)


def test_smoothing_and_derivative_reach_their_stages():
    y = 0.3 + 0.1 * np.sin(GRID / 90.0) + 0.02 * np.cos(GRID / 11.0)
    chain = orvane.Chain(smoothing={"type": "sg-mw", "window": 21, "order": 3})
    smoothed = chain.run(y, stage="smoothed")
    inner = slice(10, -10)
    np.testing.assert_allclose(smoothed[inner], savgol_filter(y, 21, 3)[inner], rtol=1e-12)
    assert np.isnan(smoothed[:10]).all() and np.isnan(smoothed[-10:]).all()
    # A derivative by Savitzky-Golay on bands 10 nm apart.
    centres = np.arange(400.0, 2400.0, 10.0)
    sensor = orvane.Sensor.from_response("10 nm", centres, np.full(centres.size, 10.0))
    derived = orvane.Chain(sensor=sensor, derivative={
        "order": 1, "method": "savgol", "window": 7, "polynomial_order": 2}).run(y, "derived")
    synth = sensor.resample(y)
    expected = savgol_filter(synth, 7, 2, deriv=1, delta=10.0)
    np.testing.assert_allclose(derived[3:-3], expected[3:-3], rtol=1e-9, atol=1e-15)


def test_optional_stages_take_their_pairs():
    stepped = 0.35 + 0.1 * np.sin(GRID / 150.0) + 0.02 * np.cos(GRID / 37.0)
    stepped[GRID >= 1201] += 0.05
    spliced = orvane.Chain(splice=[(1200, 1201)]).run(stepped, "spliced")
    # The line through the ten bands up to the join, extrapolated to its next band.
    xs = np.arange(1191.0, 1201.0)
    m, c = np.polyfit(xs, stepped[(xs - 350).astype(int)], 1)
    shift = m * 1201 + c - stepped[1201 - 350]
    np.testing.assert_allclose(spliced[GRID > 1200] - stepped[GRID > 1200], shift, rtol=1e-9)
    np.testing.assert_array_equal(orvane.Chain(splice="off").run(stepped, "spliced"), stepped)

    dipped = 0.5 + 0.2 * np.sin(GRID / 80.0) - 0.1 * np.exp(-((GRID - 1400.0) / 40.0) ** 2)
    removed = orvane.Chain(continuum=[(400, 1300)]).run(dipped, "continuum-removed")
    part = (GRID >= 400) & (GRID <= 1300)
    px, py = GRID[part], dipped[part]
    hull = ConvexHull(np.column_stack([px, py]))
    upper = sorted({k for simplex, eq in zip(hull.simplices, hull.equations) if eq[1] > 0
                    for k in simplex}, key=lambda k: px[k])
    np.testing.assert_allclose(removed[part], py / np.interp(px, px[upper], py[upper]),
                               rtol=1e-12)
    assert np.isnan(removed[~part]).all()


def test_pixels_enter_at_the_synth_stage(demo):
    sensor = orvane.sensors()["Sentinel-2A MSI"]
    chain = orvane.Chain(sensor=sensor, derivative=1,
                         feature_space=("DI", [(500, 700), (700, 900)]))
    x = demo.to_numpy()[:12]
    cube = sensor.resample(x).reshape(3, 4, 13)
    from_pixels = chain.run(cube)
    assert from_pixels.shape == (3, 4, 2)
    np.testing.assert_array_equal(from_pixels.reshape(12, 2), chain.run(x))
    np.testing.assert_array_equal(chain.run(cube, "derived", on="sensor").reshape(12, 13),
                                  chain.run(x, "derived"))
    with pytest.raises(ValueError, match='^stage: .*"smoothed" lies before it'):
        chain.run(cube, "smoothed")


def test_principal_components_as_a_feature_space(demo):
    sensor = orvane.sensors()["Sentinel-2A MSI"]
    derived = orvane.Chain(sensor=sensor).run(demo.to_numpy(), "derived")
    bands = orvane.Chain(sensor=sensor).derived_bands
    assert bands == list(range(13))
    projection = np.linalg.eigh(np.cov(derived.T))[1][:, ::-1][:, :3].T
    chain = orvane.Chain(sensor=sensor, feature_space=("PCT", projection))
    np.testing.assert_allclose(chain.run(demo.to_numpy()), derived @ projection.T, rtol=1e-12)
    with pytest.raises(ValueError, match="^feature_space: the projection has 12 columns, but "
                                         "the chain's derived stage has 13 bands"):
        orvane.Chain(sensor=sensor, feature_space=("PCT", projection[:, :12]))


@pytest.mark.parametrize("arguments, message", [
    ({"smoothing": "gaussian"}, '^smoothing: Unknown smoothing type "gaussian"'),
    ({"smoothing": {"type": "sg-fft", "window": 20}}, "^smoothing: the window must be an odd"),
    ({"smoothing": {"type": "sg-mw", "window": 5, "order": 6}}, "^smoothing: "),
    ({"smoothing": {"kind": "sg-mw"}}, '^smoothing: unknown key "kind"'),
    ({"derivative": 31}, "^derivative: the order must lie between 0 and 30"),
    ({"derivative": {"order": 1, "method": "spline"}}, "^derivative: "),
    ({"filter": [(1400, 1300)]}, "^filter: the range 1400-1300 nm"),
    ({"splice": [(1000, 1000)]}, "^splice: "),
    ({"continuum": "maybe"}, '^continuum: Unknown continuum removal "maybe"'),
    ({"feature_space": ("NTBI", [(660, 860)])}, "^feature_space: .*give sensor="),
    ({"sensor": "Landsat 8 OLI", "feature_space": ("XYZ", [(1, 2)])}, "^feature_space: "),
])
def test_settings_the_core_refuses_name_their_argument(arguments, message):
    with pytest.raises(ValueError, match=message):
        orvane.Chain(**arguments)


def test_run_refusals():
    chain = orvane.Chain(sensor="Landsat 8 OLI")
    with pytest.raises(ValueError, match='^stage: unknown stage "smooth"; choose one of raw, '):
        chain.run(np.zeros(2150), "smooth")
    with pytest.raises(ValueError, match="^stage: the chain has no feature space"):
        chain.run(np.zeros(2150))
    with pytest.raises(ValueError, match=r"^values: 2150 values per spectrum .* or 7 \(the "
                                         r"bands of Landsat 8 OLI\) are needed, not 9"):
        chain.run(np.zeros(9), "synth")
    with pytest.raises(ValueError, match="^stage: the synth stage needs a sensor"):
        orvane.Chain().run(np.zeros(2150), "synth")
