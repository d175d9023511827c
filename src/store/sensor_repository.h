// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <optional>
#include <string>
#include <utility>
#include <vector>

namespace orvane {

class Database;

// A sensor row with its response type.
struct StoredSensor {
    std::string name;
    std::string description;
    int response_type = 0;
};

// An element row of a sensor with Gaussian responses.
struct StoredGaussianElement {
    int band_no = 0;
    double avg_wavelength = 0.0;
    double fwhm = 0.0;
    bool calibrated = false;
};

// A response sample row of a sensor with ratio responses.
struct StoredRatioSample {
    int band_no = 0;
    double wavelength = 0.0;
    double ratio = 0.0;
};

// What a sensor deletion takes with it.
struct SensorDependents {
    int libraries = 0;
    int analyses = 0;  // principal component analyses
};

// The sensor and sensor_element rows. Numbers are bound as they are, so a stored value is the
// file's value to the last bit.
class SensorRepository {
  public:
    explicit SensorRepository(Database& db) : db_(db) {}

    // Every sensor as (id, response type number), in the server's order.
    std::vector<std::pair<int, int>> AllWithResponseType();
    // The sensor's row; empty when there is none (the last row wins).
    std::optional<StoredSensor> Find(int sensor_id);
    // The stored name alone; empty when there is no such sensor.
    std::optional<std::string> Name(int sensor_id);
    // The id of a response type's row; empty when the schema has none.
    std::optional<int> ResponseTypeId(int type);
    // The sensors whose names a user could not tell from `name` (case and trailing blanks
    // ignored), as (id, name).
    std::vector<std::pair<int, std::string>> SimilarNames(const std::string& name);
    // A new sensor row; returns its id.
    int Insert(const std::string& name, const std::string& description, int response_type_id);

    // The calibrated elements in the order they were stored.
    std::vector<StoredGaussianElement> CalibratedGaussianElements(int sensor_id);
    void InsertGaussianElements(int sensor_id, const std::vector<StoredGaussianElement>& elements);
    // The band numbers of a ratio sensor as the server writes them, in the order they were
    // first stored, and the (wavelength, ratio) samples of one of them in stored order.
    std::vector<std::string> RatioBands(int sensor_id);
    std::vector<std::pair<double, double>> RatioSamples(int sensor_id, const std::string& band);
    void InsertRatioSamples(int sensor_id, const std::vector<StoredRatioSample>& samples);

    SensorDependents Dependents(int sensor_id);
    // Removes the sensor, its elements, and its libraries (with their statistics) and
    // analyses, in one transaction.
    void DeleteWithDependents(int sensor_id);

  private:
    Database& db_;
};

}  // namespace orvane
