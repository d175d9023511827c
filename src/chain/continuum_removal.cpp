// SPDX-License-Identifier: GPL-3.0-or-later
// The continuum-removed stage: each value over the upper convex hull of its run of bands.
#include <algorithm>
#include <string>
#include <vector>

#include "base/band_grid.h"
#include "base/orvane_error.h"
#include "chain/compiled_chain.h"
#include "chain/chain_stage.h"
#include "spectra/band_vector.h"

namespace orvane {

namespace {

// v / hull where the hull lies above zero, no value elsewhere; one pass over the whole run
// with a clone for processors with AVX2, where four divisions go at once.
__attribute__((target_clones("avx2", "default"))) void DivideByChord(double* v,
                                                                     const double* hull, int n) {
    for (int p = 0; p < n; ++p) v[p] = ValueUnless(!(hull[p] > 0.0), v[p] / hull[p]);
}

// Divides the run of bands [begin, end) (positions in `v` on the 1 nm grid, all with a value)
// by its upper hull, in place. `hull` has room for the run's positions: its vertices; `chord`
// for its values: the hull at each position.
void DivideByHull(double* v, int begin, int end, int* hull, double* chord) {
    int n = 0;
    // Andrew's monotone chain, upper half: a point that does not turn the chain clockwise
    // lies on or under the hull and is dropped, so collinear points are no vertices. The last
    // two vertices (o, a) stay in registers; only a pop reads an older one back.
    double ox = 0.0, oy = 0.0, ax = 0.0, ay = 0.0;
    for (int p = begin; p < end; ++p) {
        const double px = p;
        const double py = v[p];
        while (n >= 2) {
            if ((ax - ox) * (py - oy) - (ay - oy) * (px - ox) < 0.0) break;
            --n;
            ax = ox;
            ay = oy;
            if (n >= 2) {
                ox = hull[n - 2];
                oy = v[hull[n - 2]];
            }
        }
        hull[n++] = p;
        ox = ax;
        oy = ay;
        ax = px;
        ay = py;
    }
    // Between two vertices the hull is their chord; at a vertex it is the value itself, which
    // divides to exactly 1.
    for (int h = 0; h + 1 < n; ++h) {
        const int a = hull[h];
        const int b = hull[h + 1];
        const double ya = v[a];
        const double slope = (v[b] - ya) / (b - a);
        chord[a] = ya;
        for (int p = a + 1; p < b; ++p) chord[p] = ya + slope * (p - a);
    }
    chord[hull[n - 1]] = v[hull[n - 1]];
    DivideByChord(v + begin, chord + begin, end - begin);
}

}  // namespace

void CheckContinuumRanges(const StagePairs& ranges) {
    int previous = kFirstWavelength - 1;
    for (const auto& [lower, upper] : ranges) {
        // Checked for every spectrum: the text is made only for a refusal.
        const auto range = [lower = lower, upper = upper] {
            return std::to_string(lower) + "-" + std::to_string(upper);
        };
        if (upper < lower || lower < kFirstWavelength || upper > kLastWavelength)
            throw OrvaneError("The continuum range " + range() + " must run upwards within " +
                              std::to_string(kFirstWavelength) + "-" +
                              std::to_string(kLastWavelength) + " nm.");
        if (lower <= previous)
            throw OrvaneError("The continuum range " + range() +
                              " overlaps the one before it; give the ranges in wavelength "
                              "order.");
        previous = upper;
    }
}

void RemoveContinuum(const StepInput& settings, const BandVector& in, BandVector& out) {
    // A buffer that keeps its axis keeps its x values: the grid's never change.
    if (out.Reshape(in.First(), in.Count())) std::copy(in.Xs(), in.Xs() + in.Count(), out.Xs());
    out.SetFilter(in.Filter());
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
    // The hull's vertices: at most every band of the grid.
    int hull[kSpectrumBands];
    double chord[kSpectrumBands];
    if (out.Count() > kSpectrumBands)
        throw OrvaneError("Continuum removal works on the 1 nm grid only.");
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
            DivideByHull(v, p, q, hull, chord);
            p = q;
        }
    }
}

}  // namespace orvane
