#include "study/sensor_import.h"

#include "base/frontend.h"
#include "base/orvane_error.h"
#include "chain/processing_session.h"
#include "store/database.h"

namespace orvane {

int ImportSensor(ProcessingSession& session, Frontend& frontend, const std::string& path,
                 int type_index) {
    if (type_index != 0 && type_index != 1)
        throw OrvaneError("Unknown sensor response type " + std::to_string(type_index) + ".");
    std::unique_ptr<Sensor> imported;
    if (type_index == 0) imported = std::make_unique<GaussianSensor>();
    else imported = std::make_unique<RatioSensor>();
    imported->ReadFile(path);
    // The list holds the sensor as it is stored, so synthesis sees the same usable flags and
    // elements as after the next start; it is loaded back before the import commits, so a
    // sensor that cannot be loaded is never left behind to fail every later start-up.
    std::unique_ptr<Sensor> stored = MakeSensor(imported->ResponseType());
    {
        Transaction tx(session.Db());
        imported->Store(session.Db());
        stored->Load(session.Db(), imported->SensorId());
        tx.Commit();
    }
    frontend.Report(stored->Name() + " sensor added to database");
    const int id = stored->SensorId();
    session.AddSensor(std::move(stored));
    return id;
}

}  // namespace orvane
