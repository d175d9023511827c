// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QDialog>

#include "ui/qt_frontend.h"

class QLabel;
class QPushButton;
class QLineEdit;
class QSpinBox;

namespace orvane {

class MainForm;

// "Create a new study": name, description, species folder and the minimum number of spectra a
// species needs for the library. OK stores the study on the worker thread and makes it
// current, the dialog closing once that is done; a refused field keeps the dialog open with
// what was typed.
class CreateStudyDialog : public QDialog {
    Q_OBJECT

  public:
    CreateStudyDialog(MainForm& form, QtFrontend& frontend, WorkPoster post, QWidget* parent);

    void Open();
    void accept() override;

    QLineEdit* Name() const { return name_; }
    QLineEdit* Description() const { return description_; }
    QLineEdit* DataPath() const { return data_path_; }
    QLabel* PathStatus() const { return status_; }
    QSpinBox* MinSamples() const { return min_samples_; }
    QPushButton* OkButton() const { return ok_; }

  private:
    void Browse();

    MainForm& form_;
    QtFrontend& frontend_;
    WorkPoster post_;
    QPushButton* ok_;
    QLineEdit* name_;
    QLineEdit* description_;
    QLineEdit* data_path_;
    QLabel* status_;
    QSpinBox* min_samples_;
};

}  // namespace orvane
