// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <cmath>
#include <cstddef>
#include <cstdint>
#include <cstring>
#include <limits>
#include <memory>
#include <optional>
#include <vector>

namespace orvane {

class WavebandFilter;

// In memory a band without a value (excluded, outside a window, not computable, not measured)
// holds a quiet NaN: the NaN pattern of a stage is its validity mask, so no computed number can
// be mistaken for a missing one. Stored BLOBs and written files keep their own encodings (the
// stored floats use kStoredNoValue; files write the format's missing field).
constexpr double kNoValue = std::numeric_limits<double>::quiet_NaN();

// Whether a number is a value and not a band without value; every such test goes through here.
inline bool HasValue(double v) { return !std::isnan(v); }
// `v`, or no value when `missing`. Written as bit operations rather than a branch so that a
// loop over bands built of it becomes vector code.
inline double ValueUnless(bool missing, double v) {
    constexpr double no = kNoValue;
    std::uint64_t bits;
    std::uint64_t no_bits;
    std::memcpy(&bits, &v, sizeof bits);
    std::memcpy(&no_bits, &no, sizeof no_bits);
    const std::uint64_t mask = -static_cast<std::uint64_t>(missing);
    bits = (bits & ~mask) | (no_bits & mask);
    double out;
    std::memcpy(&out, &bits, sizeof out);
    return out;
}

// A value that sums, means and written files can use: neither missing nor an infinity, which
// would spread through every result it enters.
inline bool HasFiniteValue(double v) { return std::isfinite(v); }

// One row of numbers over a band axis: the 1 nm grid (first index 350, index = wavelength) or
// the current sensor's elements (index = element number, x = centre wavelength). Values and x
// values are two contiguous arrays of doubles, position = index - First(). The waveband filter,
// when given, is the one whose excluded bands end a search for the next value.
class BandVector {
public:
    BandVector(int first, int count, const WavebandFilter* filter = nullptr);

    int First() const { return first_; }
    int Last() const { return first_ + count_ - 1; }
    int Count() const { return count_; }
    // The number of bands with a value: counted when asked unless the last writer said it.
    int ValidCount() const;
    // For a writer that counted anyway; any later write through this class forgets it.
    void SetValidCount(int n) { valid_count_ = n; }
    // Whether ValidCount() would answer without counting.
    bool ValidCountKnown() const { return valid_count_ != kUncounted; }
    const WavebandFilter* Filter() const { return filter_; }
    void SetFilter(const WavebandFilter* filter) { filter_ = filter; }

    bool InRange(int index) const { return index >= first_ && index <= Last(); }
    double Value(int index) const { return InRange(index) ? values_[Pos(index)] : kNoValue; }
    double X(int index) const { return x_[Pos(index)]; }

    // The flat arrays, Count() long: values and x values by position.
    const double* Values() const { return values_.data(); }
    double* Values() {
        valid_count_ = kUncounted;
        return values_.data();
    }
    const double* Xs() const { return x_.data(); }
    double* Xs() { return x_.data(); }

    void SetValue(int index, double v) {
        valid_count_ = kUncounted;
        values_[Pos(index)] = v;
    }
    void Set(int index, double v, double x) {
        valid_count_ = kUncounted;
        values_[Pos(index)] = v;
        x_[Pos(index)] = x;
    }
    void FillValues(double v);
    // Gives the vector another axis, keeping its storage; false when it already had it (its x
    // values are then still the ones written before).
    bool Reshape(int first, int count);
    void Add(int index, double d) {
        valid_count_ = kUncounted;
        values_[Pos(index)] += d;
    }

    // The index of the next band with a value. Unless ignore_filter is set, a band that the
    // vector's waveband filter excludes ends the search.
    std::optional<int> NextValidUp(int index, bool ignore_filter) const {
        // Most searches start on a band with a value; only the others walk.
        if (index >= first_ && index <= Last() && HasValue(values_[Pos(index)])) return index;
        return WalkUp(index, ignore_filter);
    }
    std::optional<int> NextValidDown(int index, bool ignore_filter) const;
    // The band nearest to a wavelength (ties go to the higher index) when its value is 1 (a
    // kept mask band), else the next valid one from it in the given direction (0 up, 1 down).
    std::optional<int> Nearest(double wavelength, int direction, bool ignore_filter) const;

private:
    static constexpr int kUncounted = -1;
    std::size_t Pos(int index) const { return static_cast<std::size_t>(index - first_); }
    bool Excluded(int index) const;
    std::optional<int> WalkUp(int index, bool ignore_filter) const;

    int first_;
    int count_;
    mutable int valid_count_ = 0;
    std::vector<double> values_;
    std::vector<double> x_;
    const WavebandFilter* filter_;
};

// m[k] = the number of values among v[0..k-1] that are no value, for k = 0..n (m has n + 1
// entries): a window [a, b] holds a band without value exactly when m[b + 1] != m[a].
void CountMissingBefore(const double* v, int n, int* m);

// The band-by-band mean of vectors on one axis (the first vector's), each band over the vectors
// that have a value there, so that members with different masks do not mix missing bands into
// a sum. A band without value in every vector stays without value.
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
