// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <string>
#include <vector>

#include "study/study_spectra.h"

namespace orvane {

class MainForm;
class WorkbenchDocument;

// The study browser without its widgets: the current study's spectra as a tree of species,
// sites and spectra, and the enabling and disabling of spectra, after which the form shows
// the library status anew.
class StudyBrowser {
  public:
    struct SiteNode {
        int site_no = 0;
        std::string capture_time;
        std::vector<size_t> spectra;  // positions in Spectra()
        int enabled = 0;
    };
    struct SpeciesNode {
        std::string folder;
        std::vector<SiteNode> sites;
        int enabled = 0;
        int total = 0;
    };

    // The tree's columns; each row fills the ones that apply to it and leaves the rest empty.
    enum Column { kName, kEnabled, kId, kCaptured, kLatitude, kLongitude, kAltitude, kFile, kColumns };
    // The column headings, with the units of the numbers under them.
    static std::vector<std::string> Headers();

    StudyBrowser(WorkbenchDocument& doc, MainForm& form);

    // Reads the current study's spectra again.
    void Refresh();
    const std::vector<StoredSpectrum>& Spectra() const { return spectra_; }
    const std::vector<SpeciesNode>& Tree() const { return tree_; }
    int StudyId() const { return study_id_; }

    // Disables or enables spectra of the study, then refreshes the tree and the form's
    // library status. Returns how many changed.
    int SetDisabled(const std::vector<int>& spectrum_ids, bool disabled);
    // Why the account may not disable or enable the study's spectra; empty when it may.
    std::string ChangeRefusal() const;

    // The spectrum ids under a tree position: a whole species, a site, or one spectrum.
    std::vector<int> IdsOfSpecies(size_t species) const;
    std::vector<int> IdsOfSite(size_t species, size_t site) const;

    // The texts of a species, site or spectrum row, one per column.
    std::vector<std::string> SpeciesRow(size_t species) const;
    std::vector<std::string> SiteRow(size_t species, size_t site) const;
    std::vector<std::string> SpectrumRow(size_t index) const;

  private:
    WorkbenchDocument& doc_;
    MainForm& form_;
    int study_id_ = 0;
    std::vector<StoredSpectrum> spectra_;
    std::vector<SpeciesNode> tree_;
};

}  // namespace orvane
