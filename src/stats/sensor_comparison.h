// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <string>
#include <vector>

#include "spectra/species_names.h"

namespace orvane {

class Frontend;
class OutputFolder;
class ProcessingSession;
class StudyLoader;

// What a sensor comparison runs: the sensors in the order the table lists them, and how the
// discriminant analysis is validated.
struct SensorComparisonOptions {
    std::vector<int> sensor_ids;
    std::string validation = "resubstitution";  // as `da --validate` takes it
    int name_type = kFolderName;  // names of the closest pair: a NameType
};

// One sensor's line of the table. Accuracies are percentages; a figure that is not defined
// (kappa under total chance agreement, JM with fewer than two modelled classes) is NaN.
struct SensorComparisonRow {
    int sensor_id = 0;
    std::string sensor;
    int classes = 0;           // classes of the library
    int classes_modelled = 0;  // classes given a discriminant value
    bool library_built = false;  // built by the comparison rather than reused
    double overall_accuracy = 0.0;
    double kappa = 0.0;
    std::string validation;
    double min_jm = 0.0;
    double mean_jm = 0.0;
    int jm_pairs = 0;  // class pairs the JM figures are taken over
    std::string closest_first;  // the pair with the minimum JM, in library order
    std::string closest_second;
};

// The whole table with what it was computed in, kept plain so any writer can serialise it.
struct SensorComparison {
    std::string study;
    std::string feature_space;
    std::string feature_space_type;
    int dimension = 0;
    // The chain every row ran with but for its sensor, as the report's heading states it.
    std::string chain;
    std::vector<SensorComparisonRow> rows;
    std::string path;  // sensor_comparison.csv; empty when it could not be written
};

// Compares how well the current chain separates the study's species on each sensor. The
// current feature space is the same stored definition on every sensor: a DI or NTBI space maps
// its wavelength ranges to each sensor's bands, and a PCT space takes its components from the
// principal component analysis of that sensor under the current chain. A sensor for which the
// space is not offered (more features than the sensor has bands, or for PCT no current
// analysis of that sensor) is refused before any work, naming the sensor and the remedy.
//
// For each sensor the library of the chain is reused when Ready and built otherwise; the
// discriminant analysis (validated as the options say) gives the overall accuracy and kappa,
// and the Jeffries-Matusita distances of the class pairs their minimum, mean and the closest
// pair. Pairs whose Bhattacharyya distance is infinite (a class that cannot be modelled) are
// left out of the JM figures rather than counted as perfectly separated.
//
// Writes "sensor_comparison.csv" to the output folder and reports the table. The session's
// sensor and feature space are restored afterwards, also when the comparison fails or is
// cancelled. Throws OrvaneError for an empty or repeated sensor list, a sensor the session has
// not loaded, no current feature space, an unknown validation or a library that cannot be
// made Ready.
SensorComparison CompareSensors(ProcessingSession& session, StudyLoader& loader,
                                const OutputFolder& output, Frontend& frontend,
                                const SensorComparisonOptions& options);

// The table as aligned text under a heading naming the study and the feature space.
std::string FormatSensorComparison(const SensorComparison& comparison);

}  // namespace orvane
