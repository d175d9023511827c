// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <array>
#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "base/choice_words.h"
#include "spectra/band_vector.h"
#include "store/array_codec.h"
#include "base/band_grid.h"

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

enum FeatureType { kFeatureDI = 0, kFeatureNTBI = 1, kFeaturePCT = 2 };

// The feature-space types; the words are their usual abbreviations, written in capitals.
inline constexpr Choice<FeatureType> kFeatureTypeChoices[] = {
    {"DI", "DI", kFeatureDI},
    {"NTBI", "NTBI", kFeatureNTBI},
    {"PCT", "PCT", kFeaturePCT},
};
inline constexpr ChoiceTable<FeatureType> kFeatureTypes{kFeatureTypeChoices};

// One field measurement: its metadata and the stored reflectances. The chain
// (chain/processing_chain.h) computes the stages into its own buffers, so a spectrum held in
// memory costs its reflectances and little more.
class Spectrum {
public:
    Spectrum();
    virtual ~Spectrum();
    Spectrum(const Spectrum&) = delete;
    Spectrum& operator=(const Spectrum&) = delete;

    std::string DisplayName() const { return dummy_ ? "dummy" : name_; }

    // Takes the stored float reflectances (value i at 350 + i nm).
    void SetReflectances(const float* values);

    std::string name_;
    int number_ = 0;
    // The database id of a stored spectrum (0 for one read from a file): the order
    // cross-validation assigns folds by.
    int64_t spectrum_id_ = 0;
    std::array<float, kSpectrumBands> reflectances_{};
    // A profile read on a sensor's axis (see study/z_profile_reader.h); null for a spectrum
    // measured on the 1 nm grid.
    std::unique_ptr<BandVector> sensor_profile_;
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
};

}  // namespace orvane
