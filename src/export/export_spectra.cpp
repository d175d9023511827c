// SPDX-License-Identifier: GPL-3.0-or-later
#include "export/export_spectra.h"

#include <algorithm>
#include <array>
#include <typeinfo>
#include <filesystem>
#include <memory>
#include <optional>
#include <set>
#include <vector>

#include <fmt/format.h>

#include "base/frontend.h"
#include "base/parallel.h"
#include "base/orvane_error.h"
#include "chain/processing_chain.h"
#include "chain/processing_session.h"
#include "base/text_file.h"
#include "chain/feature_space.h"
#include "export/envi_library_file.h"
#include "export/export_formats.h"
#include "spectra/species.h"
#include "spectra/species_names.h"
#include "base/output_folder.h"
#include "study/study_loader.h"
#include "store/database.h"
#include "store/study_repository.h"

namespace orvane {

namespace {

const char* const kRestrictionNames[] = {"all_species", "lib_species", "endmembers", "mixtures"};
const char* const kDetailsSuffixes[] = {"", "_site_mean", "_species_mean"};

// A name becomes part of a path: a separator in it must not lead into another folder.
std::string FilePart(std::string text) {
    for (char& c : text)
        if (c == '/' || c == '\0') c = '_';
    return text;
}

class SpeciesWriter {
  public:
    SpeciesWriter(ProcessingSession& session, TextFile& file, const ExportSettings& settings,
                  ExportWriter& format)
        : session_(session),
          chain_(session.Compiled()),
          file_(file),
          settings_(settings),
          format_(format) {}

    std::vector<ExportColumn> columns;
    int rows = 0;
    bool id_columns = false;  // each spectrum's row names its site and number

    void WriteHeader(const std::string& relation, std::vector<std::string> species_values) {
        ExportHeader header;
        header.relation = relation;
        header.species = std::move(species_values);
        header.site_column = settings_.data_details == kSiteMean || id_columns;
        header.spectrum_column = id_columns;
        header.feature_columns = settings_.stage == Stage::kFeatures;
        if (header.feature_columns) {
            const FeatureSpace& fs = *session_.CurrentFeatureSpace();
            for (int i = 1; i <= fs.Dimension(); ++i)
                header.features.push_back(fs.Name() + "_" + std::to_string(i));
        }
        header.bands = columns;
        header.whole_wavelengths = !OnSensorAxis(settings_.stage);
        format_.WriteHeader(file_, header);
    }

    void SpeciesRows(Species& species, double offset, int auto_number) {
        if (settings_.data_details != kSpeciesMean) {
            for (int i = 0; i < species.SiteCount(); ++i)
                SiteRows(*species.SiteAt(i), species, offset, auto_number);
            return;
        }
        // A species without enabled spectra has no mean to write.
        if (species.MemberCount() == 0) return;
        WriteName(species, auto_number);
        GroupValues(species, offset);
    }

    // The row of one spectrum of the site numbered site_no, for "all spectra". Into a plain
    // text file the rows are gathered and made on every core (RowsInParallel), then written in
    // their order; FlushRows writes what is gathered.
    void SpectrumRow(const Species& species, int site_no, Spectrum& spectrum, double offset,
                     int auto_number) {
        if (!RowsInParallel()) {
            // A binary library names each spectrum apart; the table's rows need not.
            if (auto* library = dynamic_cast<EnviLibraryFile*>(&file_))
                library->SetNextRowName(NameOf(species, auto_number) + " site " +
                                        std::to_string(site_no) + " spectrum " +
                                        std::to_string(spectrum.number_));
            ++rows;
            RowOf(file_, chain_, species, site_no, spectrum, offset, auto_number);
            return;
        }
        pending_.push_back({&species, site_no, spectrum.number_, offset, auto_number, {}});
        std::copy(spectrum.reflectances_.begin(), spectrum.reflectances_.end(),
                  pending_.back().reflectances.begin());
        if (pending_.size() == kRowBatch) FlushRows();
    }

    void FlushRows() {
        if (pending_.empty()) return;
        const int workers = WorkersFor(pending_.size());
        team_.Prepare(workers);
        while (static_cast<int>(row_files_.size()) < workers) {
            row_files_.push_back(std::make_unique<TextFile>(file_.Path(), '#'));
            row_files_.back()->SetDelimiter(file_.Delimiter());
            if (!row_files_.back()->OpenInMemory())
                throw OrvaneError("Cannot format the export's rows: " +
                                  row_files_.back()->FailureReason());
        }
        std::vector<std::string> text(pending_.size());
        ParallelFor(pending_.size(), [&](size_t i, int worker) {
            PendingRow& row = pending_[i];
            Spectrum spectrum;
            spectrum.reflectances_ = row.reflectances;
            spectrum.number_ = row.number;
            TextFile& out = *row_files_[static_cast<size_t>(worker)];
            RowOf(out, team_.For(worker), *row.species, row.site_no, spectrum, row.offset,
                  row.auto_number);
            text[i] = out.TakeText();
        });
        for (const std::string& t : text) file_.WriteString(t);
        rows += static_cast<int>(pending_.size());
        pending_.clear();
    }

  private:
    void SiteRows(Site& site, const Species& species, double offset, int auto_number) {
        if (settings_.data_details == kEverySpectrum) {
            for (int i = 0; i < site.MemberCount(); ++i)
                SpectrumRow(species, site.SiteNumber(), *site.Member(i), offset, auto_number);
            return;
        }
        if (site.MemberCount() == 0) return;
        WriteName(species, auto_number);
        file_.WriteDelimiter();
        file_.WriteInt(site.SiteNumber());
        GroupValues(site, offset);
    }

    void GroupValues(Site& group, double offset) {
        if (settings_.stage == Stage::kFeatures) {
            WriteFeatures(MeanFeature(chain_, group, FeatureType()));
        } else {
            std::unique_ptr<BandVector> mean = StageMean(chain_, group, settings_.stage);
            WriteBandValues(*mean, offset);
        }
    }

    int FeatureType() const { return session_.CurrentFeatureSpace()->Type(); }

    // Only a plain text file takes rows made elsewhere as text; the transposing file and the
    // binary library take each value as it comes.
    bool RowsInParallel() const { return typeid(file_) == typeid(TextFile); }

    // One spectrum's row into `out`, its values by `chain`.
    void RowOf(TextFile& out, Chain& chain, const Species& species, int site_no,
               Spectrum& spectrum, double offset, int auto_number) {
        WriteNameTo(out, species, auto_number);
        if (id_columns) {
            out.WriteDelimiter();
            out.WriteInt(site_no);
            out.WriteDelimiter();
            out.WriteInt(spectrum.number_);
        }
        if (settings_.stage == Stage::kFeatures)
            WriteFeaturesTo(out, chain.Features(spectrum, FeatureType()));
        else
            WriteBandValuesTo(out, chain.Run(spectrum, settings_.stage), offset);
    }

    // The species' name as its rows give it: a number for "Auto number".
    std::string NameOf(const Species& species, int auto_number) const {
        return settings_.name_type == kAutoNumber
                   ? std::to_string(auto_number)
                   : species.NameOfType(settings_.name_type);
    }

    void WriteName(const Species& species, int auto_number) {
        ++rows;
        WriteNameTo(file_, species, auto_number);
    }

    void WriteNameTo(TextFile& out, const Species& species, int auto_number) {
        if (settings_.name_type == kAutoNumber)
            format_.WriteNumber(out, auto_number);
        else
            format_.WriteName(out, species.NameOfType(settings_.name_type));
    }

    // One field per column of the header; a band without a value gets the format's missing
    // field, so every value stays under its own column.
    void WriteBandValues(const BandVector& values, double offset) {
        WriteBandValuesTo(file_, values, offset);
    }

    void WriteBandValuesTo(TextFile& out, const BandVector& values, double offset) {
        for (const ExportColumn& c : columns) {
            out.WriteDelimiter();
            const double v = values.Value(c.index);
            if (HasFiniteValue(v))
                format_.WriteValue(out, offset > 0.0 ? v + offset : v);
            else
                format_.WriteMissing(out);
        }
        out.WriteEol();
    }

    void WriteFeatures(const Matrix& features) { WriteFeaturesTo(file_, features); }

    void WriteFeaturesTo(TextFile& out, const Matrix& features) {
        for (int r = 1; r <= features.Nrows(); ++r) {
            out.WriteDelimiter();
            format_.WriteValue(out, features(r, 1));
        }
        out.WriteEol();
    }

    // A spectrum waiting for its row: its stored values and where the row names it.
    struct PendingRow {
        const Species* species;
        int site_no;
        int number;
        double offset;
        int auto_number;
        std::array<float, kSpectrumBands> reflectances;
    };
    static constexpr size_t kRowBatch = 256;

    ProcessingSession& session_;
    Chain chain_;
    ChainTeam team_{session_.Compiled()};
    std::vector<PendingRow> pending_;
    std::vector<std::unique_ptr<TextFile>> row_files_;
    TextFile& file_;
    const ExportSettings& settings_;
    ExportWriter& format_;
};

// The band columns of a stage: every band the stage's mask keeps (all of them with "include
// filtered bands"), and for sensor stages only the usable elements. A stage on the grid with
// no mask of its own (an optional stage) keeps the bands of its input.
std::vector<ExportColumn> BandColumns(const ProcessingSession& session, Stage stage,
                                      bool include_filtered) {
    std::vector<ExportColumn> columns;
    const BandVector* mask = nullptr;
    switch (stage) {
        case Stage::kRaw:
            for (int w = kFirstWavelength; w < kFirstWavelength + kSpectrumBands; ++w)
                columns.push_back({w, static_cast<double>(w)});
            return columns;
        case Stage::kFiltered:
            mask = &session.FilterMask();
            break;
        case Stage::kSmoothed:
        case Stage::kInterpolated:
            mask = &session.SmoothingMask();
            break;
        case Stage::kSynthesized:
            mask = session.SensorMask();
            break;
        case Stage::kDerived:
            mask = session.DerivativeMask();
            break;
        case Stage::kFeatures:
            return columns;
        default:
            return BandColumns(session, Declaration(stage).input, include_filtered);
    }
    if (!mask) return columns;
    const bool sensor_stage = OnSensorAxis(stage);
    const Sensor* sensor = session.CurrentSensor();
    for (int index = mask->First(); index <= mask->Last(); ++index) {
        if (sensor_stage) {
            const int element = index - mask->First();
            if (!sensor || element >= sensor->ElementCount() || !sensor->Usable(element)) continue;
        }
        if (include_filtered || mask->Value(index) == 1.0)
            columns.push_back({index, mask->X(index)});
    }
    return columns;
}

std::string StageName(const ProcessingSession& session, Stage stage) {
    switch (stage) {
        case Stage::kRaw:
        case Stage::kFiltered:
        case Stage::kSmoothed:
            return Declaration(stage).word;
        case Stage::kSynthesized:
            return session.CurrentSensor()->Name() + "_synth";
        case Stage::kInterpolated:
            return session.CurrentSensor()->Name() + "_synth_interpol";
        case Stage::kDerived:
            return std::to_string(session.DerivativeOrder()) + "_derivative";
        case Stage::kFeatures:
            return session.CurrentFeatureSpace()->Name();
        default:
            break;
    }
    return Declaration(stage).word;
}

// The species' name of that type as stored, empty when unset (or for auto numbers).
const std::string& StoredName(const Species& species, int name_type) {
    static const std::string kNone;
    switch (name_type) {
        case kCommonName: return species.common_name_;
        case kLocalName: return species.maori_name_;
        case kLatinName: return species.latin_name_;
        case kFolderName: return species.folder_name_;
        default: return kNone;
    }
}

// The values of the species attribute: the chosen names of every species of the study, in
// folder order, each once; 1..N for auto numbers.
std::vector<std::string> SpeciesValues(Database& db, int study_id, int name_type, int exported) {
    std::vector<std::string> values;
    if (name_type == kAutoNumber) {
        for (int i = 1; i <= exported; ++i) values.push_back(std::to_string(i));
        return values;
    }
    std::set<std::string> seen;
    for (const StoredSpeciesNames& names : StudyRepository(db).SpeciesNames(study_id)) {
        // The folder name stands in for an unset name, as it does in the rows.
        const std::string& chosen = name_type == kCommonName ? names.common
                                    : name_type == kLocalName ? names.local
                                    : name_type == kLatinName ? names.latin
                                                              : names.folder;
        const std::string name = chosen.empty() ? names.folder : chosen;
        if (seen.insert(name).second) values.push_back(name);
    }
    return values;
}

}  // namespace

std::string ExportSummary(const ExportResult& result, const ExportSettings& settings) {
    const ExportFormatEntry* format = FindExportFormat(settings.format);
    const bool transposed = format && Transposed(*format, settings.transpose);
    const int rows = transposed ? result.columns : result.rows;
    const int columns = transposed ? result.rows : result.columns;
    std::string text = "Wrote " + result.path;
    if (format && format->companion_extension)
        text += " and " + std::filesystem::path(result.path)
                              .replace_extension(format->companion_extension)
                              .string();
    return text + "\n" + std::to_string(rows) + " rows, " + std::to_string(columns) +
           " columns of values (" + std::to_string(result.rows) + " spectra or means, " +
           std::to_string(result.columns) + (settings.stage == Stage::kFeatures ? " features" : " bands") +
           ")\n";
}

void ExportSettings::Validate() const {
    auto check = [](bool ok, const char* what) {
        if (!ok) throw OrvaneError(std::string("Export: ") + what);
    };
    check(std::any_of(Stages().begin(), Stages().end(),
                      [&](const StageDeclaration& s) { return s.id == stage; }),
          "unknown processing stage");
    const ExportFormatEntry* entry = FindExportFormat(format);
    check(entry != nullptr, "unknown format");
    check(species_restriction >= kAllSpecies && species_restriction <= kMixtures,
          "unknown species restriction");
    check(data_details >= kEverySpectrum && data_details <= kSpeciesMean, "unknown data details");
    check(offset_percent >= 0 && offset_percent <= 100,
          "the offset must be a whole number from 0 to 100 percent");
    check(name_type >= kCommonName && name_type <= kAutoNumber, "unknown name type");
    check(!(transpose && entry->transpose_refusal), entry->transpose_refusal);
    check(number_format == kScientific || number_format == kPlain, "unknown number format");
    check(!(ids && data_details == kSpeciesMean),
          "a species mean has no site or spectrum number; choose all spectra or site means "
          "for ids");
}

std::string ExportFileName(const ProcessingSession& session, const std::string& study_name,
                           const ExportSettings& settings) {
    return FilePart(study_name) + "_" + FilePart(StageName(session, settings.stage)) + "_" +
           kRestrictionNames[settings.species_restriction] +
           kDetailsSuffixes[settings.data_details];
}

ExportResult ExportSpectra(StudyLoader& loader, const OutputFolder& output,
                           ProcessingSession& session, Frontend& frontend,
                           const ExportSettings& requested) {
    requested.Validate();
    ExportSettings settings = requested;
    if (settings.stage == Stage::kRaw) settings.include_filtered = true;
    const ExportFormatEntry& format = *FindExportFormat(settings.format);
    settings.transpose = Transposed(format, settings.transpose);
    if (NeedsSensor(settings.stage)) session.RequireSensor();
    if (settings.stage == Stage::kFeatures && !session.CurrentFeatureSpace())
        throw OrvaneError("No feature space is selected; choose one before exporting features.");

    Database& db = session.Db();
    StudyRepository studies(db);
    const std::string study_name = studies.Name(session.StudyId()).value_or("");
    std::optional<bool> endmember;
    if (settings.species_restriction == ExportSettings::kEndmembers) endmember = true;
    if (settings.species_restriction == ExportSettings::kMixtures) endmember = false;
    std::vector<int64_t> species_ids;
    for (const SpeciesSpectraCount& c :
         studies.SpectraPerSpeciesByFolder(session.StudyId(), endmember, settings.sort_numerically)) {
        if (settings.species_restriction == ExportSettings::kLibrarySpecies &&
            c.spectra < session.MinSpectraPerSpecies())
            continue;
        species_ids.push_back(c.species_id);
    }
    const int n = static_cast<int>(species_ids.size());
    ExportResult result;
    if (n == 0) {
        frontend.Report("Exported 0 species\n");
        return result;
    }

    const std::string path =
        output.PathFor(ExportFileName(session, study_name, settings), format.extension);
    std::vector<std::string> species_values =
        format.species_listed ? SpeciesValues(db, session.StudyId(), settings.name_type, n)
                              : std::vector<std::string>();
    const std::unique_ptr<ExportWriter> format_writer = format.make(species_values);
    format_writer->number_format = settings.number_format;
    const std::unique_ptr<TextFile> file = format_writer->MakeFile(
        path, {settings.transpose, settings.data_details == kSiteMean,
               study_name + ", " + StageName(session, settings.stage) + " stage"});
    file->SetDelimiter(format_writer->Delimiter());
    // The file is written beside the old one and replaces it only when complete; whatever
    // stops the export half way leaves the previous file as it was.
    if (!file->OpenForWriting()) throw OrvaneError(CannotWriteMessage(path, file->FailureReason()));

    SpeciesWriter writer(session, *file, settings, *format_writer);
    writer.columns = BandColumns(session, settings.stage, settings.include_filtered);
    writer.id_columns = settings.ids && settings.data_details == kEverySpectrum &&
                        !format.ids_in_names;
    // The relation is named after what the file holds: the study and the stage.
    writer.WriteHeader(study_name + "_" + StageName(session, settings.stage),
                       std::move(species_values));

    frontend.BeginProgress("Exporting file", n);
    struct ProgressEnd {
        Frontend& frontend;
        ~ProgressEnd() { frontend.EndProgress(); }
    } progress_end{frontend};
    std::vector<std::pair<std::string, std::string>> names;
    // The database is not used again until every species is read. Only the means read
    // whole species, so only they read ahead.
    SpeciesReadAhead reader(loader, settings.data_details == kEverySpectrum
                                        ? std::vector<int64_t>()
                                        : species_ids);
    for (int i = 0; i < n; ++i) {
        frontend.StepProgress(i + 1);
        if (frontend.Cancelled()) throw Cancelled("cancelled; no file was written");
        const double offset = (n - 1 - i) * settings.offset_percent / 100.0;
        const int species_id = species_ids[static_cast<size_t>(i)];
        std::unique_ptr<Species> species;
        if (settings.data_details == kEverySpectrum) {
            // Each spectrum is written as it arrives, so the export holds one, not a species
            // (or two, as reading ahead would).
            species = loader.StreamSpecies(
                species_id, [&writer, offset, i](const Species& named, int site_no,
                                                 Spectrum& spectrum) {
                    writer.SpectrumRow(named, site_no, spectrum, offset, i + 1);
                });
        } else {
            // Means need the whole species; with more threads the next one is read while this
            // one is written.
            species = reader.Next();
            writer.SpeciesRows(*species, offset, i + 1);
        }
        // The species object the rows name lives until here.
        writer.FlushRows();
        names.emplace_back(species->folder_name_, StoredName(*species, settings.name_type));
    }
    if (!file->Close()) {
        if (auto* library = dynamic_cast<EnviLibraryFile*>(file.get()))
            throw OrvaneError(CannotWriteMessage(library->FailedPath(), file->FailureReason()) +
                              "\n" + library->KeptNote());
        throw OrvaneError(CannotReplaceMessage(path, file->FailureReason()));
    }
    const std::string missing = MissingNamesNote(names, settings.name_type);
    if (!missing.empty()) frontend.Report(missing);
    frontend.Report("Exported " + std::to_string(n) + " species\n");
    result.path = path;
    result.species = n;
    result.rows = writer.rows;
    result.columns = settings.stage == Stage::kFeatures
                         ? session.CurrentFeatureSpace()->Dimension()
                         : static_cast<int>(writer.columns.size());
    frontend.Report(ExportSummary(result, settings));
    return result;
}

}  // namespace orvane
