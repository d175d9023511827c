// SPDX-License-Identifier: GPL-3.0-or-later
#include "forms/study_browser.h"

#include <cstdio>

#include "chain/processing_session.h"
#include "forms/command_rights.h"
#include "forms/main_form.h"
#include "forms/workbench_document.h"

namespace orvane {

namespace {

std::string Fixed(double value, int decimals) {
    char text[64];
    std::snprintf(text, sizeof text, "%.*f", decimals, value);
    return text;
}

std::string Enabled(int enabled, size_t total) {
    return std::to_string(enabled) + " of " + std::to_string(total);
}

}  // namespace

std::vector<std::string> StudyBrowser::Headers() {
    return {"Spectrum", "Enabled", "Id", "Captured", "Latitude (\u00b0)", "Longitude (\u00b0)",
            "Altitude (m)", "File"};
}

StudyBrowser::StudyBrowser(WorkbenchDocument& doc, MainForm& form) : doc_(doc), form_(form) {}

std::string StudyBrowser::ChangeRefusal() const {
    const ProcessingSession& session = doc_.Session();
    return CommandRefusal(*RuleOfCommand("spectra disable"), session.Rights(), session.StudyId(),
                          session.StudyName());
}

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

std::vector<std::string> StudyBrowser::SpeciesRow(size_t species) const {
    std::vector<std::string> row(kColumns);
    if (species >= tree_.size()) return row;
    const SpeciesNode& node = tree_[species];
    row[kName] = node.folder;
    row[kEnabled] = Enabled(node.enabled, static_cast<size_t>(node.total));
    return row;
}

std::vector<std::string> StudyBrowser::SiteRow(size_t species, size_t site) const {
    std::vector<std::string> row(kColumns);
    if (species >= tree_.size() || site >= tree_[species].sites.size()) return row;
    const SiteNode& node = tree_[species].sites[site];
    row[kName] = "site " + std::to_string(node.site_no);
    row[kEnabled] = Enabled(node.enabled, node.spectra.size());
    row[kCaptured] = node.capture_time;
    return row;
}

std::vector<std::string> StudyBrowser::SpectrumRow(size_t index) const {
    std::vector<std::string> row(kColumns);
    if (index >= spectra_.size()) return row;
    const StoredSpectrum& s = spectra_[index];
    row[kName] = "spectrum " + std::to_string(s.spectrum_no);
    row[kEnabled] = s.disabled ? "no" : "yes";
    row[kId] = std::to_string(s.spectrum_id);
    row[kCaptured] = s.capture_time;
    row[kLatitude] = Fixed(s.latitude, 6);
    row[kLongitude] = Fixed(s.longitude, 6);
    row[kAltitude] = Fixed(s.altitude, 1);
    row[kFile] = s.file;
    return row;
}

}  // namespace orvane
