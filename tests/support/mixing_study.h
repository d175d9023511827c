// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <array>
#include <fstream>
#include <string>
#include <vector>

#include "store/array_codec.h"
#include "store/database.h"
#include "support/study_rows.h"

namespace orvane::test {

// Spectra whose synthesized values are known by construction: a sensor of narrow bands at
// kMixingCentres, and spectra that are constant around each centre, so that element k
// synthesizes to the spectrum's value k.

inline constexpr std::array<int, 6> kMixingCentres = {450, 550, 650, 800, 1000, 1600};
using BandValues = std::array<double, 6>;

// Writes the sensor file "Mixing <elements> bands" with the first `elements` bands.
inline void WriteMixingSensor(const std::string& path, int elements = 6) {
    std::ofstream out(path);
    out << "Mixing " << elements << " bands\nNarrow bands\nband,avg_wavelength,fwhm,mark\n";
    for (int i = 0; i < elements; ++i)
        out << i + 1 << ',' << kMixingCentres[static_cast<size_t>(i)] << ",2,C\n";
}

// A species with one site holding one spectrum per entry (its values at the six centres, 0.1
// elsewhere); `endmember` sets its flag.
inline int InsertMixingSpecies(Database& db, int study, const std::string& folder,
                               bool endmember, const std::vector<BandValues>& spectra) {
    const int species = InsertSpecies(db, study, folder);
    if (endmember)
        db.Execute(Sql("update species set endmember = 'Y' where species_id = %i", species));
    const int site = InsertSite(db, study, species, 1);
    int number = 1;
    for (const BandValues& values : spectra) {
        std::vector<float> v(kSpectrumBands, 0.1f);
        for (size_t k = 0; k < values.size(); ++k)
            for (int w = kMixingCentres[k] - 20; w <= kMixingCentres[k] + 20; ++w)
                v[static_cast<size_t>(w - kFirstWavelength)] = static_cast<float>(values[k]);
        SpectrumValues row;
        row.spectrum_no = number++;
        InsertSpectrum(db, study, species, site, row, Blob(v));
    }
    return species;
}

// A mixture row, as recorded fractions.
inline void InsertMixtureRow(Database& db, int mixture, int endmember, double abundance) {
    db.Execute(Sql("insert into mixture (species_id, endmember_id, abundance) values (%i, %i, %f)",
                   mixture, endmember, abundance));
}

// A study with its chain rows and the mixture species grass, soil and "mix", a 0.7 / 0.3
// mixture of them (none an endmember yet); returns the study id.
inline int InsertGrassSoilMixStudy(Database& db, const std::string& name) {
    const int study = InsertStudyWithChainRows(db, name);
    const BandValues grass = {0.05, 0.10, 0.04, 0.9, 0.9, 0.30};
    const BandValues soil = {0.15, 0.20, 0.25, 0.1, 0.1, 0.35};
    BandValues mix{};
    for (size_t k = 0; k < mix.size(); ++k) mix[k] = 0.7 * grass[k] + 0.3 * soil[k];
    InsertMixingSpecies(db, study, "grass", false, {grass});
    InsertMixingSpecies(db, study, "soil", false, {soil});
    InsertMixingSpecies(db, study, "mix", false, {mix});
    return study;
}

}  // namespace orvane::test
