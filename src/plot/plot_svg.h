// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <string>

#include "plot/figure_size.h"
#include "plot/plot_layout.h"

namespace orvane {

// The plot window's surface size at 96 dpi, the size of a figure nobody chose.
FigureSize WindowFigure();

// The plot as an SVG document laid out at `size`: the layout the window paints (white field
// with a black outline, axes, ticks, labels, axis titles, legend), the title as the document's
// title, and, when `with_points` is set, one 5-pixel <circle> per point in its item's colour.
// Its PNG is this document rasterised, so the two never differ.
std::string PlotSvg(const PlotLayout& layout, bool with_points,
                    const FigureSize& size = WindowFigure());

// Writes PlotSvg to a file; false when it cannot be written completely.
bool WritePlotSvg(const PlotLayout& layout, bool with_points, const std::string& path,
                  const FigureSize& size = WindowFigure());

}  // namespace orvane
