// SPDX-License-Identifier: GPL-3.0-or-later
#include "store/chain_settings_repository.h"

#include "store/database.h"

namespace orvane {

namespace {

std::optional<std::string> Text(Database& db, const std::string& sql) {
    std::string text;
    if (!db.QueryText(sql, text)) return std::nullopt;
    return text;
}

std::optional<int> Int(Database& db, const std::string& sql) {
    int value = 0;
    if (!db.QueryInt(sql, value)) return std::nullopt;
    return value;
}

}  // namespace

std::optional<std::string> ChainSettingsRepository::SmoothingTypeName(int type) {
    return Text(db_, Sql("select name from smoothing_filter_type where type = %i", type));
}

std::optional<std::string> ChainSettingsRepository::DerivativeMethodName(int type) {
    return Text(db_, Sql("select name from derivative_calc_method where type = %i", type));
}

std::optional<std::string> ChainSettingsRepository::FeatureSpaceTypeName(int type) {
    return Text(db_, Sql("select name from feature_space_type where type = %i", type));
}

std::optional<StoredSmoothing> ChainSettingsRepository::Smoothing(int filter_id) {
    std::optional<StoredSmoothing> found;
    ResultSet rows =
        db_.Query(Sql("select filter_size, polynomial_order, type from smoothing_filter sf, "
                      "smoothing_filter_type sft where sf.sf_type_id = sft.sf_type_id and "
                      "smoothing_filter_id = %i",
                      filter_id));
    while (rows.Next()) found = StoredSmoothing{rows.Int(0), rows.Int(1), rows.Int(2)};
    return found;
}

std::optional<int> ChainSettingsRepository::SmoothingId(int study_id, int type) {
    return Int(db_, Sql("SELECT smoothing_filter_id FROM smoothing_filter sf, "
                        "smoothing_filter_type sft "
                        "where study_id = %i and sf.sf_type_id = sft.sf_type_id and sft.type = %i",
                        study_id, type));
}

int ChainSettingsRepository::InsertSmoothing(int study_id, int type) {
    db_.Execute(
        Sql("INSERT INTO smoothing_filter (filter_size, polynomial_order, changed_at, "
            "sf_type_id, study_id) values (31, 4, CURRENT_TIMESTAMP(6), (select sf_type_id id "
            "from smoothing_filter_type where type = %i), %i)",
            type, study_id));
    return static_cast<int>(db_.InsertId());
}

void ChainSettingsRepository::UpdateSmoothingWindow(int filter_id, int size, int polynomial_order) {
    db_.Execute(
        Sql("UPDATE smoothing_filter set filter_size = %i, polynomial_order = %i, "
            "changed_at = CURRENT_TIMESTAMP(6) where smoothing_filter_id = %i",
            size, polynomial_order, filter_id));
}

std::optional<StoredDerivative> ChainSettingsRepository::Derivative(int derivative_id) {
    std::optional<StoredDerivative> found;
    ResultSet rows = db_.Query(
        Sql("select polynomial_order, filter_size, derivative_order, type from derivative d, "
            "derivative_calc_method dcm where derivative_id = %i and "
            "d.deriv_calc_method_id = dcm.deriv_calc_method_id",
            derivative_id));
    while (rows.Next())
        found = StoredDerivative{rows.Int(0), rows.Int(1), rows.Int(2), rows.Int(3)};
    return found;
}

std::optional<int> ChainSettingsRepository::DerivativeId(int study_id, int order) {
    return Int(db_, Sql("SELECT derivative_id FROM derivative where study_id = %i and "
                        "derivative_order = %i",
                        study_id, order));
}

int ChainSettingsRepository::InsertDerivative(int study_id, int order, int polynomial_order,
                                              int size, int method) {
    db_.Execute(
        Sql("INSERT INTO derivative (polynomial_order, filter_size, derivative_order, "
            "changed_at, deriv_calc_method_id, study_id) values (%i, %i, %i, "
            "CURRENT_TIMESTAMP(6), (select deriv_calc_method_id from "
            "derivative_calc_method where type = %i), %i)",
            polynomial_order, size, order, method, study_id));
    return static_cast<int>(db_.InsertId());
}

void ChainSettingsRepository::UpdateDerivativeMethod(int derivative_id, int method) {
    db_.Execute(
        Sql("UPDATE derivative set deriv_calc_method_id = (select deriv_calc_method_id from "
            "derivative_calc_method where type = %i), changed_at = CURRENT_TIMESTAMP(6) where "
            "derivative_id = %i",
            method, derivative_id));
}

void ChainSettingsRepository::UpdateDerivativeWindow(int derivative_id, int polynomial_order,
                                                     int size) {
    db_.Execute(
        Sql("UPDATE derivative set polynomial_order = %i, filter_size = %i, "
            "changed_at = CURRENT_TIMESTAMP(6) where derivative_id = %i",
            polynomial_order, size, derivative_id));
}

StoredFilterRanges ChainSettingsRepository::FilterRanges(int study_id) {
    StoredFilterRanges stored;
    db_.QueryInt(
        Sql("select waveband_filter_id from waveband_filter where study_id = %i", study_id),
        stored.filter_id);
    ResultSet rows = db_.Query(Sql(
        "select lower_wavelength, upper_wavelength from waveband_filter_range where study_id = %i",
        study_id));
    while (rows.Next()) stored.ranges.emplace_back(rows.Int(0), rows.Int(1));
    return stored;
}

void ChainSettingsRepository::ReplaceFilterRanges(int study_id,
                                                  const std::vector<std::pair<int, int>>& ranges) {
    Transaction tx(db_);
    db_.Execute(Sql("delete from waveband_filter_range where study_id = %i", study_id));
    for (const auto& [lower, upper] : ranges) {
        db_.Execute(
            Sql("insert into waveband_filter_range (study_id, waveband_filter_id, "
                "lower_wavelength, upper_wavelength) values (%i, (select "
                "waveband_filter_id from waveband_filter where study_id = %i), %i, %i)",
                study_id, study_id, lower, upper));
    }
    db_.Execute(
        Sql("update waveband_filter set changed_at = current_timestamp(6) where "
            "study_id = %i",
            study_id));
    tx.Commit();
}

}  // namespace orvane
