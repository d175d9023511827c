// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "spectra/site.h"

namespace orvane {

// The sites of one species; after GatherSpectra its member list (not owning) holds every
// spectrum of every site, so the group operations work on the whole species.
class Species : public Site {
public:
    explicit Species(int site_capacity);
    ~Species() override;

    void AddSite(std::unique_ptr<Site> site);
    Site* SiteAt(int i) const { return sites_.at(static_cast<size_t>(i)).get(); }
    int SiteCount() const { return static_cast<int>(sites_.size()); }
    int TotalSpectra() const;
    void GatherSpectra();

    // Name by NameType (spectra/species_names.h); the folder name stands in for a name the
    // species has not been given.
    const std::string& NameOfType(int name_type) const;

    std::string folder_name_;
    std::string common_name_;
    std::string maori_name_;
    std::string latin_name_;
    int64_t species_id_ = 0;

private:
    std::vector<std::unique_ptr<Site>> sites_;
};

}  // namespace orvane
