// SPDX-License-Identifier: GPL-3.0-or-later
#include "chain/chain_stage.h"
#include "base/choice_words.h"

#include <cctype>
#include <string>

#include "base/orvane_error.h"

namespace orvane {

const std::vector<StageDeclaration>& Stages() {
    static const std::vector<StageDeclaration> stages = {
        {Stage::kRaw, "raw", "Raw", StageAxis::kGrid, Stage::kRaw, ReadStoredValues},
        {Stage::kSpliced, "spliced", "Spliced", StageAxis::kGrid, Stage::kRaw,
         ApplySpliceCorrection,
         StageOption{"splice", "Splice Correction", {"off", "additive"},
                     "splice joins, each the last band of one detector and the first of the next",
                     "1000-1001 1800-1801", CheckSpliceJoins}},
        {Stage::kFiltered, "filtered", "Filtered", StageAxis::kGrid, Stage::kSpliced,
         ApplyStudyFilter, std::nullopt, FilterStoredValues},
        {Stage::kSmoothed, "smoothed", "Smoothed", StageAxis::kGrid, Stage::kFiltered,
         ApplySmoothing},
        {Stage::kContinuumRemoved, "continuum-removed", "Continuum Removed", StageAxis::kGrid,
         Stage::kSmoothed, RemoveContinuum,
         StageOption{"continuum", "Continuum Removal", {"off", "on"}, "continuum ranges",
                     "the whole valid range", CheckContinuumRanges}},
        {Stage::kSynthesized, "synth", "Synthesized", StageAxis::kSensor,
         Stage::kContinuumRemoved, SynthesizeSensor},
        {Stage::kInterpolated, "synth-interpolated", "Synthesized, interpolated",
         StageAxis::kGrid, Stage::kSynthesized, InterpolateSynthesized},
        {Stage::kDerived, "derived", "Derived", StageAxis::kSensor, Stage::kSynthesized,
         ApplyDerivative},
        {Stage::kFeatures, "features", "Feature Space", StageAxis::kFeatures, Stage::kDerived,
         nullptr},
    };
    return stages;
}

const StageDeclaration& Declaration(Stage stage) {
    for (const StageDeclaration& s : Stages())
        if (s.id == stage) return s;
    throw OrvaneError("Unknown processing stage " + std::to_string(static_cast<int>(stage)) +
                      ".");
}

bool NeedsSensor(Stage stage) {
    for (Stage s = stage; s != Stage::kRaw; s = Declaration(s).input)
        if (s == Stage::kSynthesized) return true;
    return false;
}

std::vector<const StageDeclaration*> OptionalStages() {
    std::vector<const StageDeclaration*> optional;
    for (const StageDeclaration& s : Stages())
        if (s.option) optional.push_back(&s);
    return optional;
}

int ParseStageMode(const StageOption& option, const std::string& word) {
    std::string list;
    for (size_t i = 0; i < option.modes.size(); ++i) {
        if (SameWord(word, option.modes[i])) return static_cast<int>(i);
        list += (i ? ", " : "") + std::string(option.modes[i]);
    }
    throw OrvaneError("Unknown " + AsciiLower(option.label) + " \"" + word + "\"; choose one of " +
                      list + ".");
}

std::optional<Stage> StageFromWord(const std::string& word) {
    for (const StageDeclaration& s : Stages())
        if (SameWord(word, s.word)) return s.id;
    return std::nullopt;
}

}  // namespace orvane
