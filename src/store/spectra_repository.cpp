// SPDX-License-Identifier: GPL-3.0-or-later
#include "store/spectra_repository.h"

#include <algorithm>
#include <array>
#include <cmath>
#include <cstdlib>
#include <stdexcept>

#include "base/band_grid.h"
#include "base/orvane_error.h"
#include "store/array_codec.h"
#include "store/database.h"

namespace orvane {

namespace {

// Ids are bound with their low 32 bits.
int Low32(int64_t id) { return static_cast<int>(static_cast<uint32_t>(id)); }

// Column sizes of the schema: a folder name of 80 characters, a path of 1024, in bytes of up
// to four per character.
constexpr size_t kFolderNameBytes = 4 * 80;
constexpr unsigned long kPathBytes = 4 * 1024;

// Where a statement's columns land, from column `first` on: reflectances, spectrum_no,
// latitude, longitude and altitude.
struct BoundRow {
    int spectrum_id = 0;
    int spectrum_no = 0;
    double latitude = 0.0;
    double longitude = 0.0;
    double altitude = 0.0;
    int site_no = 0;
    std::array<float, kSpectrumBands> reflectances{};

    void Bind(Statement& stmt, unsigned first) {
        stmt.BindResultBlob(first, reflectances.data(), kSpectrumBlobBytes);
        stmt.BindResultInt(first + 1, &spectrum_no);
        stmt.BindResultDouble(first + 2, &latitude);
        stmt.BindResultDouble(first + 3, &longitude);
        stmt.BindResultDouble(first + 4, &altitude);
    }

    // The row just fetched. A NULL leaves the bound value as the previous row filled it, so
    // it is reported as absent instead.
    SpectrumRecord Fetched(const Statement& stmt, unsigned first, int id) const {
        if (stmt.IsNull(first) || stmt.Length(first) != kSpectrumBlobBytes)
            throw OrvaneError(
                "Spectrum " + std::to_string(id) + " has " +
                std::to_string(stmt.IsNull(first) ? 0 : stmt.Length(first)) +
                " bytes of reflectances where 8600 were expected; the row is rejected.");
        SpectrumRecord record;
        record.spectrum_id = id;
        record.spectrum_no = spectrum_no;
        if (!stmt.IsNull(first + 2)) record.latitude = latitude;
        if (!stmt.IsNull(first + 3)) record.longitude = longitude;
        if (!stmt.IsNull(first + 4)) record.altitude = altitude;
        record.site_no = site_no;
        record.reflectances = reflectances.data();
        return record;
    }
};

// Drops what a streamed statement has not delivered when its reader stops early, so that the
// connection serves the next statement.
class StreamGuard {
  public:
    explicit StreamGuard(Statement& stmt) : stmt_(stmt) {}
    ~StreamGuard() { stmt_.Discard(); }
    StreamGuard(const StreamGuard&) = delete;
    StreamGuard& operator=(const StreamGuard&) = delete;

  private:
    Statement& stmt_;
};

// Runs a statement whose columns are the spectrum's id, BoundRow's five and the site's number
// (and, with `site_id_column`, the site's id), streaming each row to `each`.
void StreamSpectrumRows(Statement& stmt, const std::vector<int>& params, bool site_id_column,
                        const std::function<void(const SpectrumRecord&)>& each) {
    BoundRow row;
    int site_id = 0;
    stmt.BindIntParams(params);
    stmt.BindResultInt(0, &row.spectrum_id);
    row.Bind(stmt, 1);
    stmt.BindResultInt(6, &row.site_no);
    if (site_id_column) stmt.BindResultInt(7, &site_id);
    stmt.ExecuteStreamed();
    StreamGuard guard(stmt);
    while (stmt.Fetch()) {
        SpectrumRecord record = row.Fetched(stmt, 1, row.spectrum_id);
        record.site_id = site_id;
        each(record);
    }
}

}  // namespace

SpectraRepository::SpectraRepository(Database& db) : db_(db) {}

SpectraRepository::~SpectraRepository() = default;

StoredSpeciesSites SpectraRepository::SpeciesSites(int64_t species_id) {
    // The names and the sites in one round trip: a species without sites gives one row whose
    // site is NULL, a missing species none. Sites come in their numbers' order, as the site
    // table's species index gives them.
    StoredSpeciesSites stored;
    ResultSet rows = db_.Query(
        Sql("SELECT sp.common_name, sp.latin_name, sp.maori_name, sp.folder_name, si.site_id "
            "FROM species sp LEFT JOIN site si ON si.species_id = sp.species_id WHERE "
            "sp.species_id = %i ORDER BY si.site_no, si.site_id",
            Low32(species_id)));
    while (rows.Next()) {
        if (!rows.IsNull(0)) stored.common = rows.String(0);
        if (!rows.IsNull(1)) stored.latin = rows.String(1);
        if (!rows.IsNull(2)) stored.local = rows.String(2);
        stored.folder = rows.String(3);
        if (!rows.IsNull(4)) stored.site_ids.push_back(std::strtoll(rows.Text(4), nullptr, 10));
    }
    stored.site_count = static_cast<int>(stored.site_ids.size());
    return stored;
}

void SpectraRepository::EnabledSpectraOfSpecies(
    int64_t species_id, const std::function<void(const SpectrumRecord&)>& each) {
    // One round trip for the whole species instead of one per site: the rows are those
    // EnabledSpectraOfSite gives for each of the species' sites. They are not sorted on the
    // server, which would copy every blob into a temporary table first.
    if (!species_spectra_) {
        species_spectra_ = std::make_unique<Statement>(
            db_,
            "SELECT s.spectrum_id, s.reflectances, s.spectrum_no, s.latitude, s.longitude, "
            "s.altitude, site.site_no, site.site_id FROM site site, spectrum s where "
            "site.species_id = ? and s.site_id = site.site_id and s.disabled = 0");
    }
    StreamSpectrumRows(*species_spectra_, {Low32(species_id)}, true, each);
}

void SpectraRepository::EnabledSpectraOfSite(
    int64_t site_id, const std::function<void(const SpectrumRecord&)>& each) {
    // The rows are what one Spectrum() per id would give, in id order, with the site's number
    // beside each.
    if (!site_spectra_) {
        site_spectra_ = std::make_unique<Statement>(
            db_,
            "SELECT s.spectrum_id, s.reflectances, s.spectrum_no, s.latitude, s.longitude, "
            "s.altitude, site.site_no FROM spectrum s, site site where s.site_id = ? and "
            "s.disabled = 0 and site.site_id = s.site_id order by s.spectrum_id");
    }
    StreamSpectrumRows(*site_spectra_, {Low32(site_id)}, false, each);
}

void SpectraRepository::EnabledSpectraOfSites(
    const std::vector<int64_t>& site_ids, const std::function<void(const SpectrumRecord&)>& each) {
    if (site_ids.empty()) return;
    for (size_t i = 1; i < site_ids.size(); ++i)
        if (site_ids[i] <= site_ids[i - 1])
            throw std::invalid_argument("SpectraRepository::EnabledSpectraOfSites needs ascending ids");
    if (!sites_spectra_ || sites_spectra_count_ != site_ids.size()) {
        // The site index holds (site, disabled, id): walked in that order the rows need no
        // sort, which would copy every blob into a temporary table on the server.
        std::string marks;
        for (size_t i = 0; i < site_ids.size(); ++i) marks += i == 0 ? "?" : ", ?";
        sites_spectra_.reset();
        sites_spectra_ = std::make_unique<Statement>(
            db_,
            "SELECT STRAIGHT_JOIN s.spectrum_id, s.reflectances, s.spectrum_no, s.latitude, "
            "s.longitude, s.altitude, si.site_no FROM spectrum s FORCE INDEX (spectrum_site) "
            "JOIN site si ON si.site_id = s.site_id where s.site_id in (" +
                marks + ") and s.disabled = 0 order by s.site_id, s.disabled, s.spectrum_id");
        sites_spectra_count_ = site_ids.size();
    }
    std::vector<int> ids;
    for (int64_t id : site_ids) ids.push_back(Low32(id));
    StreamSpectrumRows(*sites_spectra_, ids, false, each);
}

bool SpectraRepository::Spectrum(int64_t spectrum_id,
                                 const std::function<void(const SpectrumRecord&)>& each) {
    const int id = Low32(spectrum_id);
    if (!one_spectrum_) {
        one_spectrum_ = std::make_unique<Statement>(
            db_,
            "SELECT reflectances, spectrum_no, latitude, longitude, altitude FROM spectrum "
            "where spectrum_id = ?");
    }
    Statement& stmt = *one_spectrum_;
    BoundRow row;
    stmt.BindIntParams({id});
    row.Bind(stmt, 0);
    stmt.Execute();
    bool found = false;
    while (stmt.Fetch()) {
        each(row.Fetched(stmt, 0, id));
        found = true;
    }
    return found;
}

void SpectraRepository::SpectraWithIds(const std::vector<int>& ids, size_t batch,
                                       const std::function<void(const SpectrumRecord&)>& each) {
    if (ids.empty()) return;
    batch = std::max<size_t>(batch, 1);
    if (!spectra_with_ids_ || spectra_with_ids_batch_ != batch) {
        // One statement serves every batch: a short last batch repeats its last id, which the
        // server gives once.
        std::string marks;
        for (size_t i = 0; i < batch; ++i) marks += i == 0 ? "?" : ", ?";
        spectra_with_ids_.reset();
        spectra_with_ids_ = std::make_unique<Statement>(
            db_,
            "SELECT s.spectrum_id, s.reflectances, s.spectrum_no, s.latitude, s.longitude, "
            "s.altitude, si.site_no, sp.folder_name FROM spectrum s LEFT JOIN site si ON "
            "si.site_id = s.site_id LEFT JOIN species sp ON sp.species_id = s.species_id "
            "where s.spectrum_id in (" +
                marks + ") order by s.spectrum_id");
        spectra_with_ids_batch_ = batch;
    }
    Statement& stmt = *spectra_with_ids_;
    BoundRow row;
    std::array<char, kFolderNameBytes> folder{};
    std::vector<int> chunk(batch);
    for (size_t first = 0; first < ids.size(); first += batch) {
        const size_t n = std::min(batch, ids.size() - first);
        for (size_t i = 0; i < batch; ++i) chunk[i] = ids[first + std::min(i, n - 1)];
        stmt.BindIntParams(chunk);
        stmt.BindResultInt(0, &row.spectrum_id);
        row.Bind(stmt, 1);
        stmt.BindResultInt(6, &row.site_no);
        stmt.BindResultBlob(7, folder.data(), static_cast<unsigned long>(folder.size()));
        stmt.ExecuteStreamed();
        StreamGuard guard(stmt);
        while (stmt.Fetch()) {
            SpectrumRecord record = row.Fetched(stmt, 1, row.spectrum_id);
            // A spectrum whose site or species row is gone has no place, as an inner join
            // of the three would give.
            record.placed = !stmt.IsNull(6) && !stmt.IsNull(7);
            if (record.placed)
                record.folder.assign(folder.data(), std::min<size_t>(stmt.Length(7), folder.size()));
            else
                record.site_no = 0;
            each(record);
        }
    }
}

SpectraImportRepository::SpectraImportRepository(Database& db)
    : db_(db),
      find_species_(std::make_unique<Statement>(
          db,
          "SELECT species_id, folder_name FROM species where folder_name = ? AND "
          "study_id = ?")),
      insert_species_(std::make_unique<Statement>(
          db, "INSERT into species (folder_name, study_id) VALUES (?, ?)")),
      find_site_(std::make_unique<Statement>(
          db,
          "SELECT site_id FROM site where species_id = ? AND site_no = ? AND study_id "
          "= ?")),
      insert_site_(std::make_unique<Statement>(
          db,
          "INSERT into site (site_no, species_id, capture_date, study_id) VALUES (?, "
          "?, ?, ?)")),
      site_numbers_(std::make_unique<Statement>(
          db,
          "SELECT spectrum_no, pathname FROM spectrum where species_id = ? AND "
          "site_id = ? AND study_id = ?")),
      site_position_(std::make_unique<Statement>(
          db,
          "UPDATE site set longitude = (SELECT avg(longitude) FROM spectrum where "
          "site_id = ?), latitude = (SELECT avg(latitude) FROM spectrum where "
          "site_id = ?), altitude = (SELECT avg(altitude) FROM spectrum where "
          "site_id = ?) where site_id = ?")) {}

SpectraImportRepository::~SpectraImportRepository() = default;

int64_t SpectraImportRepository::FindSpecies(const std::string& folder_name, int study_id) {
    Statement& find = *find_species_;
    int id = 0;
    std::array<char, kFolderNameBytes> name{};
    find.SetText(0, folder_name);
    find.SetInt(1, study_id);
    find.BindResultInt(0, &id);
    find.BindResultBlob(1, name.data(), static_cast<unsigned long>(name.size()));
    find.Execute();
    int64_t species_id = 0;
    while (find.Fetch()) {
        const std::string stored(name.data(), std::min<size_t>(find.Length(1), name.size()));
        if (stored == folder_name) species_id = id;
    }
    return species_id;
}

int64_t SpectraImportRepository::InsertSpecies(const std::string& folder_name, int study_id) {
    Statement& insert = *insert_species_;
    insert.SetText(0, folder_name);
    insert.SetInt(1, study_id);
    insert.Execute();
    return insert.InsertId();
}

int64_t SpectraImportRepository::FindSite(int64_t species_id, int site_no, int study_id) {
    Statement& find = *find_site_;
    int id = 0;
    find.SetInt(0, Low32(species_id));
    find.SetInt(1, site_no);
    find.SetInt(2, study_id);
    find.BindResultInt(0, &id);
    find.Execute();
    int64_t site_id = 0;
    while (find.Fetch()) site_id = id;
    return site_id;
}

int64_t SpectraImportRepository::InsertSite(int site_no, int64_t species_id,
                                            const std::string& capture_date, int study_id) {
    Statement& insert = *insert_site_;
    insert.SetInt(0, site_no);
    insert.SetInt(1, Low32(species_id));
    if (capture_date.empty())
        insert.SetNull(2);
    else
        insert.SetText(2, capture_date);
    insert.SetInt(3, study_id);
    insert.Execute();
    return insert.InsertId();
}

std::map<int, std::string> SpectraImportRepository::SpectrumNumbers(int64_t species_id,
                                                                    int64_t site_id, int study_id) {
    std::map<int, std::string> numbers;
    Statement& stored = *site_numbers_;
    int number = 0;
    std::vector<char> path(kPathBytes);
    stored.SetInt(0, Low32(species_id));
    stored.SetInt(1, Low32(site_id));
    stored.SetInt(2, study_id);
    stored.BindResultInt(0, &number);
    stored.BindResultBlob(1, path.data(), kPathBytes);
    stored.Execute();
    while (stored.Fetch())
        numbers[number] = std::string(path.data(), std::min(stored.Length(1), kPathBytes));
    return numbers;
}

Statement& SpectraImportRepository::InsertSpectraStatement(size_t rows) {
    // One statement per row count, prepared when first needed.
    std::unique_ptr<Statement>& stmt = insert_spectra_[rows];
    if (!stmt) {
        std::string sql =
            "INSERT into spectrum(species_id, site_id, spectrum_no, latitude, longitude, "
            "altitude, study_id, asd_comment, pathname, reflectances) VALUES ";
        for (size_t i = 0; i < rows; ++i)
            sql += i ? ", (?, ?, ?, ?, ?, ?, ?, ?, ?, ?)" : "(?, ?, ?, ?, ?, ?, ?, ?, ?, ?)";
        stmt = std::make_unique<Statement>(db_, sql);
    }
    return *stmt;
}

void SpectraImportRepository::InsertSpectra(int64_t species_id, int64_t site_id, int study_id,
                                            const std::vector<NewSpectrumRow>& rows) {
    // Spectra go in several rows per statement, since the round trip costs more than the row.
    constexpr size_t kBatch = 16;
    std::vector<std::string> blobs;
    for (size_t first = 0; first < rows.size(); first += kBatch) {
        const size_t count = std::min(kBatch, rows.size() - first);
        Statement& insert = InsertSpectraStatement(count);
        // Blobs are held here until the statement has run.
        blobs.assign(count, std::string());
        for (size_t r = 0; r < count; ++r) {
            const NewSpectrumRow& row = rows[first + r];
            const unsigned at = static_cast<unsigned>(r * 10);
            insert.SetInt(at, Low32(species_id));
            insert.SetInt(at + 1, Low32(site_id));
            insert.SetInt(at + 2, row.spectrum_no);
            const double position[] = {row.latitude, row.longitude, row.altitude};
            for (unsigned k = 0; k < 3; ++k) {
                if (std::isfinite(position[k]))
                    insert.SetDouble(at + 3 + k, position[k]);
                else
                    insert.SetNull(at + 3 + k);
            }
            insert.SetInt(at + 6, study_id);
            insert.SetText(at + 7, row.comment);
            insert.SetText(at + 8, row.path);
            // The row and its reflectances go in one statement, so they can never land apart.
            blobs[r] = EncodeFloats(row.reflectances, kSpectrumBands);
            insert.SetBlob(at + 9, blobs[r].data(), static_cast<unsigned long>(blobs[r].size()));
        }
        insert.Execute();
    }
}

void SpectraImportRepository::UpdateSitePosition(int64_t site_id) {
    Statement& position = *site_position_;
    for (unsigned k = 0; k < 4; ++k) position.SetInt(k, Low32(site_id));
    position.Execute();
}

}  // namespace orvane
