# SPDX-License-Identifier: GPL-3.0-or-later
# The study database, read only, on a database of its own on the tests' throwaway server: the
# demo study made and analysed by orvane-cli, then read here. Features equal the command
# line's export bit for bit and the pure path's; the accuracy and kappa of `da` and `da
# --validate loo` are the command line's; nothing is written.
import json
import os
import pathlib
import subprocess

import numpy as np
import pytest

import orvane
from conftest import DEMO, SOURCE

pytestmark = pytest.mark.db


def server_config():
    pointer = pathlib.Path(os.environ.get("ORVANE_TEST_POINTER", "/nonexistent"))
    home = pathlib.Path(pointer.read_text().strip()) if pointer.is_file() else None
    if home is None or not (home / "spectra_config.txt").is_file():
        pytest.skip("no test server: run through ctest (fixture testdb)")
    return dict(line.split(None, 1) for line in
                (home / "spectra_config.txt").read_text().splitlines()
                if line and not line.startswith("#") and len(line.split(None, 1)) == 2)


@pytest.fixture(scope="module")
def study(tmp_path_factory):
    """A database with the schema, two sensors, the seeded feature spaces and the demo study,
    its NTBI library built and its discriminant analyses run by orvane-cli."""
    server = server_config()
    work = tmp_path_factory.mktemp("db")
    name = f"orvane_t_python_{os.getpid()}"
    client = work / "client.cnf"
    client.write_text(f"[client]\nhost={server['server']}\nport={server['port']}\n"
                      f"user={server['user']}\npassword={server['password'].strip()}\n")
    client.chmod(0o600)

    def sql(statement, database=""):
        return subprocess.run(["mariadb", f"--defaults-extra-file={client}", "-N", "-e",
                               statement] + ([database] if database else []),
                              check=True, capture_output=True, text=True).stdout

    sql(f"drop database if exists `{name}`; create database `{name}` character set utf8mb4")
    with open(SOURCE / "db" / "schema.sql") as schema:
        subprocess.run(["mariadb", f"--defaults-extra-file={client}", name], stdin=schema,
                       check=True)
    config = work / "spectra_config.txt"
    config.write_text(f"server {server['server']}\nport {server['port']}\n"
                      f"user {server['user']}\npassword {server['password'].strip()}\n"
                      f"database {name}\noutput_dir {work}/output\n")
    config.chmod(0o600)
    cli = os.environ.get("ORVANE_CLI", str(SOURCE / "build" / "release" / "orvane-cli"))

    def run(*words):
        return subprocess.run([cli, "--config", str(config)] + list(words), check=True,
                              capture_output=True, text=True, cwd=work).stdout

    for sensor in ["landsat8_oli", "sentinel2a_msi"]:
        run("sensor", "import", str(SOURCE / "data" / "sensors" / f"{sensor}.txt"),
            "--type", "gaussian")
    with open(SOURCE / "db" / "seed.sql") as seed:
        subprocess.run(["mariadb", f"--defaults-extra-file={client}", name], stdin=seed,
                       check=True)
    run("study", "create", "--name", "Demo study", "--path", str(DEMO))
    demo = ["--study", "Demo study", "--sensor", "Landsat 8 OLI", "--fs-type", "NTBI"]
    run(*demo, "import")
    run(*demo, "library", "build")
    run(*demo, "da")
    run(*demo, "da", "--validate", "loo")
    run(*demo, "export", "--stage", "features", "--format", "csv", "--number-format", "plain")
    yield config, work, lambda statement: sql(statement, name)
    sql(f"drop database if exists `{name}`")


def test_features_and_accuracies_as_the_command_line(study, demo):
    config, work, _ = study
    with orvane.connect(config) as db:
        assert db.studies()["name"].tolist() == ["Demo study"]
        features = db.spectra("Demo study", "features", sensor="Landsat 8 OLI",
                              feature_type="NTBI")
        library = db.library("Demo study", "Landsat 8 OLI", "NDVI")
        raw = db.spectra("Demo study")
    exported = np.loadtxt(work / "output" / "Demo study_NDVI_lib_species.csv", delimiter=",",
                          skiprows=1, usecols=1)
    np.testing.assert_array_equal(features.to_numpy()[:, 0], exported)
    np.testing.assert_array_equal(raw.to_numpy(), demo.to_numpy())
    chain = orvane.Chain(sensor="Landsat 8 OLI", feature_space=("NTBI", [(660, 860)]))
    np.testing.assert_array_equal(chain.run(demo.to_numpy()), features.to_numpy())
    species = features.index.get_level_values("species")
    for validate, name in [("resubstitution", "Error Matrix.json"),
                           ("loo", "Error Matrix (leave-one-out).json")]:
        record = json.loads((work / "output" / name).read_text())
        result = orvane.cross_validate(features, species, validate=validate)
        assert (result.overall_accuracy, result.kappa) == (record["overall_accuracy"],
                                                           record["kappa"])
    # The stored library classifies as one fitted to the same features.
    fitted = orvane.Library.fit(features, species)
    np.testing.assert_allclose(library.scores(raw).to_numpy(), fitted.scores(features).to_numpy(),
                               rtol=1e-12)
    assert list(library.classes) == ["AT", "GS", "OPS", "PH"]


def test_reading_writes_nothing(study):
    config, _, sql = study
    tables = ["smoothing_filter", "derivative", "stage_option", "library", "pca_data"]
    counts = sql("; ".join(f"select count(*) from {t}" for t in tables))
    with orvane.connect(config) as db:
        # A smoothing, derivative and stage mode the study has no rows for.
        synth = db.spectra("Demo study", "derived", sensor="Sentinel-2A MSI", smoothing="sg-fft",
                           derivative=2, splice="additive")
        assert synth.shape == (149, 13)
        with pytest.raises(orvane.Error, match="build it") as refused:
            db.library("Demo study", "Sentinel-2A MSI", "NDVI", derivative=2)
        assert refused.value.remedy == "build_library"
    assert sql("; ".join(f"select count(*) from {t}" for t in tables)) == counts


def test_connection_refusals(study, tmp_path):
    config, _, _ = study
    with pytest.raises(orvane.Error, match="absent.txt"):
        orvane.connect(tmp_path / "absent.txt")
    with orvane.connect(config) as db:
        with pytest.raises(ValueError, match='^smoothing: Unknown smoothing type "box"'):
            db.spectra("Demo study", smoothing="box")
        with pytest.raises(ValueError, match='^stage: unknown stage "synthesised"'):
            db.spectra("Demo study", "synthesised")
        with pytest.raises(orvane.Error, match="Nowhere"):
            db.spectra("Nowhere")
    with pytest.raises(orvane.Error, match="closed"):
        db.studies()
