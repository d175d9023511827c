// SPDX-License-Identifier: GPL-3.0-or-later
// A study's stored spectra: listing, enabling and disabling them, and plotting them.
#include <cstdlib>
#include <optional>

#include "chain/processing_session.h"
#include "cli/cli_context.h"
#include "plot/spectra_plot.h"
#include "plot/spectra_plot_svg.h"
#include "study/study_loader.h"
#include "study/study_spectra.h"

namespace orvane {

namespace {

int CmdSpectraList(Context& ctx) {
    SelectStudy(ctx);
    std::optional<std::string> species;
    std::optional<int> site;
    if (ctx.args.Has("species")) species = ctx.args.Get("species");
    if (ctx.args.Has("site")) site = IntOption(ctx.args, "site", 0, 0, 99999);
    ctx.out << "id\tspecies\tsite\tnumber\tcaptured\tlatitude\tlongitude\taltitude\tstate\n";
    for (const StoredSpectrum& s :
         ListStudySpectra(ctx.session->Db(), ctx.session->StudyId(), species, site))
        ctx.out << StoredSpectrumLine(s) << '\n';
    return 0;
}

std::vector<int> Ids(const Context& ctx, const char* command) {
    if (ctx.args.positional.empty())
        throw UsageError(std::string(command) + " needs at least one spectrum ID");
    std::vector<int> ids;
    for (const std::string& word : ctx.args.positional) {
        char* end = nullptr;
        const long id = std::strtol(word.c_str(), &end, 10);
        if (word.empty() || *end != '\0' || id <= 0)
            throw UsageError("\"" + word + "\" is not a spectrum id (see \"spectra list\")");
        ids.push_back(static_cast<int>(id));
    }
    return ids;
}

int SetDisabled(Context& ctx, bool disabled, const char* command) {
    const std::vector<int> ids = Ids(ctx, command);
    SelectStudy(ctx);
    const int changed = SetSpectraDisabled(ctx.session->Db(), ctx.session->StudyId(), ids, disabled);
    ctx.frontend.Report(std::to_string(changed) + (disabled ? " spectra disabled" : " spectra enabled") +
                        (changed ? "; the study's libraries must be built again." : "."));
    return 0;
}

int CmdSpectraDisable(Context& ctx) { return SetDisabled(ctx, true, "spectra disable"); }
int CmdSpectraEnable(Context& ctx) { return SetDisabled(ctx, false, "spectra enable"); }

int CmdPlot(Context& ctx) {
    const Args& a = ctx.args;
    if (!a.Has("output")) throw UsageError("plot needs --output FILE.svg");
    if (!a.Has("stage")) throw UsageError("plot needs --stage");
    SpectraPlotRequest request;
    request.stage = StageOption(a, HasBands, request.stage);
    request.details = ChoiceOption(a, "details", kSpectraDetails, kEverySpectrum);
    // --species takes all, library or folder names; more folders may follow it as words.
    auto given = a.options.equal_range("species");
    for (auto it = given.first; it != given.second; ++it) request.folders.push_back(it->second);
    request.folders.insert(request.folders.end(), a.positional.begin(), a.positional.end());
    const bool one = request.folders.size() == 1;
    if (request.folders.empty() || (one && SameWord(request.folders[0], "all"))) {
        request.selection = SpectraPlotRequest::kAllSpecies;
        request.folders.clear();
    } else if (one && SameWord(request.folders[0], "library")) {
        request.selection = SpectraPlotRequest::kLibrarySpecies;
        request.folders.clear();
    } else {
        request.selection = SpectraPlotRequest::kFolders;
    }
    // Before the plot is computed, so that a mistyped size costs no time.
    const FigureSize size = FigureOption(a, FigureSize());
    ApplyChainArgs(ctx);
    StudyLoader& factory = ctx.workspace->Loader();
    const SpectraPlot plot = StudySpectraPlot(factory, *ctx.session, request, ctx.frontend);
    WriteSpectraPlotSvg(plot, a.Get("output"), size);
    ctx.frontend.Report("Plotted " + std::to_string(plot.curves.size()) + " curves of " +
                        std::to_string(plot.groups.size()) + " species to " + a.Get("output"));
    return 0;
}

}  // namespace

std::vector<Command> StoredSpectraCommands() {
    return {
        {"spectra list", "spectra list [--study NAME|ID] [--species FOLDER] [--site N]",
         "List the study's spectra: id, species, site, number, capture time of the site, "
         "position, enabled or disabled.",
         CmdSpectraList},
        {"spectra disable", "spectra disable ID... [--study NAME|ID]",
         "Keep spectra out of libraries, analyses and plots; the study's libraries become "
         "\"Not Ready\".",
         CmdSpectraDisable},
        {"spectra enable", "spectra enable ID... [--study NAME|ID]",
         "Use disabled spectra again; the study's libraries become \"Not Ready\".",
         CmdSpectraEnable},
        {"plot",
         "plot --stage " + StageWords(HasBands) + " "
         "[--species all|library|FOLDER...] [--details " + kSpectraDetails.Words() + "] "
         "[--size WxH[px|mm]] [--dpi N] --output FILE.svg",
         "Draw the study's enabled spectra at a stage of the chain as SVG: one curve per "
         "spectrum, or the mean with a band of one standard deviation per site or species, "
         "each species in the colour of its place among the study's species. " +
             FigureOptionsHelp(FigureSize()),
         CmdPlot},
    };
}

}  // namespace orvane
