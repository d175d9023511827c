// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <string>
#include <vector>

namespace orvane {

class Frontend;
class OutputFolder;

// The estimators for a stratified random sample whose strata are the map's classes (Olofsson
// et al. 2014, Remote Sensing of Environment 148: 42-57, eqs. 2-10). Accuracies and area
// proportions are fractions of 1; every index is a class of the map, rows of `counts` the map
// class (stratum) and columns the reference class.
struct AreaAdjustedEstimates {
    std::vector<double> weights;                   // W_i: the stratum's share of the map
    std::vector<std::vector<double>> proportions;  // p_ij = W_i n_ij / n_i.
    std::vector<double> area_proportion;           // p_.j, the class's share of the area
    std::vector<double> area_proportion_se;        // its standard error (eq. 10)
    std::vector<double> users;                     // U_i = p_ii / p_i.
    std::vector<double> users_se;                  // eq. 6
    std::vector<double> producers;                 // P_j = p_jj / p_.j
    std::vector<double> producers_se;              // eq. 7
    double overall = 0.0;                          // O = sum p_jj
    double overall_se = 0.0;                       // eq. 5
};

// The two-sided 95 % normal quantile the paper's confidence intervals use.
constexpr double kZ95 = 1.96;

// The estimates from the sample counts (k x k) and the map's pixels per class (k). A stratum
// without map pixels adds nothing. A stratum with pixels but no sample leaves every estimate
// that sums over the strata NaN, and one with a single sample every standard error that does:
// the estimators are not defined there. A class without any estimated area has NaN as its
// producer's accuracy, one without any sample NaN as its user's accuracy.
AreaAdjustedEstimates EstimateAreaAdjusted(const std::vector<std::vector<double>>& counts,
                                           const std::vector<double>& map_pixels);

// What `map-accuracy` compares, as the user named the files.
struct MapAccuracyOptions {
    std::string map_path;        // the class raster: 0 unclassified or no data, 1..k classes
    std::string reference_path;  // a raster of the map's grid, or a CSV of points (x,y,class)
    std::string classes_path;    // optional CSV "reference,map"; empty: codes are map classes
};

// The outcome of a map's accuracy assessment.
struct MapAccuracy {
    std::string map_path;
    std::string reference_path;
    std::string classes_path;
    bool reference_points = false;  // the reference was a CSV of points
    // The map's classes 1..k, by the map's category names ("class N" where it has none).
    std::vector<std::string> names;
    std::vector<std::vector<double>> counts;  // k x k: rows map class, columns reference
    std::vector<double> map_pixels;           // per class: its pixels in the map (the strata)
    long long unclassified_pixels = 0;        // map pixels 0 or the map's no-data value
    long long samples = 0;                    // labelled pixels or points in the matrix
    long long samples_on_unclassified = 0;    // labelled where the map has no class
    long long samples_left_out = 0;           // labelled with a class the mapping leaves out
    double overall_accuracy = 0.0;            // percent, of the sample counts
    double kappa = 0.0;                       // Cohen's kappa of the sample counts
    AreaAdjustedEstimates estimates;
    int width = 0;  // the map's size in pixels
    int height = 0;
    // One pixel in hectares where the map's coordinate system is projected with a known linear
    // unit; 0 otherwise (areas are then given in pixels only).
    double hectares_per_pixel = 0.0;
    std::vector<std::string> notes;  // what the estimates could not use, one sentence each
    std::string path;                // "Map Accuracy.csv"; empty when it could not be written
    std::string json_path;           // "Map Accuracy.json" beside it
};

// Compares a class map with reference labels: reads the map with GDAL row band by row band,
// counts its pixels per class (the strata) and, for every labelled reference pixel or point, the
// map's class against the reference class (mapped through the classes file when given). Writes
// "Map Accuracy.csv" in the output folder (the error matrix as the discriminant analysis writes
// it, rows classified as, columns reference, then the area-adjusted estimates) and its JSON
// twin with the files compared, and reports both.
//
// Refused with OrvaneError, nothing written: a file that cannot be read (GDAL's message with its
// name), a map that is not a single band of whole numbers, a reference raster on another grid,
// a point outside the map, a reference class that is no class of the map (without mapping) or
// that the mapping does not name, a mapping to a class the map does not have, a mapping that
// sends one reference class to two map classes, no labelled sample at all. Throws Cancelled
// when the frontend is cancelled.
MapAccuracy RunMapAccuracy(const MapAccuracyOptions& options, const OutputFolder& output,
                           Frontend& frontend);

}  // namespace orvane
