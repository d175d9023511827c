// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "chain/chain_settings.h"
#include "chain/chain_stage.h"
#include "chain/classifiers.h"
#include "spectra/waveband_filter.h"
#include "spectra/band_vector.h"
#include "spectra/sensor.h"
#include "store/database.h"

namespace orvane {

class ConfigFile;

class DerivativeSettings;
class FeatureSpace;
class SensorSynthesis;
class SmoothingFilter;

// What the user is working on: the connection, the current study, the sensors and every
// setting of the processing chain, with the masks the chain derives from them. Every
// component reads its selections from here at the moment it works.
class ProcessingSession {
  public:
    // Connects with the configuration's values (throws ConnectError with the server's text),
    // reads the configured default filter, loads the sensors and the first study's id.
    explicit ProcessingSession(ConfigFile& config);
    // For an already open connection; `config` may be null (no default filter).
    ProcessingSession(std::unique_ptr<Database> db, ConfigFile* config);
    ~ProcessingSession();
    ProcessingSession(const ProcessingSession&) = delete;
    ProcessingSession& operator=(const ProcessingSession&) = delete;

    Database& Db() { return *db_; }
    const Database& Db() const { return *db_; }

    // --- study -----------------------------------------------------------------------------
    void SetStudy(int study_id);
    int StudyId() const { return study_id_; }
    const std::string& StudyName() const { return study_name_; }
    int MinSpectraPerSpecies() const { return min_spectra_; }

    // --- waveband filters and masks --------------------------------------------------------
    void LoadStudyFilter();
    const WavebandFilter* StudyFilter() const { return study_filter_.get(); }
    int WavebandFilterId() const { return study_filter_ ? study_filter_->FilterId() : 0; }
    const WavebandFilter& DefaultFilter() const { return default_filter_; }
    const WavebandFilter* SmoothingAdjustedFilter() const { return smoothing_adjusted_; }
    const WavebandFilter* DerivativeAdjustedFilter() const { return derivative_adjusted_; }
    void RegisterAdjustedFilter(FilterContext context, const WavebandFilter* filter);
    const BandVector& FilterMask() const { return *filter_mask_; }
    // The same verdicts as one byte per grid band (1 excluded), for the per-spectrum pass.
    const std::vector<unsigned char>& FilterExcluded() const { return filter_excluded_; }
    const BandVector& SmoothingMask() const { return *smoothing_mask_; }
    const BandVector* SensorMask() const { return sensor_mask_.get(); }
    const BandVector* DerivativeMask() const { return derivative_mask_.get(); }

    // --- sensors ---------------------------------------------------------------------------
    void LoadSensors();
    void SetSensor(int sensor_id);
    void AddSensor(std::unique_ptr<Sensor> sensor);
    // Drops a deleted sensor from the list; when it was current the first remaining one
    // becomes current (none when the list is empty).
    void RemoveSensor(int sensor_id);
    Sensor* CurrentSensor() const { return current_sensor_; }
    const std::vector<std::unique_ptr<Sensor>>& Sensors() const { return sensors_; }
    bool HasSensor() const { return current_sensor_ != nullptr; }
    // The synthesis onto the current sensor's bands, prepared once per sensor change.
    const SensorSynthesis* Synthesis() const { return synthesis_.get(); }
    // Throws OrvaneError with a clear message when there is no sensor to process with.
    void RequireSensor() const;

    // --- smoothing -------------------------------------------------------------------------
    void SetSmoothingType(int type);
    int SmoothingType() const { return smoothing_type_; }
    SmoothingFilter* Smoothing() const { return smoothing_filter_.get(); }
    int SmoothingFilterId() const;
    // The study's smoothing_filter row of a type, created with size 31 and order 4 for the
    // Savitzky-Golay types when missing; 0 for type 0 without a row.
    int SmoothingFilterIdForType(int type);

    // --- derivative ------------------------------------------------------------------------
    void SetDerivativeOrder(int order);
    int DerivativeOrder() const { return derivative_order_; }
    int DerivativeId() const { return derivative_id_; }
    int DerivativeIdForOrder(int order);
    DerivativeSettings* Derivative() const { return derivative_settings_.get(); }
    void RefreshDerivative();

    // --- feature space and classifier ------------------------------------------------------
    void SetFeatureSpaceType(int type);
    int FeatureSpaceType() const { return fs_type_; }
    const std::string& FeatureSpaceTypeName() const { return fs_type_name_; }
    // 0 leaves no feature space; another id loads it (and maps DI/NTBI to the sensor).
    void SetFeatureSpace(int feature_space_id);
    FeatureSpace* CurrentFeatureSpace() const { return feature_space_.get(); }
    int FeatureSpaceId() const;
    void SetClassifier(Classifier classifier) { classifier_ = classifier; }
    Classifier ClassifierInUse() const { return classifier_; }

    // --- optional stages --------------------------------------------------------------------
    // Switches an optional stage to a mode of its declaration (0 off); throws OrvaneError for
    // a stage without option or a mode it lacks. Libraries are kept per mode.
    void SetStageMode(Stage stage, int mode);
    int StageMode(Stage stage) const;
    // The current study's own pairs of a stage (empty: the stage's defaults).
    const StagePairs& StagePairsOf(Stage stage) const;
    // Checks the pairs by the stage's rule and stores them as the study's; the libraries built
    // before with the stage on are out of date from then on.
    void SetStagePairs(Stage stage, const StagePairs& pairs);
    // The ids of the study's rows of the stages that are on, ascending, joined by commas: the
    // part of a library's key they make ("" with every optional stage off).
    std::string StageOptionKey() const;

    // The chain's current settings as a value a computation can hold; valid until the next
    // change of the chain's settings.
    orvane::ChainSettings ChainSnapshot() const;

    // Called after every change that alters what the chain computes (sensor, smoothing,
    // derivative, waveband filter), so a form can refresh its feature-space list and library.
    void SetChainChangedListener(std::function<void()> listener) {
        chain_changed_ = std::move(listener);
    }
    // The listener set now, so a computation that switches the chain for a while (the sensor
    // comparison) can hold it off and give it back.
    const std::function<void()>& ChainChangedListener() const { return chain_changed_; }
    void NotifyChainChanged();

    // Problems met while loading (for example a sensor of an unknown response type), after
    // what the connection has to say about its protection.
    const std::vector<std::string>& Warnings() const { return warnings_; }

  private:
    void Initialise(ConfigFile* config);
    void ReadDefaultFilter(ConfigFile& config);
    void RebuildSmoothingFilter();
    void UseSensor(Sensor* sensor);
    void ComputeFilterMask();
    void ComputeSmoothingMask();
    void ComputeSensorMask();
    void ComputeDerivativeMask();
    void LoadStageSettings();
    const StageOption& OptionOf(Stage stage) const;

    std::unique_ptr<Database> db_;
    std::unique_ptr<WavebandFilter> study_filter_;
    WavebandFilter default_filter_;
    const WavebandFilter* smoothing_adjusted_ = nullptr;
    const WavebandFilter* derivative_adjusted_ = nullptr;
    std::vector<std::unique_ptr<Sensor>> sensors_;
    Sensor* current_sensor_ = nullptr;
    std::unique_ptr<SensorSynthesis> synthesis_;
    std::unique_ptr<SmoothingFilter> smoothing_filter_;
    std::unique_ptr<FeatureSpace> feature_space_;
    std::unique_ptr<BandVector> filter_mask_;
    std::vector<unsigned char> filter_excluded_;
    std::unique_ptr<BandVector> smoothing_mask_;
    std::unique_ptr<BandVector> sensor_mask_;
    std::unique_ptr<BandVector> derivative_mask_;
    int smoothing_type_ = 0;
    std::unique_ptr<DerivativeSettings> derivative_settings_;
    int fs_type_ = 0;
    std::string fs_type_name_;
    Classifier classifier_ = Classifier::kMahalanobis;
    int study_id_ = 0;
    std::string study_name_;
    int min_spectra_ = 0;
    int derivative_order_ = 0;
    int derivative_id_ = 0;
    // By stage number; the ids of the study's stage_option rows of the stages that are on.
    std::vector<StageSetting> stage_settings_;
    std::vector<int> stage_option_ids_;
    std::function<void()> chain_changed_;
    std::vector<std::string> warnings_;
};

}  // namespace orvane
