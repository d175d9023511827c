#!/usr/bin/python3
# SPDX-License-Identifier: GPL-3.0-or-later
# A notebook's worth of Orvane from Python, cell by cell ("# %%" starts a cell for editors
# that run scripts as notebooks): field spectra into pandas, resampled to Sentinel-2A, the
# processing chain, a spectral library with its validation, separability, principal components,
# unmixing and the classes of an image cube. Run it with Debian's python3:
#
#   /usr/bin/python3 examples/notebook.py                                  # installed package
#   PYTHONPATH=build/release/python /usr/bin/python3 examples/notebook.py  # from the build
#
# It reads the demo study beside it (examples/demo-study) or the installed one.
import pathlib

import numpy as np

import orvane

here = pathlib.Path(__file__).resolve().parent
demo = here / "demo-study"
if not demo.is_dir():
    demo = pathlib.Path("/usr/share/orvane/demo-study")

# %% One instrument file: values on the 1 nm grid, NaN where nothing was measured.
first = sorted((demo / "AT" / "site01").iterdir())[0]
spectrum = orvane.read(first)
print(f"{spectrum.metadata['name']}: {np.count_nonzero(~np.isnan(spectrum.values))} bands, "
      f"red edge at 700 nm {spectrum.values[700 - 350]:.3f}")

# %% The whole study as a DataFrame indexed by species, site and file.
study = orvane.read_study(demo)
species = study.index.get_level_values("species")
print(f"{len(study)} spectra of {species.nunique()} species; skipped: {study.attrs['skipped']}")

# %% Resampled to Sentinel-2A's bands.
s2 = orvane.sensors()["Sentinel-2A MSI"]
bands = s2.resample(study.to_numpy())
print("Sentinel-2A band 8 (833 nm), species means:",
      {s: round(float(bands[species == s, 7].mean()), 3) for s in species.unique()})

# %% A chain to features: NDVI and a red-edge index on Sentinel-2A's bands.
chain = orvane.Chain(sensor=s2, feature_space=("NTBI", [(665, 833), (705, 740)]))
features = chain.run(study.to_numpy())
print("features of the first spectrum:", np.round(features[0], 4))

# %% A spectral library, validated leave-one-out.
library = orvane.Library.fit(features, species, classifier="mahalanobis", chain=chain)
loo = orvane.cross_validate(features, species, validate="loo")
print(loo.error_matrix)
print(f"leave-one-out: {loo.overall_accuracy:.2f} %, kappa {loo.kappa:.3f}")

# %% Principal components of the derived stage as a PCT feature space of eight components.
derived = orvane.Chain(sensor=s2).run(study.to_numpy(), "derived")
components = orvane.pca(derived)
pct = orvane.Chain(sensor=s2, feature_space=("PCT", components.components[:8]))
pct_features = pct.run(study.to_numpy())
pct_loo = orvane.cross_validate(pct_features, species, validate="loo")
print(f"PCT 8: {components.explained[:8].sum() * 100:.2f} % of the variance, "
      f"leave-one-out {pct_loo.overall_accuracy:.2f} %")

# %% How well the classes separate (Jeffries-Matusita, 0 to 2).
print(orvane.separability(pct_features, species).jm.round(3))

# %% GS and PH as fractions of AT and OPS, on four Sentinel-2A bands.
means = {s: bands[species == s][:, [1, 2, 3, 11]].mean(axis=0) for s in species.unique()}
unmixed = orvane.unmix([means["AT"], means["OPS"]], [means["GS"], means["PH"]])
print("fractions of AT and OPS in GS and PH:", np.round(unmixed.fractions, 3).tolist())

# %% An image cube of pixels on Sentinel-2A's bands: the class of every pixel.
cube = bands[:144].reshape(12, 12, 13)
classes = library.predict(cube)
print("pixels per class:", dict(zip(library.classes, np.bincount(classes.ravel(),
                                                                 minlength=5)[1:])))
