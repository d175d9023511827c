// SPDX-License-Identifier: GPL-3.0-or-later
#include "forms/export_form.h"

namespace orvane {

std::vector<StageDeclaration> ExportForm::StageChoices() {
    std::vector<StageDeclaration> choices;
    for (const StageDeclaration& s : Stages())
        if (s.id != Stage::kInterpolated) choices.push_back(s);
    return choices;
}

std::vector<const char*> ExportForm::NumberFormatLabels() {
    std::vector<const char*> labels;
    for (const auto& c : kNumberFormats) labels.push_back(c.label);
    return labels;
}

void ExportForm::ChooseStage(Stage stage) {
    settings.stage = stage;
    if (!InterpolateEnabled()) interpolate_ = false;
}

void ExportForm::SetInterpolate(bool on) { interpolate_ = on && InterpolateEnabled(); }

ExportSettings ExportForm::RunSettings() const {
    ExportSettings run = settings;
    if (interpolate_) run.stage = Stage::kInterpolated;
    run.offset_percent = offset_checked ? offset_value : 0;
    run.ids = settings.ids && IdsEnabled();
    run.Validate();
    return run;
}

}  // namespace orvane
