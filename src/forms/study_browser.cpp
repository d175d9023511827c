// SPDX-License-Identifier: GPL-3.0-or-later
#include "forms/study_browser.h"

#include "chain/processing_session.h"
#include "forms/main_form.h"
#include "forms/workbench_document.h"

namespace orvane {

StudyBrowser::StudyBrowser(WorkbenchDocument& doc, MainForm& form) : doc_(doc), form_(form) {}

void StudyBrowser::Refresh() {
    study_id_ = doc_.Session().StudyId();
    spectra_ = study_id_ ? ListStudySpectra(doc_.Session().Db(), study_id_)
                         : std::vector<StoredSpectrum>();
    tree_.clear();
    // The listing comes sorted by species, site and number, so each new key opens a node.
    for (size_t i = 0; i < spectra_.size(); ++i) {
        const StoredSpectrum& s = spectra_[i];
        if (tree_.empty() || i == 0 || spectra_[i - 1].species_id != s.species_id)
            tree_.push_back({s.species, {}, 0, 0});
        SpeciesNode& species = tree_.back();
        if (species.sites.empty() || spectra_[species.sites.back().spectra.back()].site_id != s.site_id)
            species.sites.push_back({s.site_no, s.capture_time, {}, 0});
        SiteNode& site = species.sites.back();
        site.spectra.push_back(i);
        ++species.total;
        if (!s.disabled) {
            ++site.enabled;
            ++species.enabled;
        }
    }
}

int StudyBrowser::SetDisabled(const std::vector<int>& spectrum_ids, bool disabled) {
    const int changed = SetSpectraDisabled(doc_.Session().Db(), study_id_, spectrum_ids, disabled);
    Refresh();
    if (changed > 0) {
        form_.RefreshLibraryStatus();
        doc_.Report(std::to_string(changed) +
                    (disabled ? " spectra disabled" : " spectra enabled") +
                    "; the study's libraries must be built again.");
    }
    return changed;
}

std::vector<int> StudyBrowser::IdsOfSite(size_t species, size_t site) const {
    std::vector<int> ids;
    if (species >= tree_.size() || site >= tree_[species].sites.size()) return ids;
    for (size_t i : tree_[species].sites[site].spectra) ids.push_back(spectra_[i].spectrum_id);
    return ids;
}

std::vector<int> StudyBrowser::IdsOfSpecies(size_t species) const {
    std::vector<int> ids;
    if (species >= tree_.size()) return ids;
    for (size_t site = 0; site < tree_[species].sites.size(); ++site) {
        const std::vector<int> more = IdsOfSite(species, site);
        ids.insert(ids.end(), more.begin(), more.end());
    }
    return ids;
}

}  // namespace orvane
