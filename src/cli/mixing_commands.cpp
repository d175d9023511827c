// SPDX-License-Identifier: GPL-3.0-or-later
// Endmembers, mixture abundances and linear unmixing.
#include "cli/cli_context.h"
#include "forms/abundance_settings.h"
#include "forms/endmember_selection.h"
#include "stats/linear_unmixing.h"
#include "study/study_loader.h"

namespace orvane {

namespace {

void PrintEndmembers(Context& ctx, const EndmemberSelection& selection) {
    for (const FormItem& item : selection.Endmembers().Items()) ctx.out << item.text << '\n';
}

int CmdEndmemberList(Context& ctx) {
    ApplyChainArgs(ctx);
    EndmemberSelection selection(*ctx.session);
    selection.Show();
    PrintEndmembers(ctx, selection);
    return 0;
}

// Moves the named species to the endmembers or back, after checking every name, so that a
// misspelt one stores nothing.
int MoveSpecies(Context& ctx, bool to_endmembers) {
    ApplyChainArgs(ctx);
    const char* command = to_endmembers ? "endmember add" : "endmember remove";
    if (ctx.args.positional.empty())
        throw UsageError(std::string(command) + " needs at least one FOLDER");
    EndmemberSelection selection(*ctx.session);
    selection.Show();
    const SpeciesListBox& from = to_endmembers ? selection.Classes() : selection.Endmembers();
    const SpeciesListBox& to = to_endmembers ? selection.Endmembers() : selection.Classes();
    for (const std::string& folder : ctx.args.positional) {
        if (from.IndexOfText(folder) < 0 && to.IndexOfText(folder) < 0)
            throw OrvaneError("The study has no species \"" + folder + "\"; nothing was changed.");
    }
    for (const std::string& folder : ctx.args.positional) {
        const int index = from.IndexOfText(folder);
        if (index < 0) {
            ctx.frontend.Report("\"" + folder + "\" is " +
                                (to_endmembers ? "an endmember" : "not an endmember") + " already");
            continue;
        }
        if (to_endmembers)
            selection.ToEndmembers(index);
        else
            selection.ToClasses(index);
        ctx.frontend.Report((to_endmembers ? "Endmember: " : "Mixture species: ") + folder);
    }
    return 0;
}

int CmdEndmemberAdd(Context& ctx) { return MoveSpecies(ctx, true); }
int CmdEndmemberRemove(Context& ctx) { return MoveSpecies(ctx, false); }

// The abundance model with the named mixture species chosen.
void ChooseMixture(Context& ctx, AbundanceSettings& settings, const char* command) {
    ApplyChainArgs(ctx);
    if (ctx.args.positional.size() != 1)
        throw UsageError(std::string(command) + " needs one mixture FOLDER");
    const std::string& folder = ctx.args.positional[0];
    settings.Show();
    if (!settings.SelectClass(settings.Classes().IndexOfText(folder)))
        throw OrvaneError("\"" + folder +
                          "\" is not a mixture species of the study (species not marked as "
                          "endmembers).");
}

void PrintMixture(Context& ctx, AbundanceSettings& settings) {
    for (int i = 0; i < settings.Selected().Count(); ++i) {
        settings.SelectEndmember(i);
        ctx.out << settings.Selected().At(i)->text << '\t' << settings.AbundanceText() << '\n';
    }
    ctx.out << "total\t" << settings.TotalText() << '\n';
}

int CmdMixtureShow(Context& ctx) {
    AbundanceSettings settings(*ctx.session);
    ChooseMixture(ctx, settings, "mixture show");
    PrintMixture(ctx, settings);
    return 0;
}

std::string EndmemberOption(Context& ctx, const char* command) {
    if (!ctx.args.Has("endmember"))
        throw UsageError(std::string(command) + " needs --endmember FOLDER");
    return ctx.args.Get("endmember");
}

int CmdMixtureSet(Context& ctx) {
    const std::string endmember = EndmemberOption(ctx, "mixture set");
    if (!ctx.args.Has("abundance")) throw UsageError("mixture set needs --abundance F");
    const std::string abundance = ctx.args.Get("abundance");
    AbundanceSettings::ParseAbundance(abundance);
    AbundanceSettings settings(*ctx.session);
    ChooseMixture(ctx, settings, "mixture set");
    const int available = settings.Available().IndexOfText(endmember);
    if (available < 0 && settings.Selected().IndexOfText(endmember) < 0)
        throw OrvaneError("\"" + endmember + "\" is not an endmember of the study.");
    if (available >= 0) settings.Add(available);
    settings.SetAbundanceText(abundance);
    settings.Save(settings.Selected().IndexOfText(endmember));
    PrintMixture(ctx, settings);
    return 0;
}

int CmdMixtureRemove(Context& ctx) {
    const std::string endmember = EndmemberOption(ctx, "mixture remove");
    AbundanceSettings settings(*ctx.session);
    ChooseMixture(ctx, settings, "mixture remove");
    if (!settings.Remove(settings.Selected().IndexOfText(endmember)))
        throw OrvaneError("The mixture \"" + ctx.args.positional[0] + "\" records no endmember \"" +
                          endmember + "\".");
    PrintMixture(ctx, settings);
    return 0;
}

int CmdUnmix(Context& ctx) {
    ApplyChainArgs(ctx);
    StudyLoader loader(*ctx.session);
    loader.SetStudy(ctx.session->StudyId());
    Unmix(loader, *ctx.session, ctx.frontend);
    return 0;
}

}  // namespace

std::vector<Command> MixingCommands() {
    return {
        {"endmember list", "endmember list", "List the study's endmember species (folder names).",
         CmdEndmemberList},
        {"endmember add", "endmember add FOLDER...",
         "Mark species of the study as endmembers; they stop being mixture species.",
         CmdEndmemberAdd},
        {"endmember remove", "endmember remove FOLDER...",
         "Return endmember species to the mixture species.", CmdEndmemberRemove},
        {"mixture show", "mixture show FOLDER",
         "The endmembers a mixture species records, with their abundances and the total.",
         CmdMixtureShow},
        {"mixture set", "mixture set FOLDER --endmember FOLDER --abundance F",
         "Record an endmember's abundance in a mixture species (adding the endmember).",
         CmdMixtureSet},
        {"mixture remove", "mixture remove FOLDER --endmember FOLDER",
         "Remove an endmember from a mixture species' record.", CmdMixtureRemove},
        {"unmix", "unmix [--sensor NAME|ID]",
         "Estimate each mixture species' endmember fractions by least squares on the sensor "
         "elements 1, 2, 3 and 6; reports recorded fractions and absolute errors beside them.",
         CmdUnmix},
    };
}

}  // namespace orvane
