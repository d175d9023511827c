// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <cstdint>
#include <functional>
#include <map>
#include <memory>
#include <optional>
#include <string>
#include <utility>
#include <vector>

namespace orvane {

class Database;
class Statement;

// A stored spectrum as it is read back. The reflectances (kSpectrumBands floats) are valid
// only while the callback that receives the row runs.
struct SpectrumRecord {
    int spectrum_id = 0;
    int spectrum_no = 0;
    // Empty where the row holds NULL.
    std::optional<double> latitude;
    std::optional<double> longitude;
    std::optional<double> altitude;
    int site_no = 0;  // for the rows of a site, and of ids where `placed`
    int site_id = 0;  // for the rows of a species
    // For rows read by id: whether the spectrum's site and species rows exist, and then the
    // species' folder.
    bool placed = false;
    std::string folder;
    const float* reflectances = nullptr;
};

// Ids a statement asks for when spectra are read by id: enough that a study of 100,000
// spectra takes 100 round trips, few enough that a cancel waits for at most one batch.
constexpr size_t kSpectraBatch = 1000;

// A species row with its sites.
struct StoredSpeciesSites {
    int site_count = 0;
    // The names of the row (the last wins); a NULL name is empty.
    std::string common;
    std::string latin;
    std::string local;  // the maori_name column
    std::string folder;
    std::vector<int64_t> site_ids;  // in the order of their numbers
};

// Reads stored spectra back. Each statement is prepared when first used and kept, since a
// study is read site by site. Ids are bound with their low 32 bits. The rows that carry
// reflectances are streamed from the server while the callback runs, so that only one is held
// at a time and the client works while the server reads: the callback must not use the
// database. An exception from it leaves the connection usable.
class SpectraRepository {
  public:
    explicit SpectraRepository(Database& db);
    ~SpectraRepository();
    SpectraRepository(const SpectraRepository&) = delete;
    SpectraRepository& operator=(const SpectraRepository&) = delete;

    StoredSpeciesSites SpeciesSites(int64_t species_id);
    // Every enabled spectrum of the site, in id order, in one round trip. Throws OrvaneError
    // for a row whose reflectances are not 8600 bytes.
    void EnabledSpectraOfSite(int64_t site_id,
                              const std::function<void(const SpectrumRecord&)>& each);
    // Every enabled spectrum of these sites in one round trip, as EnabledSpectraOfSite gives
    // them one site after another; the ids must ascend. Throws as EnabledSpectraOfSite.
    void EnabledSpectraOfSites(const std::vector<int64_t>& site_ids,
                               const std::function<void(const SpectrumRecord&)>& each);
    // Every enabled spectrum of the species' sites in one round trip, in no defined order
    // (each row names its site). Throws as EnabledSpectraOfSite.
    void EnabledSpectraOfSpecies(int64_t species_id,
                                 const std::function<void(const SpectrumRecord&)>& each);
    // The spectrum's row (enabled or not); false when there is none.
    bool Spectrum(int64_t spectrum_id, const std::function<void(const SpectrumRecord&)>& each);
    // The rows of these spectra (enabled or not), `batch` ids to a statement, in ascending id
    // order; an id without a row gives none. Throws OrvaneError as EnabledSpectraOfSite.
    void SpectraWithIds(const std::vector<int>& ids, size_t batch,
                        const std::function<void(const SpectrumRecord&)>& each);

  private:
    Database& db_;
    std::unique_ptr<Statement> site_spectra_;
    std::unique_ptr<Statement> species_spectra_;
    std::unique_ptr<Statement> sites_spectra_;
    size_t sites_spectra_count_ = 0;
    std::unique_ptr<Statement> one_spectrum_;
    std::unique_ptr<Statement> spectra_with_ids_;
    size_t spectra_with_ids_batch_ = 0;
};

// A spectrum to store. Texts are UTF-8; a position that is not finite is stored as NULL.
struct NewSpectrumRow {
    int spectrum_no = 0;
    double latitude = 0.0;
    double longitude = 0.0;
    double altitude = 0.0;
    std::string comment;
    std::string path;
    const float* reflectances = nullptr;  // kSpectrumBands values
};

// The statements of an import, prepared once and used for every row.
class SpectraImportRepository {
  public:
    explicit SpectraImportRepository(Database& db);
    ~SpectraImportRepository();
    SpectraImportRepository(const SpectraImportRepository&) = delete;
    SpectraImportRepository& operator=(const SpectraImportRepository&) = delete;

    // The study's species stored under exactly this folder name, or 0. The server compares
    // names without regard to case or trailing blanks; folders that differ only so are
    // different species here, as they are on disk.
    int64_t FindSpecies(const std::string& folder_name, int study_id);
    int64_t InsertSpecies(const std::string& folder_name, int study_id);
    // The site with that number, or 0 (the last row wins).
    int64_t FindSite(int64_t species_id, int site_no, int study_id);
    // An empty capture date is stored as NULL.
    int64_t InsertSite(int site_no, int64_t species_id, const std::string& capture_date,
                       int study_id);
    // The spectrum numbers the site holds, with the paths they were imported from.
    std::map<int, std::string> SpectrumNumbers(int64_t species_id, int64_t site_id, int study_id);
    // Stores the rows, several per statement, each row with its reflectances.
    void InsertSpectra(int64_t species_id, int64_t site_id, int study_id,
                       const std::vector<NewSpectrumRow>& rows);
    // Sets the site's position to the mean of its spectra's.
    void UpdateSitePosition(int64_t site_id);

  private:
    Statement& InsertSpectraStatement(size_t rows);

    Database& db_;
    std::unique_ptr<Statement> find_species_;
    std::unique_ptr<Statement> insert_species_;
    std::unique_ptr<Statement> find_site_;
    std::unique_ptr<Statement> insert_site_;
    std::unique_ptr<Statement> site_numbers_;
    std::unique_ptr<Statement> site_position_;
    std::map<size_t, std::unique_ptr<Statement>> insert_spectra_;
};

}  // namespace orvane
