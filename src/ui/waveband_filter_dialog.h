// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QDialog>
#include <functional>

#include "forms/waveband_filter_setup.h"
#include "ui/qt_frontend.h"

class QLabel;
class QListWidget;

namespace orvane {

class WavelengthPairDialog;

// "Waveband Filter Setup": edits a working copy of the current study's excluded ranges; OK
// stores them and the chain follows.
class WavebandFilterDialog : public QDialog {
    Q_OBJECT

  public:
    WavebandFilterDialog(ProcessingSession& session, ActionRunner run, WorkPoster post,
                         QWidget* parent);

    // Loads the current study's ranges and shows the dialog.
    void Open();
    void accept() override;

    // Asks for one range, pre-filled (empty for New, which offers kNoRange for both); false
    // when the user cancels. Replaceable so that the band definition can be answered without
    // a modal loop.
    using BandEditor = std::function<bool(int& lower, int& upper)>;
    static constexpr int kNoRange = 0;
    void SetBandEditor(BandEditor editor) { band_editor_ = std::move(editor); }

    QListWidget* List() const { return list_; }
    WavelengthPairDialog* BandDialog() const { return band_; }
    const WavebandFilterSetup& Model() const { return model_; }

  private:
    void Refill();
    void New();
    void Modify();
    void Delete();

    WavebandFilterSetup model_;
    ActionRunner run_;
    WorkPoster post_;
    QListWidget* list_;
    QLabel* note_;  // what "Add default ranges" added, or why nothing
    WavelengthPairDialog* band_;
    BandEditor band_editor_;
};

}  // namespace orvane
