#include "app/processing_session.h"

#include <cstdio>
#include <cstdlib>

#include "app/config_file.h"

namespace orvane {

ProcessingSession::ProcessingSession(ConfigFile& config)
    : db_(std::make_unique<Database>(config.Connection())) {
    Initialise(&config);
}

ProcessingSession::ProcessingSession(std::unique_ptr<Database> db, ConfigFile* config)
    : db_(std::move(db)) {
    Initialise(config);
}

ProcessingSession::~ProcessingSession() = default;

void ProcessingSession::Initialise(ConfigFile* config) {
    if (config) ReadDefaultFilter(*config);
    LoadStudyFilter();
    LoadSensors();
    db_->QueryInt("SELECT study_id FROM study LIMIT 1", study_id_);
}

void ProcessingSession::ReadDefaultFilter(ConfigFile& config) {
    default_filter_.Clear();
    int band = 0;
    while (config.GetInteger("filter_b", band)) default_filter_.AddBand(band);
    std::string range;
    while (config.GetString("filter_br", range)) {
        int lower = 0;
        int upper = 0;
        if (std::sscanf(range.c_str(), "%d %d", &lower, &upper) == 2)
            default_filter_.AddRange(lower, std::abs(upper));
    }
}

void ProcessingSession::LoadStudyFilter() {
    auto filter = std::make_unique<WavebandFilter>();
    filter->Load(*db_, study_id_);
    study_filter_ = std::move(filter);
}

void ProcessingSession::LoadSensors() {
    std::vector<std::unique_ptr<Sensor>> loaded;
    std::vector<std::string> warnings;
    ResultSet rows = db_->Query(
        "SELECT sensor_id, type FROM sensor s, sensor_response_type srt where "
        "s.sensor_response_type_id = srt.sensor_response_type_id");
    std::vector<std::pair<int, int>> ids;
    while (rows.Next()) ids.emplace_back(rows.Int(0), rows.Int(1));
    for (const auto& [id, type] : ids) {
        std::unique_ptr<Sensor> sensor = MakeSensor(type);
        if (!sensor) {
            warnings.push_back("Sensor " + std::to_string(id) + " has the unknown response type " +
                               std::to_string(type) + " and was not loaded.");
            continue;
        }
        sensor->Load(*db_, id);
        loaded.push_back(std::move(sensor));
    }
    sensors_ = std::move(loaded);
    warnings_ = std::move(warnings);
    current_sensor_ = sensors_.empty() ? nullptr : sensors_.front().get();
}

void ProcessingSession::SetStudy(int study_id) {
    study_id_ = study_id;
    ResultSet rows = db_->Query(
        Sql("select min_no_of_spec_per_endmember, name from study where study_id = %i", study_id));
    while (rows.Next()) {
        min_spectra_ = rows.Int(0);
        study_name_ = rows.String(1);
    }
    LoadStudyFilter();
}

void ProcessingSession::SetSensor(int sensor_id) {
    if (sensors_.empty()) return;
    Sensor* chosen = sensors_.back().get();
    for (const auto& s : sensors_) {
        if (s->SensorId() == sensor_id) {
            chosen = s.get();
            break;
        }
    }
    current_sensor_ = chosen;
}

void ProcessingSession::AddSensor(std::unique_ptr<Sensor> sensor) {
    sensors_.push_back(std::move(sensor));
    if (!current_sensor_) current_sensor_ = sensors_.back().get();
}

}  // namespace orvane
