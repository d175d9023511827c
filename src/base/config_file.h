#pragma once

#include <string>
#include <vector>

#include "base/text_file.h"
#include "base/connection_params.h"

namespace orvane {

// The configuration file "spectra_config.txt": read once at start-up. Unlike other text
// files it rewinds whenever a different key is asked for, so keys may stand in any order.
class ConfigFile : public TextFile {
public:
    static constexpr const char* kDefaultName = "spectra_config.txt";

    explicit ConfigFile(std::string path = kDefaultName);

    // Where the configuration is looked for, in order: the working directory, then
    // $ORVANE_HOME (default ~/.local/share/orvane), where scripts/orvane-db writes it.
    static std::vector<std::string> SearchPaths();
    // The first of SearchPaths() that exists; empty when none does.
    static std::string Locate();
    // What to say when Locate() found nothing: the places that were searched.
    static std::string NotFoundMessage();

    // Opens (throws FileNotFoundError when missing) and measures the lines.
    void Open();

    // The connection values; a missing key leaves the field empty (the port defaults to 3306).
    ConnectionParams Connection();
    std::string OutputDrive();
    std::string OutputDir();
};

}  // namespace orvane
