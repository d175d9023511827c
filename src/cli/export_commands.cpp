// SPDX-License-Identifier: GPL-3.0-or-later
// Exporting a study's spectra at one stage of the chain.
#include "chain/processing_session.h"
#include "base/shown_text.h"
#include "cli/cli_context.h"
#include "export/export_formats.h"
#include "export/export_spectra.h"
#include "base/output_folder.h"
#include "study/study_loader.h"

namespace orvane {

namespace {

int CmdExport(Context& ctx) {
    ApplyChainArgs(ctx);
    const Args& a = ctx.args;
    ExportSettings settings;
    settings.stage = StageOption(a, [](Stage) { return true; }, settings.stage);
    std::vector<std::string> formats;
    for (const ExportFormatEntry& f : ExportFormatRegistry()) formats.push_back(f.word);
    const int format = Choice(a, "format", formats, -1);
    if (format >= 0) settings.format = ExportFormatRegistry()[static_cast<size_t>(format)].id;
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
    StudyLoader& loader = ctx.workspace->Loader();
    const ExportResult result =
        ExportSpectra(loader, ctx.workspace->Output(), *ctx.session, ctx.frontend, settings);
    if (!result.path.empty()) ctx.out << EscapeControls(result.path) << '\n';
    return 0;
}

}  // namespace

std::vector<Command> ExportCommands() {
    return {
        {"export",
         "export [--stage " + StageWords([](Stage) { return true; }) + "] "
         "[--format " + ExportFormatWords() + "] [--species all|library|endmembers|mixtures] "
         "[--details spectra|site-mean|species-mean] [--names common|maori|latin|folder|number] "
         "[--include-filtered] [--transpose] [--offset PCT] [--sort-numerically]",
         "Export the study's spectra at one stage of the chain to the output folder and print "
         "the file's path (defaults: synth, csv, library, spectra, folder).",
         CmdExport},
    };
}

}  // namespace orvane
