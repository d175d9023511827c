// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <vector>

#include "chain/chain_stage.h"
#include "export/export_spectra.h"

namespace orvane {

// The "File Export" dialog without its widgets: the choices it shows, the rule that ties
// "Interpolate (Synth. stage only)" to the synthesized stage and the offset edit to its check
// box, and the settings its OK passes on. It keeps its state for the whole run.
class ExportForm {
  public:
    static constexpr int kInitialOffset = 10;

    // The stages the dialog's buttons offer, in their order: every stage but the
    // interpolated one, which is "Interpolate" on the synthesized stage.
    static std::vector<StageDeclaration> StageChoices();

    // The shown choices; `settings.stage` is one of the stage buttons and
    // `settings.offset_percent` is unused here (see the offset fields).
    ExportSettings settings;
    bool offset_checked = false;
    int offset_value = kInitialOffset;

    // Choosing a stage other than "Synthesized" unchecks "Interpolate".
    void ChooseStage(Stage stage);
    bool InterpolateEnabled() const { return settings.stage == Stage::kSynthesized; }
    // Ignored while the check box is disabled.
    void SetInterpolate(bool on);
    bool Interpolate() const { return interpolate_; }
    bool OffsetEditEnabled() const { return offset_checked; }
    // A species mean has no site or spectrum to name; "ids" is kept but not applied there.
    bool IdsEnabled() const { return settings.data_details != kSpeciesMean; }
    // The "Numbers" choices in the order of ExportSettings::NumberFormat.
    static std::vector<const char*> NumberFormatLabels();
    // One file per species is not offered.
    static constexpr bool SpeciesLevelEnabled() { return false; }

    // What OK hands to the export: the interpolated stage when "Interpolate" is checked, the offset only
    // while its box is checked, the ids only while their box is enabled. Throws OrvaneError for a setting out of range.
    ExportSettings RunSettings() const;

  private:
    bool interpolate_ = false;
};

}  // namespace orvane
