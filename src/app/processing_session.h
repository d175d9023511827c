#pragma once

#include <memory>
#include <string>
#include <vector>

#include "chain/waveband_filter.h"
#include "spectra/sensor.h"
#include "store/database.h"

namespace orvane {

class ConfigFile;

// What the user is working on: the connection, the current study, the sensors and the
// current sensor, and the study's waveband filter. Every component reads its selections from
// here at the moment it works.
class ProcessingSession {
public:
    // Connects with the configuration's values (throws DbError with the server's text), reads
    // the configured default filter, loads the sensors and the first study's id.
    explicit ProcessingSession(ConfigFile& config);
    // For an already open connection; `config` may be null (no default filter).
    ProcessingSession(std::unique_ptr<Database> db, ConfigFile* config);
    ~ProcessingSession();
    ProcessingSession(const ProcessingSession&) = delete;
    ProcessingSession& operator=(const ProcessingSession&) = delete;

    Database& Db() { return *db_; }
    const Database& Db() const { return *db_; }

    void SetStudy(int study_id);
    int StudyId() const { return study_id_; }
    const std::string& StudyName() const { return study_name_; }
    int MinSpectraPerSpecies() const { return min_spectra_; }

    void LoadStudyFilter();
    const WavebandFilter* StudyFilter() const { return study_filter_.get(); }
    const WavebandFilter& DefaultFilter() const { return default_filter_; }

    void LoadSensors();
    void SetSensor(int sensor_id);
    void AddSensor(std::unique_ptr<Sensor> sensor);
    Sensor* CurrentSensor() const { return current_sensor_; }
    const std::vector<std::unique_ptr<Sensor>>& Sensors() const { return sensors_; }
    bool HasSensor() const { return current_sensor_ != nullptr; }
    // Problems met while loading (for example a sensor of an unknown response type).
    const std::vector<std::string>& Warnings() const { return warnings_; }

private:
    void Initialise(ConfigFile* config);
    void ReadDefaultFilter(ConfigFile& config);

    std::unique_ptr<Database> db_;
    std::unique_ptr<WavebandFilter> study_filter_;
    WavebandFilter default_filter_;
    std::vector<std::unique_ptr<Sensor>> sensors_;
    Sensor* current_sensor_ = nullptr;
    int study_id_ = 0;
    std::string study_name_;
    int min_spectra_ = 0;
    std::vector<std::string> warnings_;
};

}  // namespace orvane
