// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <array>
#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "spectra/band_vector.h"
#include "store/array_codec.h"
#include "base/matrix.h"

namespace orvane {

class Database;
class Site;
class Species;

struct CaptureTime {
    int year = 0;   // calendar year, for example 2018
    int month = 0;  // 1..12
    int day = 0;
    int hour = 0;
    int minute = 0;
    int second = 0;
};

// Stage numbers of the processing chain.
enum ProcessingStage {
    kStageRaw = 0,
    kStageFiltered = 1,
    kStageSmoothed = 2,
    kStageSynthesized = 3,
    kStageDerived = 4,
    kStageFeatures = 5,
    kStageInterpolated = 6,
};

enum FeatureType { kFeatureDI = 0, kFeatureNTBI = 1, kFeaturePCT = 2 };

// One field measurement: its metadata, the stored reflectances and one vector per stage of
// the chain. The chain (chain/processing_chain.h) fills the stages from the raw values on every
// request.
class Spectrum {
public:
    Spectrum();
    virtual ~Spectrum();
    Spectrum(const Spectrum&) = delete;
    Spectrum& operator=(const Spectrum&) = delete;

    std::string DisplayName() const { return dummy_ ? "dummy" : name_; }

    // Fills the raw stage from the stored float reflectances (value i at 350 + i nm).
    void SetReflectances(const float* values);
    void UpdateRawStage();

    void ResetFeatures();

    std::string name_;
    int number_ = 0;
    // The database id of a stored spectrum (0 for one read from a file): the order
    // cross-validation assigns folds by.
    int64_t spectrum_id_ = 0;
    std::array<float, kSpectrumBands> reflectances_{};
    std::unique_ptr<BandVector> raw_;
    std::unique_ptr<BandVector> filtered_;
    std::unique_ptr<BandVector> smoothed_;
    std::unique_ptr<BandVector> synthesized_;
    std::unique_ptr<BandVector> interpolated_;
    std::unique_ptr<BandVector> derived_;
    double latitude_ = 0.0;
    double longitude_ = 0.0;
    double altitude_ = 0.0;
    CaptureTime capture_time_;
    std::string comment_;
    // What the reader found impossible in the file's header and left out (a position off the
    // globe, a time that is no time), one sentence each.
    std::vector<std::string> read_notes_;
    std::string path_;
    int dummy_ = 1;
    Database* connection_ = nullptr;
    Site* parent_site_ = nullptr;
    Species* parent_species_ = nullptr;
    std::array<std::unique_ptr<Matrix>, 3> features_;
};

}  // namespace orvane
