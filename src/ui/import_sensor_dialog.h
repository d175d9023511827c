// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QDialog>

#include "ui/qt_frontend.h"

class QButtonGroup;
class QGroupBox;
class QLineEdit;
class QRadioButton;

namespace orvane {

class MainForm;
class ProcessingSession;

// "Import Sensor": a sensor definition file and its response type, or an image whose usable
// bands become a Gaussian sensor (optionally named, with a wavelengths file where the image
// has none). OK closes the dialog and imports when a file is named, on the worker thread: a
// definition file queued behind the work asked before, an image as a long job, since its bands
// are scanned; the new sensor joins the form's sensor list.
class ImportSensorDialog : public QDialog {
    Q_OBJECT

  public:
    ImportSensorDialog(ProcessingSession& session, MainForm& form, QtFrontend& frontend,
                       WorkPoster post, JobRunner jobs, QWidget* parent);

    QLineEdit* InputFile() const { return input_; }
    QButtonGroup* TypeGroup() const { return type_group_; }
    QRadioButton* FromImage() const { return from_image_; }
    QLineEdit* SensorName() const { return name_; }
    QLineEdit* WavelengthsFile() const { return wavelengths_; }

    void accept() override;

  private:
    void ShowSource();

    ProcessingSession& session_;
    MainForm& form_;
    QtFrontend& frontend_;
    WorkPoster post_;
    JobRunner jobs_;
    QLineEdit* input_;
    QButtonGroup* type_group_;
    QGroupBox* types_;
    QRadioButton* from_file_;
    QRadioButton* from_image_;
    QGroupBox* image_box_;
    QLineEdit* name_;
    QLineEdit* wavelengths_;
};

}  // namespace orvane
