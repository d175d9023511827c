#include "spectra/band_vector.h"

#include <cmath>

#include "spectra/waveband_filter.h"

namespace orvane {

BandVector::BandVector(int first, int count, const WavebandFilter* filter)
    : first_(first), count_(count < 0 ? 0 : count), entries_(static_cast<size_t>(count_)),
      filter_(filter) {
    for (int i = 0; i < count_; ++i) entries_[static_cast<size_t>(i)].index = first + i;
}

void BandVector::FillValues(double v) {
    for (BandEntry& e : entries_) e.value = v;
}

void BandVector::OffsetValues(double d) {
    for (BandEntry& e : entries_)
        if (e.value > kNoValue) e.value += d;
}

void BandVector::DivideAll(double d) {
    for (BandEntry& e : entries_) e.value /= d;
}

void BandVector::MultiplyAll(double d) {
    for (BandEntry& e : entries_) e.value *= d;
}

bool BandVector::Excluded(const BandEntry& e) const {
    return filter_ && filter_->Excludes(static_cast<int>(e.x));
}

const BandEntry* BandVector::NextValidUp(int index, bool ignore_filter) const {
    if (count_ == 0) return nullptr;
    int j = index < first_ ? first_ : index;
    for (; j <= Last(); ++j) {
        const BandEntry& e = At(j);
        if (e.value != kNoValue) break;
        if (!ignore_filter && Excluded(e)) break;
    }
    if (j > Last() || At(j).value == kNoValue) return nullptr;
    return &At(j);
}

const BandEntry* BandVector::NextValidDown(int index, bool ignore_filter) const {
    if (count_ == 0) return nullptr;
    int j = index > Last() ? Last() : index;
    for (; j >= first_; --j) {
        const BandEntry& e = At(j);
        if (e.value != kNoValue) break;
        if (!ignore_filter && Excluded(e)) break;
    }
    if (j < first_ || At(j).value == kNoValue) return nullptr;
    return &At(j);
}

const BandEntry* BandVector::Nearest(double wavelength, int direction, bool ignore_filter) const {
    if (count_ == 0) return nullptr;
    double best = 2150.0;
    const BandEntry* candidate = &entries_.front();
    for (auto it = entries_.rbegin(); it != entries_.rend(); ++it) {
        const double distance = std::fabs(it->x - wavelength);
        if (distance < best) {
            best = distance;
            candidate = &*it;
        }
    }
    if (candidate->value == 1.0) return candidate;
    if (direction == 0) return NextValidUp(candidate->index, ignore_filter);
    if (direction == 1) return NextValidDown(candidate->index, ignore_filter);
    return nullptr;
}

void BandMean::Add(const BandVector& v) {
    if (!sum_) {
        sum_ = std::make_unique<BandVector>(v.First(), v.Count(), v.Filter());
        for (const BandEntry& e : v.Entries()) sum_->Set(e.index, 0.0, e.x);
        counts_.assign(static_cast<size_t>(v.Count()), 0);
    }
    for (const BandEntry& e : v.Entries()) {
        if (!sum_->InRange(e.index) || !HasValue(e.value)) continue;
        sum_->Add(e.index, e.value);
        ++counts_[static_cast<size_t>(e.index - sum_->First())];
    }
    ++added_;
}

std::unique_ptr<BandVector> BandMean::Result() const {
    if (!sum_) return nullptr;
    auto mean = std::make_unique<BandVector>(sum_->First(), sum_->Count(), sum_->Filter());
    int valid = 0;
    for (const BandEntry& e : sum_->Entries()) {
        const int n = counts_[static_cast<size_t>(e.index - sum_->First())];
        mean->Set(e.index, n > 0 ? e.value / static_cast<double>(n) : kNoValue, e.x);
        valid += n > 0;
    }
    mean->SetValidCount(valid);
    return mean;
}

}  // namespace orvane
