// SPDX-License-Identifier: GPL-3.0-or-later
// Sensors, studies and importing a study's folder tree.
#include <fmt/format.h>

#include "chain/processing_session.h"
#include "imagery/image_sensor.h"
#include "base/shown_text.h"
#include "cli/cli_context.h"
#include "chain/chain_options.h"
#include "store/name_lookup.h"
#include "spectra/species_names.h"
#include "spectra/spectrum_file.h"
#include "base/number_text.h"
#include "study/library_import.h"
#include "study/sensor_import.h"
#include "study/study_loader.h"
#include "study/study_history.h"
#include "study/study_management.h"
#include "forms/command_rights.h"

namespace orvane {

namespace {

int CmdSensors(Context& ctx) {
    for (const auto& sensor : ctx.session->Sensors()) {
        ctx.out << sensor->SensorId() << '\t' << EscapeControls(sensor->Name()) << '\t'
                << sensor->ResponseType()
                << '\t' << sensor->ElementCount() << '\n';
    }
    return 0;
}

int CmdSensorImport(Context& ctx) {
    if (ctx.args.Has("from-image")) {
        if (!ctx.args.positional.empty() || ctx.args.Has("type"))
            throw UsageError("sensor import --from-image takes no FILE and no --type: an image's "
                             "sensor is Gaussian");
        ImageSensorRequest request;
        request.image = ctx.args.Get("from-image");
        request.name = ctx.args.Get("name");
        request.wavelengths_file = ctx.args.Get("wavelengths");
        if (ctx.args.Has("name") && request.name.empty())
            throw UsageError("--name needs a sensor name");
        ImportImageSensor(*ctx.session, ctx.frontend, request);
        return 0;
    }
    if (ctx.args.Has("name") || ctx.args.Has("wavelengths"))
        throw UsageError("--name and --wavelengths go with --from-image IMAGE; a sensor file "
                         "names its sensor in its first line");
    if (ctx.args.positional.size() != 1) throw UsageError("sensor import needs one FILE");
    const int index = ChoiceOption(ctx.args, "type", kImportResponseTypes, kResponseGaussian);
    ImportSensor(*ctx.session, ctx.frontend, ctx.args.positional[0], index);
    return 0;
}

int CmdSensorDelete(Context& ctx) {
    if (ctx.args.positional.size() != 1) throw UsageError("sensor delete needs one NAME|ID");
    const int id = ResolveSensor(*ctx.session, ctx.args.positional[0]);
    ctx.frontend.SetAnswer(ctx.args.Has("yes"));
    if (!DeleteSensor(*ctx.session, ctx.frontend, id)) {
        ctx.frontend.Error("Nothing was deleted; add --yes to delete the sensor.");
        return 1;
    }
    return 0;
}

int CmdStudies(Context& ctx) {
    for (const auto& [id, name] : AllNames(ctx.session->Db(), kStudyNames))
        ctx.out << id << '\t' << EscapeControls(name) << '\n';
    return 0;
}

int CmdStudyCreate(Context& ctx) {
    if (!ctx.args.Has("name")) throw UsageError("study create needs --name NAME");
    if (!ctx.args.Has("path")) throw UsageError("study create needs --path DIR");
    StudyFields fields;
    fields.name = ctx.args.Get("name");
    fields.data_path = ctx.args.Get("path");
    fields.description = ctx.args.Get("description");
    fields.min_samples = IntOption(ctx.args, "min-samples", fields.min_samples, 0, 10000);
    const int id = StudyManagement(*ctx.session, ctx.frontend).CreateStudy(fields);
    ctx.out << id << '\t' << EscapeControls(fields.name) << '\n';
    return 0;
}

int CmdStudyImportLibrary(Context& ctx) {
    if (ctx.args.positional.size() != 1) throw UsageError("study import-library needs one FILE");
    LibraryImportOptions options;
    options.path = ctx.args.positional[0];
    options.study_name = ctx.args.Get("name");
    options.classes_path = ctx.args.Get("classes");
    options.description = ctx.args.Get("description");
    options.min_samples = IntOption(ctx.args, "min-samples", options.min_samples, 0, 10000);
    if (ctx.args.Has("scale")) {
        try {
            options.scale = ParseReal(ctx.args.Get("scale"), 1e-9, 1e9, "--scale");
        } catch (const OrvaneError& e) {
            throw UsageError(e.what());
        }
    }
    const LibraryImportResult result = ImportLibraryAsStudy(*ctx.session, ctx.frontend, options);
    ctx.out << result.study_id << '\t' << EscapeControls(result.study_name) << '\n';
    return 0;
}

int CmdStudyDelete(Context& ctx) {
    SelectStudy(ctx);
    ctx.frontend.SetAnswer(ctx.args.Has("yes"));
    if (!StudyManagement(*ctx.session, ctx.frontend).DeleteCurrentStudy()) {
        ctx.frontend.Error("Nothing was deleted; add --yes to delete the study.");
        return 1;
    }
    return 0;
}

int CmdStudyHistory(Context& ctx) {
    SelectStudy(ctx);
    ctx.out << "History of the study \"" << EscapeControls(ctx.session->StudyName()) << "\"\n"
            << StudyHistoryText(ctx.session->Db(), ctx.session->StudyId());
    return 0;
}

int CmdWhoAmI(Context& ctx) {
    ctx.out << WhoAmIText(ctx.session->Rights());
    return 0;
}

int CmdStudyReport(Context& ctx) {
    SelectStudy(ctx);
    StudyManagement(*ctx.session, ctx.frontend).StudyReport();
    return 0;
}

// An import that went to its end but left files or folders out, each named in the report.
constexpr int kExitSkipped = 3;

int CmdImport(Context& ctx) {
    SelectStudy(ctx);
    StudyLoader& loader = ctx.workspace->Loader();
    const ImportCounts added = loader.ImportStudySpectra(ctx.frontend);
    ctx.out << ImportSummaryLine(added) << '\n';
    return added.skipped > 0 ? kExitSkipped : 0;
}

int CmdSpeciesList(Context& ctx) {
    SelectStudy(ctx);
    for (const SpeciesNames& s : ListSpeciesNames(ctx.session->Db(), ctx.session->StudyId()))
        ctx.out << EscapeControls(s.folder) << '\t' << EscapeControls(s.common) << '\t'
                << EscapeControls(s.latin) << '\t' << EscapeControls(s.local) << '\n';
    return 0;
}

int CmdSpeciesRename(Context& ctx) {
    if (ctx.args.positional.size() != 1) throw UsageError("species rename needs one FOLDER");
    SpeciesRename names;
    if (ctx.args.Has("common")) names.common = ctx.args.Get("common");
    if (ctx.args.Has("latin")) names.latin = ctx.args.Get("latin");
    if (ctx.args.Has("local")) names.local = ctx.args.Get("local");
    if (!names.common && !names.latin && !names.local)
        throw UsageError("species rename needs --common, --latin or --local");
    SelectStudy(ctx);
    RenameSpecies(ctx.session->Db(), ctx.session->StudyId(), ctx.args.positional[0], names);
    return 0;
}

}  // namespace

std::vector<Command> StudyCommands() {
    return {
        {"sensors", "sensors", "List the sensors: id, name, response type, number of elements.",
         CmdSensors},
        {"sensor import",
         "sensor import FILE [--type gaussian|ratio] | --from-image IMAGE [--name NAME] "
         "[--wavelengths FILE]",
         "Import a sensor definition file (default type: gaussian), or make a Gaussian sensor "
         "of an image's usable bands (any format GDAL reads: bands not marked bad in its bbl "
         "list and holding a value in some pixel) from their wavelengths and FWHM: the bands' "
         "metadata or the ENVI header beside the image, or --wavelengths FILE (one line per "
         "band: the centre in nm, optionally followed by the FWHM). A band without FWHM takes "
         "the spacing of its neighbours. The name is the image's file name unless --name "
         "gives one; the report says what was inferred and which bands were left out.",
         CmdSensorImport},
        {"sensor delete", "sensor delete NAME|ID --yes",
         "Delete a sensor with the libraries and analyses computed on its bands.",
         CmdSensorDelete},
        {"studies", "studies", "List the studies: id and name.", CmdStudies},
        {"study create",
         "study create --name NAME --path DIR [--description TEXT] [--min-samples N]",
         "Create a study of the species folders under DIR (minimum samples per species 0-10000, "
         "default 15) and print its id.",
         CmdStudyCreate},
        {"study import-library",
         "study import-library FILE [--name NAME] [--classes MAPPING.csv] [--scale N] "
         "[--description TEXT] [--min-samples N]",
         "Make a new study of a spectral library and print its id: an ENVI spectral library "
         "(FILE.sli with FILE.hdr: spectra names, wavelengths in any unit, reflectance scale "
         "factor, data type and byte order) or a CSV table, either one column per spectrum (the "
         "first column the wavelengths, the header the spectra names) or one row per spectrum "
         "(the header's fields after the first the wavelengths, each row's first field its "
         "name). Each spectrum name is a species (spectra of one name are spectra of one "
         "species), or MAPPING.csv (columns spectrum,class) gives each spectrum's species, an "
         "empty class leaving it out; a name \"SPECIES site N spectrum M\", as the envi-sli "
         "export writes it, is spectrum M of site N, every other spectrum is in site 1. The "
         "values are divided by --scale N, else by the file's reflectance scale factor, else "
         "by 100 (percent) or 10000 when their median exceeds 1.5 or 150 (said in the "
         "report), and resampled onto the 1 nm grid from 350 to 2499 nm as the SIG and SED "
         "readers do. The study is named "
         "--name, else after the file; nothing is stored when the library is refused.",
         CmdStudyImportLibrary},
        {"study delete", "study delete [--study NAME|ID] --yes",
         "Delete the study with all its species, sites, spectra, settings and results.",
         CmdStudyDelete},
        {"study report", "study report [--study NAME|ID]",
         "Report the study's description, data path, counts and capture timeframe.",
         CmdStudyReport},
        {"study history", "study history [--study NAME|ID]",
         "Who created and last changed the study, its species, libraries and mixtures and the "
         "feature spaces its libraries use, and when (UTC), with each record's version.",
         CmdStudyHistory},
        {"whoami", "whoami",
         "The account the configuration logs in with, its role (reader, editor or admin; an "
         "account the lab does not list counts as admin) and, for an editor, the studies it "
         "edits.",
         CmdWhoAmI},
        {"import", "import [--study NAME|ID]",
         "Import the study's folder tree: species folders, site folders, instrument files (" +
             ReaderNames(ReaderBands::kFieldGrid, "or") +
             ", told apart by their content); what is stored already is kept. An instrument "
             "file has a number as its extension (leaf.012 is spectrum 12) or a name ending in "
             "a number with the extension " +
             ReaderExtensions(ReaderBands::kFieldGrid, "or") +
             " in any case (at00012.asd and leaf_00012.sig are spectrum 12, plot3.0005.sed is "
             "spectrum 5: the digits just before the extension; an overlap-matched copy "
             "leaf_00012_moc.sig is spectrum 12 as well); a text file with a broken table is "
             "skipped naming its line; every other entry, a linked folder, a name that is not "
             "UTF-8, a copy of a measurement in the same site and a second file with a spectrum "
             "number its site already has are skipped. Exits with status 3 when it skipped "
             "files or folders (each named in the report), 0 only when everything was stored.",
         CmdImport},
        {"species list", "species list [--study NAME|ID]",
         "List the study's species: folder, common, Latin and local name, tab-separated (an "
         "unset name is empty).",
         CmdSpeciesList},
        {"species rename",
         "species rename FOLDER [--common TEXT] [--latin TEXT] [--local TEXT] [--study NAME|ID]",
         "Set the common, Latin or local name of the species in FOLDER; a name not given stays, "
         "an empty one is cleared. Results asked for a name a species lacks show its folder "
         "name and say so.",
         CmdSpeciesRename},
    };
}

}  // namespace orvane
