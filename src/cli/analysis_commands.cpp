// SPDX-License-Identifier: GPL-3.0-or-later
// The analyses of the library and of the study's spectra: separability and principal
// components.
#include <ostream>
#include <string>

#include "chain/processing_session.h"
#include "cli/cli_context.h"
#include "chain/chain_options.h"
#include "plot/plot_svg.h"
#include "spectra/spectrum.h"
#include "stats/principal_components.h"
#include "stats/separability.h"
#include "stats/spectral_statistics.h"
#include "base/output_folder.h"
#include "base/shown_text.h"
#include "study/study_loader.h"

namespace orvane {

namespace {

int CmdSeparability(Context& ctx) {
    ApplyChainArgs(ctx);
    SeparabilitySettings settings;
    settings.name_type = NameTypeOption(ctx.args);
    settings.distance = Choice(ctx.args, "distance", {"jm", "b", "both"}, settings.distance);
    // The library of the chain options, loaded as the form loads it after every change.
    StudyLoader loader(*ctx.session);
    loader.SetStudy(ctx.session->StudyId());
    SpectralStatistics library(*ctx.session, loader);
    library.LoadLibrary();
    return SeparabilityReport(library, OutputFolder(*ctx.config), ctx.frontend, settings).empty()
               ? 1
               : 0;
}

int CmdPca(Context& ctx) {
    ApplyChainArgs(ctx);
    ProcessingSession& session = *ctx.session;
    StudyLoader loader(session);
    loader.SetStudy(session.StudyId());
    const OutputFolder output(*ctx.config);
    const PcaResult result = RunPca(session, loader, output, ctx.frontend);
    if (result.path.empty()) return 1;
    ScorePlotData plot;
    try {
        SwitchToPct(session);
        plot = PcaScorePlot(session, result.data);
    } catch (const OrvaneError& e) {
        plot.reason = std::string("No score plot: ") + e.what();
    }
    if (!plot.Ready()) {
        ctx.out << EscapeControls(result.path) << '\n';
        ctx.frontend.Error(plot.reason);
        return 1;
    }
    PlotLayout layout;
    layout.SetTitle(plot.title);
    layout.AddItem(plot.points);
    const std::string svg = output.PathFor("pca_score_plot", "svg");
    if (!WritePlotSvg(layout, true, svg)) {
        ctx.frontend.Error("Could not write the score plot to " + svg);
        return 1;
    }
    ctx.frontend.Report(plot.title + " written to file:\n" + svg);
    // The two paths last, one a line, for scripts.
    ctx.out << EscapeControls(result.path) << '\n' << EscapeControls(svg) << '\n';
    return 0;
}

}  // namespace

std::vector<Command> AnalysisCommands() {
    return {
        {"separability", "separability [--names common|maori|latin|folder] [--distance jm|b|both]",
         "JM and B distances of every pair of library classes; writes \"JM and B output.csv\" "
         "(\"JM output.csv\", \"B output.csv\").",
         CmdSeparability},
        {"pca", "pca",
         "Principal components of the study's spectra at the derived stage; writes "
         "pca_output.csv and the score plot pca_score_plot.svg and prints both paths.",
         CmdPca},
    };
}

}  // namespace orvane
