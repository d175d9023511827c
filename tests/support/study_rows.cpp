// SPDX-License-Identifier: GPL-3.0-or-later
#include "support/study_rows.h"

#include "store/array_codec.h"

namespace orvane::test {

namespace {
std::string Quoted(Database& db, const std::optional<std::string>& text) {
    return text ? "'" + db.Escape(*text) + "'" : std::string("NULL");
}
}  // namespace

int InsertStudy(Database& db, const std::string& name, const std::string& datapath) {
    db.Execute(
        Sql("insert into study (name, description, datapath, min_no_of_spec_per_endmember) "
            "values ('%s', '', '%s', 3)",
            db.Escape(name).c_str(), db.Escape(datapath).c_str()));
    return static_cast<int>(db.InsertId());
}

int InsertStudyWithChainRows(Database& db, const std::string& name, int min_spectra) {
    const int id = InsertStudy(db, name);
    db.Execute(Sql("update study set min_no_of_spec_per_endmember = %i where study_id = %i",
                   min_spectra, id));
    db.Execute(
        Sql("insert into smoothing_filter (study_id, sf_type_id, changed_at) values (%i, "
            "(select sf_type_id from smoothing_filter_type where type = 0), "
            "current_timestamp(6))",
            id));
    db.Execute(
        Sql("insert into derivative (study_id, deriv_calc_method_id, changed_at) values "
            "(%i, (select deriv_calc_method_id from derivative_calc_method where type = 2), "
            "current_timestamp(6))",
            id));
    db.Execute(
        Sql("insert into waveband_filter (study_id, changed_at) values (%i, "
            "current_timestamp(6))",
            id));
    return id;
}

int InsertSpecies(Database& db, int study_id, const std::string& folder,
                  const std::optional<std::string>& common, const std::optional<std::string>& latin,
                  const std::optional<std::string>& maori) {
    db.Execute(
        Sql("insert into species (study_id, folder_name, common_name, latin_name, "
            "maori_name) values (%i, '%s', %s, %s, %s)",
            study_id, db.Escape(folder).c_str(), Quoted(db, common).c_str(),
            Quoted(db, latin).c_str(), Quoted(db, maori).c_str()));
    return static_cast<int>(db.InsertId());
}

int InsertSite(Database& db, int study_id, int species_id, int site_no) {
    db.Execute(Sql("insert into site (site_no, species_id, study_id) values (%i, %i, %i)", site_no,
                   species_id, study_id));
    return static_cast<int>(db.InsertId());
}

int InsertWavebandFilter(Database& db, int study_id,
                         const std::vector<std::pair<int, int>>& ranges) {
    db.Execute(Sql("insert into waveband_filter (study_id) values (%i)", study_id));
    const int filter_id = static_cast<int>(db.InsertId());
    for (const auto& [lower, upper] : ranges)
        db.Execute(
            Sql("insert into waveband_filter_range (study_id, waveband_filter_id, "
                "lower_wavelength, upper_wavelength) values (%i, %i, %i, %i)",
                study_id, filter_id, lower, upper));
    return filter_id;
}

int InsertSpectrum(Database& db, int study_id, int species_id, int site_id, const SpectrumValues& v,
                   const std::string& reflectances) {
    db.Execute(
        Sql("insert into spectrum (species_id, site_id, study_id, spectrum_no, latitude, "
            "longitude, altitude, asd_comment, pathname, disabled) values (%i, %i, %i, "
            "%i, %.17g, %.17g, %.17g, '', '', %i)",
            species_id, site_id, study_id, v.spectrum_no, v.latitude, v.longitude, v.altitude,
            v.disabled));
    const int id = static_cast<int>(db.InsertId());
    if (!reflectances.empty())
        db.WriteBlob(Sql("UPDATE spectrum SET reflectances = ? WHERE spectrum_id = %d", id),
                     reflectances.data(), reflectances.size());
    return id;
}

void InsertConstantSpectra(Database& db, int study_id, int species_id,
                           const std::vector<std::pair<int, std::vector<float>>>& sites) {
    int number = 1;
    for (const auto& [site_no, values] : sites) {
        const int site = InsertSite(db, study_id, species_id, site_no);
        for (float v : values) {
            SpectrumValues row;
            row.spectrum_no = number++;
            InsertSpectrum(db, study_id, species_id, site, row,
                           Blob(std::vector<float>(kSpectrumBands, v)));
        }
    }
}

std::vector<float> DistinctReflectances(int seed) {
    std::vector<float> values(kSpectrumBands);
    for (int i = 0; i < kSpectrumBands; ++i)
        values[static_cast<size_t>(i)] = 0.01f * static_cast<float>(seed) +
                                         1e-4f * static_cast<float>(i) +
                                         1.0f / static_cast<float>(3 + i);
    return values;
}

std::string Blob(const std::vector<float>& values) {
    return EncodeFloats(values.data(), values.size());
}

}  // namespace orvane::test
