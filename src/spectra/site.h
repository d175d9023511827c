#pragma once

#include <memory>
#include <vector>

#include "spectra/spectrum.h"

namespace orvane {

// The spectra of one sampling site; a site is itself a spectrum so that its mean can stand
// wherever one spectrum can.
class Site : public Spectrum {
public:
    Site(const ProcessingSession* session, int site_number, int capacity);
    explicit Site(const ProcessingSession* session);
    ~Site() override;

    // Takes ownership and points the spectrum at this site.
    void AddMember(std::unique_ptr<Spectrum> spectrum);
    Spectrum* Member(int i) const { return members_.at(static_cast<size_t>(i)); }
    int MemberCount() const { return static_cast<int>(members_.size()); }
    int SiteNumber() const { return site_number_; }
    void SetSiteNumber(int n) { site_number_ = n; }

    // Mean of the members' vectors of a stage; a band without value in every member stays
    // without value. Throws OrvaneError for a group without members.
    std::unique_ptr<BandVector> StageMean(int stage);
    // Feature vectors of all members as columns (dimension x members).
    Matrix FeatureMatrix(int type);
    // Row means of the feature matrix; also kept as the group's mean feature vector.
    const Matrix& MeanFeature(int type);

protected:
    std::vector<Spectrum*> members_;
    std::unique_ptr<Matrix> mean_feature_;

private:
    std::vector<std::unique_ptr<Spectrum>> owned_;
    int site_number_ = 0;
};

}  // namespace orvane
