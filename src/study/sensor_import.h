// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <string>

#include "base/choice_words.h"
#include "spectra/sensor.h"

namespace orvane {

class Frontend;
class ProcessingSession;

// The response types a sensor file is imported as; the value is the import's type index.
inline constexpr Choice<SensorResponseType> kImportResponseTypeChoices[] = {
    {"gaussian", "Gaussian", kResponseGaussian},
    {"ratio", "Ratio", kResponseRatio},
};
inline constexpr ChoiceTable<SensorResponseType> kImportResponseTypes{kImportResponseTypeChoices};

// Imports a sensor definition file (type 0 Gaussian, 1 ratio), reports
// "<name> sensor added to database" and adds the sensor, loaded back from the database, to
// the session's list. Returns the new sensor id; throws OrvaneError and stores nothing when
// the file is missing or malformed.
int ImportSensor(ProcessingSession& session, Frontend& frontend, const std::string& path,
                 int type_index);

// Stores a sensor that was read or defined (not yet stored) in one transaction, loads it back,
// reports "<name> sensor added to database" and adds it to the session's list; returns its id.
int AddImportedSensor(ProcessingSession& session, Frontend& frontend, Sensor& imported);

// Deletes a sensor with its elements and everything computed on its bands (libraries with
// their statistics, principal component analyses) in one transaction, after asking the
// frontend. False when the user cancelled. Reports what was deleted and drops the sensor from
// the session's list. Throws OrvaneError when there is no sensor of that id.
bool DeleteSensor(ProcessingSession& session, Frontend& frontend, int sensor_id);

}  // namespace orvane
