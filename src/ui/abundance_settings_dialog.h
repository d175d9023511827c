// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QDialog>

#include "forms/abundance_settings.h"
#include "ui/qt_frontend.h"

class QLabel;
class QLineEdit;
class QListWidget;

namespace orvane {

// "Abundance Settings": records which endmembers a mixture species of the current study
// contains and in which fractions. Changes are stored on OK and dropped on Cancel (or Escape).
// Modeless, kept between uses.
class AbundanceSettingsDialog : public QDialog {
    Q_OBJECT

  public:
    AbundanceSettingsDialog(ProcessingSession& session, ActionRunner run, QWidget* parent);

    // Refills the class list from the current study, empties the endmember lists and shows
    // the dialog.
    void Open();

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
    void ClassChanged();
    void EndmemberChanged();
    void MirrorEndmembers();
    void MirrorFields();

    AbundanceSettings model_;
    ActionRunner run_;
    QListWidget* classes_;
    QListWidget* available_;
    QListWidget* selected_;
    QLineEdit* abundance_;
    QLineEdit* total_;
    QLabel* note_;
};

}  // namespace orvane
