#include "study/sensor_import.h"

#include "base/frontend.h"
#include "base/orvane_error.h"
#include "chain/processing_session.h"

namespace orvane {

int ImportSensor(ProcessingSession& session, Frontend& frontend, const std::string& path,
                 int type_index) {
    if (type_index != 0 && type_index != 1)
        throw OrvaneError("Unknown sensor response type " + std::to_string(type_index) + ".");
    std::unique_ptr<Sensor> imported;
    if (type_index == 0) imported = std::make_unique<GaussianSensor>();
    else imported = std::make_unique<RatioSensor>();
    imported->Import(session.Db(), path);
    // The list holds the sensor as it is stored, so synthesis sees the same usable flags and
    // elements as after the next start.
    std::unique_ptr<Sensor> stored = MakeSensor(imported->ResponseType());
    stored->Load(session.Db(), imported->SensorId());
    frontend.Report(stored->Name() + " sensor added to database");
    const int id = stored->SensorId();
    session.AddSensor(std::move(stored));
    return id;
}

}  // namespace orvane
