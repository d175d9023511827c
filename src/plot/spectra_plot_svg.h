// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <string>
#include <vector>

#include "plot/spectra_plot.h"

namespace orvane {

// Tick values for an axis from lo to hi: about `target` round steps (1, 2 or 5 times a power
// of ten, whichever is nearest to the range over `target`) that lie inside the range.
std::vector<double> NiceTicks(double lo, double hi, int target);

// The visible ranges of the axes, when a window has zoomed or panned.
struct PlotView {
    double xmin, xmax, ymin, ymax;
};

// The plot as a standalone SVG document: axes with ticks, one <path> per curve (gaps start a
// new subpath), one per shaded standard-deviation band, and a legend of the groups. Without
// a view the axes span the data.
std::string SpectraPlotSvg(const SpectraPlot& plot, int width = 960, int height = 600,
                           const PlotView* view = nullptr);

// Writes the SVG document to `path`, replacing it only once the whole file is written.
// Throws OrvaneError when it cannot.
void WriteSpectraPlotSvg(const SpectraPlot& plot, const std::string& path,
                         const PlotView* view = nullptr);

}  // namespace orvane
