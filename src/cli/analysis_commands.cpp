// SPDX-License-Identifier: GPL-3.0-or-later
// The analyses of the library and of the study's spectra: the declared analyses, principal
// components and the comparison of sensors.
#include <ostream>
#include <string>

#include "chain/processing_session.h"
#include "cli/cli_context.h"
#include "forms/analyses.h"
#include "chain/chain_options.h"
#include "plot/plot_svg.h"
#include "plot/score_plot.h"
#include "plot/scree_plot.h"
#include "spectra/spectrum.h"
#include "stats/map_accuracy.h"
#include "stats/principal_components.h"
#include "stats/sensor_comparison.h"
#include "stats/separability.h"
#include "stats/spectral_statistics.h"
#include "base/number_text.h"
#include "base/output_folder.h"
#include "base/shown_text.h"
#include "study/study_loader.h"

namespace orvane {

namespace {

// A declared analysis as a command: its options read by their declaration, then the chain
// options, then the library those chose, loaded as the form loads it after every change.
int RunDeclared(const Analysis& analysis, Context& ctx) {
    AnalysisValues values = analysis.Defaults();
    for (const AnalysisOption& option : analysis.options) {
        if (!ctx.args.Has(option.name)) continue;
        int count = 0;
        try {
            values.Set(option.name, option.Parse(ctx.args.Get(option.name), count));
        } catch (const OrvaneError& e) {
            throw UsageError(e.what());
        }
        values.SetCount(option.name, count);
    }
    ApplyChainArgs(ctx);
    ctx.workspace->LoadLibrary();
    return analysis.run(*ctx.workspace, ctx.frontend, values).paths.empty() ? 1 : 0;
}

int CmdPca(Context& ctx) {
    const FigureSize size = FigureOption(ctx.args, WindowFigure());
    ApplyChainArgs(ctx);
    int first = 1, second = 2;
    if (ctx.args.Has("components")) {
        const std::string value = ctx.args.Get("components");
        const size_t comma = value.find(',');
        if (comma == std::string::npos)
            throw UsageError("--components takes two component numbers, e.g. 1,3; got \"" +
                             value + "\".");
        try {
            first = ParseInt(value.substr(0, comma), 1, 100000, "--components");
            second = ParseInt(value.substr(comma + 1), 1, 100000, "--components");
        } catch (const OrvaneError& e) {
            throw UsageError(e.what());
        }
        if (first == second)
            throw UsageError("--components needs two different components; got \"" + value +
                             "\".");
    }
    ProcessingSession& session = *ctx.session;
    StudyLoader& loader = ctx.workspace->Loader();
    const OutputFolder& output = ctx.workspace->Output();
    const PcaResult result = RunPca(session, loader, output, ctx.frontend);
    if (result.path.empty()) return 1;
    ScorePlotData plot;
    try {
        SwitchToPctAfterPca(session, ctx.frontend);
        plot = PcaScorePlot(session, result, first, second);
    } catch (const OrvaneError& e) {
        plot.reason = std::string("No score plot: ") + e.what();
    }
    if (!plot.Ready()) {
        ctx.out << EscapeControls(result.path) << '\n';
        ctx.frontend.Error(plot.reason);
        return 1;
    }
    const PlotLayout layout = ScorePlotLayout(plot);
    const std::string svg = output.PathFor("pca_score_plot", "svg");
    if (!WritePlotSvg(layout, true, svg, size)) {
        ctx.frontend.Error("Could not write the score plot to " + svg);
        return 1;
    }
    ctx.frontend.Report(plot.title + " written to file:\n" + svg);
    // The shares of variance tell how much of the data the two components shown carry.
    const ScreeLayout scree = ScreeLayoutOf(plot);
    const std::string scree_svg = output.PathFor("pca_scree_plot", "svg");
    if (!WriteScreeSvg(scree, scree_svg, size)) {
        ctx.frontend.Error("Could not write the explained variance to " + scree_svg);
        return 1;
    }
    ctx.frontend.Report(scree.Title() + " written to file:\n" + scree_svg);
    // The two paths last, one a line, for scripts.
    ctx.out << EscapeControls(result.path) << '\n' << EscapeControls(svg) << '\n';
    return 0;
}

// The sensors of every --sensors value in order: each value is split at its commas, except one
// beginning with "name:", which is a single name taken whole, commas and all.
std::vector<int> SensorsOption(Context& ctx) {
    std::vector<int> ids;
    auto [first, last] = ctx.args.options.equal_range("sensors");
    if (first == last) throw UsageError("compare needs --sensors NAME|ID,...");
    for (auto it = first; it != last; ++it) {
        const std::string& value = it->second;
        std::vector<std::string> words;
        if (value.rfind("name:", 0) == 0) {
            words.push_back(value);
        } else {
            size_t start = 0;
            for (size_t comma; (comma = value.find(',', start)) != std::string::npos;
                 start = comma + 1)
                words.push_back(value.substr(start, comma - start));
            words.push_back(value.substr(start));
        }
        for (const std::string& word : words) {
            if (word.empty())
                throw UsageError("--sensors \"" + EscapeControls(value) +
                                 "\" has an empty sensor; separate names or ids by single commas");
            ids.push_back(ResolveSensor(*ctx.session, word));
        }
    }
    return ids;
}

int CmdCompare(Context& ctx) {
    ApplyChainArgs(ctx);
    SensorComparisonOptions options;
    options.sensor_ids = SensorsOption(ctx);
    options.validation = ctx.args.Get("validate", options.validation);
    options.name_type = NameTypeOption(ctx.args);
    StudyLoader& loader = ctx.workspace->Loader();
    const SensorComparison result =
        CompareSensors(*ctx.session, loader, ctx.workspace->Output(), ctx.frontend, options);
    if (result.path.empty()) return 1;
    // The path last, for scripts.
    ctx.out << EscapeControls(result.path) << '\n';
    return 0;
}

int CmdMapAccuracy(Context& ctx) {
    MapAccuracyOptions options;
    options.map_path = ctx.args.Get("map");
    options.reference_path = ctx.args.Get("reference");
    options.classes_path = ctx.args.Get("classes");
    if (options.map_path.empty()) throw UsageError("map-accuracy needs --map CLASSES.tif");
    if (options.reference_path.empty())
        throw UsageError("map-accuracy needs --reference LABELS.tif|POINTS.csv");
    if (ctx.args.Has("classes") && options.classes_path.empty())
        throw UsageError("--classes needs a file");
    const MapAccuracy result = RunMapAccuracy(options, ctx.workspace->Output(), ctx.frontend);
    if (result.path.empty()) return 1;
    // The paths last, one a line, for scripts.
    ctx.out << EscapeControls(result.path) << '\n';
    if (!result.json_path.empty()) ctx.out << EscapeControls(result.json_path) << '\n';
    return result.json_path.empty() ? 1 : 0;
}

}  // namespace

std::vector<Command> AnalysisCommands() {
    std::vector<Command> commands;
    for (const Analysis& a : Analyses())
        commands.push_back({a.command, a.Usage(), a.help,
                            [&a](Context& ctx) { return RunDeclared(a, ctx); }});
    const std::vector<Command> others = {
        {"pca", "pca [--components X,Y] [--size WxH[px|mm]] [--dpi N]",
         "Principal components of the study's spectra at the derived stage; writes "
         "pca_output.csv, the score plot pca_score_plot.svg (components X and Y, 1,2 "
         "unless given; points coloured by species) and each component's share of the "
         "variance with the cumulative share, pca_scree_plot.svg; prints the paths of the "
         "first two last. " +
             FigureOptionsHelp(WindowFigure()),
         CmdPca},
        {"compare",
         "compare --sensors NAME|ID,... [--validate resubstitution|loo|kfold[:K]] "
         "[--names " + kNameTypes.Words() + "]",
         "For each sensor, in the current chain and feature space (DI and NTBI ranges mapped to "
         "its bands, PCT components from its own pca), build or reuse the library, run the "
         "discriminant analysis and the separability, and tabulate classes modelled, overall "
         "accuracy, kappa, validation, minimum and mean JM and the closest pair; writes "
         "sensor_comparison.csv (and sensor_comparison.json) and prints its path. The session's sensor is kept. Sensors are "
         "separated by commas, or given by repeating --sensors; a value beginning with name: is "
         "one name, commas included.",
         CmdCompare},
        {"map-accuracy",
         "map-accuracy --map CLASSES.tif --reference LABELS.tif|POINTS.csv "
         "[--classes MAPPING.csv]",
         "Accuracy of a class map (one band: 0 unclassified or no data, 1..k the classes, named "
         "by its category names) against reference labels: a raster on the map's grid (whole "
         "class codes, 0 or its no-data value unlabelled) or a CSV of points with the columns "
         "x,y,class (map coordinates, a class code or name). Reference codes are the map's class "
         "numbers or names, or are mapped by MAPPING.csv (columns reference,map; an empty map "
         "class leaves a reference class out). Reports the error matrix (rows classified as, "
         "columns reference), user's and producer's accuracies, overall accuracy and kappa, and "
         "the area-adjusted estimates for a stratified random sample with the map classes as "
         "strata (Olofsson et al. 2014): each class's area with its standard error and 95 % "
         "confidence interval, user's, producer's and overall accuracy with their standard "
         "errors. Writes \"Map Accuracy.csv\" and \"Map Accuracy.json\" and prints their "
         "paths.",
         CmdMapAccuracy},
    };
    commands.insert(commands.end(), others.begin(), others.end());
    return commands;
}

}  // namespace orvane
