// SPDX-License-Identifier: GPL-3.0-or-later
// The continuum-removed stage: each value over the upper convex hull of its run of bands.
#include <algorithm>
#include <string>
#include <vector>

#include "base/band_grid.h"
#include "base/orvane_error.h"
#include "chain/chain_settings.h"
#include "chain/chain_stage.h"
#include "spectra/band_vector.h"

namespace orvane {

namespace {

// Divides the run of bands [begin, end) (positions in `v` on the 1 nm grid, all with a value)
// by its upper hull, in place. `hull` is scratch space for the vertices' positions.
void DivideByHull(double* v, int begin, int end, std::vector<int>& hull) {
    hull.clear();
    // Andrew's monotone chain, upper half: a point that does not turn the chain clockwise
    // lies on or under the hull and is dropped, so collinear points are no vertices.
    for (int p = begin; p < end; ++p) {
        while (hull.size() >= 2) {
            const int o = hull[hull.size() - 2];
            const int a = hull.back();
            const double cross = static_cast<double>(a - o) * (v[p] - v[o]) -
                                 (v[a] - v[o]) * static_cast<double>(p - o);
            if (cross < 0.0) break;
            hull.pop_back();
        }
        hull.push_back(p);
    }
    // Between two vertices the hull is their chord; the values are overwritten only after the
    // chord's ends have been read.
    for (size_t h = 0; h + 1 < hull.size(); ++h) {
        const int a = hull[h];
        const int b = hull[h + 1];
        const double ya = v[a];
        const double slope = (v[b] - ya) / (b - a);
        for (int p = a; p < b; ++p) {
            const double c = p == a ? ya : ya + slope * (p - a);
            v[p] = c > 0.0 ? v[p] / c : kNoValue;
        }
    }
    const int lastp = hull.back();
    v[lastp] = v[lastp] > 0.0 ? 1.0 : kNoValue;
}

}  // namespace

void CheckContinuumRanges(const StagePairs& ranges) {
    int previous = kFirstWavelength - 1;
    for (const auto& [lower, upper] : ranges) {
        const std::string range = std::to_string(lower) + "-" + std::to_string(upper);
        if (upper < lower || lower < kFirstWavelength || upper > kLastWavelength)
            throw OrvaneError("The continuum range " + range + " must run upwards within " +
                              std::to_string(kFirstWavelength) + "-" +
                              std::to_string(kLastWavelength) + " nm.");
        if (lower <= previous)
            throw OrvaneError("The continuum range " + range +
                              " overlaps the one before it; give the ranges in wavelength "
                              "order.");
        previous = upper;
    }
}

void RemoveContinuum(const ChainSettings& settings, const Spectrum&, const BandVector& in,
                     BandVector& out) {
    out.Reshape(in.First(), in.Count());
    out.SetFilter(in.Filter());
    std::copy(in.Xs(), in.Xs() + in.Count(), out.Xs());
    const StageSetting& setting = settings.Setting(Stage::kContinuumRemoved);
    if (setting.mode == 0) {
        std::copy(in.Values(), in.Values() + in.Count(), out.Values());
        return;
    }
    CheckContinuumRanges(setting.pairs);
    const int first = out.First();
    double* v = out.Values();
    std::fill(v, v + out.Count(), kNoValue);
    const double* src = in.Values();
    thread_local std::vector<int> hull;
    // Without ranges of the study's own, one range over the whole grid.
    const size_t count = std::max<size_t>(setting.pairs.size(), 1);
    for (size_t r = 0; r < count; ++r) {
        const int lower = setting.pairs.empty() ? in.First() : setting.pairs[r].first;
        const int upper = setting.pairs.empty() ? in.Last() : setting.pairs[r].second;
        const int begin = std::max(lower, first) - first;
        const int end = std::min(upper, out.Last()) - first + 1;
        std::copy(src + std::max(begin, 0), src + std::max(end, 0), v + std::max(begin, 0));
        for (int p = begin; p < end;) {
            if (!HasValue(v[p])) {
                ++p;
                continue;
            }
            int q = p;
            while (q < end && HasValue(v[q])) ++q;
            DivideByHull(v, p, q, hull);
            p = q;
        }
    }
}

}  // namespace orvane
