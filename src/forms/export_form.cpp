// SPDX-License-Identifier: GPL-3.0-or-later
#include "forms/export_form.h"

namespace orvane {

void ExportForm::ChooseStage(int stage) {
    settings.stage = stage;
    if (!InterpolateEnabled()) interpolate_ = false;
}

void ExportForm::SetInterpolate(bool on) { interpolate_ = on && InterpolateEnabled(); }

ExportSettings ExportForm::RunSettings() const {
    ExportSettings run = settings;
    if (interpolate_) run.stage = kInterpolated;
    run.offset_percent = offset_checked ? offset_value : 0;
    run.Validate();
    return run;
}

}  // namespace orvane
