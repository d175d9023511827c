#include "cli/cli_context.h"

#include <cstdio>
#include <cstdlib>

#include "forms/chain_selection.h"

namespace orvane {

int IntOption(const Args& args, const std::string& name, int fallback) {
    if (!args.Has(name)) return fallback;
    const std::string text = args.Get(name);
    char* end = nullptr;
    const long v = std::strtol(text.c_str(), &end, 10);
    if (text.empty() || *end != '\0') throw UsageError("--" + name + " needs a whole number");
    return static_cast<int>(v);
}

// The chain options act like the form's controls, in the form's order, through the session.
void ApplyChainOptions(Context& ctx) {
    const Args& a = ctx.args;
    ChainSelection sel;
    if (a.Has("study")) sel.study = a.Get("study");
    if (a.Has("sensor")) sel.sensor = a.Get("sensor");
    if (a.Has("smoothing")) sel.smoothing_type = ParseSmoothingType(a.Get("smoothing"));
    if (a.Has("derivative")) sel.derivative_order = IntOption(a, "derivative", 0);
    if (a.Has("method")) sel.derivative_method = ParseDerivativeMethod(a.Get("method"));
    if (a.Has("fs-type")) sel.feature_space_type = ParseFeatureSpaceType(a.Get("fs-type"));
    if (a.Has("feature-space")) sel.feature_space = a.Get("feature-space");
    if (a.Has("classifier")) sel.classifier = ParseClassifier(a.Get("classifier"));
    ApplyChainSelection(*ctx.session, sel);
}

std::pair<int, int> ParseRange(const std::string& text) {
    int lower = 0, upper = 0;
    char dash = 0;
    char extra = 0;
    if (std::sscanf(text.c_str(), "%d %c %d %c", &lower, &dash, &upper, &extra) != 3 || dash != '-')
        throw UsageError("a range is written LOWER-UPPER, e.g. 1350-1450; \"" + text +
                         "\" is not one");
    return {lower, upper};
}

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

int NameTypeOption(const Args& args) {
    return Choice(args, "names", {"common", "maori", "latin", "folder"}, 3);
}

void SelectStudy(Context& ctx) {
    if (ctx.args.Has("study"))
        ctx.session->SetStudy(ResolveStudy(*ctx.session, ctx.args.Get("study")));
    if (ctx.session->StudyId() == 0)
        throw OrvaneError("There is no study in the database; create one with \"study create\".");
}

}  // namespace orvane
