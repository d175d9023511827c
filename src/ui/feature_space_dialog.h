// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QDialog>
#include <functional>

#include "forms/feature_space_actions.h"
#include "ui/qt_frontend.h"
#include "ui/waiting_inputs.h"

class QGroupBox;
class QLineEdit;
class QListWidget;
class QPushButton;
class QSpinBox;

namespace orvane {

class MainForm;
class WavelengthPairDialog;

// "Feature Space Actions": edits a working copy of a feature space (the current one, a copy
// of it, or a new one of the current type); OK stores it and the form's list follows. The
// feature space is read and stored on the worker thread: the dialog shows at once and takes
// no input while that work waits; a refused OK keeps it open as typed.
class FeatureSpaceDialog : public QDialog {
    Q_OBJECT

  public:
    FeatureSpaceDialog(ProcessingSession& session, MainForm& form, QtFrontend& frontend,
                       WorkPoster post, QWidget* parent);

    // Shows the dialog and fills the working copy for mode 0 (edit), 1 (copy and edit) or 2
    // (new); a mode that needs a current feature space without one closes it again.
    void Open(int mode);
    void accept() override;
    // Whether work for the dialog waits (its inputs are disabled until it is done).
    bool Waiting() const { return inputs_.Waiting(); }

    // Asks for one range, pre-filled; false when the user cancels. Replaceable so that the
    // waveband definition can be answered without a modal loop.
    using BandEditor = std::function<bool(int& wavelength1, int& wavelength2)>;
    void SetBandEditor(BandEditor editor) { band_editor_ = std::move(editor); }

    const FeatureSpaceActions& Model() const { return model_; }
    QLineEdit* Name() const { return name_; }
    QLineEdit* Description() const { return description_; }
    QSpinBox* Dimension() const { return dimension_; }
    QGroupBox* ListBox() const { return list_box_; }
    QListWidget* List() const { return list_; }

  private:
    // Enables what the user may change now: nothing while work waits, else what the feature
    // space's type allows.
    void ApplyEnabled();
    void Mirror();
    void MirrorList();
    void New();
    void Modify();
    void Delete();

    FeatureSpaceActions model_;
    ProcessingSession& session_;
    MainForm& form_;
    QtFrontend& frontend_;
    WorkPoster post_;
    WaitingInputs inputs_{*this};
    QLineEdit* name_;
    QLineEdit* description_;
    QSpinBox* dimension_;
    QGroupBox* list_box_;
    QListWidget* list_;
    QPushButton* new_;
    QPushButton* modify_;
    QPushButton* delete_;
    QPushButton* ok_;
    WavelengthPairDialog* band_;
    BandEditor band_editor_;
};

}  // namespace orvane
