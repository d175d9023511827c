// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "chain/chain_definition.h"
#include "chain/chain_stage.h"
#include "chain/classifiers.h"
#include "chain/compiled_chain.h"
#include "spectra/waveband_filter.h"
#include "spectra/band_vector.h"
#include "spectra/sensor.h"
#include "store/account_rights.h"
#include "store/database.h"

namespace orvane {

class ChainSpecRepository;
class ConfigFile;
class FeatureSpace;

// What the user is working on: the connection, the current study, the sensors and the choices
// of the processing chain, with the chain they make compiled once per change and shared with
// every computation that runs it (`Compiled()`). The settings are read from and written to the
// study's rows through the repositories as they change.
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

    // From now on the session makes no rows: settings the study has no row for get a new
    // row's values and no id (ChainSpecRepository), for a client that only reads.
    void SetReadOnly() { read_only_ = true; }

    // The account's role and the studies it edits, read when the session opened.
    const AccountRights& Rights() const { return rights_; }
    // Whether the account may change the current study's rows. When it may not, choosing a
    // smoothing, derivative or stage mode the study has no row for makes no row: the chain
    // takes a new row's values in memory, as for a client that only reads.
    bool MayChangeStudy() const { return rights_.MayChangeStudy(study_id_); }

    Database& Db() { return *db_; }
    const Database& Db() const { return *db_; }

    // --- the chain as a value ----------------------------------------------------------------
    // Everything the current chain computes from, and the chain compiled from it. A computation
    // holds the shared pointer; the session's later changes make a new one and leave it be.
    const ChainSpec& Settings() const { return compiled_->Settings(); }
    const std::shared_ptr<const CompiledChain>& Compiled() const { return compiled_; }

    // --- study -----------------------------------------------------------------------------
    void SetStudy(int study_id);
    int StudyId() const { return study_id_; }
    const std::string& StudyName() const { return study_name_; }
    int MinSpectraPerSpecies() const { return min_spectra_; }

    // --- waveband filters and masks --------------------------------------------------------
    // Reads the study's filter again (after the filter dialogs stored a change).
    void LoadStudyFilter();
    const WavebandFilter* StudyFilter() const { return &Settings().study_filter; }
    int WavebandFilterId() const { return Settings().study_filter.FilterId(); }
    const WavebandFilter& DefaultFilter() const { return default_filter_; }
    const BandVector& FilterMask() const { return compiled_->FilterMask(); }
    const BandVector& SmoothingMask() const { return compiled_->SmoothingMask(); }
    const BandVector* SensorMask() const { return compiled_->SensorMask(); }
    const BandVector* DerivativeMask() const { return compiled_->DerivativeMask(); }

    // --- sensors ---------------------------------------------------------------------------
    void LoadSensors();
    void SetSensor(int sensor_id);
    void AddSensor(std::unique_ptr<Sensor> sensor);
    // Drops a deleted sensor from the list; when it was current the first remaining one
    // becomes current (none when the list is empty).
    void RemoveSensor(int sensor_id);
    const Sensor* CurrentSensor() const { return current_sensor_.get(); }
    const std::vector<std::shared_ptr<const Sensor>>& Sensors() const { return sensors_; }
    bool HasSensor() const { return current_sensor_ != nullptr; }
    // The synthesis onto the current sensor's bands, prepared with the chain.
    const SensorSynthesis* Synthesis() const { return compiled_->Synthesis(); }
    // Throws OrvaneError with a clear message when there is no sensor to process with.
    void RequireSensor() const;

    // --- smoothing -------------------------------------------------------------------------
    void SetSmoothingType(int type);
    int SmoothingType() const { return Settings().smoothing.type; }
    int SmoothingFilterId() const { return Settings().smoothing.filter_id; }
    // Sets and stores the window of the current Savitzky-Golay smoothing; throws OrvaneError
    // (changing nothing) when the order is too high for the window or the type has none.
    void SetSmoothingWindow(int size, int polynomial_order);

    // --- derivative ------------------------------------------------------------------------
    void SetDerivativeOrder(int order);
    int DerivativeOrder() const { return Settings().derivative.order; }
    int DerivativeId() const { return Settings().derivative.id; }
    // Both store the change with a new changed_at, so libraries built before become stale;
    // both throw OrvaneError (changing nothing) without a derivative or for settings that
    // cannot compute.
    void SetDerivativeMethod(int method);
    void SetDerivativeWindow(int size, int polynomial_order);

    // --- feature space and classifier ------------------------------------------------------
    void SetFeatureSpaceType(int type);
    int FeatureSpaceType() const { return fs_type_; }
    const std::string& FeatureSpaceTypeName() const { return fs_type_name_; }
    // 0 leaves no feature space; another id loads it (and maps DI/NTBI to the sensor).
    void SetFeatureSpace(int feature_space_id);
    const FeatureSpace* CurrentFeatureSpace() const { return Settings().feature_space.get(); }
    int FeatureSpaceId() const { return Settings().FeatureSpaceId(); }
    void SetClassifier(Classifier classifier) { classifier_ = classifier; }
    Classifier ClassifierInUse() const { return classifier_; }

    // --- optional stages --------------------------------------------------------------------
    // Switches an optional stage to a mode of its declaration (0 off); throws OrvaneError for
    // a stage without option or a mode it lacks. Libraries are kept per mode.
    void SetStageMode(Stage stage, int mode);
    int StageMode(Stage stage) const { return Settings().Setting(stage).mode; }
    // The current study's own pairs of a stage (empty: the stage's defaults).
    const StagePairs& StagePairsOf(Stage stage) const { return Settings().Setting(stage).pairs; }
    // Checks the pairs by the stage's rule and stores them as the study's; the libraries built
    // before with the stage on are out of date from then on.
    void SetStagePairs(Stage stage, const StagePairs& pairs);
    std::string StageOptionKey() const { return Settings().StageOptionKey(); }

    // Called after every change that alters what the chain computes (sensor, smoothing,
    // derivative, waveband filter), so a form can refresh its feature-space list and library.
    void SetChainChangedListener(std::function<void()> listener) {
        chain_changed_ = std::move(listener);
    }
    void NotifyChainChanged();

    // Problems met while loading (for example a sensor of an unknown response type), after
    // what the connection has to say about its protection.
    const std::vector<std::string>& Warnings() const { return warnings_; }

  private:
    void Initialise(ConfigFile* config);
    void ReadDefaultFilter(ConfigFile& config);
    void UseSensor(std::shared_ptr<const Sensor> sensor);
    void LoadStageSettings();
    void ReloadDerivative();
    // Compiles `next` and makes it current; throws OrvaneError (keeping the current chain)
    // when it cannot compute.
    void Adopt(ChainSpec next);
    // The same for a change of one part that is stored first, with `store`.
    template <class Part>
    void AdoptStored(ChainSpec next, void (ChainSpecRepository::*store)(const Part&),
                     Part ChainSpec::*part);
    const StageOption& OptionOf(Stage stage) const;
    ChainSpecRepository Repository();

    std::unique_ptr<Database> db_;
    std::shared_ptr<const CompiledChain> compiled_;
    WavebandFilter default_filter_;
    std::vector<std::shared_ptr<const Sensor>> sensors_;
    std::shared_ptr<const Sensor> current_sensor_;
    int fs_type_ = 0;
    std::string fs_type_name_;
    Classifier classifier_ = Classifier::kMahalanobis;
    int study_id_ = 0;
    std::string study_name_;
    int min_spectra_ = 0;
    std::function<void()> chain_changed_;
    std::vector<std::string> warnings_;
    bool read_only_ = false;
    AccountRights rights_;
};

}  // namespace orvane
