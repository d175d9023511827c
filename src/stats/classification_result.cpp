// SPDX-License-Identifier: GPL-3.0-or-later
#include "stats/classification_result.h"

#include <algorithm>
#include <cmath>

#include <fmt/format.h>

#include "stats/spectral_statistics.h"

namespace orvane {

ClassificationResult::ClassificationResult(const SpectralStatistics& library) {
    entries.reserve(static_cast<size_t>(library.ClassCount()));
    for (int c = 0; c < library.ClassCount(); ++c) {
        ClassScore s;
        s.name = library.Class(c).folder_name;
        s.class_index = c;
        entries.push_back(s);
    }
}

ClassificationResult RankedResult(const SpectralStatistics& library, const ClassModels& models,
                                  const Classification& classification) {
    ClassificationResult result(library);
    for (ClassScore& e : result.entries) {
        // An unmodelled class has no value: it ranks last and never wins.
        e.regular = models.Modelled(e.class_index) ? 1 : 0;
        e.distance = classification.values.at(static_cast<size_t>(e.class_index));
    }
    result.SortByDistance(models.Ranks());
    return result;
}

void ClassificationResult::SortByDistance(Ranking ranking) {
    std::stable_sort(entries.begin(), entries.end(),
                     [ranking](const ClassScore& a, const ClassScore& b) {
                         return RanksBefore(ranking, a.distance, b.distance);
                     });
}

void ClassificationResult::SortByShare() {
    std::stable_sort(entries.begin(), entries.end(),
                     [](const ClassScore& a, const ClassScore& b) { return a.share > b.share; });
}

std::string ClassificationResult::Verdict() const {
    for (const ClassScore& e : entries)
        if (e.regular && std::isfinite(e.distance)) return "classified as " + e.name;
    return "not classified: no modelled class gave a value";
}

std::string ClassificationResult::Format(int mode) const {
    std::string text;
    for (size_t i = 0; i < entries.size(); ++i) {
        const ClassScore& e = entries[i];
        const int position = static_cast<int>(i) + 1;
        if (mode == 0) {
            text += fmt::format("{}.  {}  -> {:.2f} %\n", position, e.name, e.share);
            continue;
        }
        const std::string distance = !e.regular                  ? "n/a (not modelled)"
                                     : std::isfinite(e.distance) ? fmt::format("{:.2f}", e.distance)
                                                                 : "n/a";
        text += fmt::format("{}.  {}  ->  {} \n", position, distance, e.name);
    }
    return text;
}

}  // namespace orvane
