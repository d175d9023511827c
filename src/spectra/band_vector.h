// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <cstddef>
#include <cmath>
#include <memory>
#include <vector>

namespace orvane {

class WavebandFilter;

// The value that marks a band without a value (excluded, outside a window, not computable).
constexpr double kNoValue = -1.0;

// Whether a number is a value and not the marker; every test for "no value" goes through here.
inline bool HasValue(double v) { return v != kNoValue; }
// A value that sums, means and written files can use: neither the marker nor a NaN or an
// infinity, which would spread through every result they enter.
inline bool HasFiniteValue(double v) { return HasValue(v) && std::isfinite(v); }

struct BandEntry {
    int index = 0;
    double value = 0.0;
    double x = 0.0;  // the band's wavelength in nm
};

// One row of numbers over a band axis: the 1 nm grid (first index 350, index = wavelength) or
// the current sensor's elements (index = element number, x = centre wavelength). The waveband
// filter, when given, is the one whose excluded bands end a search for the next value.
class BandVector {
public:
    BandVector(int first, int count, const WavebandFilter* filter = nullptr);

    int First() const { return first_; }
    int Last() const { return first_ + count_ - 1; }
    int Count() const { return count_; }
    int ValidCount() const { return valid_count_; }
    void SetValidCount(int n) { valid_count_ = n; }
    const WavebandFilter* Filter() const { return filter_; }
    void SetFilter(const WavebandFilter* filter) { filter_ = filter; }

    bool InRange(int index) const { return index >= first_ && index <= Last(); }
    double Value(int index) const { return InRange(index) ? At(index).value : kNoValue; }
    double X(int index) const { return At(index).x; }
    const BandEntry* EntryAt(int index) const { return InRange(index) ? &At(index) : nullptr; }
    BandEntry* EntryAt(int index) { return InRange(index) ? &At(index) : nullptr; }

    void SetValue(int index, double v) { At(index).value = v; }
    void Set(int index, double v, double x) {
        BandEntry& e = At(index);
        e.value = v;
        e.x = x;
    }
    void FillValues(double v);
    void Add(int index, double d) { At(index).value += d; }

    // Searches for the next entry with a value. Unless ignore_filter is set, a band that the
    // vector's waveband filter excludes ends the search.
    const BandEntry* NextValidUp(int index, bool ignore_filter) const;
    const BandEntry* NextValidDown(int index, bool ignore_filter) const;
    // The entry nearest to a wavelength (ties go to the higher index), or the next valid one
    // from it in the given direction (0 up, 1 down) when it is not a kept mask band.
    const BandEntry* Nearest(double wavelength, int direction, bool ignore_filter) const;

    const std::vector<BandEntry>& Entries() const { return entries_; }

private:
    BandEntry& At(int index) { return entries_[static_cast<std::size_t>(index - first_)]; }
    const BandEntry& At(int index) const { return entries_[static_cast<std::size_t>(index - first_)]; }
    bool Excluded(const BandEntry& e) const;

    int first_;
    int count_;
    int valid_count_ = 0;
    std::vector<BandEntry> entries_;
    const WavebandFilter* filter_;
};

// The band-by-band mean of vectors on one axis (the first vector's), each band over the vectors
// that have a value there, so that members with different masks do not mix markers into a
// sum. A band without value in every vector stays without value.
class BandMean {
public:
    void Add(const BandVector& v);
    int Added() const { return added_; }
    // The mean so far; nullptr before the first vector.
    std::unique_ptr<BandVector> Result() const;

private:
    std::unique_ptr<BandVector> sum_;
    std::vector<int> counts_;
    int added_ = 0;
};

}  // namespace orvane
