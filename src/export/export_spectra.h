// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <string>

#include "base/choice_words.h"
#include "chain/chain_stage.h"
#include "chain/spectra_details.h"
#include "spectra/species_names.h"

namespace orvane {

class Frontend;
class ProcessingSession;
class OutputFolder;
class StudyLoader;

// What to export, as the "File Export" dialog holds it; the initial values are the dialog's.
struct ExportSettings {
    // Ids of the formats of ExportFormatRegistry, never list positions. kEnvi is the transposed
    // text table; kEnviSli the binary library with its .hdr.
    enum Format { kArff = 0, kCsv = 1, kEnvi = 2, kEnviSli = 3 };
    // The species exported (kRestrictions below). The details are SpectraDetails, the name
    // type a NameType of kExportNameTypes.
    enum Restriction { kAllSpecies = 0, kLibrarySpecies = 1, kEndmembers = 2, kMixtures = 3 };
    // How text formats write numbers (values, wavelength headers, ARFF attribute names):
    // "%.14E" as always, or the shortest plain decimal that reads back exactly. The binary
    // library holds doubles either way.
    enum NumberFormat { kScientific = 0, kPlain = 1 };

    Stage stage = Stage::kSynthesized;
    int format = kCsv;
    int species_restriction = kLibrarySpecies;
    int data_details = kEverySpectrum;
    bool include_filtered = false;
    bool transpose = false;
    int offset_percent = 0;  // 0..100; the first species is raised most, the last not at all
    int name_type = kFolderName;
    bool sort_numerically = false;
    int number_format = kScientific;
    // Each spectrum's site and spectrum number beside its species: two columns (ARFF
    // attributes) "site" and "spectrum" in a table, in the spectra names of the binary library,
    // which always carries them. Site means keep their one site column; species means have no
    // ids, so they refuse this.
    bool ids = false;

    // Throws OrvaneError naming the first setting out of range.
    void Validate() const;
};

inline constexpr Choice<ExportSettings::Restriction> kRestrictionChoices[] = {
    {"all", "Include all species", ExportSettings::kAllSpecies},
    {"library", "Include only library relevant species", ExportSettings::kLibrarySpecies},
    {"endmembers", "Only endmembers", ExportSettings::kEndmembers},
    {"mixtures", "Only mixtures", ExportSettings::kMixtures},
};
inline constexpr ChoiceTable<ExportSettings::Restriction> kRestrictions{kRestrictionChoices};

inline constexpr Choice<ExportSettings::NumberFormat> kNumberFormatChoices[] = {
    {"scientific", "Scientific (4.42700000000000E+02)", ExportSettings::kScientific},
    {"plain", "Plain (442.7)", ExportSettings::kPlain},
};
inline constexpr ChoiceTable<ExportSettings::NumberFormat> kNumberFormats{kNumberFormatChoices};

struct ExportResult {
    std::string path;  // empty when no species was selected and so no file was made
    int species = 0;
    int rows = 0;     // spectra or means written
    int columns = 0;  // bands or features of each
};

// Writes the current study's spectra at one stage of the chain to one file in the output
// folder, one species in memory at a time. Reports "Exported %i species" and the file's path
// with its rows and columns as laid out in the file. Throws OrvaneError with the system's
// reason when the file cannot be written; a previous file of the same name is then kept as it
// was, and no partial file is left.
ExportResult ExportSpectra(StudyLoader& loader, const OutputFolder& output,
                           ProcessingSession& session, Frontend& frontend,
                           const ExportSettings& settings);

// The report line of a finished export: the path, then its rows and columns of values as the
// file lays them out (a transposed file has one row per band).
std::string ExportSummary(const ExportResult& result, const ExportSettings& settings);

// The file name without folder and extension: study, stage, restriction and details parts.
std::string ExportFileName(const ProcessingSession& session, const std::string& study_name,
                           const ExportSettings& settings);

}  // namespace orvane
