// SPDX-License-Identifier: GPL-3.0-or-later
// Endmembers, mixture abundances and linear unmixing.
#include "base/output_folder.h"
#include "base/shown_text.h"
#include "chain/processing_session.h"
#include "cli/cli_context.h"
#include "stats/linear_unmixing.h"
#include "stats/mixture_edit.h"
#include "study/study_loader.h"

namespace orvane {

namespace {

int CmdEndmemberList(Context& ctx) {
    ApplyChainArgs(ctx);
    for (const std::string& folder :
         SpeciesFolders(ctx.session->Db(), ctx.session->StudyId(), true))
        ctx.out << EscapeControls(folder) << '\n';
    return 0;
}

// Moves the named species to the endmembers or back; a misspelt name stores nothing.
int MoveSpecies(Context& ctx, bool to_endmembers) {
    ApplyChainArgs(ctx);
    const char* command = to_endmembers ? "endmember add" : "endmember remove";
    const std::vector<std::string>& folders = ctx.args.positional;
    if (folders.empty()) throw UsageError(std::string(command) + " needs at least one FOLDER");
    const std::vector<bool> changed =
        MarkEndmembers(ctx.session->Db(), ctx.session->StudyId(), folders, to_endmembers);
    for (size_t i = 0; i < folders.size(); ++i) {
        if (changed[i])
            ctx.frontend.Report((to_endmembers ? "Endmember: " : "Mixture species: ") +
                                EscapeControls(folders[i]));
        else
            ctx.frontend.Report("\"" + EscapeControls(folders[i]) + "\" is " +
                                (to_endmembers ? "an endmember" : "not an endmember") + " already");
    }
    return 0;
}

int CmdEndmemberAdd(Context& ctx) { return MoveSpecies(ctx, true); }
int CmdEndmemberRemove(Context& ctx) { return MoveSpecies(ctx, false); }

// The mixture species named by the one positional word, after the chain options.
std::string MixtureArgument(Context& ctx, const char* command) {
    ApplyChainArgs(ctx);
    if (ctx.args.positional.size() != 1)
        throw UsageError(std::string(command) + " needs one mixture FOLDER");
    return ctx.args.positional[0];
}

int PrintMixture(Context& ctx, const MixtureMakeUp& make_up) {
    for (const auto& [endmember, abundance] : make_up.abundances)
        ctx.out << EscapeControls(endmember) << '\t' << abundance << '\n';
    ctx.out << "total\t" << make_up.total << '\n';
    return 0;
}

int CmdMixtureShow(Context& ctx) {
    const std::string mixture = MixtureArgument(ctx, "mixture show");
    return PrintMixture(ctx, ShowMixture(ctx.session->Db(), ctx.session->StudyId(), mixture));
}

std::string EndmemberOption(Context& ctx, const char* command) {
    if (!ctx.args.Has("endmember"))
        throw UsageError(std::string(command) + " needs --endmember FOLDER");
    return ctx.args.Get("endmember");
}

int CmdMixtureSet(Context& ctx) {
    const std::string endmember = EndmemberOption(ctx, "mixture set");
    if (!ctx.args.Has("abundance")) throw UsageError("mixture set needs --abundance F");
    const std::string mixture = MixtureArgument(ctx, "mixture set");
    return PrintMixture(ctx, SetMixtureAbundance(ctx.session->Db(), ctx.session->StudyId(), mixture,
                                                 endmember, ctx.args.Get("abundance")));
}

int CmdMixtureRemove(Context& ctx) {
    const std::string endmember = EndmemberOption(ctx, "mixture remove");
    const std::string mixture = MixtureArgument(ctx, "mixture remove");
    return PrintMixture(
        ctx, RemoveFromMixture(ctx.session->Db(), ctx.session->StudyId(), mixture, endmember));
}

int CmdUnmix(Context& ctx) {
    ApplyChainArgs(ctx);
    StudyLoader& loader = ctx.workspace->Loader();
    const OutputFolder& output = ctx.workspace->Output();
    const std::vector<int> elements = ctx.args.Has("elements")
                                          ? ParseUnmixElements(ctx.args.Get("elements"))
                                          : DefaultUnmixElements();
    Unmix(loader, *ctx.session, ctx.frontend, &output, elements);
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
        {"unmix", "unmix [--sensor NAME|ID] [--elements N,N,...]",
         "Estimate each mixture species' endmember fractions by least squares on the sensor "
         "elements given (default 1,2,3,6, as the window's Endmember Selection); reports the "
         "residual RMSE, estimates outside 0-1, and recorded fractions and absolute errors "
         "beside them.",
         CmdUnmix},
    };
}

}  // namespace orvane
