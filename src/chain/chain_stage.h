// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <optional>
#include <string>
#include <utility>
#include <vector>

namespace orvane {

class BandVector;
struct StepInput;

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
    kSpliced = 7,
    kContinuumRemoved = 8,
};

// What a stage's values lie on: the 1 nm grid, the current sensor's elements, or the feature
// space's dimensions.
enum class StageAxis { kGrid, kSensor, kFeatures };

// A stage's step: computes `output` (which it reshapes to its axis; a buffer of the previous
// spectrum is reused) from its input stage's values and the compiled chain, with the running
// thread's work space (`step`). A band without value is NaN in both. Throws OrvaneError when
// the chain lacks what it needs.
using StageStep = void (*)(const StepInput& step, const BandVector& input, BandVector& output);

// A step that reads the spectrum's stored values itself instead of its input stage.
using StoredStep = void (*)(const StepInput& step, BandVector& output);

// The wavelength pairs a study stores for an optional stage, as the stage reads them.
using StagePairs = std::vector<std::pair<int, int>>;

// The chain option that switches an optional stage on: its command-line word, the label of its
// menu, the words of its modes (the first is off: the stage then passes its input on unchanged,
// bit for bit), what the study's stored wavelength pairs mean for it, what the stage uses
// without them, and the check of a new list of them (throws OrvaneError naming the pair it
// refuses).
struct StageOption {
    const char* word;
    const char* label;
    std::vector<const char*> modes;
    const char* pairs;
    const char* default_pairs;
    void (*check_pairs)(const StagePairs& pairs);
};

// One stage as both faces show it and the chain computes it: the word the command line takes,
// the label the window shows, the axis its values lie on, the stage it is computed from
// (itself for the raw stage), its step (none for the features, which the chain computes
// from the derived stage by the feature space's type), for an optional stage its option, and
// optionally the same step from the stored values, which the chain takes when every stage
// between the raw one and this one is off: one pass instead of two.
struct StageDeclaration {
    Stage id;
    const char* word;
    const char* label;
    StageAxis axis;
    Stage input;
    StageStep apply;
    std::optional<StageOption> option = std::nullopt;
    StoredStep from_stored = nullptr;
};

// Every stage in the order lists show them: raw, spliced, filtered, smoothed,
// continuum-removed, synth, synth-interpolated, derived, features.
const std::vector<StageDeclaration>& Stages();
const StageDeclaration& Declaration(Stage stage);
// Whether a stage is a spectrum over bands (every stage but the features).
inline bool HasBands(Stage stage) { return stage != Stage::kFeatures; }
inline bool OnSensorAxis(Stage stage) { return Declaration(stage).axis == StageAxis::kSensor; }
// Whether a stage needs a sensor: the synthesized stage and everything computed from it.
bool NeedsSensor(Stage stage);

// The stages that have a chain option, in list order.
std::vector<const StageDeclaration*> OptionalStages();
// The mode number of an option's word (case-insensitive); throws OrvaneError naming the
// choices.
int ParseStageMode(const StageOption& option, const std::string& word);

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
void ReadStoredValues(const StepInput&, const BandVector&, BandVector&);
void ApplyStudyFilter(const StepInput&, const BandVector&, BandVector&);
void FilterStoredValues(const StepInput&, BandVector&);
void ApplySmoothing(const StepInput&, const BandVector&, BandVector&);
void SynthesizeSensor(const StepInput&, const BandVector&, BandVector&);
void InterpolateSynthesized(const StepInput&, const BandVector&, BandVector&);
void ApplyDerivative(const StepInput&, const BandVector&, BandVector&);

// Splice correction (chain/splice_correction.cpp), additive: the detectors meet at joins
// (a, b), a the last band of one detector and b the first band of the next; the study's joins,
// by default (1000, 1001) and (1800, 1801). Joins are taken in wavelength order and the first
// detector is the reference. At a join, the least-squares line y = m x + c through the already
// corrected values of the 10 bands a-9 .. a that have a value is extrapolated to b, and every
// band after a is shifted by d = (m b + c) - v(b):
//     m = sum (x - mean x)(y - mean y) / sum (x - mean x)^2,   m b + c = mean y + m (b - mean x).
// A join with fewer than two values to fit or none at b shifts nothing. Off, the raw values
// pass unchanged.
void ApplySpliceCorrection(const StepInput&, const BandVector&, BandVector&);
void CheckSpliceJoins(const StagePairs& joins);
// The joins a study without its own uses.
const StagePairs& DefaultSpliceJoins();

// Continuum removal (chain/continuum_removal.cpp): within each of the study's continuum ranges
// (by default one range over the whole grid), every run of bands with a value gets the upper
// convex hull of its points (wavelength, value), and each band's value becomes value / hull,
// the hull taken by linear interpolation between its vertices, so a band on the hull gives 1.
// A band without value ends a run; bands outside every range, and bands where the hull is not
// above zero, have no value. Off, the smoothed values pass unchanged.
void RemoveContinuum(const StepInput&, const BandVector&, BandVector&);
void CheckContinuumRanges(const StagePairs& ranges);

}  // namespace orvane
