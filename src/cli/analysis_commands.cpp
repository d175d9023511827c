#include "cli/analysis_commands.h"

#include <ostream>
#include <string>

#include "base/orvane_error.h"
#include "chain/processing_session.h"
#include "cli/cli_frontend.h"
#include "forms/chain_selection.h"
#include "plot/plot_svg.h"
#include "spectra/spectrum.h"
#include "stats/principal_components.h"
#include "stats/separability.h"
#include "stats/spectral_statistics.h"
#include "study/spectra_factory_class.h"

namespace orvane {

int SeparabilityCommand(ConfigFile& config, ProcessingSession& session, CliFrontend& frontend,
                        int name_type, int distance) {
    Spectra_factory_class factory(config, session);
    factory.SetStudy(session.StudyId());
    SpectralStatistics library(session, factory);
    library.LoadLibrary();
    SeparabilitySettings settings;
    settings.name_type = name_type;
    settings.distance = distance;
    return SeparabilityReport(library, factory, frontend, settings).empty() ? 1 : 0;
}

int PcaCommand(ConfigFile& config, ProcessingSession& session, CliFrontend& frontend,
               std::ostream& out) {
    Spectra_factory_class factory(config, session);
    factory.SetStudy(session.StudyId());
    const PcaResult result = RunPca(session, factory, frontend);
    if (result.path.empty()) return 1;
    out << result.path << '\n';
    // As the form's PCT button: the PCT feature space chosen on the command line stays, else
    // the first one offered.
    ChainSelection pct;
    pct.feature_space_type = kFeaturePCT;
    if (session.FeatureSpaceType() == kFeaturePCT && session.FeatureSpaceId() != 0)
        pct.feature_space = std::to_string(session.FeatureSpaceId());
    ScorePlotData plot;
    try {
        ApplyChainSelection(session, pct);
        plot = PcaScorePlot(session, result.data);
    } catch (const OrvaneError& e) {
        plot.reason = std::string("No score plot: ") + e.what();
    }
    if (!plot.Ready()) {
        frontend.Error(plot.reason);
        return 1;
    }
    PlotLayout layout;
    layout.SetTitle(plot.title);
    layout.AddItem(plot.points);
    const std::string svg = factory.MakeOutputPath("pca_score_plot", "svg");
    if (!WritePlotSvg(layout, true, svg)) {
        frontend.Error("Could not write the score plot to " + svg);
        return 1;
    }
    frontend.Report(plot.title + " written to file:\n" + svg);
    out << svg << '\n';
    return 0;
}

}  // namespace orvane
