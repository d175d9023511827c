// SPDX-License-Identifier: GPL-3.0-or-later
#include "forms/sensor_comparison_form.h"

#include "chain/processing_session.h"
#include "forms/workbench_document.h"

namespace orvane {

void SensorComparisonForm::Refresh() {
    const ProcessingSession& session = doc_.Session();
    sensors_.Clear();
    chosen_.clear();
    const int current = session.CurrentSensor() ? session.CurrentSensor()->SensorId() : 0;
    for (const auto& sensor : session.Sensors()) {
        sensors_.Add(sensor->Name(), sensor->SensorId());
        chosen_.push_back(sensor->SensorId() == current);
    }
}

void SensorComparisonForm::SetChosen(int index, bool chosen) {
    if (index >= 0 && index < static_cast<int>(chosen_.size()))
        chosen_[static_cast<size_t>(index)] = chosen;
}

bool SensorComparisonForm::Chosen(int index) const {
    return index >= 0 && index < static_cast<int>(chosen_.size()) &&
           chosen_[static_cast<size_t>(index)];
}

const std::vector<std::string>& SensorComparisonForm::Validations() {
    static const std::vector<std::string> validations = {"resubstitution", "loo", "kfold:5",
                                                         "kfold:10"};
    return validations;
}

void SensorComparisonForm::SetValidation(int index) {
    if (index >= 0 && index < static_cast<int>(Validations().size())) validation_ = index;
}

std::string SensorComparisonForm::DisabledReason() const {
    if (doc_.Session().StudyId() == 0)
        return "No study is selected; create one (Database > Create New Study).";
    if (!doc_.Session().CurrentFeatureSpace())
        return "No feature space is selected; choose the one to compare the sensors in.";
    for (bool chosen : chosen_)
        if (chosen) return "";
    return "Choose at least one sensor to compare.";
}

SensorComparison SensorComparisonForm::Run(Frontend& frontend) {
    SensorComparisonOptions options;
    for (int i = 0; i < sensors_.Count(); ++i)
        if (Chosen(i)) options.sensor_ids.push_back(sensors_.items[static_cast<size_t>(i)].data);
    options.validation = Validations()[static_cast<size_t>(validation_)];
    // The comparison may build the library of the user's own chain; the status then says so
    // (the chain itself is as it was, so nothing else is reloaded).
    SensorComparison comparison;
    try {
        comparison =
            CompareSensors(doc_.Session(), doc_.Loader(), doc_.Output(), frontend, options);
    } catch (...) {
        doc_.LoadLibrary();
        throw;
    }
    doc_.LoadLibrary();
    return comparison;
}

}  // namespace orvane
