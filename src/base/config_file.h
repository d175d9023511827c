#pragma once

#include <string>

#include "base/text_file.h"
#include "base/connection_params.h"

namespace orvane {

// The configuration file "spectra_config.txt": read once at start-up. Unlike other text
// files it rewinds whenever a different key is asked for, so keys may stand in any order.
class ConfigFile : public TextFile {
public:
    static constexpr const char* kDefaultName = "spectra_config.txt";

    explicit ConfigFile(std::string path = kDefaultName);

    // Opens (throws FileNotFoundError when missing) and measures the lines.
    void Open();

    // The connection values; a missing key leaves the field empty (the port defaults to 3306).
    ConnectionParams Connection();
    std::string OutputDrive();
    std::string OutputDir();
};

}  // namespace orvane
