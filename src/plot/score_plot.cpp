// SPDX-License-Identifier: GPL-3.0-or-later
#include "plot/score_plot.h"

#include <map>
#include <string>
#include <vector>

namespace orvane {

PlotLayout ScorePlotLayout(const ScorePlotData& plot) {
    PlotLayout layout;
    layout.SetTitle(plot.title);
    layout.SetAxisTitles(plot.x_title, plot.y_title);
    const int n = plot.points.Nrows();
    if (plot.species.size() != static_cast<size_t>(n)) {
        layout.AddItem(plot.points);
        return layout;
    }
    std::map<std::string, std::vector<PlotPoint>> groups;
    for (int r = 1; r <= n; ++r)
        groups[plot.species[static_cast<size_t>(r - 1)]].push_back(
            {plot.points(r, 1), plot.points(r, 2)});
    for (auto& [name, points] : groups) layout.AddItem(std::move(points), name);
    return layout;
}

}  // namespace orvane
