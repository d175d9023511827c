// SPDX-License-Identifier: GPL-3.0-or-later
// The study's waveband filter and the Savitzky-Golay windows of the chain.
#include <fmt/format.h>

#include "base/number_text.h"
#include "chain/derivative_settings.h"
#include "chain/filter_defaults.h"
#include "chain/filter_details.h"
#include "chain/processing_session.h"
#include "chain/smoothing_type.h"
#include "chain/study_filter.h"
#include "cli/cli_context.h"

namespace orvane {

namespace {

void PrintFilter(Context& ctx, const WavebandFilter& filter) {
    for (int i = 0; i < filter.Count(); ++i)
        ctx.out << FilterRangeText(filter.At(i).lower, filter.At(i).upper) << '\n';
}

int CmdFilterShow(Context& ctx) {
    ApplyChainArgs(ctx);
    PrintFilter(ctx, StoredStudyFilter(*ctx.session));
    return 0;
}

int CmdFilterSet(Context& ctx) {
    ApplyChainArgs(ctx);
    std::vector<std::pair<int, int>> ranges;
    for (const std::string& word : ctx.args.positional)
        ranges.push_back(ParseRange(word, "A filter range"));
    WavebandFilter filter;
    for (const auto& [lower, upper] : ranges) filter.AddRange(lower, upper);
    ReplaceStudyFilter(*ctx.session, filter);
    for (const auto& [lower, upper] : ranges) ctx.out << FilterRangeText(lower, upper) << '\n';
    return 0;
}

int CmdFilterAddDefaults(Context& ctx) {
    ApplyChainArgs(ctx);
    WavebandFilter filter = StoredStudyFilter(*ctx.session);
    const int before = filter.Count();
    ctx.frontend.Report(AddDefaultRanges(ctx.session->DefaultFilter(), filter));
    // Storing an unchanged list would still make every library of the study stale.
    if (filter.Count() != before) ReplaceStudyFilter(*ctx.session, filter);
    PrintFilter(ctx, filter);
    return 0;
}

int CmdSmoothingSet(Context& ctx) {
    if (!ctx.args.Has("smoothing")) ctx.args.options.emplace("smoothing", "sg-mw");
    ApplyChainArgs(ctx);
    const SmoothingSettings& smoothing = ctx.session->Settings().smoothing;
    const bool sg = IsSavitzkyGolay(smoothing.type);
    const FilterDetailRanges limits;
    const int size = IntOption(ctx.args, "size", sg ? smoothing.size : 31, 1, limits.max_size);
    const int order =
        IntOption(ctx.args, "order", sg ? smoothing.polynomial_order : 4, 1, limits.max_order);
    ApplySmoothingDetails(*ctx.session, size, order);
    ctx.frontend.Report(fmt::format("Smoothing filter: size {}, polynomial order {}", size, order));
    return 0;
}

int CmdDerivativeSet(Context& ctx) {
    if (!ctx.args.Has("derivative")) ctx.args.options.emplace("derivative", "1");
    if (!ctx.args.Has("method")) ctx.args.options.emplace("method", "savgol");
    ApplyChainArgs(ctx);
    const DerivativeSettings& d = ctx.session->Settings().derivative;
    const FilterDetailRanges limits;
    const int size = IntOption(ctx.args, "size", d.size, 1, limits.max_size);
    const int order = IntOption(ctx.args, "order", d.polynomial_order, 1, limits.max_order);
    ApplyDerivativeDetails(*ctx.session, size, order);
    ctx.frontend.Report(fmt::format("Derivative filter (order {}): size {}, polynomial order {}",
                                    ctx.session->DerivativeOrder(), size, order));
    return 0;
}

// "splice joins": what the stage's pairs are, without the explanation after the comma.
std::string PairsName(const StageDeclaration& stage) {
    const std::string pairs = stage.option->pairs;
    return pairs.substr(0, pairs.find(','));
}

void PrintPairs(Context& ctx, const StageDeclaration& stage) {
    const StagePairs& pairs = ctx.session->StagePairsOf(stage.id);
    if (pairs.empty())
        ctx.out << "none of the study's own; " << stage.option->label
                << " uses " << stage.option->default_pairs << '\n';
    for (const auto& [lower, upper] : pairs) ctx.out << lower << '-' << upper << '\n';
}

// "WORD show" and "WORD set" for the stored pairs of each optional stage.
void AddStagePairCommands(std::vector<Command>& commands) {
    for (const StageDeclaration* s : OptionalStages()) {
        const StageDeclaration& stage = *s;
        const std::string word = stage.option->word;
        commands.push_back({word + " show", word + " show",
                            std::string("Show the study's ") + stage.option->pairs + ".",
                            [&stage](Context& ctx) {
                                ApplyChainArgs(ctx);
                                PrintPairs(ctx, stage);
                                return 0;
                            }});
        commands.push_back(
            {word + " set", word + " set LOWER-UPPER ...",
             std::string("Replace the study's ") + stage.option->pairs +
                 " (none given: " + stage.option->default_pairs + ").",
             [&stage](Context& ctx) {
                 ApplyChainArgs(ctx);
                 StagePairs pairs;
                 for (const std::string& w : ctx.args.positional)
                     pairs.push_back(ParseRange(w, "Each of the " + PairsName(stage)));
                 ctx.session->SetStagePairs(stage.id, pairs);
                 PrintPairs(ctx, stage);
                 return 0;
             }});
    }
}

}  // namespace

std::vector<Command> ChainCommands() {
    std::vector<Command> commands = {
        {"filter show", "filter show", "Show the study's waveband filter ranges.", CmdFilterShow},
        {"filter set", "filter set LOWER-UPPER ...",
         "Replace the study's waveband filter ranges (none given: no ranges).", CmdFilterSet},
        {"filter add-defaults", "filter add-defaults",
         "Add the configured default ranges (filter_b, filter_br) to the study's filter.",
         CmdFilterAddDefaults},
        {"smoothing set",
         "smoothing set [--smoothing " + kSmoothingTypes.After(1).Words() +
             "] --size W --order M",
         "Set and store the study's Savitzky-Golay smoothing window.", CmdSmoothingSet},
        {"derivative set", "derivative set [--derivative N] --size W --order M",
         "Set and store the Savitzky-Golay derivative window of an order (method savgol).",
         CmdDerivativeSet},
    };
    AddStagePairCommands(commands);
    return commands;
}

}  // namespace orvane
