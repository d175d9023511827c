// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <optional>
#include <string>
#include <vector>

namespace orvane {

class BandVector;
class Spectrum;
struct ChainSettings;

// The stages of the processing chain. The numbers are the ones benchmark dumps and older
// settings files carry, so they stay as they are; a new stage takes the next number.
enum class Stage {
    kRaw = 0,
    kFiltered = 1,
    kSmoothed = 2,
    kSynthesized = 3,
    kDerived = 4,
    kFeatures = 5,
    kInterpolated = 6,
};

// What a stage's values lie on: the 1 nm grid, the current sensor's elements, or the feature
// space's dimensions.
enum class StageAxis { kGrid, kSensor, kFeatures };

// A stage's step: computes `output` (which it reshapes to its axis; a buffer of the previous
// spectrum is reused) from its input stage's values, the settings and the spectrum. A band
// without value is NaN in both. Throws OrvaneError when the settings lack what it needs.
using StageStep = void (*)(const ChainSettings& settings, const Spectrum& spectrum,
                           const BandVector& input, BandVector& output);

// One stage as both faces show it and the chain computes it: the word the command line takes,
// the label the window shows, the axis its values lie on, the stage it is computed from
// (itself for the raw stage) and its step (none for the features, which the chain computes
// from the derived stage by the feature space's type).
struct StageDeclaration {
    Stage id;
    const char* word;
    const char* label;
    StageAxis axis;
    Stage input;
    StageStep apply;
};

// Every stage in the order lists show them: raw, filtered, smoothed, synth,
// synth-interpolated, derived, features.
const std::vector<StageDeclaration>& Stages();
const StageDeclaration& Declaration(Stage stage);
// Whether a stage is a spectrum over bands (every stage but the features).
inline bool HasBands(Stage stage) { return stage != Stage::kFeatures; }
inline bool OnSensorAxis(Stage stage) { return Declaration(stage).axis == StageAxis::kSensor; }
// Whether a stage needs a sensor: the synthesized stage and everything computed from it.
bool NeedsSensor(Stage stage);

// The stage of a command-line word; nullopt for a word no stage has.
std::optional<Stage> StageFromWord(const std::string& word);
// The words of the stages `include` accepts, in list order, joined by `separator`.
template <class Include>
std::string StageWords(Include include, const std::string& separator = "|") {
    std::string words;
    for (const StageDeclaration& s : Stages())
        if (include(s.id)) words += (words.empty() ? "" : separator) + std::string(s.word);
    return words;
}

// The steps of the stages (chain/chain_steps.cpp).
void ReadStoredValues(const ChainSettings&, const Spectrum&, const BandVector&, BandVector&);
void ApplyStudyFilter(const ChainSettings&, const Spectrum&, const BandVector&, BandVector&);
void ApplySmoothing(const ChainSettings&, const Spectrum&, const BandVector&, BandVector&);
void SynthesizeSensor(const ChainSettings&, const Spectrum&, const BandVector&, BandVector&);
void InterpolateSynthesized(const ChainSettings&, const Spectrum&, const BandVector&,
                            BandVector&);
void ApplyDerivative(const ChainSettings&, const Spectrum&, const BandVector&, BandVector&);

}  // namespace orvane
