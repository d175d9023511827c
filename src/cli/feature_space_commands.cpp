// SPDX-License-Identifier: GPL-3.0-or-later
// Feature spaces: listing, showing, storing and deleting.
#include <fmt/format.h>

#include <optional>

#include "base/shown_text.h"
#include "chain/chain_options.h"
#include "chain/feature_space.h"
#include "chain/feature_space_store.h"
#include "chain/processing_session.h"
#include "cli/cli_context.h"
#include "spectra/spectrum.h"

namespace orvane {

namespace {

int CmdFeatureSpaceList(Context& ctx) {
    if (ctx.args.Has("all")) {
        // Every stored one, also those no sensor at hand can serve, so each can be found.
        for (const FeatureSpaceSummary& fs : AllFeatureSpaces(ctx.session->Db()))
            ctx.out << fs.id << '\t' << fs.type_name << '\t' << fs.dimension << '\t'
                    << EscapeControls(fs.name) << '\n';
        return 0;
    }
    ApplyChainArgs(ctx);
    const std::vector<FeatureSpaceItem> items = ListFeatureSpaces(*ctx.session);
    if (items.empty()) ctx.out << "No feature spaces of this type\n";
    for (const FeatureSpaceItem& item : items)
        ctx.out << item.id << '\t' << EscapeControls(item.name) << '\n';
    return 0;
}

int CmdFeatureSpaceShow(Context& ctx) {
    ApplyChainArgs(ctx);
    const FeatureSpace* fs = ctx.session->CurrentFeatureSpace();
    if (!fs) throw OrvaneError("No feature space is selected.");
    ctx.out << "id\t" << fs->Id() << "\nname\t" << EscapeControls(fs->Name()) << "\ntype\t"
            << fs->TypeName() << "\ndimension\t" << fs->Dimension() << "\ndescription\t"
            << EscapeControls(fs->Description()) << '\n';
    for (const auto& r : fs->Ranges())
        ctx.out << fmt::format("{} - {} nm\n", r.wavelength1, r.wavelength2);
    return 0;
}

// A new feature space of the chosen type, or the current one (to edit, or to copy under a new
// id and by default its name with "_copy"), with the fields the options give; --range
// replaces the list.
int StoreFromOptions(Context& ctx, bool is_new, bool copy) {
    ApplyChainArgs(ctx);
    if (!ctx.args.positional.empty())
        throw UsageError("unexpected argument \"" + ctx.args.positional[0] + "\"");
    FeatureSpaceDefinition def;
    def.type = ctx.session->FeatureSpaceType();
    if (!is_new) {
        const FeatureSpace* fs = ctx.session->CurrentFeatureSpace();
        if (!fs) throw OrvaneError("There is no current feature space to edit; choose one first.");
        def = {copy ? 0 : fs->Id(),
               fs->Type(),
               fs->Name() + (copy ? "_copy" : ""),
               fs->Description(),
               fs->Type() == kFeaturePCT ? fs->Dimension() : 0,
               fs->Ranges()};
        if (copy)
            for (FeatureSpace::BandRange& r : def.ranges) r.band_range_id = 0;
        else
            def.row_version = fs->RowVersion();
    }
    def.name = ctx.args.Get("name", def.name);
    def.description = ctx.args.Get("description", def.description);
    def.dimension = IntOption(ctx.args, "dimension", def.dimension, 1, 1000000);
    if (ctx.args.Has("range")) {
        def.ranges.clear();
        auto given = ctx.args.options.equal_range("range");
        for (auto it = given.first; it != given.second; ++it) {
            const auto [w1, w2] = ParseRange(it->second, "--range");
            FeatureSpace::BandRange r;
            r.wavelength1 = w1;
            r.wavelength2 = w2;
            def.ranges.push_back(r);
        }
    }
    const SavedFeatureSpace saved = SaveFeatureSpace(*ctx.session, def);
    ctx.frontend.Report(
        fmt::format("Feature space {} saved: {}", saved.id, EscapeControls(def.name)));
    if (!saved.notice.empty()) ctx.frontend.Error(saved.notice);
    return 0;
}

int CmdFeatureSpaceNew(Context& ctx) { return StoreFromOptions(ctx, true, false); }
int CmdFeatureSpaceEdit(Context& ctx) { return StoreFromOptions(ctx, false, false); }
int CmdFeatureSpaceCopy(Context& ctx) { return StoreFromOptions(ctx, false, true); }

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
        try {
            if (ctx.args.Has("fs-type")) type = ParseFeatureSpaceType(ctx.args.Get("fs-type"));
        } catch (const OrvaneError& e) {
            throw UsageError(e.what());
        }
        id = ResolveAnyFeatureSpace(*ctx.session, ctx.args.Get("feature-space"), type);
        for (const FeatureSpaceSummary& fs : AllFeatureSpaces(ctx.session->Db()))
            if (fs.id == id) name = fs.name;
    } else {
        ApplyChainArgs(ctx);
        const FeatureSpace* fs = ctx.session->CurrentFeatureSpace();
        if (!fs) throw OrvaneError("No feature space is selected.");
        id = fs->Id();
        name = fs->Name();
    }
    DeleteFeatureSpace(*ctx.session, id);
    ctx.frontend.Report(fmt::format("Feature space {} deleted: {}", id, EscapeControls(name)));
    return 0;
}

}  // namespace

std::vector<Command> FeatureSpaceCommands() {
    return {
        {"feature-space list", "feature-space list [--fs-type " + kFeatureTypes.Words() + "] [--all]",
         "List the feature spaces of a type that fit the sensor; --all lists every one: id, "
         "type, dimension, name.",
         CmdFeatureSpaceList},
        {"feature-space show", "feature-space show [--feature-space NAME|ID]",
         "Show a feature space's definition.", CmdFeatureSpaceShow},
        {"feature-space new",
         "feature-space new --fs-type " + kFeatureTypes.Words() +
             " --name NAME [--description TEXT] "
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
         "feature-space delete [--feature-space NAME|ID [--fs-type " + kFeatureTypes.Words() +
             "]] --yes",
         "Delete a feature space (any stored one) with its libraries and their statistics.",
         CmdFeatureSpaceDelete},
    };
}

}  // namespace orvane
