// SPDX-License-Identifier: GPL-3.0-or-later
#include "store/library_repository.h"

#include <cmath>
#include <unordered_map>

#include "store/array_codec.h"
#include "store/database.h"

namespace orvane {

namespace {

std::string FindSql(const LibraryKey& key) {
    return Sql("select library_id from library l where l.feature_space_id = %i and "
               "l.smoothing_filter_id = %i and l.derivative_id = %i and l.sensor_id = %i and "
               "l.study_id = %i and l.stage_options = '%s'",
               key.feature_space, key.smoothing_filter, key.derivative, key.sensor, key.study,
               key.stage_options.c_str());
}

}  // namespace

std::string StageOptionsOlderThan(const char* table) {
    return Sql("not exists (select 1 from stage_option so where find_in_set(so.stage_option_id, "
               "%s.stage_options) and so.changed_at >= %s.build_date)",
               table, table);
}

std::optional<int> LibraryRepository::Find(const LibraryKey& key) {
    int id = 0;
    if (!db_.QueryInt(FindSql(key), id)) return std::nullopt;
    return id;
}

std::optional<int> LibraryRepository::FindCurrent(const LibraryKey& key,
                                                  std::optional<int> pca_data_id) {
    // Beside the chain settings, the study's spectra: an import or a disabled spectrum after
    // the build leaves the library out of date.
    std::string sql = Sql(
        "select library_id from library l, feature_space fs, smoothing_filter sf, derivative d, "
        "waveband_filter wf, study st where l.feature_space_id = fs.feature_space_id and l.build_date > "
        "fs.build_date and l.feature_space_id = %i and l.build_date > sf.changed_at and "
        "sf.smoothing_filter_id = l.smoothing_filter_id and sf.smoothing_filter_id = %i and "
        "l.derivative_id = d.derivative_id and l.build_date > d.changed_at and d.derivative_id = "
        "%i and l.sensor_id = %i and l.study_id = %i and l.build_date > wf.changed_at and "
        "l.waveband_filter_id = wf.waveband_filter_id and wf.waveband_filter_id = %i and "
        "st.study_id = l.study_id and (st.spectra_changed_at is null or l.build_date > "
        "st.spectra_changed_at) and l.stage_options = '%s' and %s",
        key.feature_space, key.smoothing_filter, key.derivative, key.sensor, key.study,
        key.waveband_filter, key.stage_options.c_str(), StageOptionsOlderThan("l").c_str());
    if (pca_data_id)
        sql += Sql(" and l.build_date > (select build_date from pca_data where pca_data_id = %i)",
                   *pca_data_id);
    int id = 0;
    if (!db_.QueryInt(sql, id)) return std::nullopt;
    return id;
}

bool LibraryRepository::OlderThanSpectra(int library_id) {
    int spectra_changed = 0;
    db_.QueryInt(Sql("select count(*) from library l, study st where l.library_id = %i "
                     "and st.study_id = l.study_id and l.build_date <= "
                     "st.spectra_changed_at",
                     library_id),
                 spectra_changed);
    return spectra_changed > 0;
}

int LibraryRepository::StampBuild(const LibraryKey& key) {
    int library_id = 0;
    if (!db_.QueryInt(FindSql(key), library_id)) {
        db_.Execute(Sql("INSERT into library (feature_space_id, study_id, smoothing_filter_id, "
                        "derivative_id, sensor_id, waveband_filter_id, stage_options, "
                        "build_date) VALUES (%i, %i, %i, %i, %i, %i, '%s', "
                        "CURRENT_TIMESTAMP(6))",
                        key.feature_space, key.study, key.smoothing_filter, key.derivative,
                        key.sensor, key.waveband_filter, key.stage_options.c_str()));
        return static_cast<int>(db_.InsertId());
    }
    db_.Execute(Sql("UPDATE library set build_date = CURRENT_TIMESTAMP(6) where library_id = %i",
                    library_id));
    return library_id;
}

std::vector<int> LibraryRepository::SpeciesOfStudy(int study_id) {
    std::vector<int> ids;
    ResultSet rows = db_.Query(Sql("SELECT species_id FROM species WHERE study_id = %i", study_id));
    while (rows.Next()) ids.push_back(rows.Int(0));
    return ids;
}

std::vector<int> LibraryRepository::StoreStatistics(int library_id,
                                                   const std::vector<StatisticRow>& rows) {
    // A rebuild reuses the library's rows; one statement, prepared once, stores every class.
    std::unordered_map<int, int> existing;
    {
        ResultSet found = db_.Query(Sql(
            "SELECT species_id, statistic_id FROM statistic where library_id = %i", library_id));
        while (found.Next()) existing[found.Int(0)] = found.Int(1);
    }
    Statement update(db_,
                     "UPDATE statistic SET no_of_samples = ?, mean = ?, cov = ?, shrinkage = ? "
                     "WHERE statistic_id = ?");
    std::vector<int> ids;
    for (const StatisticRow& row : rows) {
        auto found = existing.find(row.species_id);
        if (found == existing.end()) {
            db_.Execute(Sql("INSERT into statistic (library_id, species_id, no_of_samples) "
                            "VALUES (%i, %i, %i)",
                            library_id, row.species_id, row.no_of_samples));
            found = existing.emplace(row.species_id, static_cast<int>(db_.InsertId())).first;
        }
        // The pooled covariance weighs each class by this count: it must be the one the
        // statistics come from, also when the row is from an earlier build.
        update.SetInt(0, row.no_of_samples);
        const std::string mean_bytes = EncodeMatrix(row.mean);
        const std::string cov_bytes = EncodeMatrix(row.cov);
        update.SetBlob(1, mean_bytes.data(), static_cast<unsigned long>(mean_bytes.size()));
        update.SetBlob(2, cov_bytes.data(), static_cast<unsigned long>(cov_bytes.size()));
        if (std::isfinite(row.shrinkage))
            update.SetDouble(3, row.shrinkage);
        else
            update.SetNull(3);
        update.SetInt(4, found->second);
        update.Execute();
        ids.push_back(found->second);
    }
    return ids;
}

void LibraryRepository::DeleteStatisticsExcept(int library_id, const std::vector<int>& kept) {
    if (kept.empty()) {
        db_.Execute(Sql("delete from statistic where library_id = %i", library_id));
        return;
    }
    std::string list;
    for (int id : kept) list += (list.empty() ? "" : ", ") + std::to_string(id);
    db_.Execute(Sql("delete from statistic where library_id = %i and species_id not in (%s)",
                    library_id, list.c_str()));
}

int LibraryRepository::StatisticCount(int library_id) {
    int count = 0;
    db_.QueryInt(Sql("SELECT count(*) FROM statistic s, library l WHERE s.library_id = "
                     "l.library_id AND l.library_id = %i",
                     library_id),
                 count);
    return count;
}

std::optional<std::string> LibraryRepository::BuildDateEpoch(int library_id) {
    std::string epoch;
    if (!db_.QueryText(
            Sql("select unix_timestamp(build_date) from library where library_id = %i", library_id),
            epoch))
        return std::nullopt;
    return epoch;
}

std::vector<StoredLibraryClass> LibraryRepository::Classes(int library_id, int dimension) {
    // Two round trips for the whole library, not a few per class.
    std::vector<StoredLibraryClass> loaded;
    {
        ResultSet rows = db_.Query(
            Sql("SELECT statistic_id, common_name, latin_name, maori_name, folder_name, "
                "sp.species_id, no_of_samples, mean, cov from statistic st, species sp WHERE "
                "st.library_id = %i AND st.species_id = sp.species_id ORDER BY folder_name",
                library_id));
        while (rows.Next()) {
            StoredLibraryClass c;
            c.statistic_id = rows.Int(0);
            if (!rows.IsNull(1)) c.common_name = rows.String(1);
            if (!rows.IsNull(2)) c.latin_name = rows.String(2);
            if (!rows.IsNull(3)) c.maori_name = rows.String(3);
            c.folder_name = rows.String(4);
            c.species_id = rows.Int(5);
            c.no_of_samples = rows.Int(6);
            c.mean.ReSize(dimension, 1);
            c.cov.ReSize(dimension, dimension);
            const std::string what = "the statistics of species " + c.folder_name;
            DecodeMatrix(rows.String(7), c.mean, "mean of " + what);
            DecodeMatrix(rows.String(8), c.cov, "covariance of " + what);
            loaded.push_back(std::move(c));
        }
    }
    // The binary protocol keeps every bit of the intensity.
    Statement shrinkage(db_,
                        "SELECT statistic_id, shrinkage FROM statistic WHERE library_id = ? AND "
                        "shrinkage IS NOT NULL");
    shrinkage.BindIntParams({library_id});
    int statistic_id = 0;
    double value = 0.0;
    shrinkage.BindResultInt(0, &statistic_id);
    shrinkage.BindResultDouble(1, &value);
    shrinkage.Execute();
    std::unordered_map<int, double> intensity;
    while (shrinkage.Fetch()) intensity[statistic_id] = value;
    for (StoredLibraryClass& c : loaded) {
        const auto found = intensity.find(c.statistic_id);
        if (found != intensity.end()) c.shrinkage = found->second;
    }
    return loaded;
}

}  // namespace orvane
