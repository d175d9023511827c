// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <string>
#include <utility>
#include <vector>

#include "base/matrix.h"

namespace orvane {

struct AccuracyResult;
struct MapAccuracy;
struct SensorComparison;
struct UnmixResult;
class SpectralStatistics;

// One result as a labelled table the window shows, copies and saves; the cells are already
// text as a paper would print them.
struct ResultTable {
    std::string title;   // also the tab's name
    std::string corner;  // what the top-left header says (which way the table reads)
    std::vector<std::string> columns;
    std::vector<std::string> rows;
    std::vector<std::vector<std::string>> cells;  // rows x columns
    // Per cell, where on the colour scale it lies from 0 (poorly separated) to 1 (well
    // separated); a negative value or an empty grid means no colour.
    std::vector<std::vector<double>> scale;
    std::vector<std::pair<std::string, std::string>> notes;  // label and value under the table

    // The table with its header row and notes, cells separated by tabs: what a spreadsheet
    // or word processor takes from the clipboard.
    std::string TabText() const;
    // The same as comma-separated text, names quoted so that none can shift a column.
    std::string Csv() const;
};

// The error matrix with row and column totals, each class's user's accuracy (last column) and
// producer's accuracy (last row) in percent, and the overall accuracy, kappa and validation
// as notes.
ResultTable ErrorMatrixTable(const AccuracyResult& result);
// The error matrix of classifying another study's spectra against the library, in its own tab
// beside the discriminant analysis's: validated by that independent study, not resubstitution.
ResultTable IndependentSetTable(const AccuracyResult& result, const std::string& study);

// The Jeffries-Matusita and the Bhattacharyya distances of every pair of classes as two
// tables, from the pairwise B (k x k) of PairwiseBhattacharyya; names label the classes.
std::vector<ResultTable> SeparabilityTables(const std::vector<std::string>& names,
                                            const Matrix& b);
// The classes' names of the given type, the folder name where a class lacks it.
std::vector<std::string> ClassNames(const SpectralStatistics& library, int name_type);

// One row per mixture: its estimated fractions, their sum, the residual RMSE, the endmembers
// whose estimate is no fraction ("Outside 0-1"), and the recorded fractions where the mixture
// table records them; the sensor elements unmixed as a note.
ResultTable UnmixingTable(const UnmixResult& result);

// A map's accuracy as two tables: its error matrix as ErrorMatrixTable lays it out (the
// reference file as the note where the analyses name their validation), and per map class the
// area-adjusted estimates: map pixels, samples, estimated area in pixels (and hectares where
// the map is projected) with its 95 % confidence interval, user's and producer's accuracy with
// their standard errors, and the area-adjusted overall accuracy as a note.
std::vector<ResultTable> MapAccuracyTables(const MapAccuracy& result);

// One row per sensor, as the comparison's text table lists them.
ResultTable SensorComparisonTable(const SensorComparison& comparison);

}  // namespace orvane
