// SPDX-License-Identifier: GPL-3.0-or-later
#include "cli/cli_context.h"
#include "base/choice_words.h"

#include <cstdio>
#include <cstdlib>
#include <optional>

#include "base/number_text.h"
#include "chain/chain_options.h"

namespace orvane {

std::string CommandHint(Remedy remedy) {
    switch (remedy) {
        case Remedy::kImportSensor:
            return "orvane-cli sensor import FILE";
        case Remedy::kMarkEndmembers:
            return "orvane-cli endmember add FOLDER...";
        case Remedy::kReturnEndmembers:
            return "orvane-cli endmember remove FOLDER...";
        case Remedy::kBuildLibrary:
            return "orvane-cli library build";
        case Remedy::kGiveWavelengths:
            return "--wavelengths FILE";
        case Remedy::kNone:
            break;
    }
    return "";
}

int IntOption(const Args& args, const std::string& name, int fallback, int low, int high) {
    if (!args.Has(name)) return fallback;
    try {
        return ParseInt(args.Get(name), low, high, "--" + name);
    } catch (const OrvaneError& e) {
        throw UsageError(e.what());
    }
}

FigureSize FigureOption(const Args& args, const FigureSize& fallback) {
    const int dpi = IntOption(args, "dpi", fallback.dpi, FigureSize::kMinDpi, FigureSize::kMaxDpi);
    try {
        if (args.Has("size")) return ParseFigureSize(args.Get("size"), dpi);
        FigureSize size = fallback;
        if (dpi != fallback.dpi && size.unit == FigureSize::kPixels) {
            // Only the resolution changes: the figure keeps its printed size and its layout.
            size.width = size.width * 25.4 / fallback.dpi;
            size.height = size.height * 25.4 / fallback.dpi;
            size.unit = FigureSize::kMillimetres;
        }
        size.dpi = dpi;
        size.Check();
        return size;
    } catch (const UsageError&) {
        throw;
    } catch (const OrvaneError& e) {
        throw UsageError(e.what());
    }
}

std::string FigureOptionsHelp(const FigureSize& fallback) {
    return "--size gives the figure's size in pixels (WxH or WxHpx, default " + fallback.Text() +
           ") or millimetres (WxHmm), --dpi its resolution (default " +
           std::to_string(fallback.dpi) +
           "): the SVG is laid out at its printed size, and rendered at that resolution it "
           "has the size's pixels.";
}

// The chain options act like the form's controls, in the form's order, through the session.
void ApplyChainArgs(Context& ctx) {
    const Args& a = ctx.args;
    ChainOptions sel;
    if (a.Has("study")) sel.study = a.Get("study");
    if (a.Has("sensor")) sel.sensor = a.Get("sensor");
    // A word that is no choice is a usage error, as for every other option.
    try {
        if (a.Has("smoothing")) sel.smoothing_type = ParseSmoothingType(a.Get("smoothing"));
        if (a.Has("method")) sel.derivative_method = ParseDerivativeMethod(a.Get("method"));
        if (a.Has("fs-type")) sel.feature_space_type = ParseFeatureSpaceType(a.Get("fs-type"));
        if (a.Has("classifier")) sel.classifier = ParseClassifier(a.Get("classifier"));
        for (const StageDeclaration* s : OptionalStages())
            if (a.Has(s->option->word))
                sel.stage_modes[s->id] = ParseStageMode(*s->option, a.Get(s->option->word));
    } catch (const OrvaneError& e) {
        throw UsageError(e.what());
    }
    if (a.Has("derivative"))
        sel.derivative_order = IntOption(a, "derivative", 0, 0, kMaxDerivativeOrder);
    if (a.Has("feature-space")) sel.feature_space = a.Get("feature-space");
    ApplyChainOptions(*ctx.session, sel);
}

std::pair<int, int> ParseRange(const std::string& text, const std::string& what) {
    try {
        const NumberPair pair = ParseIntRange(text, 0, kMaxTypedWavelength, what);
        return {pair.first, pair.second};
    } catch (const OrvaneError& e) {
        throw UsageError(e.what());
    }
}

int ChoiceOption(const Args& args, const std::string& name,
                 const std::vector<std::string>& choices, int fallback) {
    if (!args.Has(name)) return fallback;
    const std::string value = args.Get(name);
    std::string all;
    for (size_t i = 0; i < choices.size(); ++i) {
        if (SameWord(value, choices[i])) return static_cast<int>(i);
        all += (i ? "|" : "") + choices[i];
    }
    throw UsageError("--" + name + " must be " + all + ", not \"" + value + "\"");
}

Stage StageOption(const Args& args, const std::function<bool(Stage)>& include, Stage fallback) {
    if (!args.Has("stage")) return fallback;
    const std::string value = args.Get("stage");
    const std::optional<Stage> stage = StageFromWord(value);
    if (stage && include(*stage)) return *stage;
    throw UsageError("--stage must be " + StageWords(include) + ", not \"" + value + "\"");
}

int NameTypeOption(const Args& args, int fallback, bool numbers) {
    // Scripts written when the local name was called "maori" keep working.
    if (args.Has("names") && SameWord(args.Get("names"), kLocalNameOldWord)) return kLocalName;
    return ChoiceOption(args, "names", numbers ? kExportNameTypes : kNameTypes,
                        static_cast<NameType>(fallback));
}

void SelectStudy(Context& ctx) {
    if (ctx.args.Has("study")) ctx.workspace->OpenStudy(ctx.args.Get("study"));
    ctx.workspace->RequireStudy("create one with \"study create\"");
}

}  // namespace orvane
