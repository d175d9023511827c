// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <cstddef>
#include <vector>

namespace orvane {

class Database;
class BandVector;

// Which step a widened copy of the study's filter serves (the numbers are the stored ones).
enum class FilterContext { kSmoothing = 2, kDerivative = 4 };

// A list of excluded wavelengths (single bands or inclusive ranges, whole nanometres). The
// study's filter comes from the database; the smoothing and derivative steps keep widened
// copies that also exclude bands whose window would reach into an excluded range.
class WavebandFilter {
  public:
    static constexpr int kMaxEntries = 100;

    struct Entry {
        int kind = 1;  // 1 range, 0 single band
        int lower = 0;
        int upper = 0;
        int band = 0;
    };

    // Throw OrvaneError at the 101st entry instead of overrunning the list.
    void AddBand(int wavelength);
    void AddRange(int lower, int upper);
    bool Excludes(int wavelength) const;
    void Remove(int index);
    void CopyFrom(const WavebandFilter& other);
    void Clear() { entries_.clear(); }

    // Extends every range by nl bands upwards and nr bands downwards on the mask's axis, and
    // excludes the first nl and last nr bands of the axis, so that a window filter also
    // drops the bands whose window would reach an excluded band or leave the axis.
    void Widen(int nl, int nr, const BandVector& mask);

    // Replaces the entries by the study's stored ranges.
    void Load(Database& db, int study_id);

    int Count() const { return static_cast<int>(entries_.size()); }
    const Entry& At(int index) const { return entries_.at(static_cast<std::size_t>(index)); }
    Entry& At(int index) { return entries_.at(static_cast<std::size_t>(index)); }
    int FilterId() const { return filter_id_; }

  private:
    void CheckRoom() const;

    std::vector<Entry> entries_;
    int filter_id_ = 0;
};

}  // namespace orvane
