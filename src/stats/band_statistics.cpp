// SPDX-License-Identifier: GPL-3.0-or-later
#include "stats/band_statistics.h"

#include <cmath>
#include <limits>

#include "base/orvane_error.h"
#include "spectra/band_vector.h"

namespace orvane {

BandStatistics MeanAndDeviation(const std::vector<const BandVector*>& members) {
    BandStatistics s;
    if (members.empty()) return s;
    const BandVector& axis = *members.front();
    const size_t n = static_cast<size_t>(axis.Count());
    s.x.resize(n);
    s.mean.assign(n, 0.0);
    s.count.assign(n, 0);
    for (size_t i = 0; i < n; ++i) s.x[i] = axis.Xs()[i];
    // Two passes (mean, then squared deviations from it) keep the deviation accurate when it
    // is small beside the mean, as reflectances of one species are.
    for (const BandVector* v : members) {
        if (v->First() != axis.First() || v->Count() != axis.Count())
            throw OrvaneError("Spectra on different band axes cannot be averaged together.");
        for (size_t i = 0; i < n; ++i) {
            const double value = v->Values()[i];
            if (HasFiniteValue(value)) {
                s.mean[i] += value;
                ++s.count[i];
            }
        }
    }
    const double nan = std::numeric_limits<double>::quiet_NaN();
    s.deviation.assign(n, 0.0);
    for (size_t i = 0; i < n; ++i) s.mean[i] = s.count[i] ? s.mean[i] / s.count[i] : nan;
    for (const BandVector* v : members)
        for (size_t i = 0; i < n; ++i) {
            const double value = v->Values()[i];
            if (HasFiniteValue(value)) s.deviation[i] += (value - s.mean[i]) * (value - s.mean[i]);
        }
    for (size_t i = 0; i < n; ++i) {
        if (s.count[i] == 0)
            s.deviation[i] = nan;
        else
            s.deviation[i] = s.count[i] > 1 ? std::sqrt(s.deviation[i] / (s.count[i] - 1)) : 0.0;
    }
    return s;
}

}  // namespace orvane
