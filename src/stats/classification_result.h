// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <string>
#include <vector>

#include "chain/classifiers.h"
#include "stats/class_models.h"

namespace orvane {

class SpectralStatistics;

// One class in a classification result.
struct ClassScore {
    std::string name;  // the class's folder name
    int class_index = 0;
    int regular = 1;  // 0: the classifier does not model the class, which has no value
    double distance = 0.0;
    double share = 0.0;  // percent of the votes (set classifications)
    int spectra_count = 0;
    int votes = 0;
};

// The classes ranked for one spectrum, or the vote counts of a group of spectra.
class ClassificationResult {
  public:
    ClassificationResult() = default;
    // One entry per library class in library order, everything else zero: the start of a
    // vote count.
    explicit ClassificationResult(const SpectralStatistics& library);

    std::vector<ClassScore> entries;

    // The winning end of the classifier's values first; ties keep library order, so the same
    // input always gives the same ranking.
    void SortByDistance(Ranking ranking = Ranking::kSmallerIsBetter);
    // Largest share first, as readers look for the winner at the top.
    void SortByShare();
    // Mode 0: "%i.  %s  -> %.2f %\n" (position, name, share); mode 1: "%i.  %.2f  ->  %s \n"
    // (position, distance, name), with "n/a (not modelled)" for an unmodelled class and "n/a"
    // for any other value that is not a finite number.
    std::string Format(int mode) const;
    const ClassScore& Winner() const { return entries.front(); }
    // "classified as NAME" for the best modelled class with a finite value; an unmodelled
    // class is never named, so a ranking without one says it classified nothing.
    std::string Verdict() const;
};

// The ranking of one classification by the library's models: every class by its folder name
// with its value, unmodelled where the models leave it out, the winning end first.
ClassificationResult RankedResult(const SpectralStatistics& library, const ClassModels& models,
                                  const Classification& classification);

}  // namespace orvane
