// SPDX-License-Identifier: GPL-3.0-or-later
#include "spectra/band_vector.h"

#include <cmath>
#include <cstring>

#include "spectra/waveband_filter.h"

namespace orvane {

BandVector::BandVector(int first, int count, const WavebandFilter* filter)
    : first_(first), count_(count < 0 ? 0 : count), values_(static_cast<size_t>(count_), 0.0),
      x_(static_cast<size_t>(count_), 0.0), filter_(filter) {}

int BandVector::ValidCount() const {
    if (valid_count_ == kUncounted) {
        int valid = 0;
        for (double v : values_) valid += HasValue(v);
        valid_count_ = valid;
    }
    return valid_count_;
}

void BandVector::FillValues(double v) {
    for (double& value : values_) value = v;
    valid_count_ = HasValue(v) ? count_ : 0;
}

bool BandVector::Reshape(int first, int count) {
    if (count < 0) count = 0;
    if (first == first_ && count == count_) return false;
    first_ = first;
    count_ = count;
    values_.assign(static_cast<size_t>(count), 0.0);
    x_.assign(static_cast<size_t>(count), 0.0);
    valid_count_ = 0;
    return true;
}

bool BandVector::Excluded(int index) const {
    return filter_ && filter_->Excludes(static_cast<int>(X(index)));
}

std::optional<int> BandVector::WalkUp(int index, bool ignore_filter) const {
    if (count_ == 0) return std::nullopt;
    int j = index < first_ ? first_ : index;
    for (; j <= Last(); ++j) {
        if (HasValue(values_[Pos(j)])) return j;
        if (!ignore_filter && Excluded(j)) return std::nullopt;
    }
    return std::nullopt;
}

std::optional<int> BandVector::NextValidDown(int index, bool ignore_filter) const {
    if (count_ == 0) return std::nullopt;
    int j = index > Last() ? Last() : index;
    for (; j >= first_; --j) {
        if (HasValue(values_[Pos(j)])) return j;
        if (!ignore_filter && Excluded(j)) return std::nullopt;
    }
    return std::nullopt;
}

std::optional<int> BandVector::Nearest(double wavelength, int direction,
                                       bool ignore_filter) const {
    if (count_ == 0) return std::nullopt;
    double best = 2150.0;
    int candidate = first_;
    for (int j = Last(); j >= first_; --j) {
        const double distance = std::fabs(X(j) - wavelength);
        if (distance < best) {
            best = distance;
            candidate = j;
        }
    }
    if (Value(candidate) == 1.0) return candidate;
    if (direction == 0) return NextValidUp(candidate, ignore_filter);
    if (direction == 1) return NextValidDown(candidate, ignore_filter);
    return std::nullopt;
}

namespace {

typedef int Ints4 __attribute__((vector_size(16)));
typedef double Doubles2 __attribute__((vector_size(16)));
typedef long long Flags2 __attribute__((vector_size(16)));

}  // namespace

void CountMissingBefore(const double* v, int n, int* m) {
    // Four bands at a time: their flags (1 for no value) become running counts within the group
    // by two shifted additions, and only the group's total carries to the next group.
    m[0] = 0;
    const Ints4 zero = {0, 0, 0, 0};
    Ints4 carried = zero;
    int k = 0;
    for (; k + 4 <= n; k += 4) {
        Doubles2 low;
        Doubles2 high;
        std::memcpy(&low, v + k, sizeof low);
        std::memcpy(&high, v + k + 2, sizeof high);
        const Flags2 low_missing = low != low;  // all bits set where NaN
        const Flags2 high_missing = high != high;
        Ints4 counts = -__builtin_shuffle(reinterpret_cast<Ints4>(low_missing),
                                          reinterpret_cast<Ints4>(high_missing),
                                          Ints4{0, 2, 4, 6});
        counts += __builtin_shuffle(counts, zero, Ints4{4, 0, 1, 2});
        counts += __builtin_shuffle(counts, zero, Ints4{4, 5, 0, 1});
        counts += carried;
        std::memcpy(m + k + 1, &counts, sizeof counts);
        carried = __builtin_shuffle(counts, Ints4{3, 3, 3, 3});
    }
    int missing = m[k];
    for (; k < n; ++k) {
        missing += !HasValue(v[k]);
        m[k + 1] = missing;
    }
}

void BandMean::Add(const BandVector& v) {
    if (!sum_) {
        sum_ = std::make_unique<BandVector>(v.First(), v.Count(), v.Filter());
        for (int k = v.First(); k <= v.Last(); ++k) sum_->Set(k, 0.0, v.X(k));
        counts_.assign(static_cast<size_t>(v.Count()), 0);
    }
    for (int k = v.First(); k <= v.Last(); ++k) {
        const double value = v.Value(k);
        if (!sum_->InRange(k) || !HasValue(value)) continue;
        sum_->Add(k, value);
        ++counts_[static_cast<size_t>(k - sum_->First())];
    }
    ++added_;
}

std::unique_ptr<BandVector> BandMean::Result() const {
    if (!sum_) return nullptr;
    auto mean = std::make_unique<BandVector>(sum_->First(), sum_->Count(), sum_->Filter());
    int valid = 0;
    for (int k = sum_->First(); k <= sum_->Last(); ++k) {
        const int n = counts_[static_cast<size_t>(k - sum_->First())];
        mean->Set(k, n > 0 ? sum_->Value(k) / static_cast<double>(n) : kNoValue, sum_->X(k));
        valid += n > 0;
    }
    mean->SetValidCount(valid);
    return mean;
}

}  // namespace orvane
