// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QDialog>
#include <QPointer>
#include <functional>
#include <vector>

#include "forms/waveband_filter_setup.h"
#include "ui/qt_frontend.h"
#include "ui/waiting_inputs.h"

class QLabel;
class QListWidget;

namespace orvane {

class WavelengthPairDialog;

// "Waveband Filter Setup": edits a working copy of the current study's excluded ranges; OK
// stores them and the chain follows. The ranges are read and stored on the worker thread: the
// dialog shows at once and takes no input while that work waits; a refused OK keeps it open
// with the ranges as edited.
class WavebandFilterDialog : public QDialog {
    Q_OBJECT

  public:
    WavebandFilterDialog(ProcessingSession& session, QtFrontend& frontend, WorkPoster post,
                         QWidget* parent);

    // Shows the dialog and loads the current study's ranges.
    void Open();
    void accept() override;
    // Whether work for the dialog waits (its inputs are disabled until it is done).
    bool Waiting() const { return wait_.Waiting(); }

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
    // Queues work for the dialog, its inputs disabled until it has ended, then `after`
    // however it ended.
    void Queue(std::function<void()> work, std::function<void()> after);
    void Refill();
    void New();
    void Modify();
    void Delete();

    WavebandFilterSetup model_;
    QtFrontend& frontend_;
    WorkPoster post_;
    WaitingInputs wait_{*this};
    QListWidget* list_;
    QLabel* note_;  // what "Add default ranges" added, or why nothing
    WavelengthPairDialog* band_;
    BandEditor band_editor_;
};

}  // namespace orvane
