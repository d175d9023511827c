// SPDX-License-Identifier: GPL-3.0-or-later
#include "store/sensor_repository.h"

#include "store/database.h"
#include "store/name_lookup.h"

namespace orvane {

std::vector<std::pair<int, int>> SensorRepository::AllWithResponseType() {
    std::vector<std::pair<int, int>> sensors;
    ResultSet rows = db_.Query(
        "SELECT sensor_id, type FROM sensor s, sensor_response_type srt where "
        "s.sensor_response_type_id = srt.sensor_response_type_id");
    while (rows.Next()) sensors.emplace_back(rows.Int(0), rows.Int(1));
    return sensors;
}

std::optional<StoredSensor> SensorRepository::Find(int sensor_id) {
    ResultSet rows = db_.Query(
        Sql("SELECT s.name, description, type FROM sensor s, sensor_response_type srt where "
            "sensor_id = %i and s.sensor_response_type_id = srt.sensor_response_type_id",
            sensor_id));
    std::optional<StoredSensor> found;
    while (rows.Next()) found = StoredSensor{rows.String(0), rows.String(1), rows.Int(2)};
    return found;
}

std::optional<std::string> SensorRepository::Name(int sensor_id) {
    std::string name;
    if (!db_.QueryText(Sql("SELECT name FROM sensor where sensor_id = %i", sensor_id), name))
        return std::nullopt;
    return name;
}

std::optional<int> SensorRepository::ResponseTypeId(int type) {
    int type_id = 0;
    if (!db_.QueryInt(
            Sql("SELECT sensor_response_type_id FROM sensor_response_type where type = %i", type),
            type_id))
        return std::nullopt;
    return type_id;
}

std::vector<std::pair<int, std::string>> SensorRepository::SimilarNames(const std::string& name) {
    return orvane::SimilarNames(db_, kSensorNames, name);
}

int SensorRepository::Insert(const std::string& name, const std::string& description,
                             int response_type_id) {
    Statement insert(
        db_, "INSERT into sensor (name, description, sensor_response_type_id) values (?, ?, ?)");
    insert.SetText(0, name);
    insert.SetText(1, description);
    insert.SetInt(2, response_type_id);
    insert.Execute();
    return static_cast<int>(insert.InsertId());
}

std::vector<StoredGaussianElement> SensorRepository::CalibratedGaussianElements(int sensor_id) {
    // Ordered by insertion, so the elements keep the order of the definition file.
    ResultSet rows = db_.Query(
        Sql("SELECT band_no, avg_wavelength, fwhm, calibrated FROM sensor_element where "
            "sensor_id = %i and calibrated = 1 order by sensor_element_id",
            sensor_id));
    std::vector<StoredGaussianElement> elements;
    elements.reserve(rows.RowCount());
    while (rows.Next())
        elements.push_back({rows.Int(0), rows.Real(1), rows.Real(2), rows.Int(3) != 0});
    return elements;
}

void SensorRepository::InsertGaussianElements(
    int sensor_id, const std::vector<StoredGaussianElement>& elements) {
    Statement insert(db_,
                     "INSERT into sensor_element (band_no, avg_wavelength, fwhm, calibrated, "
                     "sensor_id) values (?, ?, ?, ?, ?)");
    for (const StoredGaussianElement& e : elements) {
        insert.SetInt(0, e.band_no);
        insert.SetDouble(1, e.avg_wavelength);
        insert.SetDouble(2, e.fwhm);
        insert.SetInt(3, e.calibrated ? 1 : 0);
        insert.SetInt(4, sensor_id);
        insert.Execute();
    }
}

std::vector<std::string> SensorRepository::RatioBands(int sensor_id) {
    std::vector<std::string> bands;
    ResultSet rows = db_.Query(
        Sql("SELECT band_no FROM sensor_element where sensor_id = %i group by band_no "
            "order by min(sensor_element_id)",
            sensor_id));
    while (rows.Next()) bands.push_back(rows.String(0));
    return bands;
}

std::vector<std::pair<double, double>> SensorRepository::RatioSamples(int sensor_id,
                                                                      const std::string& band) {
    std::vector<std::pair<double, double>> samples;
    // The band is the server's own text of an int column, so it needs no escaping.
    ResultSet rows = db_.Query(
        Sql("SELECT avg_wavelength, ratio FROM sensor_element where sensor_id = %i and "
            "band_no = %s order by sensor_element_id",
            sensor_id, band.c_str()));
    while (rows.Next()) samples.emplace_back(rows.Real(0), rows.Real(1));
    return samples;
}

void SensorRepository::InsertRatioSamples(int sensor_id,
                                          const std::vector<StoredRatioSample>& samples) {
    Statement insert(db_,
                     "INSERT into sensor_element (band_no, avg_wavelength, ratio, sensor_id) "
                     "values (?, ?, ?, ?)");
    for (const StoredRatioSample& s : samples) {
        insert.SetInt(0, s.band_no);
        insert.SetDouble(1, s.wavelength);
        insert.SetDouble(2, s.ratio);
        insert.SetInt(3, sensor_id);
        insert.Execute();
    }
}

SensorDependents SensorRepository::Dependents(int sensor_id) {
    SensorDependents d;
    db_.QueryInt(Sql("select count(*) from library where sensor_id = %i", sensor_id), d.libraries);
    db_.QueryInt(Sql("select count(*) from pca_data where sensor_id = %i", sensor_id), d.analyses);
    return d;
}

void SensorRepository::DeleteWithDependents(int sensor_id) {
    Transaction tx(db_);
    db_.Execute(Sql("delete from statistic where library_id in (select library_id from library "
                    "where sensor_id = %i)",
                    sensor_id));
    db_.Execute(Sql("delete from library where sensor_id = %i", sensor_id));
    db_.Execute(Sql("delete from pca_data where sensor_id = %i", sensor_id));
    db_.Execute(Sql("delete from sensor_element where sensor_id = %i", sensor_id));
    db_.Execute(Sql("delete from sensor where sensor_id = %i", sensor_id));
    tx.Commit();
}

}  // namespace orvane
