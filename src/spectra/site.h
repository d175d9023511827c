#pragma once

#include <memory>
#include <vector>

#include "spectra/spectrum.h"

namespace orvane {

// The spectra of one sampling site; a site is itself a spectrum so that its mean can stand
// wherever one spectrum can.
class Site : public Spectrum {
public:
    Site(int site_number, int capacity);
    Site();
    ~Site() override;

    // Takes ownership and points the spectrum at this site.
    void AddMember(std::unique_ptr<Spectrum> spectrum);
    Spectrum* Member(int i) const { return members_.at(static_cast<size_t>(i)); }
    int MemberCount() const { return static_cast<int>(members_.size()); }
    int SiteNumber() const { return site_number_; }
    void SetSiteNumber(int n) { site_number_ = n; }

protected:
    std::vector<Spectrum*> members_;

private:
    std::vector<std::unique_ptr<Spectrum>> owned_;
    int site_number_ = 0;
};

}  // namespace orvane
