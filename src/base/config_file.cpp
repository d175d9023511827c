#include "base/config_file.h"

#include <cstdlib>
#include <filesystem>

namespace orvane {

ConfigFile::ConfigFile(std::string path) : TextFile(std::move(path), '#') { SetSequential(false); }

std::vector<std::string> ConfigFile::SearchPaths() {
    std::string home;
    if (const char* set = std::getenv("ORVANE_HOME"); set && *set) {
        home = set;
    } else if (const char* user = std::getenv("HOME"); user && *user) {
        home = std::string(user) + "/.local/share/orvane";
    }
    std::vector<std::string> paths = {kDefaultName};
    if (!home.empty()) paths.push_back(home + "/" + kDefaultName);
    return paths;
}

std::string ConfigFile::Locate() {
    for (const std::string& path : SearchPaths()) {
        std::error_code error;
        if (std::filesystem::is_regular_file(path, error)) return path;
    }
    return "";
}

std::string ConfigFile::NotFoundMessage() {
    std::error_code error;
    const std::vector<std::string> paths = SearchPaths();
    std::string text = "No configuration file was found. Orvane looked for:\n";
    for (const std::string& path : paths)
        text += "  " + std::filesystem::absolute(path, error).string() + "\n";
    text +=
        "scripts/orvane-db init writes one for a private database server in $ORVANE_HOME "
        "(default ~/.local/share/orvane).";
    return text;
}

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
