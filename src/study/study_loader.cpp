// SPDX-License-Identifier: GPL-3.0-or-later
#include "study/study_loader.h"

#include <array>

#include <fmt/format.h>

#include "base/orvane_error.h"
#include "chain/processing_session.h"
#include "store/database.h"

namespace orvane {

namespace {
// Statement ids are formatted with their low 32 bits.
int Low32(int64_t id) { return static_cast<int>(static_cast<uint32_t>(id)); }

struct SpectrumRow {
    int spectrum_id = 0;
    int spectrum_no = 0;
    double latitude = 0.0;
    double longitude = 0.0;
    double altitude = 0.0;
    int site_no = 0;
};

// Binds reflectances, spectrum_no, latitude, longitude and altitude, from column `first` on.
void BindSpectrumColumns(Statement& stmt, int first, SpectrumRow& row, float* buffer) {
    stmt.BindResultBlob(first, buffer, kSpectrumBlobBytes);
    stmt.BindResultInt(first + 1, &row.spectrum_no);
    stmt.BindResultDouble(first + 2, &row.latitude);
    stmt.BindResultDouble(first + 3, &row.longitude);
    stmt.BindResultDouble(first + 4, &row.altitude);
}

// The spectrum of the row just fetched. A NULL leaves the bound buffer as the previous row
// filled it, so a NULL position keeps the spectrum's default instead.
std::unique_ptr<Spectrum> FetchedSpectrum(Statement& stmt, int first, const SpectrumRow& row,
                                          const float* buffer) {
    auto spectrum = std::make_unique<Spectrum>();
    spectrum->number_ = row.spectrum_no;
    if (!stmt.IsNull(first + 2)) spectrum->latitude_ = row.latitude;
    if (!stmt.IsNull(first + 3)) spectrum->longitude_ = row.longitude;
    if (!stmt.IsNull(first + 4)) spectrum->altitude_ = row.altitude;
    spectrum->SetReflectances(buffer);
    return spectrum;
}

void CheckBlob(const Statement& stmt, unsigned column, int spectrum_id) {
    if (stmt.IsNull(column) || stmt.Length(column) != kSpectrumBlobBytes)
        throw OrvaneError("Spectrum " + std::to_string(spectrum_id) + " has " +
                          std::to_string(stmt.IsNull(column) ? 0 : stmt.Length(column)) +
                          " bytes of reflectances where 8600 were expected; the row is rejected.");
}
}  // namespace

StudyLoader::StudyLoader(ProcessingSession& session) : session_(session) {}

StudyLoader::~StudyLoader() = default;

void StudyLoader::SetStudy(int study_id) {
    study_id_ = study_id;
    // A study that is not found leaves no path behind, so an import can't go to the last one's.
    data_path_.clear();
    session_.Db().QueryText(Sql("SELECT datapath FROM study where study_id = %i", study_id),
                            data_path_);
}

ImportCounts StudyLoader::ImportStudySpectra(Frontend& frontend) {
    if (data_path_.empty())
        throw OrvaneError(fmt::format("Study {} has no data folder to import from.", study_id_));
    return SpectraImport(session_, frontend).ImportStudySpectra(study_id_, data_path_);
}

std::unique_ptr<Species> StudyLoader::LoadSpecies(int64_t species_id) {
    Database& db = session_.Db();
    const int id = Low32(species_id);
    int site_count = 0;
    db.QueryInt(Sql("SELECT count(*) FROM species s, site site where s.species_id = %i and "
                    "site.species_id = s.species_id",
                    id),
                site_count);
    auto species = std::make_unique<Species>(site_count);
    species->species_id_ = species_id;
    species->connection_ = &db;
    {
        ResultSet rows = db.Query(
            Sql("SELECT common_name, latin_name, maori_name, folder_name FROM species where "
                "species_id = %i",
                id));
        while (rows.Next()) {
            if (!rows.IsNull(0)) species->common_name_ = rows.String(0);
            if (!rows.IsNull(1)) species->latin_name_ = rows.String(1);
            if (!rows.IsNull(2)) species->maori_name_ = rows.String(2);
            species->folder_name_ = rows.String(3);
        }
    }
    std::vector<int64_t> site_ids;
    {
        ResultSet rows = db.Query(Sql("SELECT site_id FROM site where species_id = %i", id));
        while (rows.Next()) site_ids.push_back(std::strtoll(rows.Text(0), nullptr, 10));
    }
    for (int64_t site_id : site_ids) species->AddSite(LoadSite(site_id));
    species->GatherSpectra();
    return species;
}

std::unique_ptr<Site> StudyLoader::LoadSite(int64_t site_id) {
    Database& db = session_.Db();
    const int id = Low32(site_id);
    // One prepared statement reads every enabled spectrum of the site with the site's number
    // in one round trip. The rows are what one LoadSpectrum per id would give, in id order; a
    // site without enabled spectra gives no row and so, as its count query would, number 0.
    if (!site_spectra_) {
        site_spectra_ = std::make_unique<Statement>(
            db,
            "SELECT s.spectrum_id, s.reflectances, s.spectrum_no, s.latitude, s.longitude, "
            "s.altitude, site.site_no FROM spectrum s, site site where s.site_id = ? and "
            "s.disabled = 0 and site.site_id = s.site_id order by s.spectrum_id");
    }
    auto site = std::make_unique<Site>(0, 0);
    Statement& stmt = *site_spectra_;
    SpectrumRow row;
    std::array<float, kSpectrumBands> buffer{};
    stmt.BindIntParams({id});
    stmt.BindResultInt(0, &row.spectrum_id);
    BindSpectrumColumns(stmt, 1, row, buffer.data());
    stmt.BindResultInt(6, &row.site_no);
    stmt.Execute();
    while (stmt.Fetch()) {
        CheckBlob(stmt, 1, row.spectrum_id);
        site->SetSiteNumber(row.site_no);
        std::unique_ptr<Spectrum> spectrum = FetchedSpectrum(stmt, 1, row, buffer.data());
        spectrum->spectrum_id_ = row.spectrum_id;
        site->AddMember(std::move(spectrum));
    }
    return site;
}

std::unique_ptr<Spectrum> StudyLoader::LoadSpectrum(int64_t spectrum_id) {
    Database& db = session_.Db();
    const int id = Low32(spectrum_id);
    if (!one_spectrum_) {
        one_spectrum_ = std::make_unique<Statement>(
            db,
            "SELECT reflectances, spectrum_no, latitude, longitude, altitude FROM spectrum "
            "where spectrum_id = ?");
    }
    Statement& stmt = *one_spectrum_;
    std::unique_ptr<Spectrum> spectrum;
    std::array<float, kSpectrumBands> buffer{};
    SpectrumRow row;
    stmt.BindIntParams({id});
    BindSpectrumColumns(stmt, 0, row, buffer.data());
    stmt.Execute();
    while (stmt.Fetch()) {
        CheckBlob(stmt, 0, id);
        spectrum = FetchedSpectrum(stmt, 0, row, buffer.data());
        spectrum->spectrum_id_ = spectrum_id;
    }
    if (!spectrum)
        throw OrvaneError("There is no spectrum with id " + std::to_string(spectrum_id) + ".");
    return spectrum;
}

}  // namespace orvane
