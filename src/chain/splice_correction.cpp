// SPDX-License-Identifier: GPL-3.0-or-later
// The splice stage: the additive correction of the steps where the detectors meet.
#include <algorithm>
#include <string>

#include "base/band_grid.h"
#include "base/orvane_error.h"
#include "chain/compiled_chain.h"
#include "chain/chain_stage.h"
#include "spectra/band_vector.h"

namespace orvane {

namespace {

// The bands before a join that the line is fitted to.
constexpr int kFitBands = 10;

}  // namespace

const StagePairs& DefaultSpliceJoins() {
    static const StagePairs joins = {{1000, 1001}, {1800, 1801}};
    return joins;
}

void CheckSpliceJoins(const StagePairs& joins) {
    int previous = 0;
    for (const auto& [a, b] : joins) {
        // Checked for every spectrum: the text is made only for a refusal.
        const auto join = [a = a, b = b] { return std::to_string(a) + "-" + std::to_string(b); };
        if (b <= a)
            throw OrvaneError("The splice join " + join() +
                              " must name the last band of one detector, then the first band "
                              "of the next.");
        if (a - kFitBands + 1 < kFirstWavelength || b > kLastWavelength)
            throw OrvaneError("The splice join " + join() + " must leave " +
                              std::to_string(kFitBands) + " bands before it and lie within " +
                              std::to_string(kFirstWavelength) + "-" +
                              std::to_string(kLastWavelength) + " nm.");
        if (a < previous)
            throw OrvaneError("The splice join " + join() +
                              " overlaps the one before it; give the joins in wavelength order.");
        previous = b;
    }
}

void ApplySpliceCorrection(const StepInput& settings, const BandVector& in, BandVector& out) {
    // A buffer that keeps its axis keeps its x values: the grid's never change.
    if (out.Reshape(in.First(), in.Count())) std::copy(in.Xs(), in.Xs() + in.Count(), out.Xs());
    out.SetFilter(in.Filter());
    std::copy(in.Values(), in.Values() + in.Count(), out.Values());
    const StageSetting& setting = settings.Setting(Stage::kSpliced);
    if (setting.mode == 0) return;
    const StagePairs& joins = setting.pairs.empty() ? DefaultSpliceJoins() : setting.pairs;
    CheckSpliceJoins(joins);
    double* v = out.Values();
    const int first = out.First();
    const int last = out.Last();
    for (const auto& [a, b] : joins) {
        if (a - kFitBands + 1 < first || b > last) continue;
        const double after = v[b - first];
        if (!HasValue(after)) continue;
        int n = 0;
        double sx = 0.0;
        double sy = 0.0;
        for (int k = a - kFitBands + 1; k <= a; ++k) {
            const double y = v[k - first];
            if (!HasValue(y)) continue;
            ++n;
            sx += k;
            sy += y;
        }
        if (n < 2) continue;
        const double mx = sx / n;
        const double my = sy / n;
        double sxy = 0.0;
        double sxx = 0.0;
        for (int k = a - kFitBands + 1; k <= a; ++k) {
            const double y = v[k - first];
            if (!HasValue(y)) continue;
            sxy += (k - mx) * (y - my);
            sxx += (k - mx) * (k - mx);
        }
        const double shift = my + sxy / sxx * (b - mx) - after;
        for (int k = a + 1; k <= last; ++k) v[k - first] += shift;
    }
}

}  // namespace orvane
