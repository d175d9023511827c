// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QDialog>

#include "ui/qt_frontend.h"

class QButtonGroup;
class QLineEdit;

namespace orvane {

class MainForm;
class ProcessingSession;

// "Import Sensor": a sensor definition file and its response type. OK closes the dialog and
// imports the file when one is named; the new sensor joins the form's sensor list.
class ImportSensorDialog : public QDialog {
    Q_OBJECT

  public:
    ImportSensorDialog(ProcessingSession& session, MainForm& form, QtFrontend& frontend,
                       ActionRunner run, QWidget* parent);

    QLineEdit* InputFile() const { return input_; }
    QButtonGroup* TypeGroup() const { return type_group_; }

    void accept() override;

  private:
    ProcessingSession& session_;
    MainForm& form_;
    QtFrontend& frontend_;
    ActionRunner run_;
    QLineEdit* input_;
    QButtonGroup* type_group_;
};

}  // namespace orvane
