#pragma once

#include <string>
#include <vector>

#include "plot/spectra_plot.h"

namespace orvane {

// Tick values for an axis from lo to hi: about `target` round steps (1, 2 or 5 times a power
// of ten) that lie inside the range.
std::vector<double> NiceTicks(double lo, double hi, int target);

// The plot as a standalone SVG document: axes with ticks, one <path> per curve (gaps start a
// new subpath), one per shaded standard-deviation band, and a legend of the groups.
std::string SpectraPlotSvg(const SpectraPlot& plot, int width = 960, int height = 600);

// Writes the SVG document to `path`, replacing it only once the whole file is written.
// Throws OrvaneError when it cannot.
void WriteSpectraPlotSvg(const SpectraPlot& plot, const std::string& path);

}  // namespace orvane
