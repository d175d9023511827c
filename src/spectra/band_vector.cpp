#include "spectra/band_vector.h"

#include <cmath>

#include "chain/processing_session.h"
#include "spectra/waveband_filter.h"

namespace orvane {

BandVector::BandVector(int first, int count, const ProcessingSession* session)
    : first_(first), count_(count < 0 ? 0 : count), entries_(static_cast<size_t>(count_)),
      session_(session) {
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
    if (!session_) return false;
    const WavebandFilter* filter = session_->StudyFilter();
    return filter && filter->Excludes(static_cast<int>(e.x));
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

}  // namespace orvane
