// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <fstream>
#include <string>
#include <utility>
#include <vector>

#include "store/array_codec.h"
#include "store/database.h"
#include "support/study_rows.h"

namespace orvane::test {

// Spectra whose features are known by construction: with narrow sensor bands at 400, 1000 and
// 2000 nm and the band pairs (400, 1000) and (1000, 2000), a spectrum made by
// FeatureSpectrum(f1, f2) has the normalised differences f1 and f2.

// The spectrum as a reflectance BLOB: 0.25 up to 700 nm, b up to 1500 nm, c above.
inline std::string FeatureSpectrum(double f1, double f2) {
    const float b = static_cast<float>(0.25 * (1 + f1) / (1 - f1));
    const float c = static_cast<float>(static_cast<double>(b) * (1 + f2) / (1 - f2));
    std::vector<float> v(kSpectrumBands);
    for (int i = 0; i < kSpectrumBands; ++i) {
        const int w = kFirstWavelength + i;
        v[static_cast<size_t>(i)] = w <= 700 ? 0.25f : w <= 1500 ? b : c;
    }
    return Blob(v);
}

// Writes the three-band Gaussian sensor file.
inline void WriteThreeBandSensor(const std::string& path) {
    std::ofstream(path) << "Three test bands\nNarrow bands\nband,avg_wavelength,fwhm,mark\n"
                           "1,400,2,C\n2,1000,2,C\n3,2000,2,C\n";
}

// An NTBI feature space "pairs" of dimension 2 over the two band pairs; returns its id.
inline int InsertPairFeatureSpace(Database& db) {
    db.Execute(
        "insert into feature_space (name, description, dimension, fs_type_id, build_date) "
        "values ('pairs', '', 2, (select fs_type_id from feature_space_type where type = 1), "
        "current_timestamp(6))");
    const int fs = static_cast<int>(db.InsertId());
    db.Execute(Sql("insert into band_range (band1, band2, feature_space_id) values (400, 1000, "
                   "%i), (1000, 2000, %i)",
                   fs, fs));
    return fs;
}

using FeaturePoints = std::vector<std::pair<double, double>>;
// A species with one site per entry ({site number, feature points}); returns its id.
inline int InsertFeatureSpecies(Database& db, int study, const std::string& folder,
                                const std::vector<std::pair<int, FeaturePoints>>& sites) {
    const int species = InsertSpecies(db, study, folder);
    int number = 1;
    for (const auto& [site_no, points] : sites) {
        const int site = InsertSite(db, study, species, site_no);
        for (const auto& [f1, f2] : points) {
            SpectrumValues row;
            row.spectrum_no = number++;
            InsertSpectrum(db, study, species, site, row, FeatureSpectrum(f1, f2));
        }
    }
    return species;
}

// A study with its chain rows and two species of known features: alpha (two sites, four
// spectra) and beta (one site, four spectra); returns the study id.
inline int InsertAlphaBetaStudy(Database& db, const std::string& name) {
    const int study = InsertStudyWithChainRows(db, name);
    InsertFeatureSpecies(db, study, "alpha",
                         {{1, {{0.10, 0.20}, {0.30, 0.10}}}, {2, {{0.20, 0.40}, {0.15, 0.25}}}});
    InsertFeatureSpecies(db, study, "beta",
                         {{1, {{-0.20, 0.00}, {0.00, -0.20}, {-0.10, -0.10}, {-0.05, 0.05}}}});
    return study;
}

}  // namespace orvane::test
