// SPDX-License-Identifier: GPL-3.0-or-later
#include "study/sensor_import.h"

#include <fmt/format.h>

#include <optional>

#include "base/frontend.h"
#include "base/orvane_error.h"
#include "base/shown_text.h"
#include "chain/processing_session.h"
#include "store/database.h"
#include "store/sensor_repository.h"

namespace orvane {

int ImportSensor(ProcessingSession& session, Frontend& frontend, const std::string& path,
                 int type_index) {
    if (type_index != 0 && type_index != 1)
        throw OrvaneError("Unknown sensor response type " + std::to_string(type_index) + ".");
    std::unique_ptr<Sensor> imported;
    if (type_index == 0) imported = std::make_unique<GaussianSensor>();
    else imported = std::make_unique<RatioSensor>();
    imported->ReadFile(path);
    return AddImportedSensor(session, frontend, *imported);
}

int AddImportedSensor(ProcessingSession& session, Frontend& frontend, Sensor& imported) {
    // The list holds the sensor as it is stored, so synthesis sees the same usable flags and
    // elements as after the next start; it is loaded back before the import commits, so a
    // sensor that cannot be loaded is never left behind to fail every later start-up.
    std::unique_ptr<Sensor> stored = MakeSensor(imported.ResponseType());
    {
        Transaction tx(session.Db());
        imported.Store(session.Db());
        stored->Load(session.Db(), imported.SensorId());
        tx.Commit();
    }
    frontend.Report(EscapeControls(stored->Name()) + " sensor added to database");
    const int id = stored->SensorId();
    session.AddSensor(std::move(stored));
    return id;
}

namespace {
std::string Counted(int n, const char* one, const char* many) {
    return std::to_string(n) + " " + (n == 1 ? one : many);
}
}  // namespace

bool DeleteSensor(ProcessingSession& session, Frontend& frontend, int sensor_id) {
    SensorRepository sensors(session.Db());
    const std::optional<std::string> stored_name = sensors.Name(sensor_id);
    if (!stored_name)
        throw OrvaneError(fmt::format("There is no sensor with id {} to delete.", sensor_id));
    const std::string& name = *stored_name;
    const SensorDependents dependents = sensors.Dependents(sensor_id);
    const int libraries = dependents.libraries;
    const int analyses = dependents.analyses;
    const std::string what =
        Counted(libraries, "spectral library", "spectral libraries") + " and " +
        Counted(analyses, "principal component analysis", "principal component analyses");
    if (!frontend.Confirm("Delete the sensor \"" + EscapeControls(name) + "\" with its " + what +
                          "?"))
        return false;
    sensors.DeleteWithDependents(sensor_id);
    session.RemoveSensor(sensor_id);
    frontend.Report("Sensor \"" + EscapeControls(name) + "\" deleted with " + what);
    return true;
}

}  // namespace orvane
