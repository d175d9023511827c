// SPDX-License-Identifier: GPL-3.0-or-later
#include "support/mixing_study.h"

#include <cstdlib>
#include <fstream>

#include "store/array_codec.h"
#include "support/study_rows.h"

namespace orvane::test {

namespace {
// The reflectance BLOB of a spectrum with these values at the six centres (0.1 elsewhere).
std::string MixingSpectrum(const BandValues& values) {
    std::vector<float> v(kSpectrumBands, 0.1f);
    for (size_t k = 0; k < values.size(); ++k)
        for (int w = kMixingCentres[k] - 20; w <= kMixingCentres[k] + 20; ++w)
            v[static_cast<size_t>(w - kFirstWavelength)] = static_cast<float>(values[k]);
    return Blob(v);
}
}  // namespace

void WriteMixingSensor(const std::string& path, int elements) {
    std::ofstream out(path);
    out << "Mixing " << elements << " bands\nNarrow bands\nband,avg_wavelength,fwhm,mark\n";
    for (int i = 0; i < elements; ++i)
        out << i + 1 << ',' << kMixingCentres[static_cast<size_t>(i)] << ",2,C\n";
}

int InsertMixingSpecies(Database& db, int study, const std::string& folder, bool endmember,
                        const std::vector<BandValues>& spectra) {
    const int species = InsertSpecies(db, study, folder);
    if (endmember)
        db.Execute(Sql("update species set endmember = 'Y' where species_id = %i", species));
    const int site = InsertSite(db, study, species, 1);
    int number = 1;
    for (const BandValues& values : spectra) {
        SpectrumValues row;
        row.spectrum_no = number++;
        InsertSpectrum(db, study, species, site, row, MixingSpectrum(values));
    }
    return species;
}

void InsertMixtureRow(Database& db, int mixture, int endmember, double abundance) {
    db.Execute(Sql("insert into mixture (species_id, endmember_id, abundance) values (%i, %i, %f)",
                   mixture, endmember, abundance));
}

int InsertGrassSoilMixStudy(Database& db, const std::string& name) {
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
