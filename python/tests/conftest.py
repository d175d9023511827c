# SPDX-License-Identifier: GPL-3.0-or-later
# Where the suite finds the checkout and the build: ctest sets ORVANE_SOURCE_DIR and PYTHONPATH;
# run by hand, PYTHONPATH=build/release/python /usr/bin/python3 -m pytest python/tests.
import os
import pathlib

import pytest

SOURCE = pathlib.Path(os.environ.get("ORVANE_SOURCE_DIR",
                                     pathlib.Path(__file__).resolve().parents[2]))
DEMO = SOURCE / "examples" / "demo-study"
TEST_DATA = SOURCE / "tests" / "data"


def pytest_configure(config):
    config.addinivalue_line("markers", "db: needs the tests' throwaway MariaDB server")


@pytest.fixture(scope="session")
def demo():
    import orvane
    return orvane.read_study(DEMO)
