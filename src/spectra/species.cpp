// SPDX-License-Identifier: GPL-3.0-or-later
#include "spectra/species.h"
#include "spectra/species_names.h"

namespace orvane {

Species::Species(int site_capacity) {
    if (site_capacity > 0) sites_.reserve(static_cast<size_t>(site_capacity));
}

Species::~Species() {
    // The gathered list only borrows the sites' spectra; the sites delete them.
    members_.clear();
}

void Species::AddSite(std::unique_ptr<Site> site) {
    site->parent_species_ = this;
    sites_.push_back(std::move(site));
}

int Species::TotalSpectra() const {
    int total = 0;
    for (const auto& site : sites_) total += site->MemberCount();
    return total;
}

void Species::GatherSpectra() {
    members_.clear();
    members_.reserve(static_cast<size_t>(TotalSpectra()));
    for (const auto& site : sites_) {
        for (int i = 0; i < site->MemberCount(); ++i) {
            Spectrum* s = site->Member(i);
            s->parent_species_ = this;
            members_.push_back(s);
        }
    }
}

const std::string& Species::NameOfType(int name_type) const {
    const std::string* name = &folder_name_;
    switch (name_type) {
        case kCommonName: name = &common_name_; break;
        case kLocalName: name = &maori_name_; break;
        case kLatinName: name = &latin_name_; break;
        default: break;
    }
    return name->empty() ? folder_name_ : *name;
}

}  // namespace orvane
