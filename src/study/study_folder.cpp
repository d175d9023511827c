// SPDX-License-Identifier: GPL-3.0-or-later
#include "study/study_folder.h"

#include <algorithm>
#include <cstring>
#include <filesystem>
#include <string_view>
#include <tuple>
#include <unordered_map>

#include "base/orvane_error.h"
#include "base/shown_text.h"
#include "base/utf8_text.h"
#include "spectra/field_spectrum_reader.h"
#include "spectra/spectrum_file.h"
#include "study/spectra_import.h"

namespace orvane {

namespace {

// The column size of a stored path, in characters.
constexpr size_t kPathChars = 1024;

// The reader names the file in its message; the skip line names it already.
std::string ReasonOf(const OrvaneError& e, const std::string& path) {
    const std::string prefix = "Field spectrum file " + path + " was not read: ";
    std::string text = e.what();
    if (text.compare(0, prefix.size(), prefix) == 0) text = text.substr(prefix.size());
    if (!text.empty() && text.back() == '.') text.pop_back();
    return text;
}

bool SameValue(double a, double b) { return a == b || (std::isnan(a) && std::isnan(b)); }

// Everything an import stores of a file but its number and path.
bool SameMeasurement(const Spectrum& a, const Spectrum& b) {
    const CaptureTime& s = a.capture_time_;
    const CaptureTime& t = b.capture_time_;
    return std::memcmp(a.reflectances_.data(), b.reflectances_.data(), sizeof a.reflectances_) ==
               0 &&
           a.comment_ == b.comment_ &&
           std::tie(s.year, s.month, s.day, s.hour, s.minute, s.second) ==
               std::tie(t.year, t.month, t.day, t.hour, t.minute, t.second) &&
           SameValue(a.latitude_, b.latitude_) && SameValue(a.longitude_, b.longitude_) &&
           SameValue(a.altitude_, b.altitude_);
}

// The file's own name decides, since a text file's header may name the spectrum otherwise.
bool InstrumentExtension(const std::string& path) {
    const std::string name = FileNameOfPath(path);
    const std::size_t dot = name.rfind('.');
    return dot != std::string::npos && dot > 0 &&
           InstrumentFileExtension(std::string_view(name).substr(dot + 1));
}

}  // namespace

void StudyFolderReader::SkipEntry(const FolderEntry& entry, const std::string& level) {
    const std::string belong = "where only " + level + " folders belong";
    switch (entry.kind) {
        case EntryKind::kFile:
            skip_(entry.path,
                  "it is a file " + belong +
                      (level == "site" ? "; instrument files go inside a site folder" : ""));
            break;
        case EntryKind::kLink:
            // A followed link could import a folder twice, or one outside the study's tree.
            skip_(entry.path, "it is " + LinkDescription(entry.path) +
                                  ", and links are not followed: a " + level +
                                  " folder must be a real folder");
            break;
        case EntryKind::kFolder:
        case EntryKind::kOther:
            skip_(entry.path, "it is neither a file nor a folder, " + belong);
            break;
    }
}

bool StudyFolderReader::SkipUnnamedFolder(const std::string& folder) {
    if (IsValidUtf8(LastPathPart(folder))) return false;
    // Stored altered, the species could never be found again by its folder's name.
    skip_(folder, "its name is not valid UTF-8; rename the folder to import it");
    return true;
}

std::unique_ptr<Species> StudyFolderReader::ReadSpeciesFolder(const std::string& path) {
    std::vector<FolderEntry> entries;
    try {
        entries = FolderWalker::Entries(path);
    } catch (const OrvaneError& e) {
        skip_(path, e.what());
    }
    auto species = std::make_unique<Species>(static_cast<int>(entries.size()));
    species->folder_name_ = LastPathPart(path);
    species->path_ = path;
    // Positions count every real sub-folder, as they always have, so that a site keeps its
    // number when a neighbour is refused.
    int position = 0;
    for (const FolderEntry& entry : entries) {
        if (entry.kind != EntryKind::kFolder) {
            SkipEntry(entry, "site");
            continue;
        }
        ++position;
        if (!IsValidUtf8(LastPathPart(entry.path))) {
            skip_(entry.path, "its name is not valid UTF-8; rename the folder to import it");
            continue;
        }
        species->AddSite(ReadSiteFolder(entry.path, position));
    }
    species->GatherSpectra();
    return species;
}

std::unique_ptr<Site> StudyFolderReader::ReadSiteFolder(const std::string& path, int position) {
    const int site_no = SiteFolderNumber(LastPathPart(path), position);
    std::vector<FolderEntry> entries;
    try {
        entries = FolderWalker::Entries(path);
    } catch (const OrvaneError& e) {
        skip_(path, e.what());
    }
    std::vector<std::unique_ptr<Spectrum>> read;
    for (const FolderEntry& entry : entries) {
        const std::string& file = entry.path;
        const std::string name = LastPathPart(file);
        if (entry.kind == EntryKind::kFolder) {
            skip_(file, "it is a folder inside a site folder, which holds instrument files only");
            continue;
        }
        if (!IsValidUtf8(name)) {
            skip_(file, "its name is not valid UTF-8; rename the file to import it");
            continue;
        }
        if (!InstrumentFileNumber(name)) {
            skip_(file,
                  "it is not named as an instrument file (a number as its extension, as in "
                  "leaf.012, or a name ending in a number with the extension " +
                      ReaderExtensions(ReaderBands::kFieldGrid, "or") +
                      ", as in leaf00012.asd or leaf_00012.sig)");
            continue;
        }
        if (Utf8Chars(AsUtf8(file)) > kPathChars) {
            skip_(file, "a path holds at most 1024 characters");
            continue;
        }
        try {
            read.push_back(ReadSpectrumFile(file));
        } catch (const OrvaneError& e) {
            skip_(file, ReasonOf(e, file));
        }
    }

    // A measurement copied under another name is stored once. The file in the instrument's
    // own naming is the one kept, since a copy's name may carry another number.
    std::vector<size_t> order(read.size());
    for (size_t i = 0; i < order.size(); ++i) order[i] = i;
    std::stable_sort(order.begin(), order.end(), [&read](size_t a, size_t b) {
        return InstrumentExtension(read[a]->path_) && !InstrumentExtension(read[b]->path_);
    });
    std::vector<bool> keep(read.size(), true);
    // Kept files by a hash of their values, so that a large site is not compared pairwise.
    std::unordered_multimap<size_t, size_t> kept;
    for (size_t i : order) {
        const Spectrum& spectrum = *read[i];
        const size_t hash = std::hash<std::string_view>()(
            std::string_view(reinterpret_cast<const char*>(spectrum.reflectances_.data()),
                             sizeof spectrum.reflectances_));
        const auto [first, last] = kept.equal_range(hash);
        for (auto it = first; it != last && keep[i]; ++it) {
            if (!SameMeasurement(spectrum, *read[it->second])) continue;
            keep[i] = false;
            skip_(spectrum.path_, "it holds the same measurement as " +
                                      EscapeControls(read[it->second]->path_) +
                                      ", so it is left out as a copy of it");
        }
        if (keep[i]) kept.emplace(hash, i);
    }

    auto site = std::make_unique<Site>(site_no, static_cast<int>(read.size()));
    site->path_ = path;
    for (size_t i = 0; i < read.size(); ++i)
        if (keep[i]) site->AddMember(std::move(read[i]));
    return site;
}

StudyFolder ReadStudyFolder(const std::string& folder) {
    std::error_code ec;
    if (folder.empty() || !std::filesystem::is_directory(folder, ec))
        throw OrvaneError("The study folder \"" + folder + "\" is not a folder.");
    StudyFolder study;
    StudyFolderReader reader([&study](const std::string& what, const std::string& reason) {
        study.skipped.push_back(EscapeControls(what) + ": " + reason);
    });
    for (const FolderEntry& entry : FolderWalker::Entries(folder)) {
        if (entry.kind != EntryKind::kFolder) {
            reader.SkipEntry(entry, "species");
            continue;
        }
        if (reader.SkipUnnamedFolder(entry.path)) continue;
        std::unique_ptr<Species> species = reader.ReadSpeciesFolder(entry.path);
        if (species->TotalSpectra() == 0) {
            study.skipped.push_back(EscapeControls(entry.path) +
                                    ": no site folder in it holds a readable spectrum file");
            continue;
        }
        study.species.push_back(std::move(species));
    }
    return study;
}

}  // namespace orvane
