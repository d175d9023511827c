# SPDX-License-Identifier: GPL-3.0-or-later
# Instrument files and study folders read into arrays, checked against the files' bytes and
# columns decoded here with struct and numpy.
import datetime
import os
import struct

import numpy as np
import pytest

import orvane
from conftest import DEMO, TEST_DATA


def test_binary_file_values_and_header_as_decoded_from_its_bytes():
    path = TEST_DATA / "asd" / "as7" / "v7sample00003.asd"
    raw = path.read_bytes()
    channels, = struct.unpack_from("<H", raw, 204)
    first, step = struct.unpack_from("<ff", raw, 191)
    assert (raw[199], channels, first, step) == (2, 2151, 350.0, 1.0)
    spectrum = np.frombuffer(raw, "<f8", channels, 484)
    end = 484 + 8 * channels
    description, = struct.unpack_from("<H", raw, end + 18)
    white = np.frombuffer(raw, "<f8", channels, end + 20 + description)
    # Reflectance is the spectrum over the white reference, kept at single precision.
    expected = (spectrum / white)[:2150].astype(np.float32).astype(np.float64)

    s = orvane.read(path)
    np.testing.assert_array_equal(s.wavelengths, np.arange(350, 2500, dtype=float))
    np.testing.assert_array_equal(s.values, expected)
    assert s.values.dtype == np.float64
    second, minute, hour, day, month, year = struct.unpack_from("<6h", raw, 160)
    m = s.metadata
    assert m["time"] == datetime.datetime(year + 1900, month + 1, day, hour, minute, second)
    assert m["instrument"] == "as7 #%d" % struct.unpack_from("<H", raw, 400)
    assert m["splice_points"] == list(struct.unpack_from("<ff", raw, 444)) == [1000.0, 1800.0]
    assert (m["number"], m["reader"]) == (3, "binary")


def test_text_files_joined_at_their_break_points_as_numpy_interpolates():
    grid = np.arange(350, 2500, dtype=float)
    # SIG: the header's break point 990 lies in no overlap, so the first overlap (990.2 to
    # 1001.4 nm) is cut at its middle, 995.8; 1900 cuts the second. Kept channels by hand:
    sig = orvane.read(TEST_DATA / "sig" / "comma_overlap.sig")
    kept = [(348.5, 10.92), (349.9, 11.02), (351.3, 11.12), (995.0, 40.0), (996.1, 43.0),
            (1904.5, 32.0), (2501.0, 5.0)]
    x, p = np.array(kept).T
    expected = np.interp(grid, x, p / 100, left=np.nan, right=np.nan)
    np.testing.assert_allclose(sig.values, expected, rtol=1e-6)
    assert sig.metadata["splice_points"] == [995.8, 1900.0]
    assert sig.metadata["comment"] == "seed"
    # SED, percent: no break points named, the overlap 990 to 1000 nm is cut at 995; no value
    # beyond the last channel at 1010 nm.
    sed = orvane.read(TEST_DATA / "sed" / "percent_overlap.sed")
    expected = np.interp(grid, [350, 351, 1010], [0.5, 0.505, 0.46], left=np.nan, right=np.nan)
    np.testing.assert_allclose(sed.values, expected, rtol=1e-6)
    assert np.isnan(sed.values[1011 - 350:]).all()
    assert sed.metadata["splice_points"] == [995.0]
    assert (sed.metadata["altitude"], sed.metadata["longitude"]) == (123.5, None)


def test_refusals_name_the_file_or_the_argument(tmp_path):
    short = tmp_path / "short.asd"
    short.write_bytes(b"as7" + bytes(100))
    with pytest.raises(orvane.Error, match="short.asd was not read: it is 103 bytes long"):
        orvane.read(short)
    with pytest.raises(orvane.Error, match="absent.asd was not read: it cannot be opened"):
        orvane.read(tmp_path / "absent.asd")
    with pytest.raises(ValueError, match="^path: a path is needed"):
        orvane.read(3.5)
    with pytest.raises(orvane.Error, match="is not a folder"):
        orvane.read_study(tmp_path / "absent")
    assert issubclass(orvane.Error, RuntimeError)


def test_study_folder_as_a_data_frame(demo):
    assert demo.shape == (149, 2150)
    assert demo.index.names == ["species", "site", "file"]
    assert list(demo.index.get_level_values("species").unique()) == ["AT", "GS", "OPS", "PH"]
    assert demo.columns[0] == 350 and demo.columns[-1] == 2499
    assert demo.attrs["skipped"] == []
    row = demo.loc[("GS", 2, "gs00011.asd")]
    np.testing.assert_array_equal(row.to_numpy(),
                                  orvane.read(DEMO / "GS" / "site02" / "gs00011.asd").values)


def test_study_folder_leaves_out_what_is_no_measurement(tmp_path):
    site = tmp_path / "Leaf" / "site03"
    site.mkdir(parents=True)
    good = (DEMO / "AT" / "site01" / "at00001.asd").read_bytes()
    (site / "leaf00001.asd").write_bytes(good)
    (site / "leaf00002.asd").write_bytes(good[:300])
    (site / "notes.txt").write_text("field notes")
    (tmp_path / "stray.asd").write_bytes(good)
    os.symlink(site, tmp_path / "Leaf" / "linked")
    (tmp_path / "Empty" / "site01").mkdir(parents=True)

    frame = orvane.read_study(tmp_path)
    assert frame.index.tolist() == [("Leaf", 3, "leaf00001.asd")]
    reasons = "\n".join(frame.attrs["skipped"])
    assert "leaf00002.asd: it is 300 bytes long" in reasons
    assert "notes.txt: it is not named as an instrument file" in reasons
    assert "stray.asd: it is a file where only species folders belong" in reasons
    assert "linked: it is a symbolic link to a folder, and links are not followed" in reasons
    assert "Empty: no site folder in it holds a readable spectrum file" in reasons
    assert len(frame.attrs["skipped"]) == 5
