// SPDX-License-Identifier: GPL-3.0-or-later
// Reading field spectra and Z-profiles.
#include <functional>
#include <memory>

#include "base/shown_text.h"
#include "cli/cli_context.h"
#include "spectra/spectrum.h"
#include "spectra/spectrum_file.h"
#include "spectra/spectrum_summary.h"
#include "study/loadable_file.h"
#include "study/z_profile_reader.h"

namespace orvane {

namespace {

// Reads each file with `read` and prints its summary; a file that cannot be read is reported
// and the others are still read.
int SummariseFiles(Context& ctx, const char* command,
                   const std::function<std::unique_ptr<Spectrum>(const std::string&)>& read) {
    if (ctx.args.positional.empty())
        throw UsageError(std::string(command) + " needs at least one FILE");
    int failures = 0;
    for (const std::string& path : ctx.args.positional) {
        try {
            const std::unique_ptr<Spectrum> spectrum = read(path);
            ctx.out << SpectrumSummary(*spectrum) << '\n';
            for (const std::string& note : spectrum->read_notes_)
                ctx.frontend.Error("Note on " + EscapeControls(path) + ": " + note);
        } catch (const OrvaneError& e) {
            ctx.frontend.Error(e.what());
            ++failures;
        }
    }
    return failures ? 1 : 0;
}

int CmdOpen(Context& ctx) {
    // A Z profile is read on the sensor the chain options select; other files need none.
    if (AnyOnSensorBands(ctx.args.positional)) ApplyChainArgs(ctx);
    return SummariseFiles(ctx, "open", [&](const std::string& path) {
        return ReadLoadableFile(path, ctx.session);
    });
}

int CmdZProfile(Context& ctx) {
    if (!ctx.args.positional.empty()) ApplyChainArgs(ctx);
    return SummariseFiles(ctx, "zprofile", [&](const std::string& path) {
        return ReadZProfile(path, ctx.session);
    });
}

}  // namespace

std::vector<Command> SpectraCommands() {
    return {
        {"open", "open FILE... [--sensor NAME|ID]",
         "Read field spectra (" + ReaderFiles(ReaderBands::kFieldGrid) + ") and " +
             ReaderFiles(ReaderBands::kSensorBands) +
             " (on the current sensor), as the window's Loaded Spectra does: name, number, "
             "capture time, position, comment.",
         CmdOpen},
        {"zprofile", "zprofile FILE... [--sensor NAME|ID]",
         "Read ENVI Z profiles onto the sensor's bands: name, number, capture time, position, "
         "comment.",
         CmdZProfile},
    };
}

}  // namespace orvane
