// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QDialog>
#include <functional>

#include "forms/sensor_comparison_form.h"
#include "ui/qt_frontend.h"

class QComboBox;
class QListWidget;

namespace orvane {

class WorkbenchDocument;

// "Compare Sensors": the sensors to compare the current chain and feature space on, and the
// validation of the discriminant analysis; the table goes to the report. OK without a sensor
// chosen keeps the dialog open and says why.
class SensorComparisonDialog : public QDialog {
    Q_OBJECT

  public:
    SensorComparisonDialog(WorkbenchDocument& doc, QtFrontend& frontend, WorkPoster post,
                           JobRunner job, QWidget* parent);

    // Lists the sensors afresh, the current one chosen, and shows the dialog.
    void Open();
    void accept() override;

    QListWidget* List() const { return list_; }
    QComboBox* Validation() const { return validation_; }

    // Called with each comparison that completes.
    void SetResultShown(std::function<void(const SensorComparison&)> shown) {
        shown_ = std::move(shown);
    }

  private:
    std::function<void(const SensorComparison&)> shown_;
    SensorComparisonForm form_;
    QtFrontend& frontend_;
    WorkPoster post_;
    JobRunner job_;
    QListWidget* list_;
    QComboBox* validation_;
};

}  // namespace orvane
