// SPDX-License-Identifier: GPL-3.0-or-later
#include "cli/cli.h"

#include <unistd.h>

#include <atomic>
#include <cctype>
#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <functional>
#include <map>
#include <memory>
#include <ostream>
#include <set>
#include <string>
#include <vector>

#include "base/parallel.h"
#include "base/config_file.h"
#include "base/version.h"
#include "base/orvane_error.h"
#include "base/shown_text.h"
#include "chain/chain_options.h"
#include "chain/derivative_settings.h"
#include "chain/smoothing_type.h"
#include "export/export_formats.h"
#include "export/export_spectra.h"
#include "spectra/species_names.h"
#include "spectra/spectrum.h"
#include "stats/separability.h"
#include "study/sensor_import.h"
#include "chain/processing_session.h"
#include "cli/cli_context.h"
#include "cli/cli_frontend.h"
#include "forms/command_rights.h"
#include "forms/workspace.h"
#include "store/database.h"

namespace orvane {

namespace {

// Options that take no value; every other "--name" takes the next word as its value.
const std::set<std::string> kFlags = {"help", "version", "yes", "all", "include-filtered",
                                      "transpose", "sort-numerically", "ids"};
// The global and chain options; a command's own options are those its usage line names.
const std::set<std::string> kGlobalOptions = {
    "config", "threads", "study",  "sensor",        "smoothing", "derivative",
    "method", "fs-type", "feature-space", "classifier"};

const std::vector<Command>& Commands() {
    static const std::vector<Command> commands = [] {
        std::vector<Command> all;
        for (auto group : {StudyCommands, ChainCommands, SpectraCommands, FeatureSpaceCommands,
                           LibraryCommands, AnalysisCommands, ExportCommands, MixingCommands,
                           StoredSpectraCommands, MapCommands}) {
            std::vector<Command> commands = group();
            all.insert(all.end(), commands.begin(), commands.end());
        }
        return all;
    }();
    return commands;
}

// How every NAME|ID is read; the lookup and the name checks in the core follow this rule.
constexpr const char* kNameOrIdHelp =
    "NAME|ID (a study, sensor or feature space):\n"
    "  id:N       always the id N\n"
    "  name:TEXT  always the name TEXT, exactly (also a name made of digits)\n"
    "  N          digits only: the id N; refused as ambiguous when another record\n"
    "             of that kind is named N (give id:N or name:N)\n"
    "  TEXT       anything else: the name TEXT, exactly\n"
    "  New names and renames made of digits only (blanks around them aside), beginning\n"
    "  with id: or name:, or not valid UTF-8 are refused.\n";

// The third name type has one word everywhere; the older word stays readable.
std::string NamesHelp() {
    return "--names " + kNameTypes.Words() +
           ": which of a species' names results show (folder by\n"
           "  default; a name a species lacks shows its folder name). local is the species' local\n"
           "  name, the one \"species rename --local\" sets; \"" +
           kLocalNameOldWord + "\" is accepted as a synonym.\n";
}

void PrintUsage(std::ostream& out) {
    out << "usage: orvane-cli [--config FILE] COMMAND [OPTIONS]\n\n"
           "Global options:\n"
           "  --config FILE   configuration file (default: ./spectra_config.txt, else\n"
           "                  $ORVANE_HOME/spectra_config.txt, ORVANE_HOME defaulting to\n"
           "                  ~/.local/share/orvane)\n"
           "  --threads N     threads for library builds, validations, PCA, exports and\n"
           "                  sensor comparisons (default: $ORVANE_THREADS, else the\n"
           "                  machine's cores); results are the same for any count\n"
           "  --help          this text; COMMAND --help describes one command\n"
           "  --version       the program's version\n"
           "Chain options (for commands that process spectra), applied in this order:\n"
           "  --study NAME|ID  --sensor NAME|ID  --smoothing "
        << kSmoothingTypes.Words() << "\n  --derivative N  --method " << kDerivativeMethods.Words()
        << "  --fs-type " << kFeatureTypes.Words()
        << "\n"
           "  --feature-space NAME|ID\n"
           "  --classifier "
        << ClassifierWords() << "\n";
    for (const StageDeclaration* s : OptionalStages()) {
        std::string modes;
        for (const char* m : s->option->modes) modes += (modes.empty() ? "" : "|") + std::string(m);
        const std::string option = "--" + std::string(s->option->word) + ' ' + modes;
        out << "  " << option << std::string(option.size() < 24 ? 24 - option.size() : 1, ' ')
            << s->option->label << ", stage " << s->word << " (off: its input unchanged)\n";
    }
    out << "\n"
        << kNameOrIdHelp << NamesHelp()
        << "\n"
           "Exit status: 0 done, 1 failed, 2 usage error, 3 import skipped files or folders,\n"
           "4 cancelled (Ctrl+C; a library build then keeps the previous library).\n\n"
           "Commands:\n";
    for (const Command& c : Commands()) {
        out << "  " << c.usage << "\n      " << c.summary << '\n';
    }
}

// The hidden command that prints, one option a line, the words of each option that takes a
// declared choice ("--details spectra|site-mean|species-mean"), so that a test can hold the
// bash completion to the tables.
constexpr const char* kChoiceWordsCommand = "choice-words";

void PrintChoiceWords(std::ostream& out) {
    out << "--smoothing " << kSmoothingTypes.Words() << '\n'
        << "--method " << kDerivativeMethods.Words() << '\n'
        << "--fs-type " << kFeatureTypes.Words() << '\n'
        << "--classifier " << ClassifierWords() << '\n';
    for (const StageDeclaration* s : OptionalStages()) {
        std::string modes;
        for (const char* m : s->option->modes) modes += (modes.empty() ? "" : "|") + std::string(m);
        out << "--" << s->option->word << ' ' << modes << '\n';
    }
    out << "--stage " << StageWords([](Stage) { return true; }) << '\n'
        << "--format " << ExportFormatWords() << '\n'
        << "--species " << kRestrictions.Words() << '\n'
        << "--details " << kSpectraDetails.Words() << '\n'
        << "--names " << kExportNameTypes.Words() << '\n'
        << "--number-format " << kNumberFormats.Words() << '\n'
        << "--distance " << kDistances.Words() << '\n'
        << "--type " << kImportResponseTypes.Words() << '\n';
}

// Every option any command knows: the global ones, the flags, and each "--name" that a usage
// line shows.
const std::set<std::string>& KnownOptions() {
    static const std::set<std::string> known = [] {
        std::set<std::string> all = kGlobalOptions;
        for (const StageDeclaration* s : OptionalStages()) all.insert(s->option->word);
        all.insert(kFlags.begin(), kFlags.end());
        for (const Command& c : Commands()) {
            for (size_t at = c.usage.find("--"); at != std::string::npos;
                 at = c.usage.find("--", at + 2)) {
                size_t end = at + 2;
                while (end < c.usage.size() &&
                       (std::isalnum(static_cast<unsigned char>(c.usage[end])) ||
                        c.usage[end] == '-'))
                    ++end;
                if (end > at + 2) all.insert(c.usage.substr(at + 2, end - at - 2));
            }
        }
        return all;
    }();
    return known;
}

Args Parse(const std::vector<std::string>& words) {
    Args args;
    for (size_t i = 0; i < words.size(); ++i) {
        const std::string& w = words[i];
        if (w.size() > 2 && w.compare(0, 2, "--") == 0) {
            std::string name = w.substr(2);
            const size_t eq = name.find('=');
            const std::string bare = eq == std::string::npos ? name : name.substr(0, eq);
            if (!KnownOptions().count(bare))
                throw UsageError("unknown option --" + bare + "; see orvane-cli --help");
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

// The command is the longest known name made of the first positional words; `used` tells
// how many words it took.
const Command* FindCommand(const std::vector<std::string>& words, size_t& used) {
    const Command* command = nullptr;
    for (const Command& c : Commands()) {
        std::string joined;
        for (size_t n = 1; n <= words.size() && n <= 2; ++n) {
            joined += (n > 1 ? " " : "") + words[n - 1];
            if (joined == c.name && n > used) {
                command = &c;
                used = n;
            }
        }
    }
    return command;
}

// Without --config: the working directory's file, else the one in $ORVANE_HOME.
std::string ConfigPath(const Args& global) {
    if (!global.Get("config").empty()) return global.Get("config");
    const std::string found = ConfigFile::Locate();
    return found.empty() ? ConfigFile::kDefaultName : found;
}

// A command's --help, which needs no configuration.
int PrintCommandHelp(std::ostream& out, const Command& command) {
    out << "usage: orvane-cli [--config FILE] " << command.usage << "\n  " << command.summary
        << '\n';
    if (command.usage.find("NAME|ID") != std::string::npos) out << '\n' << kNameOrIdHelp;
    if (command.usage.find("--names") != std::string::npos) out << '\n' << NamesHelp();
    return 0;
}

// Opens the workspace: reads the configuration and connects to the database; returns 0, or
// the exit status when either fails (an OrvaneError from the configuration goes to the
// caller's catch).
int OpenWorkspace(Context& ctx, bool searched) {
    try {
        ctx.workspace = std::make_unique<Workspace>(
            ctx.config_path, [&ctx](const std::string& w) { ctx.frontend.Error(w); });
    } catch (const FileNotFoundError& e) {
        // The program's own start-up message goes to standard output.
        ctx.out << EscapeEntryControls(e.what());
        ctx.out.flush();
        if (searched) ctx.err << ConfigFile::NotFoundMessage() << '\n';
        return 1;
    } catch (const ConnectError& e) {
        ctx.frontend.Error(std::string("could not connect to the database: ") + e.what());
        return 1;
    }
    ctx.session = &ctx.workspace->Session();
    return 0;
}

// The run that Ctrl+C cancels; set only while a command runs.
std::atomic<Feedback*> interrupted_run{nullptr};

extern "C" void OnInterrupt(int) {
    if (Feedback* run = interrupted_run.load()) run->RequestCancel();
}

// While it lives, the first Ctrl+C asks the command to stop at its next unit of work (a
// second one ends the program as usual).
class InterruptCancels {
  public:
    explicit InterruptCancels(Feedback& run) {
        interrupted_run.store(&run);
        struct sigaction action = {};
        action.sa_handler = OnInterrupt;
        action.sa_flags = SA_RESETHAND;
        sigemptyset(&action.sa_mask);
        installed_ = sigaction(SIGINT, &action, &previous_) == 0;
    }
    ~InterruptCancels() {
        if (installed_) sigaction(SIGINT, &previous_, nullptr);
        interrupted_run.store(nullptr);
    }
    InterruptCancels(const InterruptCancels&) = delete;
    InterruptCancels& operator=(const InterruptCancels&) = delete;

  private:
    struct sigaction previous_ = {};
    bool installed_ = false;
};

}  // namespace

std::vector<std::string> CliCommandNames() {
    std::vector<std::string> names;
    for (const Command& c : Commands()) names.push_back(c.name);
    return names;
}

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
    if (global.Has("version")) {
        out << "orvane-cli " << kOrvaneVersion << '\n';
        return 0;
    }
    if (global.positional.empty()) {
        PrintUsage(global.Has("help") ? out : err);
        return global.Has("help") ? 0 : 2;
    }
    if (global.positional.size() == 1 && global.positional[0] == kChoiceWordsCommand) {
        PrintChoiceWords(out);
        return 0;
    }
    size_t used = 0;
    const Command* command = FindCommand(global.positional, used);
    if (!command) {
        frontend.Error("unknown command \"" + global.positional[0] + "\"; see orvane-cli --help");
        return 2;
    }
    const bool searched = global.Get("config").empty();
    Context ctx{global, out, err, frontend, ConfigPath(global), nullptr, nullptr};
    ctx.args.positional.erase(ctx.args.positional.begin(),
                              ctx.args.positional.begin() + static_cast<long>(used));
    if (ctx.args.Has("help")) return PrintCommandHelp(out, *command);
    const CommandRule* rule = RuleOfCommand(command->name);
    try {
        // Checked before the workspace opens, so a wrong count costs no connection.
        if (ctx.args.Has("threads")) {
            char* end = nullptr;
            const std::string text = ctx.args.Get("threads");
            const long threads = std::strtol(text.c_str(), &end, 10);
            if (text.empty() || *end != '\0' || threads < 1 || threads > 1024)
                throw UsageError("--threads takes a count of threads from 1 to 1024, not \"" +
                                 text + "\".");
            SetWorkerCount(static_cast<int>(threads));
        } else {
            WorkerCount();
        }
        if (const int failed = OpenWorkspace(ctx, searched); failed != 0) return failed;
        // Refused before any work when the account's role, or the study, does not allow it.
        if (rule && rule->need != Need::kAnyRole) {
            if (rule->need == Need::kStudyEditor && ctx.args.Has("study"))
                ctx.workspace->OpenStudy(ctx.args.Get("study"));
            RequireRight(*rule, *ctx.session);
        }
        // A copy shares the cancel request; the frontend's own may be re-sliced meanwhile.
        Feedback run = frontend.Progress();
        InterruptCancels interrupt(run);
        const int rc = command->run(ctx);
        out.flush();
        return rc;
    } catch (const Cancelled& e) {
        // Not a failure: the user stopped the run, and the core left its data consistent.
        out.flush();
        frontend.Error(e.what());
        return kExitCancelled;
    } catch (const UsageError& e) {
        frontend.Error(std::string(e.what()) + "\nusage: orvane-cli " + command->usage);
        return 2;
    } catch (const AccessDenied& e) {
        // The server's own refusal, in the words of the command and the role it needs.
        frontend.Error(ctx.session ? ServerRefusalText(e, rule, *ctx.session)
                                   : std::string(e.what()));
        return 1;
    } catch (const OrvaneError& e) {
        frontend.Error(WithHint(e.what(), CommandHint(e.GetRemedy())));
        return 1;
    } catch (const std::exception& e) {
        frontend.Error(e.what());
        return 1;
    }
}

}  // namespace orvane
