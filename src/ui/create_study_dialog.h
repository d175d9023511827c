// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QDialog>

#include "ui/qt_frontend.h"

class QLabel;
class QLineEdit;
class QSpinBox;

namespace orvane {

class MainForm;

// "Create a new study": name, description, species folder and the minimum number of spectra a
// species needs for the library. OK stores the study and makes it current; a refused field
// keeps the dialog open with what was typed.
class CreateStudyDialog : public QDialog {
    Q_OBJECT

  public:
    CreateStudyDialog(MainForm& form, QtFrontend& frontend, ActionRunner run, QWidget* parent);

    void Open();
    void accept() override;

    QLineEdit* Name() const { return name_; }
    QLineEdit* Description() const { return description_; }
    QLineEdit* DataPath() const { return data_path_; }
    QLabel* PathStatus() const { return status_; }
    QSpinBox* MinSamples() const { return min_samples_; }

  private:
    void Browse();

    MainForm& form_;
    QtFrontend& frontend_;
    ActionRunner run_;
    QLineEdit* name_;
    QLineEdit* description_;
    QLineEdit* data_path_;
    QLabel* status_;
    QSpinBox* min_samples_;
};

}  // namespace orvane
