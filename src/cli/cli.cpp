#include "cli/cli.h"

#include <unistd.h>

#include <cstdio>
#include <functional>
#include <map>
#include <memory>
#include <ostream>
#include <set>
#include <string>
#include <vector>

#include "forms/chain_selection.h"
#include "base/config_file.h"
#include "base/number_text.h"
#include "forms/main_form.h"
#include "forms/feature_space_actions.h"
#include "forms/filter_details.h"
#include "base/orvane_error.h"
#include "chain/processing_session.h"
#include "study/sensor_import.h"
#include "study/study_management.h"
#include "forms/waveband_filter_setup.h"
#include "chain/derivative_settings.h"
#include "chain/feature_space.h"
#include "chain/savitzky_golay_filter.h"
#include "cli/cli_frontend.h"
#include "export/export_spectra.h"
#include "spectra/field_spectrum_reader.h"
#include "study/spectra_factory_class.h"
#include "spectra/spectrum.h"
#include "spectra/spectrum_summary.h"
#include "study/z_profile_reader.h"
#include "stats/discriminant_analysis.h"
#include "stats/spectral_statistics.h"

namespace orvane {

namespace {

// Options that take no value; every other "--name" takes the next word as its value.
const std::set<std::string> kFlags = {"help", "yes", "include-filtered", "transpose",
                                      "sort-numerically"};

struct Args {
    std::vector<std::string> positional;
    std::multimap<std::string, std::string> options;

    bool Has(const std::string& name) const { return options.count(name) > 0; }
    std::string Get(const std::string& name, const std::string& fallback = "") const {
        auto range = options.equal_range(name);
        if (range.first == range.second) return fallback;
        return std::prev(range.second)->second;
    }
};

class UsageError : public OrvaneError {
  public:
    using OrvaneError::OrvaneError;
};

struct Context {
    Args args;
    std::ostream& out;
    std::ostream& err;
    CliFrontend& frontend;
    std::string config_path;
    std::unique_ptr<ConfigFile> config;
    std::unique_ptr<ProcessingSession> session;
};

struct Command {
    std::string name;
    std::string usage;
    std::string summary;
    std::function<int(Context&)> run;
};

// A whole number option within [low, high]; anything else is refused, never wrapped.
int IntOption(const Args& args, const std::string& name, int fallback, int low, int high) {
    if (!args.Has(name)) return fallback;
    try {
        return ParseInt(args.Get(name), low, high, "--" + name);
    } catch (const OrvaneError& e) {
        throw UsageError(e.what());
    }
}

// The chain options act like the form's controls, in the form's order, through the session.
void ApplyChainOptions(Context& ctx) {
    const Args& a = ctx.args;
    ChainSelection sel;
    if (a.Has("study")) sel.study = a.Get("study");
    if (a.Has("sensor")) sel.sensor = a.Get("sensor");
    if (a.Has("smoothing")) sel.smoothing_type = ParseSmoothingType(a.Get("smoothing"));
    if (a.Has("derivative"))
        sel.derivative_order = IntOption(a, "derivative", 0, 0, MainForm::kMaxDerivativeOrder);
    if (a.Has("method")) sel.derivative_method = ParseDerivativeMethod(a.Get("method"));
    if (a.Has("fs-type")) sel.feature_space_type = ParseFeatureSpaceType(a.Get("fs-type"));
    if (a.Has("feature-space")) sel.feature_space = a.Get("feature-space");
    if (a.Has("classifier")) sel.classifier = ParseClassifier(a.Get("classifier"));
    ApplyChainSelection(*ctx.session, sel);
}

std::pair<int, int> ParseRange(const std::string& text, const std::string& what) {
    try {
        const NumberPair pair = ParseIntRange(text, 0, kMaxTypedWavelength, what);
        return {pair.first, pair.second};
    } catch (const OrvaneError& e) {
        throw UsageError(e.what());
    }
}

int CmdFilterShow(Context& ctx) {
    ApplyChainOptions(ctx);
    WavebandFilterSetup setup(*ctx.session);
    setup.Show();
    for (const std::string& line : setup.Lines()) ctx.out << line << '\n';
    return 0;
}

int CmdFilterSet(Context& ctx) {
    ApplyChainOptions(ctx);
    std::vector<std::pair<int, int>> ranges;
    for (const std::string& word : ctx.args.positional)
        ranges.push_back(ParseRange(word, "A filter range"));
    WavebandFilterSetup setup(*ctx.session);
    setup.Show();
    while (!setup.Lines().empty()) setup.Delete(0);
    for (const auto& [lower, upper] : ranges) setup.New(lower, upper);
    setup.Ok();
    for (const std::string& line : setup.Lines()) ctx.out << line << '\n';
    return 0;
}

int CmdFilterAddDefaults(Context& ctx) {
    ApplyChainOptions(ctx);
    WavebandFilterSetup setup(*ctx.session);
    setup.Show();
    setup.AddDefaultRanges();
    setup.Ok();
    for (const std::string& line : setup.Lines()) ctx.out << line << '\n';
    return 0;
}

int CmdSmoothingSet(Context& ctx) {
    if (!ctx.args.Has("smoothing")) ctx.args.options.emplace("smoothing", "sg-mw");
    ApplyChainOptions(ctx);
    auto* filter = dynamic_cast<SavitzkyGolayFilter*>(ctx.session->Smoothing());
    const FilterDetailRanges limits;
    const int size = IntOption(ctx.args, "size", filter ? filter->Size() : 31, 1, limits.max_size);
    const int order =
        IntOption(ctx.args, "order", filter ? filter->Order() : 4, 1, limits.max_order);
    ApplySmoothingDetails(*ctx.session, size, order);
    ctx.frontend.Report(Sql("Smoothing filter: size %i, polynomial order %i", size, order));
    return 0;
}

int CmdDerivativeSet(Context& ctx) {
    if (!ctx.args.Has("derivative")) ctx.args.options.emplace("derivative", "1");
    if (!ctx.args.Has("method")) ctx.args.options.emplace("method", "savgol");
    ApplyChainOptions(ctx);
    DerivativeSettings* d = ctx.session->Derivative();
    const FilterDetailRanges limits;
    const int size = IntOption(ctx.args, "size", d ? d->FilterSize() : 5, 1, limits.max_size);
    const int order =
        IntOption(ctx.args, "order", d ? d->PolynomialOrder() : 4, 1, limits.max_order);
    ApplyDerivativeDetails(*ctx.session, size, order);
    ctx.frontend.Report(Sql("Derivative filter (order %i): size %i, polynomial order %i",
                            ctx.session->DerivativeOrder(), size, order));
    return 0;
}

int CmdFeatureSpaceList(Context& ctx) {
    ApplyChainOptions(ctx);
    const std::vector<FeatureSpaceItem> items = ListFeatureSpaces(*ctx.session);
    if (items.empty()) ctx.out << "No feature spaces of this type\n";
    for (const FeatureSpaceItem& item : items)
        ctx.out << item.id << '\t' << EscapeControls(item.name) << '\n';
    return 0;
}

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
                ctx.frontend.Error("Note on " + path + ": " + note);
        } catch (const OrvaneError& e) {
            ctx.frontend.Error(e.what());
            ++failures;
        }
    }
    return failures ? 1 : 0;
}

int CmdOpen(Context& ctx) {
    return SummariseFiles(ctx, "open", [&](const std::string& path) {
        return ReadFieldSpectrumFile(path, ctx.session.get());
    });
}

int CmdZProfile(Context& ctx) {
    if (!ctx.args.positional.empty()) ApplyChainOptions(ctx);
    return SummariseFiles(ctx, "zprofile", [&](const std::string& path) {
        return ReadZProfile(path, ctx.session.get());
    });
}

int CmdFeatureSpaceShow(Context& ctx) {
    ApplyChainOptions(ctx);
    const FeatureSpace* fs = ctx.session->CurrentFeatureSpace();
    if (!fs) throw OrvaneError("No feature space is selected.");
    ctx.out << "id\t" << fs->Id() << "\nname\t" << EscapeControls(fs->Name()) << "\ntype\t"
            << fs->TypeName() << "\ndimension\t" << fs->Dimension() << "\ndescription\t"
            << EscapeControls(fs->Description()) << '\n';
    for (const auto& r : fs->Ranges())
        ctx.out << Sql("%i - %i nm", r.wavelength1, r.wavelength2) << '\n';
    return 0;
}

// The position of a word in a list of choices; the option's usage error names them all.
int Choice(const Args& args, const std::string& name, const std::vector<std::string>& choices,
           int fallback) {
    if (!args.Has(name)) return fallback;
    const std::string value = args.Get(name);
    std::string all;
    for (size_t i = 0; i < choices.size(); ++i) {
        if (choices[i] == value) return static_cast<int>(i);
        all += (i ? "|" : "") + choices[i];
    }
    throw UsageError("--" + name + " must be " + all + ", not \"" + value + "\"");
}

int CmdExport(Context& ctx) {
    ApplyChainOptions(ctx);
    const Args& a = ctx.args;
    ExportSettings settings;
    static const std::vector<std::string> kStages = {
        "raw", "filtered", "smoothed", "synth", "derived", "features", "synth-interpolated"};
    settings.stage = Choice(a, "stage", kStages, settings.stage);
    settings.format = Choice(a, "format", {"arff", "csv", "envi"}, settings.format);
    settings.species_restriction = Choice(
        a, "species", {"all", "library", "endmembers", "mixtures"}, settings.species_restriction);
    settings.data_details =
        Choice(a, "details", {"spectra", "site-mean", "species-mean"}, settings.data_details);
    settings.name_type =
        Choice(a, "names", {"common", "maori", "latin", "folder", "number"}, settings.name_type);
    settings.include_filtered = a.Has("include-filtered");
    settings.transpose = a.Has("transpose");
    settings.sort_numerically = a.Has("sort-numerically");
    settings.offset_percent = IntOption(a, "offset", 0, 0, 100);
    Spectra_factory_class factory(*ctx.config, *ctx.session);
    factory.SetStudy(ctx.session->StudyId());
    const ExportResult result = ExportSpectra(factory, *ctx.session, ctx.frontend, settings);
    if (!result.path.empty()) ctx.out << EscapeControls(result.path) << '\n';
    return 0;
}

// The chain options applied, then the library of that configuration loaded, as the form does
// after every change of the chain.
struct LibraryContext {
    explicit LibraryContext(Context& ctx)
        : factory(*ctx.config, *ctx.session), library(*ctx.session, factory) {
        factory.SetStudy(ctx.session->StudyId());
        library.LoadLibrary();
    }
    Spectra_factory_class factory;
    SpectralStatistics library;
};

int NameTypeOption(const Args& args) {
    return Choice(args, "names", {"common", "maori", "latin", "folder"}, 3);
}

int CmdLibraryBuild(Context& ctx) {
    ApplyChainOptions(ctx);
    LibraryContext lib(ctx);
    if (!lib.library.BuildLibrary(ctx.frontend))
        throw OrvaneError(
            "No feature space is selected; choose one (--fs-type, --feature-space) "
            "before building the library.");
    ctx.out << lib.library.StatusText() << '\n';
    return 0;
}

int CmdLibraryStatus(Context& ctx) {
    ApplyChainOptions(ctx);
    LibraryContext lib(ctx);
    ctx.out << lib.library.StatusText() << '\n';
    return 0;
}

int CmdClassify(Context& ctx) {
    ApplyChainOptions(ctx);
    LibraryContext lib(ctx);
    if (ctx.args.positional.empty()) throw UsageError("classify needs at least one FILE");
    int failures = 0;
    for (const std::string& path : ctx.args.positional) {
        try {
            std::unique_ptr<Spectrum> spectrum = ReadFieldSpectrumFile(path, ctx.session.get());
            const std::string ranking = lib.library.Classify(*spectrum).Format(1);
            ctx.frontend.Report(spectrum->DisplayName() + "\n" + ranking);
        } catch (const SingularCovarianceError&) {
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

int CmdDiscriminantAnalysis(Context& ctx) {
    ApplyChainOptions(ctx);
    LibraryContext lib(ctx);
    return AccuracyExit(
        RunDiscriminantAnalysis(lib.library, lib.factory, ctx.frontend, NameTypeOption(ctx.args)));
}

int CmdDiscriminantIndependent(Context& ctx) {
    ApplyChainOptions(ctx);
    if (!ctx.args.Has("with")) throw UsageError("da-independent needs --with STUDY");
    const int study = ResolveStudy(*ctx.session, ctx.args.Get("with"));
    LibraryContext lib(ctx);
    return AccuracyExit(ClassifyIndependentSet(lib.library, lib.factory, *ctx.session, ctx.frontend,
                                               study, NameTypeOption(ctx.args)));
}

int CmdSiteCheck(Context& ctx) {
    ApplyChainOptions(ctx);
    if (!ctx.args.Has("species")) throw UsageError("site-check needs --species FOLDER");
    LibraryContext lib(ctx);
    const int index = lib.library.ClassIndexOf(ctx.args.Get("species"));
    if (index < 0)
        throw OrvaneError("The library has no class \"" + ctx.args.Get("species") +
                          "\"; its classes are the species folders it was built from.");
    SiteAccuracyCheck(lib.library, lib.factory, ctx.frontend, lib.library.Class(index).species_id);
    return 0;
}

// The edit fields of the "Feature Space Actions" dialog as options; --range replaces the list.
int SaveFeatureSpace(Context& ctx, int mode) {
    ApplyChainOptions(ctx);
    if (!ctx.args.positional.empty())
        throw UsageError("unexpected argument \"" + ctx.args.positional[0] + "\"");
    FeatureSpaceActions actions(*ctx.session);
    actions.Show(mode);
    if (ctx.args.Has("name")) actions.SetName(ctx.args.Get("name"));
    if (ctx.args.Has("description")) actions.SetDescription(ctx.args.Get("description"));
    if (ctx.args.Has("dimension")) {
        if (actions.Type() != 2)
            throw UsageError(
                "--dimension applies to PCT only; DI and NTBI have one feature per "
                "--range");
        actions.SetDimension(IntOption(ctx.args, "dimension", 0, 1, kSpectrumBands));
    }
    if (ctx.args.Has("range")) {
        if (actions.Type() == 2) throw UsageError("a PCT feature space takes no --range");
        while (!actions.Entries().empty()) actions.Delete(0);
        auto given = ctx.args.options.equal_range("range");
        for (auto it = given.first; it != given.second; ++it) {
            const auto [w1, w2] = ParseRange(it->second, "--range");
            actions.New(w1, w2);
        }
    }
    const int id = actions.Ok();
    ctx.frontend.Report(Sql("Feature space %i saved: %s", id, actions.Name().c_str()));
    if (!actions.Notice().empty()) ctx.frontend.Error(actions.Notice());
    return 0;
}

int CmdFeatureSpaceNew(Context& ctx) { return SaveFeatureSpace(ctx, FeatureSpaceActions::kNew); }
int CmdFeatureSpaceEdit(Context& ctx) { return SaveFeatureSpace(ctx, FeatureSpaceActions::kEdit); }
int CmdFeatureSpaceCopy(Context& ctx) {
    return SaveFeatureSpace(ctx, FeatureSpaceActions::kCopyAndEdit);
}

int CmdFeatureSpaceDelete(Context& ctx) {
    if (!ctx.args.Has("yes"))
        throw UsageError(
            "feature-space delete also deletes the libraries built on the feature "
            "space and their statistics; add --yes to confirm");
    ApplyChainOptions(ctx);
    const FeatureSpace* fs = ctx.session->CurrentFeatureSpace();
    if (!fs) throw OrvaneError("No feature space is selected.");
    const int id = fs->Id();
    const std::string name = fs->Name();
    DeleteFeatureSpace(*ctx.session, id);
    ctx.frontend.Report(Sql("Feature space %i deleted: %s", id, name.c_str()));
    return 0;
}

int CmdSensors(Context& ctx) {
    for (const auto& sensor : ctx.session->Sensors()) {
        ctx.out << sensor->SensorId() << '\t' << EscapeControls(sensor->Name()) << '\t'
                << sensor->ResponseType()
                << '\t' << sensor->ElementCount() << '\n';
    }
    return 0;
}

int CmdSensorImport(Context& ctx) {
    if (ctx.args.positional.size() != 1) throw UsageError("sensor import needs one FILE");
    const std::string type = ctx.args.Get("type", "gaussian");
    int index;
    if (type == "gaussian")
        index = 0;
    else if (type == "ratio")
        index = 1;
    else
        throw UsageError("--type must be gaussian or ratio, not \"" + type + "\"");
    ImportSensor(*ctx.session, ctx.frontend, ctx.args.positional[0], index);
    return 0;
}

int CmdStudies(Context& ctx) {
    ResultSet rows = ctx.session->Db().Query("SELECT study_id, name FROM study order by study_id");
    while (rows.Next()) ctx.out << rows.Text(0) << '\t' << EscapeControls(rows.String(1)) << '\n';
    return 0;
}

// The global --study option, or else the session's first study.
void SelectStudy(Context& ctx) {
    if (ctx.args.Has("study"))
        ctx.session->SetStudy(ResolveStudy(*ctx.session, ctx.args.Get("study")));
    if (ctx.session->StudyId() == 0)
        throw OrvaneError("There is no study in the database; create one with \"study create\".");
}

int CmdStudyCreate(Context& ctx) {
    if (!ctx.args.Has("name")) throw UsageError("study create needs --name NAME");
    if (!ctx.args.Has("path")) throw UsageError("study create needs --path DIR");
    StudyFields fields;
    fields.name = ctx.args.Get("name");
    fields.data_path = ctx.args.Get("path");
    fields.description = ctx.args.Get("description");
    fields.min_samples = IntOption(ctx.args, "min-samples", fields.min_samples, 0, 10000);
    const int id = StudyManagement(*ctx.session, ctx.frontend).CreateStudy(fields);
    ctx.out << id << '\t' << EscapeControls(fields.name) << '\n';
    return 0;
}

int CmdStudyDelete(Context& ctx) {
    SelectStudy(ctx);
    ctx.frontend.SetAnswer(ctx.args.Has("yes"));
    if (!StudyManagement(*ctx.session, ctx.frontend).DeleteCurrentStudy()) {
        ctx.frontend.Error("Nothing was deleted; add --yes to delete the study.");
        return 1;
    }
    return 0;
}

int CmdStudyReport(Context& ctx) {
    SelectStudy(ctx);
    StudyManagement(*ctx.session, ctx.frontend).StudyReport();
    return 0;
}

int CmdImport(Context& ctx) {
    SelectStudy(ctx);
    Spectra_factory_class factory(*ctx.config, *ctx.session);
    factory.SetStudy(ctx.session->StudyId());
    const ImportCounts added = factory.ImportStudySpectra(ctx.frontend);
    ctx.out << Sql("Added %i species, %i sites and %i spectra; %i skipped\n", added.species,
                   added.sites, added.spectra, added.skipped);
    return 0;
}

const std::vector<Command>& Commands() {
    static const std::vector<Command> commands = {
        {"sensors", "sensors", "List the sensors: id, name, response type, number of elements.",
         CmdSensors},
        {"sensor import", "sensor import FILE [--type gaussian|ratio]",
         "Import a sensor definition file (default type: gaussian).", CmdSensorImport},
        {"studies", "studies", "List the studies: id and name.", CmdStudies},
        {"study create",
         "study create --name NAME --path DIR [--description TEXT] [--min-samples N]",
         "Create a study of the species folders under DIR (minimum samples per species 0-10000, "
         "default 15) and print its id.",
         CmdStudyCreate},
        {"study delete", "study delete [--study NAME|ID] --yes",
         "Delete the study with all its species, sites, spectra, settings and results.",
         CmdStudyDelete},
        {"study report", "study report [--study NAME|ID]",
         "Report the study's description, data path, counts and capture timeframe.",
         CmdStudyReport},
        {"import", "import [--study NAME|ID]",
         "Import the study's folder tree: species folders, site folders, instrument files; what "
         "is stored already is kept.",
         CmdImport},
        {"filter show", "filter show", "Show the study's waveband filter ranges.", CmdFilterShow},
        {"filter set", "filter set LOWER-UPPER ...",
         "Replace the study's waveband filter ranges (none given: no ranges).", CmdFilterSet},
        {"filter add-defaults", "filter add-defaults",
         "Add the configured default ranges (filter_b, filter_br) to the study's filter.",
         CmdFilterAddDefaults},
        {"smoothing set", "smoothing set [--smoothing sg-mw|sg-fft] --size W --order M",
         "Set and store the study's Savitzky-Golay smoothing window.", CmdSmoothingSet},
        {"derivative set", "derivative set [--derivative N] --size W --order M",
         "Set and store the Savitzky-Golay derivative window of an order (method savgol).",
         CmdDerivativeSet},
        {"open", "open FILE...",
         "Read instrument files: name, number, capture time, position, comment.", CmdOpen},
        {"zprofile", "zprofile FILE... [--sensor NAME|ID]",
         "Read ENVI Z profiles onto the sensor's bands: name, number, capture time, position, "
         "comment.",
         CmdZProfile},
        {"feature-space list", "feature-space list [--fs-type DI|NTBI|PCT]",
         "List the feature spaces of a type that fit the sensor.", CmdFeatureSpaceList},
        {"feature-space show", "feature-space show [--feature-space NAME|ID]",
         "Show a feature space's definition.", CmdFeatureSpaceShow},
        {"feature-space new",
         "feature-space new --fs-type DI|NTBI|PCT --name NAME [--description TEXT] "
         "(--range W1-W2 ... | --dimension N)",
         "Store a new feature space of the type: DI/NTBI from its ranges, PCT with a dimension.",
         CmdFeatureSpaceNew},
        {"feature-space edit",
         "feature-space edit [--feature-space NAME|ID] [--name NAME] [--description TEXT] "
         "[--range W1-W2 ... | --dimension N]",
         "Change a feature space; given ranges replace its ranges.", CmdFeatureSpaceEdit},
        {"feature-space copy",
         "feature-space copy [--feature-space NAME|ID] [--name NAME] [--description TEXT] "
         "[--range W1-W2 ... | --dimension N]",
         "Store a copy of a feature space (default name: its name and \"_copy\").",
         CmdFeatureSpaceCopy},
        {"feature-space delete", "feature-space delete [--feature-space NAME|ID] --yes",
         "Delete a feature space with its libraries and their statistics.", CmdFeatureSpaceDelete},
        {"library build", "library build",
         "Build the spectral library of the current chain settings and print its status.",
         CmdLibraryBuild},
        {"library status", "library status",
         "Print \"Ready\" when the library of the current chain settings is up to date, else "
         "\"Not Ready\".",
         CmdLibraryStatus},
        {"classify", "classify FILE...",
         "Classify instrument files against the library; prints each ranked result.", CmdClassify},
        {"da", "da [--names common|maori|latin|folder]",
         "Discriminant analysis of the library species; writes \"Error Matrix.csv\".",
         CmdDiscriminantAnalysis},
        {"da-independent", "da-independent --with STUDY [--names common|maori|latin|folder]",
         "Classify another study's species against the library; writes \"Error Matrix.csv\".",
         CmdDiscriminantIndependent},
        {"site-check", "site-check --species FOLDER",
         "Share of each site's spectra that each library class wins.", CmdSiteCheck},
        {"export",
         "export [--stage raw|filtered|smoothed|synth|synth-interpolated|derived|features] "
         "[--format csv|arff|envi] [--species all|library|endmembers|mixtures] "
         "[--details spectra|site-mean|species-mean] [--names common|maori|latin|folder|number] "
         "[--include-filtered] [--transpose] [--offset PCT] [--sort-numerically]",
         "Export the study's spectra at one stage of the chain to the output folder and print "
         "the file's path (defaults: synth, csv, library, spectra, folder).",
         CmdExport},
    };
    return commands;
}

void PrintUsage(std::ostream& out) {
    out << "usage: orvane-cli [--config FILE] COMMAND [OPTIONS]\n\n"
           "Global options:\n"
           "  --config FILE   configuration file (default ./spectra_config.txt)\n"
           "  --help          this text; COMMAND --help describes one command\n"
           "Chain options (for commands that process spectra), applied in this order:\n"
           "  --study NAME|ID  --sensor NAME|ID  --smoothing none|sg-mw|sg-fft\n"
           "  --derivative N  --method iterative|savgol  --fs-type DI|NTBI|PCT\n"
           "  --feature-space NAME|ID\n"
           "  --classifier mahalanobis|modified-mahalanobis|gsd|sam\n\n"
           "Commands:\n";
    for (const Command& c : Commands()) {
        out << "  " << c.usage << "\n      " << c.summary << '\n';
    }
}

Args Parse(const std::vector<std::string>& words) {
    Args args;
    for (size_t i = 0; i < words.size(); ++i) {
        const std::string& w = words[i];
        if (w.size() > 2 && w.compare(0, 2, "--") == 0) {
            std::string name = w.substr(2);
            const size_t eq = name.find('=');
            if (eq != std::string::npos) {
                args.options.emplace(name.substr(0, eq), name.substr(eq + 1));
            } else if (kFlags.count(name)) {
                args.options.emplace(name, "");
            } else {
                if (i + 1 >= words.size()) throw UsageError("option --" + name + " needs a value");
                args.options.emplace(name, words[++i]);
            }
        } else {
            args.positional.push_back(w);
        }
    }
    return args;
}

}  // namespace

int RunCli(int argc, const char* const* argv, std::ostream& out, std::ostream& err) {
    CliFrontend frontend(out, err, isatty(STDERR_FILENO) != 0);
    std::vector<std::string> words(argv + 1, argv + argc);
    Args global;
    try {
        global = Parse(words);
    } catch (const UsageError& e) {
        frontend.Error(e.what());
        return 2;
    }
    if (global.positional.empty()) {
        PrintUsage(global.Has("help") ? out : err);
        return global.Has("help") ? 0 : 2;
    }
    // The command is the longest known name made of the first positional words.
    const Command* command = nullptr;
    size_t used = 0;
    for (const Command& c : Commands()) {
        std::string joined;
        for (size_t n = 1; n <= global.positional.size() && n <= 2; ++n) {
            joined += (n > 1 ? " " : "") + global.positional[n - 1];
            if (joined == c.name && n > used) {
                command = &c;
                used = n;
            }
        }
    }
    if (!command) {
        frontend.Error("unknown command \"" + global.positional[0] + "\"; see orvane-cli --help");
        return 2;
    }
    Context ctx{global,  out,    err, frontend, global.Get("config", ConfigFile::kDefaultName),
                nullptr, nullptr};
    ctx.args.positional.erase(ctx.args.positional.begin(),
                              ctx.args.positional.begin() + static_cast<long>(used));
    if (ctx.args.Has("help")) {
        out << "usage: orvane-cli [--config FILE] " << command->usage << "\n  " << command->summary
            << '\n';
        return 0;
    }
    try {
        ctx.config = std::make_unique<ConfigFile>(ctx.config_path);
        try {
            ctx.config->Open();
        } catch (const FileNotFoundError& e) {
            // The program's own start-up message goes to standard output.
            out << e.what();
            out.flush();
            return 1;
        }
        try {
            ctx.session = std::make_unique<ProcessingSession>(*ctx.config);
        } catch (const ConnectError& e) {
            frontend.Error(std::string("could not connect to the database: ") + e.what());
            return 1;
        }
        for (const std::string& w : ctx.session->Warnings()) frontend.Error(w);
        const int rc = command->run(ctx);
        out.flush();
        return rc;
    } catch (const UsageError& e) {
        frontend.Error(std::string(e.what()) + "\nusage: orvane-cli " + command->usage);
        return 2;
    } catch (const std::exception& e) {
        frontend.Error(e.what());
        return 1;
    }
}

}  // namespace orvane
