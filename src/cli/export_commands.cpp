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
    const int format = ChoiceOption(a, "format", formats, -1);
    if (format >= 0) settings.format = ExportFormatRegistry()[static_cast<size_t>(format)].id;
    settings.species_restriction =
        ChoiceOption(a, "species", kRestrictions,
                     static_cast<ExportSettings::Restriction>(settings.species_restriction));
    settings.data_details = ChoiceOption(a, "details", kSpectraDetails,
                                         static_cast<SpectraDetails>(settings.data_details));
    settings.name_type = NameTypeOption(a, settings.name_type, true);
    settings.include_filtered = a.Has("include-filtered");
    settings.transpose = a.Has("transpose");
    settings.sort_numerically = a.Has("sort-numerically");
    settings.offset_percent = IntOption(a, "offset", 0, 0, 100);
    settings.number_format =
        ChoiceOption(a, "number-format", kNumberFormats,
                     static_cast<ExportSettings::NumberFormat>(settings.number_format));
    settings.ids = a.Has("ids");
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
         "[--format " + ExportFormatWords() + "] [--species " + kRestrictions.Words() + "] "
         "[--details " + kSpectraDetails.Words() + "] [--names " + kExportNameTypes.Words() +
             "] [--include-filtered] [--transpose] [--offset PCT] [--sort-numerically] "
             "[--number-format " + kNumberFormats.Words() + "] [--ids]",
         "Export the study's spectra at one stage of the chain to the output folder and print "
         "the file's path (defaults: synth, csv, library, spectra, folder, scientific). "
         "--number-format plain writes values, wavelength headers and ARFF attribute names as "
         "the shortest decimal that reads back exactly (442.7, not 4.42700000000000E+02); "
         "--ids adds each spectrum's site and spectrum number beside its species (the binary "
         "library names its spectra by them anyway).",
         CmdExport},
    };
}

}  // namespace orvane
