#pragma once

#include <cstddef>
#include <vector>

namespace orvane {

class Database;
class BandVector;

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
