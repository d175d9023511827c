// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <map>
#include <memory>

#include "chain/chain_definition.h"

namespace orvane {

class Database;
enum class Stage;

// The choices a chain is made of, as a user makes them: each names stored rows, which the
// repository reads into a ChainSpec.
struct ChainChoices {
    int study = 0;
    int sensor = 0;  // 0: none
    int smoothing_type = 0;
    int derivative_order = 0;
    int feature_space = 0;  // 0: none
    std::map<Stage, int> stage_modes;
};

// Reads and writes the settings of chains: a study's waveband filter, smoothing and derivative
// rows, its optional stages' rows and pairs, and the feature space with its PCA transform.
// The rows themselves are store/'s; this is where they become a ChainSpec and back.
class ChainSpecRepository {
  public:
    // `make_rows` false reads only: a smoothing, derivative or stage mode the study has no row
    // for gets the settings a new row would have and id 0, so no stored library or analysis
    // answers for it.
    explicit ChainSpecRepository(Database& db, bool make_rows = true)
        : db_(db), make_rows_(make_rows) {}

    // A whole definition for the choices; throws OrvaneError for a study, sensor or feature space
    // without a row, and for a PCT feature space without a current analysis of the chain.
    ChainSpec Load(const ChainChoices& choices);

    WavebandFilter StudyFilter(int study_id);
    // The study's smoothing row of a type, made with size 31 and order 4 for the
    // Savitzky-Golay types when missing (filter id 0 for type 0 without a row).
    SmoothingSettings Smoothing(int study_id, int type);
    // The study's derivative row of an order, made when missing.
    DerivativeSettings Derivative(int study_id, int order);
    // The study's pairs of every optional stage and the rows of the modes `definition` has on.
    void LoadStages(int study_id, ChainSpec& definition);
    // The stage_option row of a mode other than off (0 for off or without a study).
    int StageOptionId(int study_id, Stage stage, int mode);
    // The feature space, mapped to the definition's sensor (DI, NTBI) or with the PCA transform
    // stored for the definition's chain (PCT); null for id 0.
    std::shared_ptr<const FeatureSpace> FeatureSpaceFor(const ChainSpec& definition, int id);

    void SaveSmoothingWindow(const SmoothingSettings& smoothing);
    void SaveDerivativeMethod(const DerivativeSettings& derivative);
    void SaveDerivativeWindow(const DerivativeSettings& derivative);

  private:
    Database& db_;
    bool make_rows_;
};

// A copy of the feature space mapped to another sensor (DI and NTBI ranges start at the
// sensor's element nearest to their first wavelength); a PCT space is returned as it is.
std::shared_ptr<const FeatureSpace> MappedFeatureSpace(
    const std::shared_ptr<const FeatureSpace>& fs, const Sensor* sensor);

}  // namespace orvane
