#include "base/output_folder.h"

#include <filesystem>
#include <system_error>

#include "base/config_file.h"
#include "base/orvane_error.h"

namespace orvane {

OutputFolder::OutputFolder(ConfigFile& config)
    : OutputFolder(config.OutputDrive(), config.OutputDir()) {}

OutputFolder::OutputFolder(std::string drive, std::string dir)
    : drive_(std::move(drive)), dir_(std::move(dir)) {}

std::string OutputFolder::PathFor(const std::string& name, const std::string& extension) const {
    std::string dir = drive_ + dir_;
    if (!dir.empty()) {
        std::error_code ec;
        std::filesystem::create_directories(dir, ec);
        if (ec && !std::filesystem::is_directory(dir))
            throw OrvaneError("Could not create the output folder " + dir + ": " + ec.message());
        if (dir.back() != '/' && dir.back() != '\\') dir += '/';
    }
    std::string path = dir + name;
    if (!extension.empty()) path += (extension[0] == '.' ? "" : ".") + extension;
    return path;
}

}  // namespace orvane
