// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "spectra/species.h"
#include "study/folder_walker.h"

namespace orvane {

// Reads a study's folder tree from disk as the import takes it: one folder per species, one
// folder per site inside it, one instrument file per measurement inside that. Entries that do
// not belong there and files that cannot be read are left out, each given to `skip` with the
// reason, one sentence without its full stop.
class StudyFolderReader {
  public:
    using SkipFunction = std::function<void(const std::string& what, const std::string& reason)>;
    explicit StudyFolderReader(SkipFunction skip) : skip_(std::move(skip)) {}

    // The species folder: its sites (those that hold no readable file included, empty) and
    // their spectra.
    std::unique_ptr<Species> ReadSpeciesFolder(const std::string& path);
    // One site folder, numbered by its name or its 1-based position among its species' folders
    // (SiteFolderNumber). Of files holding the same measurement one is kept, the one in the
    // instrument's own naming.
    std::unique_ptr<Site> ReadSiteFolder(const std::string& path, int position);
    // Skips an entry that is not a real folder where only folders of `level` ("species",
    // "site") belong.
    void SkipEntry(const FolderEntry& entry, const std::string& level);
    // Skips a species folder whose name a study cannot keep (not valid UTF-8) before it is
    // read; true when it was skipped.
    bool SkipUnnamedFolder(const std::string& folder);

  private:
    SkipFunction skip_;
};

// A whole study folder read without a database: the species that hold a readable spectrum, in
// folder order, and each entry left out as "path: reason". Throws OrvaneError when the folder
// cannot be listed.
struct StudyFolder {
    std::vector<std::unique_ptr<Species>> species;
    std::vector<std::string> skipped;
};
StudyFolder ReadStudyFolder(const std::string& folder);

}  // namespace orvane
