// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <cstdint>
#include <map>
#include <memory>
#include <string>
#include <vector>

#include "spectra/species.h"
#include "study/folder_walker.h"
#include "study/study_folder.h"

namespace orvane {

class Frontend;
class ProcessingSession;
class SpectraImportRepository;

// What one import added, and how many entries it reported as skipped.
struct ImportCounts {
    int species = 0;
    int sites = 0;
    int spectra = 0;
    int skipped = 0;
    // Each skipped entry as "path: reason", in the order they were met.
    std::vector<std::string> skipped_entries;
};

// The line both faces end an import with: "Added 2 species, 5 sites and 40 spectra; 1 skipped".
std::string ImportSummaryLine(const ImportCounts& counts);
// That line, then each skipped entry on its own indented line, so that the end of a long
// import's report says what was left out without scrolling back.
std::string ImportSummary(const ImportCounts& counts);

// Stores a study's folder tree in the database: one folder per species under the data path,
// one folder per site inside it, one instrument file per measurement inside that. What the
// database already holds (species by folder name, site by number, spectrum by number) is kept
// as it is, so an import can be repeated. Each species is written in one transaction: when the
// server refuses it, that species is absent afterwards, the refusal is reported and the import
// goes on with the next; only a lost connection stops it.
// The study is locked for the whole import (a second import, a library build or a deletion
// waits), and once spectra were added the study's libraries are out of date.
class SpectraImport {
public:
    SpectraImport(ProcessingSession& session, Frontend& frontend);
    ~SpectraImport();
    SpectraImport(const SpectraImport&) = delete;
    SpectraImport& operator=(const SpectraImport&) = delete;

    ImportCounts ImportStudySpectra(int study_id, const std::string& data_path);

private:
    struct StoredNumber {
        std::string path;
        bool this_import = false;
    };

    void InsertSpecies(Species& species);
    // One species folder of the study: read, stored in one transaction, or skipped with its
    // reason.
    void ImportSpeciesFolder(const std::string& folder);
    void InsertSite(Site& site, int64_t species_id);
    // Checks the spectrum's number and queues it; WritePendingSpectra stores the queue.
    void InsertSpectrum(Spectrum& spectrum, int64_t species_id, int64_t site_id, int site_no);
    void WritePendingSpectra(int64_t species_id, int64_t site_id);
    void Skip(const std::string& what, const std::string& reason);

    ProcessingSession& session_;
    Frontend& frontend_;
    // Reads the folders, reporting what it leaves out through Skip.
    StudyFolderReader reader_;
    int study_id_ = 0;
    std::unique_ptr<SpectraImportRepository> rows_;
    // The spectrum numbers a site already holds, by site id, so that a number is never stored
    // twice and a file that takes a stored number is reported.
    std::map<int64_t, std::map<int, StoredNumber>> site_numbers_;
    ImportCounts counts_;
    std::vector<Spectrum*> pending_;
};

// Text the database can store as utf8mb4: valid UTF-8 sequences are kept, any other byte is
// taken as Latin-1, as instrument comments and old file names often are.
std::string AsUtf8(const std::string& bytes);

// The capture time as "yyyymmddhhmmss", or empty when it is not a date and time the database
// can hold.
std::string CaptureDateText(const CaptureTime& time);

}  // namespace orvane
