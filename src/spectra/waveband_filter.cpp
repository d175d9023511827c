// SPDX-License-Identifier: GPL-3.0-or-later
#include "spectra/waveband_filter.h"

#include "base/orvane_error.h"
#include "spectra/band_vector.h"
#include "store/chain_settings_repository.h"

namespace orvane {

void WavebandFilter::CheckRoom() const {
    if (Count() >= kMaxEntries)
        throw OrvaneError("A waveband filter holds at most 100 entries; this one is full.");
}

void WavebandFilter::AddBand(int wavelength) {
    CheckRoom();
    Entry e;
    e.kind = 0;
    e.band = wavelength;
    e.lower = wavelength;
    e.upper = wavelength;
    entries_.push_back(e);
}

void WavebandFilter::AddRange(int lower, int upper) {
    CheckRoom();
    Entry e;
    e.kind = 1;
    e.lower = lower;
    e.upper = upper;
    entries_.push_back(e);
}

bool WavebandFilter::Excludes(int wavelength) const {
    for (const Entry& e : entries_) {
        if (e.kind == 1) {
            if (e.lower <= wavelength && wavelength <= e.upper) return true;
        } else if (e.band == wavelength) {
            return true;
        }
    }
    return false;
}

void WavebandFilter::Remove(int index) {
    if (index < 0 || index >= Count()) return;
    entries_.erase(entries_.begin() + index);
}

void WavebandFilter::CopyFrom(const WavebandFilter& other) {
    entries_ = other.entries_;
    filter_id_ = 0;
}

void WavebandFilter::Widen(int nl, int nr, const BandVector& mask) {
    if (mask.Count() == 0) return;
    // The axis ends are internal entries, not the user's, so they do not count against the
    // limit of the list.
    if (nl > 0) {
        const int w = static_cast<int>(mask.X(mask.First()));
        entries_.push_back(Entry{1, w, w, 0});
    }
    if (nr > 0) {
        const int w = static_cast<int>(mask.X(mask.Last()));
        entries_.push_back(Entry{1, w, w, 0});
    }
    for (Entry& e : entries_) {
        if (e.kind == 0) {
            e.kind = 1;
            e.lower = e.upper = e.band;
        }
        if (nl > 0) {
            if (const std::optional<int> near = mask.Nearest(e.upper, 0, true)) {
                if (mask.InRange(*near + nl - 1)) e.upper = static_cast<int>(mask.X(*near + nl - 1));
            }
        }
        if (nr > 0) {
            if (const std::optional<int> near = mask.Nearest(e.lower, 1, true)) {
                if (mask.InRange(*near - (nr - 1)))
                    e.lower = static_cast<int>(mask.X(*near - (nr - 1)));
            }
        }
    }
}

void WavebandFilter::Load(Database& db, int study_id) {
    const StoredFilterRanges stored = ChainSettingsRepository(db).FilterRanges(study_id);
    if (static_cast<int>(stored.ranges.size()) > kMaxEntries)
        throw OrvaneError("The study's waveband filter has more than 100 ranges.");
    std::vector<Entry> loaded;
    for (const auto& [lower, upper] : stored.ranges) {
        Entry e;
        e.kind = 1;
        e.lower = lower;
        e.upper = upper;
        loaded.push_back(e);
    }
    entries_ = std::move(loaded);
    filter_id_ = stored.filter_id;
}

}  // namespace orvane
