// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <optional>
#include <string>
#include <vector>

namespace orvane {

// The stages of the processing chain. The numbers are the ones benchmark dumps and older
// settings files carry, so they stay as they are.
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

// One stage as both faces show it: the word the command line takes, the label the window
// shows, and the axis its values lie on. `input` is the stage it is computed from (itself for
// the raw stage).
struct StageDeclaration {
    Stage id;
    const char* word;
    const char* label;
    StageAxis axis;
    Stage input;
};

// Every stage in the order lists show them: raw, filtered, smoothed, synth,
// synth-interpolated, derived, features.
const std::vector<StageDeclaration>& Stages();
const StageDeclaration& Declaration(Stage stage);
// Whether a stage is a spectrum over bands (every stage but the features).
inline bool HasBands(Stage stage) { return stage != Stage::kFeatures; }
inline bool OnSensorAxis(Stage stage) { return Declaration(stage).axis == StageAxis::kSensor; }
// Whether the stage needs a sensor: the synthesized stage and everything computed from it.
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

}  // namespace orvane
