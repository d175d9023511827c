// SPDX-License-Identifier: GPL-3.0-or-later
#include "chain/chain_stage.h"

#include <string>

#include "base/orvane_error.h"

namespace orvane {

const std::vector<StageDeclaration>& Stages() {
    static const std::vector<StageDeclaration> stages = {
        {Stage::kRaw, "raw", "Raw", StageAxis::kGrid, Stage::kRaw, ReadStoredValues},
        {Stage::kFiltered, "filtered", "Filtered", StageAxis::kGrid, Stage::kRaw,
         ApplyStudyFilter},
        {Stage::kSmoothed, "smoothed", "Smoothed", StageAxis::kGrid, Stage::kFiltered,
         ApplySmoothing},
        {Stage::kSynthesized, "synth", "Synthesized", StageAxis::kSensor, Stage::kSmoothed,
         SynthesizeSensor},
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

std::optional<Stage> StageFromWord(const std::string& word) {
    for (const StageDeclaration& s : Stages())
        if (word == s.word) return s.id;
    return std::nullopt;
}

}  // namespace orvane
