// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QDialog>

#include "forms/endmember_selection.h"
#include "ui/qt_frontend.h"

class QLabel;
class QListWidget;
class QListWidgetItem;

namespace orvane {

class SpeciesListBox;

// Fills a list widget with a model list, the species id as item data.
void MirrorSpeciesList(QListWidget* widget, const SpeciesListBox& list);

// "Endmember Selection": moves species of the current study between the mixture species
// ("Classes") and the endmembers; every move is stored at once and Cancel stores back the
// flags it was opened with. Below, the current sensor's elements that Unmix uses, checked;
// the choice is kept in the window's settings at once, in the form of the command line's
// --elements. Modeless, kept between uses.
class EndmemberSelectionDialog : public QDialog {
    Q_OBJECT

  public:
    EndmemberSelectionDialog(ProcessingSession& session, ActionRunner run, WorkPoster post,
                             QWidget* parent);

    // Refills both lists from the current study and shows the dialog.
    void Open();

    const EndmemberSelection& Model() const { return model_; }
    QListWidget* Classes() const { return classes_; }
    QListWidget* Endmembers() const { return endmembers_; }
    QListWidget* ElementList() const { return elements_; }
    QLabel* ElementsNote() const { return elements_note_; }
    void ToEndmembers();
    void ToClasses();
    void reject() override;

  private:
    void Mirror();
    void MirrorElements();
    void ElementToggled(QListWidgetItem* item);
    void DefaultElements();
    void KeepElements();

    EndmemberSelection model_;
    ActionRunner run_;
    WorkPoster post_;
    QListWidget* classes_;
    QListWidget* endmembers_;
    QListWidget* elements_;
    QLabel* elements_note_;
};

}  // namespace orvane
