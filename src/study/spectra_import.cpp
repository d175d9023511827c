// SPDX-License-Identifier: GPL-3.0-or-later
#include "study/spectra_import.h"

#include <algorithm>
#include <array>
#include <cmath>
#include <cstring>
#include <filesystem>
#include <string_view>
#include <tuple>
#include <unordered_map>
#include <vector>

#include <fmt/format.h>

#include "base/frontend.h"
#include "base/orvane_error.h"
#include "base/shown_text.h"
#include "base/utf8_text.h"
#include "chain/processing_session.h"
#include "spectra/field_spectrum_reader.h"
#include "spectra/spectrum_file.h"
#include "study/folder_walker.h"
#include "store/array_codec.h"
#include "store/database.h"
#include "store/spectra_repository.h"
#include "store/study_lock.h"
#include "study/study_spectra_changes.h"

namespace orvane {

namespace {

// Column sizes of the schema, in characters.
constexpr size_t kFolderNameChars = 80;

// Species folder, site folder and file name: what identifies a measurement even when the
// study's folder tree has been moved since it was imported.
std::string TreePath(const std::string& path) {
    size_t start = path.size();
    for (int parts = 0; parts < 3 && start != std::string::npos && start > 0; ++parts)
        start = path.rfind('/', start - 1);
    return start == std::string::npos ? path : path.substr(start + 1);
}

}  // namespace

std::string AsUtf8(const std::string& bytes) {
    std::string out;
    out.reserve(bytes.size());
    size_t i = 0;
    while (i < bytes.size()) {
        const unsigned char c = static_cast<unsigned char>(bytes[i]);
        size_t length = c < 0x80           ? 1
                        : (c >> 5) == 0x6  ? 2
                        : (c >> 4) == 0xE  ? 3
                        : (c >> 3) == 0x1E ? 4
                                           : 0;
        bool valid = length > 0 && i + length <= bytes.size();
        for (size_t k = 1; valid && k < length; ++k)
            valid = (static_cast<unsigned char>(bytes[i + k]) & 0xC0) == 0x80;
        if (valid && length > 1) {
            // Overlong forms, surrogates and values beyond U+10FFFF are not UTF-8 either.
            unsigned cp = c & (0x7F >> length);
            for (size_t k = 1; k < length; ++k)
                cp = (cp << 6) | (static_cast<unsigned char>(bytes[i + k]) & 0x3F);
            const unsigned minimum = length == 2 ? 0x80 : length == 3 ? 0x800 : 0x10000;
            valid = cp >= minimum && cp <= 0x10FFFF && (cp < 0xD800 || cp > 0xDFFF);
        }
        if (valid) {
            out.append(bytes, i, length);
            i += length;
        } else {
            out += static_cast<char>(0xC0 | (c >> 6));
            out += static_cast<char>(0x80 | (c & 0x3F));
            ++i;
        }
    }
    return out;
}

std::string CaptureDateText(const CaptureTime& t) {
    if (!ValidCaptureTime(t)) return "";
    return fmt::format("{}{:02}{:02}{:02}{:02}{:02}", t.year, t.month, t.day, t.hour, t.minute,
                       t.second);
}

SpectraImport::SpectraImport(ProcessingSession& session, Frontend& frontend)
    : session_(session),
      frontend_(frontend),
      reader_([this](const std::string& what, const std::string& reason) { Skip(what, reason); }) {}

SpectraImport::~SpectraImport() = default;

void SpectraImport::Skip(const std::string& what, const std::string& reason) {
    frontend_.Report("Skipped " + EscapeControls(what) + ": " + reason + "\n");
    ++counts_.skipped;
    counts_.skipped_entries.push_back(EscapeControls(what) + ": " + reason);
}

std::string ImportSummaryLine(const ImportCounts& counts) {
    return fmt::format("Added {} species, {} sites and {} spectra; {} skipped", counts.species,
                       counts.sites, counts.spectra, counts.skipped);
}

std::string ImportSummary(const ImportCounts& counts) {
    std::string text = ImportSummaryLine(counts);
    if (!counts.skipped_entries.empty()) text += ":";
    for (const std::string& entry : counts.skipped_entries) text += "\n  " + entry;
    return text;
}

void SpectraImport::ImportSpeciesFolder(const std::string& folder) {
    const std::string folder_name = LastPathPart(folder);
    if (reader_.SkipUnnamedFolder(folder)) return;
    if (Utf8Chars(folder_name) > kFolderNameChars) {
        Skip(folder, "a species folder name holds at most 80 characters");
        return;
    }
    std::unique_ptr<Species> species = reader_.ReadSpeciesFolder(folder);
    if (species->TotalSpectra() == 0) {
        // A species row without spectra would only be an empty class everywhere.
        Skip(folder, "no site folder in it holds a readable spectrum file");
        return;
    }
    frontend_.Report("Processing " + EscapeControls(species->folder_name_) + "\n");
    const ImportCounts before = counts_;
    try {
        RunInTransaction(session_.Db(), [&] {
            // A try the server gave up as a collision left nothing stored, so the next one
            // starts from the counts and numbers of before it.
            counts_ = before;
            site_numbers_.clear();
            InsertSpecies(*species);
            if (counts_.spectra > before.spectra) MarkStudySpectraChanged(session_.Db(), study_id_);
        });
    } catch (const DbError& e) {
        // Without its server the import cannot go on; a species the server refuses is left
        // out whole, and the next one is tried.
        if (!session_.Db().Alive())
            throw DbError("The import stopped at species folder '" + species->folder_name_ +
                          "'; nothing of it was stored, species stored before it are kept.\n" +
                          e.what());
        std::vector<std::string> skipped_entries = std::move(counts_.skipped_entries);
        const int skipped = counts_.skipped;
        counts_ = before;
        counts_.skipped = skipped;
        counts_.skipped_entries = std::move(skipped_entries);
        Skip(folder, std::string("the database refused it, so nothing of it was stored (") +
                         e.what() + ")");
    }
    site_numbers_.clear();
}

ImportCounts SpectraImport::ImportStudySpectra(int study_id, const std::string& data_path) {
    study_id_ = study_id;
    counts_ = ImportCounts{};
    site_numbers_.clear();
    if (study_id == 0) throw OrvaneError("There is no current study to import into.");
    std::error_code ec;
    if (data_path.empty() || !std::filesystem::is_directory(data_path, ec))
        throw OrvaneError("The study's data path \"" + data_path + "\" is not a folder.");
    const std::vector<FolderEntry> entries = FolderWalker::Entries(data_path);
    StudyLock lock(session_.Db(), frontend_, study_id);
    if (!rows_) rows_ = std::make_unique<SpectraImportRepository>(session_.Db());

    const int total = static_cast<int>(
        std::count_if(entries.begin(), entries.end(),
                      [](const FolderEntry& e) { return e.kind == EntryKind::kFolder; }));
    ProgressScope progress(frontend_, "Loading spectra to database", total);
    int done = 0;
    bool cancelled = false;
    for (const FolderEntry& entry : entries) {
        if (entry.kind != EntryKind::kFolder) {
            reader_.SkipEntry(entry, "species");
            continue;
        }
        if (frontend_.Cancelled()) {
            frontend_.Report(
                fmt::format("Import cancelled after {} of {} species folders\n", done, total));
            cancelled = true;
            break;
        }
        ImportSpeciesFolder(entry.path);
        frontend_.StepProgress(++done);
    }
    // Again once everything is in, so that a library built while the import ran (by a
    // program that did not wait for the study) is out of date afterwards.
    if (counts_.spectra > 0) MarkStudySpectraChanged(session_.Db(), study_id);
    // The species imported before the cancel are whole and stay; the run still ends as
    // cancelled rather than as a finished import.
    if (cancelled) throw Cancelled("cancelled; the species imported before it are kept");
    return counts_;
}

void SpectraImport::InsertSpecies(Species& species) {
    const std::string folder_name = AsUtf8(species.folder_name_);
    int64_t species_id = rows_->FindSpecies(folder_name, study_id_);
    if (species_id == 0) {
        species_id = rows_->InsertSpecies(folder_name, study_id_);
        ++counts_.species;
    }
    species.species_id_ = species_id;
    for (int i = 0; i < species.SiteCount(); ++i) InsertSite(*species.SiteAt(i), species_id);
}

void SpectraImport::InsertSite(Site& site, int64_t species_id) {
    if (site.MemberCount() == 0) return;
    int64_t site_id = rows_->FindSite(species_id, site.SiteNumber(), study_id_);
    if (site_id == 0) {
        site_id = rows_->InsertSite(site.SiteNumber(), species_id,
                                    CaptureDateText(site.Member(0)->capture_time_), study_id_);
        site_numbers_[site_id];
        ++counts_.sites;
    } else if (!site_numbers_.count(site_id)) {
        std::map<int, StoredNumber>& numbers = site_numbers_[site_id];
        for (auto& [number, path] : rows_->SpectrumNumbers(species_id, site_id, study_id_))
            numbers[number] = {std::move(path), false};
    }

    pending_.clear();
    for (int i = 0; i < site.MemberCount(); ++i)
        InsertSpectrum(*site.Member(i), species_id, site_id, site.SiteNumber());
    if (pending_.empty()) return;
    WritePendingSpectra(species_id, site_id);
    rows_->UpdateSitePosition(site_id);
}

void SpectraImport::InsertSpectrum(Spectrum& spectrum, int64_t /*species_id*/, int64_t site_id,
                                   int site_no) {
    const std::string path = AsUtf8(spectrum.path_);
    std::map<int, StoredNumber>& numbers = site_numbers_[site_id];
    auto taken = numbers.find(spectrum.number_);
    if (taken != numbers.end()) {
        // The same file found again is simply already stored; another file with its number
        // would be lost without a word.
        const bool same_file =
            !taken->second.this_import && TreePath(taken->second.path) == TreePath(path);
        if (!same_file)
            Skip(spectrum.path_,
                 fmt::format("spectrum number {} of site {} is already taken by {}, which is "
                             "the one stored",
                             spectrum.number_, site_no, EscapeControls(taken->second.path)));
        return;
    }
    numbers[spectrum.number_] = {path, true};
    for (const std::string& note : spectrum.read_notes_)
        frontend_.Report("Note on " + EscapeControls(spectrum.path_) + ": " + note + "\n");
    pending_.push_back(&spectrum);
}

void SpectraImport::WritePendingSpectra(int64_t species_id, int64_t site_id) {
    std::vector<NewSpectrumRow> rows(pending_.size());
    for (size_t r = 0; r < pending_.size(); ++r) {
        const Spectrum& spectrum = *pending_[r];
        // A position the reader could not take from the file is stored as NULL.
        rows[r] = {spectrum.number_,
                   spectrum.latitude_,
                   spectrum.longitude_,
                   spectrum.altitude_,
                   AsUtf8(spectrum.comment_),
                   AsUtf8(spectrum.path_),
                   spectrum.reflectances_.data()};
    }
    rows_->InsertSpectra(species_id, site_id, study_id_, rows);
    counts_.spectra += static_cast<int>(rows.size());
    pending_.clear();
}

}  // namespace orvane
