// SPDX-License-Identifier: GPL-3.0-or-later
#include "base/config_file.h"
#include "base/orvane_error.h"
#include "fuzz_file.h"
#include "spectra/waveband_filter.h"

// Every key the program reads at start-up, read as start-up reads it; the configured filter
// is built as the session builds it.
extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    try {
        orvane::ConfigFile config(TheFuzzFile().Write(data, size));
        config.Open();
        const orvane::ConnectionParams params = config.Connection();
        if (params.port < 1 || params.port > 65535) std::abort();
        (void)config.OutputDrive();
        (void)config.OutputDir();
        orvane::WavebandFilter filter;
        for (const orvane::ConfigFile::FilterEntry& e : config.DefaultFilter()) {
            if (e.single)
                filter.AddBand(e.lower);
            else
                filter.AddRange(e.lower, e.upper);
        }
        for (int w = 300; w < 2600; w += 37) (void)filter.Excludes(w);
    } catch (const orvane::OrvaneError&) {
    }
    return 0;
}
