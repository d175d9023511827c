# SPDX-License-Identifier: GPL-3.0-or-later
# Classifiers, validation, separability, principal components and unmixing: against the
# command line's results of the demo session (tests/data/demo-results, the files
# examples/demo-session writes) and against scikit-learn.
import json

import numpy as np
import pytest
from sklearn.covariance import LedoitWolf
from sklearn.discriminant_analysis import (LinearDiscriminantAnalysis,
                                           QuadraticDiscriminantAnalysis)
from sklearn.metrics import cohen_kappa_score

import orvane
from conftest import SOURCE

KEPT = SOURCE / "tests" / "data" / "demo-results"


def kept(step, name):
    return json.loads((KEPT / step / name).read_text())


@pytest.fixture(scope="module")
def species(demo):
    return demo.index.get_level_values("species")


@pytest.fixture(scope="module")
def pct8(demo):
    """The session's "PCT 8" on Sentinel-2A: the components of its `pca`, as stored."""
    sensor = orvane.sensors()["Sentinel-2A MSI"]
    derived = orvane.Chain(sensor=sensor).run(demo.to_numpy(), "derived")
    analysis = orvane.pca(derived)
    stored = kept("20", "pca_output.json")["components"]
    np.testing.assert_array_equal(analysis.eigenvalues, [c["eigenvalue"] for c in stored])
    np.testing.assert_array_equal(analysis.components, [c["eigenvector"] for c in stored])
    chain = orvane.Chain(sensor=sensor, feature_space=("PCT", analysis.components[:8]))
    return chain.run(demo.to_numpy())


@pytest.mark.parametrize("step, name, classifier, validate", [
    ("25", "Error Matrix.json", "mahalanobis", "resubstitution"),
    ("26", "Error Matrix (leave-one-out).json", "mahalanobis", "loo"),
    ("27", "Error Matrix (5-fold).json", "mahalanobis", "kfold"),
    ("29", "Error Matrix (3-fold).json", "gsd", "kfold:3"),
    ("30", "Error Matrix.json", "sam", "resubstitution"),
    ("31", "Error Matrix.json", "modified-mahalanobis", "resubstitution"),
    ("33", "Error Matrix (leave-one-out).json", "mahalanobis-shrunk", "loo"),
])
def test_discriminant_analysis_as_the_command_line(pct8, species, step, name, classifier,
                                                   validate):
    record = kept(step, name)
    result = orvane.cross_validate(pct8, species, classifier=classifier, validate=validate)
    assert result.error_matrix.to_numpy().tolist() == record["error_matrix"]["counts"]
    assert result.error_matrix.index.name == "classified as"
    assert (result.overall_accuracy, result.kappa) == (record["overall_accuracy"],
                                                       record["kappa"])


def test_ntbi_library_as_the_command_line(demo, species):
    chain = orvane.Chain(sensor="Landsat 8 OLI", feature_space=("NTBI", [(660, 860)]))
    library = orvane.Library.fit(demo, species, chain=chain)
    record = kept("02", "Error Matrix.json")
    predicted = library.predict(demo)
    counts = [[int(np.sum((predicted == a) & (species == b))) for b in library.classes]
              for a in library.classes]
    assert counts == record["error_matrix"]["counts"]
    loo = orvane.cross_validate(chain.run(demo.to_numpy()), species, validate="loo")
    assert loo.kappa == kept("03", "Error Matrix (leave-one-out).json")["kappa"]
    assert loo.kappa == pytest.approx(cohen_kappa_score(species, predicted), rel=1e-12)


def test_separability_as_the_command_line(pct8, species):
    distances = orvane.separability(pct8, species)
    for pair in kept("28", "JM output.json")["pairs"]:
        jm = distances.jm.loc[pair["class1"], pair["class2"]]
        assert jm == pytest.approx(pair["jm"], rel=1e-15)
    assert distances.problems == {}


def test_unmixing_as_the_command_line(demo):
    # GS and PH as fractions of AT and OPS: species means of the synthesized stage on Landsat
    # 8 OLI's elements 1, 2, 3 and 6.
    synth = orvane.sensors()["Landsat 8 OLI"].resample(demo.to_numpy())[:, [0, 1, 2, 5]]
    assert not np.isnan(synth).any()
    means = {s: synth[demo.index.get_level_values("species") == s].mean(axis=0)
             for s in ["AT", "OPS", "GS", "PH"]}
    result = orvane.unmix([means["AT"], means["OPS"]], [means["GS"], means["PH"]])
    for row, mixture in zip(result.fractions, kept("16", "unmixing_output.json")["mixtures"]):
        np.testing.assert_allclose(row, [f["estimate"] for f in mixture["fractions"]],
                                   rtol=1e-12)
    np.testing.assert_allclose(result.rmse, [0.0015885681641280567, 0.00526160955570085],
                               rtol=1e-12)


def test_classifiers_as_scikit_learn_computes_them(pct8, species):
    x = pct8[:, :4]
    classes = np.unique(species)
    # Mahalanobis: ln det C + d'C^-1 d, minus twice QDA's log posterior with equal priors.
    qda = QuadraticDiscriminantAnalysis(priors=np.full(4, 0.25), store_covariance=True).fit(x, species)
    library = orvane.Library.fit(x, species)
    scores = library.scores(x)
    np.testing.assert_allclose(scores.to_numpy(), -2 * (qda._decision_function(x) - np.log(0.25)),
                               rtol=1e-9)
    assert (library.predict(x) == qda.predict(x)).all()
    # Gen. Squared Dist: LDA with equal priors.
    lda = LinearDiscriminantAnalysis(priors=np.full(4, 0.25)).fit(x, species)
    assert (orvane.Library.fit(x, species, "gsd").predict(x) == lda.predict(x)).all()
    # Mahalanobis (shrunk): Ledoit-Wolf covariances of the standardised features.
    shrunk = orvane.Library.fit(x, species, "mahalanobis-shrunk").scores(x).to_numpy()
    z = (x - x.mean(axis=0)) / x.std(axis=0)
    for c, name in enumerate(classes):
        member = z[species == name]
        cov = LedoitWolf().fit(member).covariance_
        d = z - member.mean(axis=0)
        expected = np.linalg.slogdet(cov)[1] + np.einsum("ij,jk,ik->i", d, np.linalg.inv(cov), d)
        np.testing.assert_allclose(shrunk[:, c], expected, rtol=1e-9)


def test_unmodelled_classes_and_cubes(pct8, species):
    # 19 GS spectra cannot give a covariance of 19 features: GS is left out, not guessed.
    wide = np.hstack([pct8, pct8[:, :3] ** 2 + 0.001 * pct8[:, 3:6], np.sin(pct8 * 7)])[:, :19]
    library = orvane.Library.fit(wide, species)
    assert library.modelled_classes == ["AT", "OPS", "PH"]
    assert library.problems["GS"] == "19 spectra for 19 features; at least 20 are needed"
    assert "GS" not in set(library.predict(wide))
    # A cube gives the class raster's numbers, 0 where a pixel has no value.
    fitted = orvane.Library.fit(pct8, species)
    cube = pct8[:12].reshape(3, 4, 8).copy()
    cube[2, 3, 5] = np.nan
    codes = fitted.predict(cube)
    assert codes.dtype == np.int32 and codes[2, 3] == 0
    np.testing.assert_array_equal(fitted.classes[codes.ravel()[:11] - 1],
                                  fitted.predict(pct8[:11]))


def test_statistics_refuse_bad_input(pct8, species):
    bad = pct8.copy()
    bad[5, 2] = np.nan
    with pytest.raises(ValueError, match="^X: row 5, column 2 is NaN"):
        orvane.Library.fit(bad, species)
    with pytest.raises(ValueError, match=r"^X: row 5 hold NaN"):
        orvane.Library.fit(pct8, species).predict(bad)
    with pytest.raises(ValueError, match=r"^y: one label per row of X is needed \(149\), not 3"):
        orvane.cross_validate(pct8, ["a", "b", "c"])
    with pytest.raises(ValueError, match='^classifier: Unknown classifier "qda"'):
        orvane.Library.fit(pct8, species, "qda")
    with pytest.raises(ValueError, match="^validate: "):
        orvane.cross_validate(pct8, species, validate="kfold:20")
    with pytest.raises(ValueError, match="^validate: "):
        orvane.cross_validate(pct8, species, validate="bootstrap")
    with pytest.raises(ValueError, match=r"^X: 8 values along its last axis \(the library's "):
        orvane.Library.fit(pct8, species).predict(np.zeros((2, 2, 5)))
    with pytest.raises(ValueError, match="^threshold: "):
        orvane.Library.fit(pct8, species, "sam").predict(pct8, threshold="chi2:0.9")
    with pytest.raises(ValueError, match="^endmembers: "):
        orvane.unmix([[1.0, 2.0, 3.0], [2.0, 4.0, 6.0]], [[1.0, 1.0, 1.0]])
    with pytest.raises(ValueError, match="^X: the covariance needs two spectra"):
        orvane.pca(pct8[:1])
