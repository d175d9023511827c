// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <string>
#include <vector>

#include "forms/main_form.h"
#include "stats/sensor_comparison.h"

namespace orvane {

class Frontend;
class WorkbenchDocument;

// "Compare Sensors" without its widgets: the sensors to choose among, with the current one
// chosen at first, and how the discriminant analysis is validated.
class SensorComparisonForm {
  public:
    explicit SensorComparisonForm(WorkbenchDocument& doc) : doc_(doc) {}

    // Lists the session's sensors, only the current one chosen; called at every showing, as a
    // sensor may have been imported or deleted since.
    void Refresh();
    const FormList& Sensors() const { return sensors_; }
    void SetChosen(int index, bool chosen);
    bool Chosen(int index) const;

    // The validations offered, in the order the dialog lists them.
    static const std::vector<std::string>& Validations();
    void SetValidation(int index);
    int Validation() const { return validation_; }

    // Why the comparison cannot run now; empty when it can.
    std::string DisabledReason() const;
    // Compares the chosen sensors in list order; the table goes to the report.
    SensorComparison Run(Frontend& frontend);

  private:
    WorkbenchDocument& doc_;
    FormList sensors_;
    std::vector<bool> chosen_;
    int validation_ = 0;
};

}  // namespace orvane
