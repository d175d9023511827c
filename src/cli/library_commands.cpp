// SPDX-License-Identifier: GPL-3.0-or-later
// The spectral library and the classifications that use it.
#include <memory>

#include "base/output_folder.h"
#include "chain/chain_options.h"
#include "chain/processing_session.h"
#include "cli/cli_context.h"
#include "forms/workspace.h"
#include "spectra/spectrum.h"
#include "spectra/spectrum_file.h"
#include "stats/discriminant_analysis.h"
#include "stats/spectral_statistics.h"
#include "study/loadable_file.h"
#include "study/study_loader.h"

namespace orvane {

namespace {

// Each command applies the chain options, then loads the library of that configuration, as
// the form does after every change of the chain.

int CmdLibraryBuild(Context& ctx) {
    ApplyChainArgs(ctx);
    SpectralStatistics& library = ctx.workspace->LoadLibrary();
    if (!ctx.workspace->BuildLibrary(ctx.frontend))
        throw OrvaneError(
            "No feature space is selected; choose one (--fs-type, --feature-space) "
            "before building the library.");
    ctx.out << library.StatusLine() << '\n';
    return 0;
}

int CmdLibraryStatus(Context& ctx) {
    ApplyChainArgs(ctx);
    SpectralStatistics& library = ctx.workspace->LoadLibrary();
    ctx.out << library.StatusLine() << '\n';
    const std::string reason = library.NotReadyReason();
    if (!reason.empty()) ctx.err << WithHint(reason, CommandHint(library.NotReadyRemedy())) << '\n';
    return 0;
}

int CmdClassify(Context& ctx) {
    ApplyChainArgs(ctx);
    SpectralStatistics& library = ctx.workspace->LoadLibrary();
    if (ctx.args.positional.empty()) throw UsageError("classify needs at least one FILE");
    library.RequireReady();
    const std::string note = library.UnmodelledNote();
    if (!note.empty()) ctx.frontend.Report(note);
    int failures = 0;
    for (const std::string& path : ctx.args.positional) {
        try {
            std::unique_ptr<Spectrum> spectrum = ReadLoadableFile(path, ctx.session);
            ctx.frontend.Report(library.ClassifyToText(*spectrum));
        } catch (const SingularCovarianceError&) {
            throw;
        } catch (const LibraryNotReadyError&) {
            throw;
        } catch (const OrvaneError& e) {
            // One unreadable file does not stop the others.
            ctx.frontend.Error(e.what());
            ++failures;
        }
    }
    return failures ? 1 : 0;
}

int AccuracyExit(const AccuracyResult& result) { return result.path.empty() ? 1 : 0; }

int CmdDiscriminantIndependent(Context& ctx) {
    ApplyChainArgs(ctx);
    if (!ctx.args.Has("with")) throw UsageError("da-independent needs --with STUDY");
    const int study = ResolveStudy(*ctx.session, ctx.args.Get("with"));
    SpectralStatistics& library = ctx.workspace->LoadLibrary();
    return AccuracyExit(ClassifyIndependentSet(library, ctx.workspace->Loader(),
                                               ctx.workspace->Output(), *ctx.session, ctx.frontend,
                                               study, NameTypeOption(ctx.args)));
}

int CmdSiteCheck(Context& ctx) {
    ApplyChainArgs(ctx);
    if (!ctx.args.Has("species")) throw UsageError("site-check needs --species FOLDER");
    SpectralStatistics& library = ctx.workspace->LoadLibrary();
    library.RequireReady();
    const int index = library.ClassIndexOf(ctx.args.Get("species"));
    if (index < 0)
        throw OrvaneError("The library has no class \"" + ctx.args.Get("species") +
                          "\"; its classes are the species folders it was built from.");
    SiteAccuracyCheck(library, ctx.workspace->Loader(), ctx.frontend,
                      library.Class(index).species_id, &ctx.workspace->Output());
    return 0;
}

}  // namespace

std::vector<Command> LibraryCommands() {
    return {
        {"library build", "library build",
         "Build the spectral library of the current chain settings, name the classes whose "
         "covariance cannot be estimated, and print its status.",
         CmdLibraryBuild},
        {"library status", "library status",
         "Print \"Ready (M of K classes modelled)\" when the library of the current chain "
         "settings is up to date, else \"Not Ready\".",
         CmdLibraryStatus},
        {"classify", "classify FILE...",
         "Classify field spectra (" + ReaderFiles(ReaderBands::kFieldGrid) + ") and " +
             ReaderFiles(ReaderBands::kSensorBands) +
             " (on the current sensor) against the library; prints each ranked result.",
         CmdClassify},
        {"da-independent", "da-independent --with STUDY [--names " + kNameTypes.Words() + "]",
         "Classify another study's species against the library; writes \"Error Matrix.csv\".",
         CmdDiscriminantIndependent},
        {"site-check", "site-check --species FOLDER",
         "Share of each site's spectra that each library class wins.", CmdSiteCheck},
    };
}

}  // namespace orvane
