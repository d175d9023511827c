// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QDialog>
#include <QPointer>
#include <functional>
#include <vector>

#include "forms/endmember_selection.h"
#include "ui/qt_frontend.h"
#include "ui/waiting_inputs.h"

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
// --elements. Modeless, kept between uses. The lists are read and the moves stored on the
// worker thread: the dialog shows at once and takes no input while its work waits.
class EndmemberSelectionDialog : public QDialog {
    Q_OBJECT

  public:
    EndmemberSelectionDialog(ProcessingSession& session, WorkPoster post, QWidget* parent);

    // Shows the dialog and refills both lists from the current study.
    void Open();
    // Whether work for the dialog waits (its inputs are disabled until it is done).
    bool Waiting() const { return wait_.Waiting(); }

    const EndmemberSelection& Model() const { return model_; }
    QListWidget* Classes() const { return classes_; }
    QListWidget* Endmembers() const { return endmembers_; }
    QListWidget* ElementList() const { return elements_; }
    QLabel* ElementsNote() const { return elements_note_; }
    void ToEndmembers();
    void ToClasses();
    void reject() override;

  private:
    // Queues work for the dialog, its inputs disabled until it has ended; `shown` follows it
    // when it completed.
    void Queue(std::function<void()> work, std::function<void()> shown);
    void Mirror();
    void MirrorElements();
    void ElementToggled(QListWidgetItem* item);
    void DefaultElements();
    void KeepElements();

    EndmemberSelection model_;
    WorkPoster post_;
    // Whether the lists were read since the dialog opened: only then has Cancel flags to
    // store back.
    bool read_ = false;
    WaitingInputs wait_{*this};
    QListWidget* classes_;
    QListWidget* endmembers_;
    QListWidget* elements_;
    QLabel* elements_note_;
};

}  // namespace orvane
