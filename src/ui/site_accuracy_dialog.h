// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QDialog>

#include "ui/qt_frontend.h"

class QListWidget;
class QPushButton;

namespace orvane {

class WorkbenchDocument;
class MainForm;

// "Site Accuracy": one class of the loaded library whose sites are classified one by one.
// It says what to choose, and OK waits for a choice.
class SiteAccuracyDialog : public QDialog {
    Q_OBJECT

  public:
    SiteAccuracyDialog(WorkbenchDocument& doc, MainForm& form, QtFrontend& frontend, ActionRunner run,
                       JobRunner job, QWidget* parent);

    // Lists the loaded library's classes and shows the dialog. The list follows the library
    // loaded at each showing, and each line keeps its species, so a reload can never make a
    // line stand for another class.
    void Open();
    void accept() override;

    QListWidget* List() const { return list_; }
    QPushButton* OkButton() const { return ok_; }

  private:
    void UpdateOk();

    WorkbenchDocument& doc_;
    MainForm& form_;
    QtFrontend& frontend_;
    ActionRunner run_;
    JobRunner job_;
    QListWidget* list_;
    QPushButton* ok_;
};

}  // namespace orvane
