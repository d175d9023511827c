// Feature spaces: listing, showing, storing and deleting.
#include <optional>

#include "chain/feature_space.h"
#include "chain/processing_session.h"
#include "cli/cli_context.h"
#include "forms/chain_selection.h"
#include "forms/feature_space_actions.h"
#include "store/database.h"

namespace orvane {

namespace {

int CmdFeatureSpaceList(Context& ctx) {
    if (ctx.args.Has("all")) {
        // Every stored one, also those no sensor at hand can serve, so each can be found.
        for (const FeatureSpaceSummary& fs : AllFeatureSpaces(ctx.session->Db()))
            ctx.out << fs.id << '\t' << fs.type_name << '\t' << fs.dimension << '\t' << fs.name
                    << '\n';
        return 0;
    }
    ApplyChainOptions(ctx);
    const std::vector<FeatureSpaceItem> items = ListFeatureSpaces(*ctx.session);
    if (items.empty()) ctx.out << "No feature spaces of this type\n";
    for (const FeatureSpaceItem& item : items) ctx.out << item.id << '\t' << item.name << '\n';
    return 0;
}

int CmdFeatureSpaceShow(Context& ctx) {
    ApplyChainOptions(ctx);
    const FeatureSpace* fs = ctx.session->CurrentFeatureSpace();
    if (!fs) throw OrvaneError("No feature space is selected.");
    ctx.out << "id\t" << fs->Id() << "\nname\t" << fs->Name() << "\ntype\t" << fs->TypeName()
            << "\ndimension\t" << fs->Dimension() << "\ndescription\t" << fs->Description() << '\n';
    for (const auto& r : fs->Ranges())
        ctx.out << Sql("%i - %i nm", r.wavelength1, r.wavelength2) << '\n';
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
        actions.SetDimension(IntOption(ctx.args, "dimension", 0));
    }
    if (ctx.args.Has("range")) {
        if (actions.Type() == 2) throw UsageError("a PCT feature space takes no --range");
        while (!actions.Entries().empty()) actions.Delete(0);
        auto given = ctx.args.options.equal_range("range");
        for (auto it = given.first; it != given.second; ++it) {
            const auto [w1, w2] = ParseRange(it->second);
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
    int id = 0;
    std::string name;
    if (ctx.args.Has("feature-space")) {
        // Found among all stored ones: a feature space the sensor cannot serve is never made
        // current, yet it must be deletable.
        std::optional<int> type;
        if (ctx.args.Has("fs-type")) type = ParseFeatureSpaceType(ctx.args.Get("fs-type"));
        id = ResolveAnyFeatureSpace(*ctx.session, ctx.args.Get("feature-space"), type);
        for (const FeatureSpaceSummary& fs : AllFeatureSpaces(ctx.session->Db()))
            if (fs.id == id) name = fs.name;
    } else {
        ApplyChainOptions(ctx);
        const FeatureSpace* fs = ctx.session->CurrentFeatureSpace();
        if (!fs) throw OrvaneError("No feature space is selected.");
        id = fs->Id();
        name = fs->Name();
    }
    DeleteFeatureSpace(*ctx.session, id);
    ctx.frontend.Report(Sql("Feature space %i deleted: %s", id, name.c_str()));
    return 0;
}

}  // namespace

std::vector<Command> FeatureSpaceCommands() {
    return {
        {"feature-space list", "feature-space list [--fs-type DI|NTBI|PCT] [--all]",
         "List the feature spaces of a type that fit the sensor; --all lists every one: id, "
         "type, dimension, name.",
         CmdFeatureSpaceList},
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
        {"feature-space delete",
         "feature-space delete [--feature-space NAME|ID [--fs-type DI|NTBI|PCT]] --yes",
         "Delete a feature space (any stored one) with its libraries and their statistics.",
         CmdFeatureSpaceDelete},
    };
}

}  // namespace orvane
