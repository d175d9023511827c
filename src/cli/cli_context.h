// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <functional>
#include <map>
#include <memory>
#include <ostream>
#include <string>
#include <vector>

#include "base/choice_words.h"
#include "base/orvane_error.h"
#include "chain/chain_stage.h"
#include "chain/processing_session.h"
#include "cli/cli_frontend.h"
#include "forms/workspace.h"
#include "plot/figure_size.h"
#include "spectra/species_names.h"

namespace orvane {

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
    std::unique_ptr<Workspace> workspace;
    // The workspace's session, once it is open.
    ProcessingSession* session = nullptr;
};

struct Command {
    std::string name;
    std::string usage;
    std::string summary;
    std::function<int(Context&)> run;
};

// A whole-number option within [low, high]; a missing option gives the fallback. Anything
// else (not a whole number, out of range) is a usage error naming the option, never wrapped.
int IntOption(const Args& args, const std::string& name, int fallback, int low, int high);
// The chain options act like the form's controls, in the form's order, through the session.
void ApplyChainArgs(Context& ctx);
// A wavelength range written LOWER-UPPER, each 0..100000 nm; `what` names it in a refusal.
std::pair<int, int> ParseRange(const std::string& text, const std::string& what);
// The position of a word (any case) in a list of choices; a missing option gives the fallback,
// any other word is a usage error naming them all.
int ChoiceOption(const Args& args, const std::string& name, const std::vector<std::string>& choices,
                 int fallback);
// The same for a declared list of choices: the value of the option's word.
template <typename E>
E ChoiceOption(const Args& args, const std::string& name, ChoiceTable<E> table, E fallback) {
    if (!args.Has(name)) return fallback;
    const std::string value = args.Get(name);
    if (const Choice<E>* c = table.Find(value)) return c->value;
    throw UsageError("--" + name + " must be " + table.Words("|") + ", not \"" + value + "\"");
}
// The --names option of the analyses (default: folder names).
// The stage named by --stage among those `include` accepts; a missing option gives the
// fallback, any other word is a usage error listing the accepted words.
Stage StageOption(const Args& args, const std::function<bool(Stage)>& include, Stage fallback);
// --names of kNameTypes (kExportNameTypes where `numbers`), with the old word read as local;
// a missing option gives `fallback` (folder names by default).
int NameTypeOption(const Args& args, int fallback = kFolderName, bool numbers = false);
// A figure's --size (WxH, WxHpx or WxHmm) and --dpi; without --size the fallback's size, kept
// at its printed size when only --dpi is given. Anything else is a usage error.
FigureSize FigureOption(const Args& args, const FigureSize& fallback);
// What --size and --dpi do, for the figures' help texts.
std::string FigureOptionsHelp(const FigureSize& fallback);
// The global --study option, or else the session's first study.
void SelectStudy(Context& ctx);
// The command that mends an error of the core, for its message.
std::string CommandHint(Remedy remedy);

// The command groups, in the order --help lists them.
std::vector<Command> StudyCommands();
std::vector<Command> ChainCommands();
std::vector<Command> SpectraCommands();
std::vector<Command> FeatureSpaceCommands();
std::vector<Command> LibraryCommands();
std::vector<Command> AnalysisCommands();
std::vector<Command> ExportCommands();
std::vector<Command> MixingCommands();
std::vector<Command> StoredSpectraCommands();
std::vector<Command> MapCommands();

}  // namespace orvane
