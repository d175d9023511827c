// SPDX-License-Identifier: GPL-3.0-or-later
#include "store/feature_space_repository.h"

#include <map>

#include "store/array_codec.h"
#include "store/database.h"
#include "store/library_repository.h"
#include "store/name_lookup.h"

namespace orvane {

bool FeatureSpaceRepository::Exists(int feature_space_id) {
    int n = 0;
    db_.QueryInt(
        Sql("select count(*) from feature_space where feature_space_id = %i", feature_space_id), n);
    return n > 0;
}

std::vector<FeatureSpaceSummary> FeatureSpaceRepository::All() {
    std::vector<FeatureSpaceSummary> all;
    ResultSet rows = db_.Query(
        "select feature_space_id, fst.name, dimension, fs.name from feature_space fs, "
        "feature_space_type fst where fs.fs_type_id = fst.fs_type_id order by fst.type, "
        "dimension, feature_space_id");
    while (rows.Next()) all.push_back({rows.Int(0), rows.String(1), rows.Int(2), rows.String(3)});
    return all;
}

std::vector<std::pair<std::string, int>> FeatureSpaceRepository::OfTypeUpTo(int type,
                                                                           int max_dimension) {
    std::vector<std::pair<std::string, int>> items;
    ResultSet rows = db_.Query(
        Sql("SELECT fs.name, feature_space_id FROM feature_space fs, feature_space_type fst "
            "where fs.fs_type_id = fst.fs_type_id and type = %i and dimension <= %i order by "
            "dimension",
            type, max_dimension));
    while (rows.Next()) items.emplace_back(rows.String(0), rows.Int(1));
    return items;
}

int FeatureSpaceRepository::Resolve(const std::string& name_or_id, std::optional<int> type) {
    if (!type) return ResolveByNameOrId(db_, kFeatureSpaceNames, name_or_id);
    return ResolveByNameOrId(
        db_, kFeatureSpaceNames, name_or_id,
        Sql("fs_type_id in (select fs_type_id from feature_space_type where type = %i)", *type),
        " of that type");
}

std::optional<StoredFeatureSpace> FeatureSpaceRepository::Find(int feature_space_id) {
    ResultSet rows = db_.Query(
        Sql("select type, dimension, fs.name, fs.description, fst.name, fs.row_version from "
            "feature_space fs, "
            "feature_space_type fst where feature_space_id = %i and fs.fs_type_id = fst.fs_type_id",
            feature_space_id));
    std::optional<StoredFeatureSpace> found;
    while (rows.Next()) {
        StoredFeatureSpace row;
        row.type = rows.Int(0);
        row.dimension = rows.Int(1);
        row.name = rows.String(2);
        row.description = rows.String(3);
        row.type_name = rows.String(4);
        row.row_version = rows.Int(5);
        found = std::move(row);
    }
    return found;
}

std::vector<StoredBandRange> FeatureSpaceRepository::BandRanges(int feature_space_id) {
    std::vector<StoredBandRange> ranges;
    ResultSet rows = db_.Query(Sql(
        "select band1, band2, band_range_id from band_range where feature_space_id = %i",
        feature_space_id));
    while (rows.Next()) ranges.push_back({rows.Int(2), rows.Int(0), rows.Int(1)});
    return ranges;
}

std::optional<std::string> FeatureSpaceRepository::StoredName(int feature_space_id) {
    std::string name;
    if (!db_.QueryText(
            Sql("select name from feature_space where feature_space_id = %i", feature_space_id),
            name))
        return std::nullopt;
    return name;
}

std::vector<std::pair<int, std::string>> FeatureSpaceRepository::SimilarNames(
    int type, const std::string& name, int except_id) {
    return orvane::SimilarNames(
        db_, kFeatureSpaceNames, name,
        Sql("fs_type_id in (select fs_type_id from feature_space_type where type = %i) and "
            "feature_space_id <> %i",
            type, except_id));
}

int FeatureSpaceRepository::Insert(int type, int dimension, const std::string& name,
                                   const std::string& description) {
    const std::string escaped_name = db_.Escape(name);
    const std::string escaped_description = db_.Escape(description);
    db_.Execute(
        Sql("insert into feature_space (dimension, name, description, build_date, "
            "fs_type_id) values (%i, '%s', '%s', current_timestamp(6), (select "
            "fs_type_id from feature_space_type where type = %i))",
            dimension, escaped_name.c_str(), escaped_description.c_str(), type));
    return static_cast<int>(db_.InsertId());
}

bool FeatureSpaceRepository::Update(int feature_space_id, int dimension, const std::string& name,
                                    const std::string& description, int read_version) {
    const std::string escaped_name = db_.Escape(name);
    const std::string escaped_description = db_.Escape(description);
    const std::string version =
        read_version > 0 ? Sql(" and row_version = %i", read_version) : std::string();
    db_.Execute(
        Sql("update feature_space set dimension = %i, build_date = "
            "current_timestamp(6), name = '%s', description = '%s' where "
            "feature_space_id = %i%s",
            dimension, escaped_name.c_str(), escaped_description.c_str(), feature_space_id,
            version.c_str()));
    // The triggers stamp every update, so a matched row always counts as changed.
    return db_.AffectedRows() > 0;
}

void FeatureSpaceRepository::ReplaceBandRanges(int feature_space_id, bool edited,
                                               const std::vector<StoredBandRange>& ranges) {
    const int id = feature_space_id;
    std::map<int, std::pair<int, int>> stored;
    if (edited) {
        ResultSet rows = db_.Query(Sql(
            "select band_range_id, band1, band2 from band_range where feature_space_id = %i", id));
        while (rows.Next()) stored[rows.Int(0)] = {rows.Int(1), rows.Int(2)};
    }
    for (const StoredBandRange& r : ranges) {
        auto row = stored.find(r.band_range_id);
        if (r.band_range_id == 0 || row == stored.end()) {
            db_.Execute(
                Sql("insert into band_range (band1, band2, feature_space_id) values "
                    "(%i, %i, %i)",
                    r.wavelength1, r.wavelength2, id));
            continue;
        }
        if (row->second != std::make_pair(r.wavelength1, r.wavelength2))
            db_.Execute(Sql("update band_range set band1 = %i, band2 = %i where band_range_id = %i",
                            r.wavelength1, r.wavelength2, r.band_range_id));
        stored.erase(row);
    }
    for (const auto& left_out : stored)
        db_.Execute(Sql("delete from band_range where band_range_id = %i", left_out.first));
}

void FeatureSpaceRepository::DeleteWithLibraries(int feature_space_id) {
    RunInTransaction(db_, [&] {
        db_.Execute(
            Sql("delete from statistic where library_id in (select library_id from "
                "library where feature_space_id = %i)",
                feature_space_id));
        db_.Execute(Sql("delete from library where feature_space_id = %i", feature_space_id));
        db_.Execute(Sql("delete from band_range where feature_space_id = %i", feature_space_id));
        db_.Execute(Sql("delete from feature_space where feature_space_id = %i", feature_space_id));
    });
}

int FeatureSpaceRepository::SmallestPctDimension(int fallback) {
    int m = fallback;
    db_.QueryInt(
        "select min(dimension) from feature_space fs, feature_space_type fst where "
        "fs.fs_type_id = fst.fs_type_id and fst.name = 'PCT'",
        m);
    return m;
}

int FeatureSpaceRepository::FindCurrentPca(const PcaKey& key) {
    int pca = 0;
    db_.QueryInt(
        Sql("SELECT pca_data_id FROM pca_data pca, smoothing_filter sf, derivative d, "
            "waveband_filter wf, study st where pca.study_id = %i and pca.smoothing_filter_id = "
            "sf.smoothing_filter_id and pca.build_date > sf.changed_at and "
            "sf.smoothing_filter_id = %i and pca.derivative_id = d.derivative_id and "
            "d.derivative_id = %i and pca.build_date > d.changed_at and sensor_id = %i and "
            "pca.build_date > wf.changed_at and wf.waveband_filter_id = %i and st.study_id = "
            "pca.study_id and (st.spectra_changed_at is null or pca.build_date > "
            "st.spectra_changed_at) and pca.stage_options = '%s' and %s",
            key.study, key.smoothing_filter, key.derivative, key.sensor, key.waveband_filter,
            key.stage_options.c_str(), StageOptionsOlderThan("pca").c_str()),
        pca);
    return pca;
}

std::pair<int, int> FeatureSpaceRepository::FindPca(const PcaKey& key) {
    int n = 0;
    int pca_id = 0;
    ResultSet rows = db_.Query(
        Sql("select dim, pca_data_id FROM pca_data where sensor_id = %i and study_id = %i and "
            "smoothing_filter_id = %i and derivative_id = %i and stage_options = '%s'",
            key.sensor, key.study, key.smoothing_filter, key.derivative,
            key.stage_options.c_str()));
    while (rows.Next()) {
        n = rows.Int(0);
        pca_id = rows.Int(1);
    }
    return {n, pca_id};
}

bool FeatureSpaceRepository::ReadPca(int pca_data_id, NEWMAT::GeneralMatrix& eigenvalues,
                                     Matrix& eigenvectors) {
    ResultSet rows = db_.Query(
        Sql("SELECT eigenvalues, eigenvectors FROM pca_data where pca_data_id = %i", pca_data_id));
    bool found = false;
    while (rows.Next()) {
        DecodeMatrix(rows.String(0), eigenvalues,
                     "eigenvalues of PCA data " + std::to_string(pca_data_id));
        DecodeMatrix(rows.String(1), eigenvectors,
                     "eigenvectors of PCA data " + std::to_string(pca_data_id));
        found = true;
    }
    return found;
}

int FeatureSpaceRepository::StorePca(const PcaKey& key, const DiagonalMatrix& d,
                                     const Matrix& v) {
    const int b = d.Nrows();
    Transaction tx(db_);
    int id = 0;
    if (!db_.QueryInt(
            Sql("select pca_data_id FROM pca_data where sensor_id = %i and study_id = "
                "%i and smoothing_filter_id = %i and derivative_id = %i and stage_options = '%s'",
                key.sensor, key.study, key.smoothing_filter, key.derivative,
                key.stage_options.c_str()),
            id)) {
        // Microseconds, so that a library built in the same second as the PCA is ordered.
        db_.Execute(
            Sql("insert into pca_data (study_id, dim, sensor_id, smoothing_filter_id, "
                "derivative_id, waveband_filter_id, stage_options, build_date) values (%i, %i, "
                "%i, %i, %i, %i, '%s', current_timestamp(6))",
                key.study, b, key.sensor, key.smoothing_filter, key.derivative,
                key.waveband_filter, key.stage_options.c_str()));
        id = static_cast<int>(db_.InsertId());
    } else {
        db_.Execute(
            Sql("update pca_data set dim = %i, build_date = current_timestamp(6) where "
                "pca_data_id = %i",
                b, id));
    }
    const std::string vectors = EncodeMatrix(v);
    const std::string values = EncodeMatrix(d);
    db_.WriteBlob(Sql("UPDATE pca_data SET eigenvectors = ? WHERE pca_data_id = %i", id),
                  vectors.data(), vectors.size());
    db_.WriteBlob(Sql("UPDATE pca_data SET eigenvalues = ? WHERE pca_data_id = %i", id),
                  values.data(), values.size());
    tx.Commit();
    return id;
}

}  // namespace orvane
