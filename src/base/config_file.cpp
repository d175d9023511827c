#include "base/config_file.h"

namespace orvane {

ConfigFile::ConfigFile(std::string path) : TextFile(std::move(path), '#') { SetSequential(false); }

void ConfigFile::Open() {
    OpenForReading();
    MeasureLines();
}

ConnectionParams ConfigFile::Connection() {
    ConnectionParams params;
    GetString("server", params.host);
    GetString("user", params.user);
    GetString("password", params.password);
    GetString("database", params.database);
    int port = 0;
    if (GetInteger("port", port) && port > 0) params.port = static_cast<unsigned>(port);
    return params;
}

std::string ConfigFile::OutputDrive() {
    std::string drive;
    GetString("output_drive", drive);
    return drive.substr(0, 2);
}

std::string ConfigFile::OutputDir() {
    std::string dir;
    GetString("output_dir", dir);
    return dir;
}

}  // namespace orvane
