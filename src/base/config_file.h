// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <string>
#include <vector>

#include "base/connection_params.h"
#include "base/text_file.h"

namespace orvane {

// The configuration file "spectra_config.txt": read once at start-up. Unlike other text
// files it rewinds whenever a different key is asked for, so keys may stand in any order.
// A number or flag that is not a whole valid value throws OrvaneError naming its key.
class ConfigFile : public TextFile {
public:
    static constexpr const char* kDefaultName = "spectra_config.txt";

    explicit ConfigFile(std::string path = kDefaultName);

    // Where the configuration is looked for, in order: the working directory, then
    // $ORVANE_HOME (default ~/.local/share/orvane), where orvane-db writes it.
    static std::vector<std::string> SearchPaths();
    // The first of SearchPaths() that exists; empty when none does.
    static std::string Locate();
    // What to say when Locate() found nothing: the places that were searched.
    static std::string NotFoundMessage();

    // Opens (throws FileNotFoundError when missing) and measures the lines. A file that
    // others may read is still used, with a warning in Warnings().
    void Open();
    // What the user should know about the file itself, for each face to show at start-up.
    const std::vector<std::string>& Warnings() const { return warnings_; }

    // The connection values; a missing key leaves the field empty (the port defaults to 3306).
    ConnectionParams Connection();
    std::string OutputDrive();
    std::string OutputDir();

    // The configured default waveband filter: every "filter_b" band (as a range of one band),
    // in file order, then every "filter_br" range; the upper bound is taken as its absolute
    // value.
    struct FilterEntry {
        bool single = false;
        int lower = 0;
        int upper = 0;
    };
    std::vector<FilterEntry> DefaultFilter();

private:
    std::vector<std::string> warnings_;
};

}  // namespace orvane
