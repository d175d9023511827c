#include "spectra/site.h"

#include "base/orvane_error.h"
#include "base/matrix_stats.h"

namespace orvane {

Site::Site(const ProcessingSession* session, int site_number, int capacity)
    : Spectrum(session), site_number_(site_number) {
    if (capacity > 0) {
        members_.reserve(static_cast<size_t>(capacity));
        owned_.reserve(static_cast<size_t>(capacity));
    }
}

Site::Site(const ProcessingSession* session) : Spectrum(session) {}

Site::~Site() = default;

void Site::AddMember(std::unique_ptr<Spectrum> spectrum) {
    spectrum->parent_site_ = this;
    members_.push_back(spectrum.get());
    owned_.push_back(std::move(spectrum));
}

std::unique_ptr<BandVector> Site::StageMean(int stage) {
    if (members_.empty())
        throw OrvaneError("Cannot average a group without spectra (site " +
                          std::to_string(site_number_) + ").");
    std::unique_ptr<BandVector> mean;
    for (Spectrum* member : members_) {
        const BandVector* v = member->StageVector(stage);
        if (!v) throw OrvaneError("Unknown processing stage " + std::to_string(stage) + ".");
        if (!mean) {
            mean = std::make_unique<BandVector>(v->First(), v->Count(), session_);
            for (const BandEntry& e : v->Entries()) mean->Set(e.index, 0.0, e.x);
        }
        for (const BandEntry& e : v->Entries())
            if (mean->InRange(e.index)) mean->Add(e.index, e.value);
    }
    mean->DivideAll(static_cast<double>(members_.size()));
    int valid = 0;
    for (const BandEntry& e : mean->Entries())
        if (e.value > kNoValue) ++valid;
    mean->SetValidCount(valid);
    return mean;
}

Matrix Site::FeatureMatrix(int type) {
    if (members_.empty())
        throw OrvaneError("Cannot build the feature matrix of a group without spectra.");
    Matrix result;
    for (size_t i = 0; i < members_.size(); ++i) {
        const Matrix* f = members_[i]->FeatureVector(type);
        if (!f) throw OrvaneError("Unknown feature type " + std::to_string(type) + ".");
        if (i == 0) result.ReSize(f->Nrows(), static_cast<int>(members_.size()));
        if (f->Nrows() != result.Nrows())
            throw OrvaneError("Feature vectors of one group differ in length.");
        result.Column(static_cast<int>(i) + 1) = *f;
    }
    return result;
}

const Matrix& Site::MeanFeature(int type) {
    mean_feature_ = std::make_unique<Matrix>(RowMeans(FeatureMatrix(type)));
    return *mean_feature_;
}

}  // namespace orvane
