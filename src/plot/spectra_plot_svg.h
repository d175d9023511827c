// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <string>
#include <vector>

#include "plot/figure_size.h"
#include "plot/plot_layout.h"
#include "plot/spectra_plot.h"

namespace orvane {

// The visible ranges of the axes, when a window has zoomed or panned.
struct PlotView {
    double xmin, xmax, ymin, ymax;
};

// The plot as a standalone SVG document laid out at `size`: axes with ticks, one <path> per
// curve (gaps start a new subpath), one per shaded standard-deviation band, and a legend of the
// groups. The curves and bands are cut at the plot area's edges in the document itself, so
// that every renderer draws the same. Without a view the axes span the data. Its PNG is this
// document rasterised, so the two never differ.
std::string SpectraPlotSvg(const SpectraPlot& plot, const FigureSize& size = FigureSize(),
                           const PlotView* view = nullptr);

// Writes the SVG document to `path`, replacing it only once the whole file is written.
// Throws OrvaneError when it cannot.
void WriteSpectraPlotSvg(const SpectraPlot& plot, const std::string& path,
                         const FigureSize& size = FigureSize(), const PlotView* view = nullptr);

}  // namespace orvane
