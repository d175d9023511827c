// SPDX-License-Identifier: GPL-3.0-or-later
#include "forms/export_form.h"

#include <gtest/gtest.h>

#include "base/orvane_error.h"

namespace orvane {
namespace {

TEST(ExportForm, InterpolateOnlyWithTheSynthesizedStage) {
    const struct {
        int stage;
        bool enabled;
    } cases[] = {{0, false}, {1, false}, {2, false}, {3, true}, {4, false}, {5, false}};
    for (const auto& c : cases) {
        ExportForm form;
        form.SetInterpolate(true);
        form.ChooseStage(c.stage);
        EXPECT_EQ(form.InterpolateEnabled(), c.enabled) << c.stage;
        EXPECT_EQ(form.Interpolate(), c.enabled) << "stage " << c.stage;
        form.SetInterpolate(true);
        EXPECT_EQ(form.Interpolate(), c.enabled) << "checking while disabled, stage " << c.stage;
        EXPECT_EQ(form.RunSettings().stage, c.enabled ? 6 : c.stage) << c.stage;
        // Back to the synthesized stage the box is enabled but stays as it was left.
        form.ChooseStage(3);
        EXPECT_EQ(form.Interpolate(), c.enabled) << c.stage;
    }
}

TEST(ExportForm, OffsetPassesOnlyWhileChecked) {
    const struct {
        bool checked;
        int value;
        int passed;
    } cases[] = {{false, 10, 0}, {true, 10, 10}, {true, 0, 0}, {true, 100, 100}, {false, 55, 0}};
    for (const auto& c : cases) {
        ExportForm form;
        form.offset_checked = c.checked;
        form.offset_value = c.value;
        EXPECT_EQ(form.OffsetEditEnabled(), c.checked);
        EXPECT_EQ(form.RunSettings().offset_percent, c.passed) << c.value;
    }
    ExportForm form;
    form.offset_checked = true;
    form.offset_value = 101;
    EXPECT_THROW(form.RunSettings(), OrvaneError);
    form.offset_checked = false;
    EXPECT_NO_THROW(form.RunSettings());
}

}  // namespace
}  // namespace orvane
