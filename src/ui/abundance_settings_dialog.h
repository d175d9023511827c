// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QDialog>
#include <QPointer>
#include <functional>
#include <vector>

#include "forms/abundance_settings.h"
#include "ui/qt_frontend.h"
#include "ui/waiting_inputs.h"

class QLabel;
class QLineEdit;
class QListWidget;

namespace orvane {

// "Abundance Settings": records which endmembers a mixture species of the current study
// contains and in which fractions. Changes are stored on OK and dropped on Cancel (or Escape).
// Modeless, kept between uses. What reads or stores rows runs on the worker thread, behind the
// work asked before: the dialog opens at once, and its fields take no input (OK included)
// until the answer is shown.
class AbundanceSettingsDialog : public QDialog {
    Q_OBJECT

  public:
    AbundanceSettingsDialog(ProcessingSession& session, WorkPoster post, QWidget* parent);

    // Shows the dialog, then refills the class list from the current study and empties the
    // endmember lists.
    void Open();
    // Whether work the dialog asked for is still to be shown.
    bool Waiting() const { return wait_.Waiting(); }

    const AbundanceSettings& Model() const { return model_; }
    QListWidget* Classes() const { return classes_; }
    QListWidget* Available() const { return available_; }
    QListWidget* Selected() const { return selected_; }
    QLineEdit* Abundance() const { return abundance_; }
    QLineEdit* Total() const { return total_; }
    QLabel* Note() const { return note_; }

    void Add();
    void Remove();
    void Save();
    void Complement();
    // OK stores the changes (keeping the dialog open when they are refused); Cancel drops them.
    void accept() override;
    void reject() override;

  private:
    // Runs `work` with the model on the worker thread and `shown` here after it; the fields
    // take no input until then.
    void Queue(std::function<void()> work, std::function<void()> shown);
    void ClassChanged();
    void EndmemberChanged();
    void MirrorEndmembers();
    void MirrorFields();

    AbundanceSettings model_;
    WorkPoster post_;
    WaitingInputs wait_{*this};
    QListWidget* classes_;
    QListWidget* available_;
    QListWidget* selected_;
    QLineEdit* abundance_;
    QLineEdit* total_;
    QLabel* note_;
};

}  // namespace orvane
