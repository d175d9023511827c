// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "plot/plot_layout.h"
#include "stats/principal_components.h"

namespace orvane {

// The one layout of a PCA score plot that the window paints and the CLI writes as SVG: one
// named, coloured item per species (in name order) and the axes titled with the components
// and their explained variance. Rows without a known species form one unnamed black item.
PlotLayout ScorePlotLayout(const ScorePlotData& plot);

}  // namespace orvane
