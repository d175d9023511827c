// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <string>

#include "plot/plot_layout.h"

namespace orvane {

// The plot as an SVG document of the plot window's surface size: the same layout the window
// paints (white field with a black outline, axes, ticks, labels, axis titles, legend), the
// title as the document's title, and, when `with_points` is set, one 5-pixel <circle> per
// point in its item's colour.
std::string PlotSvg(const PlotLayout& layout, bool with_points);

// Writes PlotSvg to a file; false when it cannot be written completely.
bool WritePlotSvg(const PlotLayout& layout, bool with_points, const std::string& path);

}  // namespace orvane
