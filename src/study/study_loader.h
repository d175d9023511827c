// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <cstdint>
#include <memory>
#include <string>

#include "spectra/species.h"
#include "study/spectra_import.h"

namespace orvane {

class Frontend;
class ProcessingSession;
class SpectraRepository;

// Reads a study's species, sites and enabled spectra back from the database into the spectra
// model.
class StudyLoader {
public:
    explicit StudyLoader(ProcessingSession& session);
    ~StudyLoader();

    void SetStudy(int study_id);
    int StudyId() const { return study_id_; }

    // Stores the current study's folder tree (see SpectraImport).
    ImportCounts ImportStudySpectra(Frontend& frontend);

    std::unique_ptr<Species> LoadSpecies(int64_t species_id);
    std::unique_ptr<Site> LoadSite(int64_t site_id);
    std::unique_ptr<Spectrum> LoadSpectrum(int64_t spectrum_id);

private:
    ProcessingSession& session_;
    int study_id_ = 0;
    std::string data_path_;
    std::unique_ptr<SpectraRepository> spectra_;
};

}  // namespace orvane
