// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <string>

#include <nlohmann/json_fwd.hpp>

namespace orvane {

class Frontend;
class OutputFolder;
class ProcessingSession;
enum class Classifier;

// The machine-readable twin of a result file. Keys keep the order they are written in, so a
// person reading the file finds the provenance first, then the numbers.
using ResultJson = nlohmann::ordered_json;

// What produced a result beyond the session's chain settings.
struct ProvenanceOptions {
    int library_id = 0;  // the library the result was computed from; 0 for none
    // Whether the session's classifier took part (discriminant analyses, site checks).
    bool classifier = true;
    // Whether the result is computed in the current feature space (PCA and unmixing are not).
    bool feature_space = true;
    // Whether the derivative step took part (unmixing works on the synthesized stage).
    bool derivative = true;
    // How accuracies were estimated; empty where nothing was classified.
    std::string validation = "resubstitution";
};

// The settings that produced a result, read from the session at the moment of the call:
// study (id, name), sensor (id, name), waveband filter (id and excluded ranges), the optional
// stages (splice correction, continuum removal: mode, the study's pairs or the default's
// words, whether on or off), smoothing (type, name, window, order), derivative (order, method,
// window, polynomial order), feature space (id, name, type, dimension, description, its
// wavelength ranges or pairs), classifier, validation, library (id, build date), program
// version and the time of the run (UTC, ISO 8601). What did not take part is null.
ResultJson Provenance(ProcessingSession& session, const ProvenanceOptions& options = {});

// The moment of the call as a result's "run_at" says it (UTC, ISO 8601), for results that
// write a provenance of their own instead of the session's.
std::string RunAtUtc();

// The classifier as the window lists it ("Mahalanobis", "Gen. Squared Dist", ...).
const char* ClassifierName(Classifier classifier);

// A number as JSON writes it: JSON has no NaN or infinity, so those become null.
ResultJson JsonNumber(double value);

// "<folder>/<stem>.json" for "<folder>/<stem>.<ext>".
std::string JsonPathBeside(const std::string& result_path);

// Writes `record` as "<stem>.json" beside `result_path` through the same replace-on-success
// path as the CSV files. Returns the JSON file's path; a file that cannot be written is
// reported through `frontend` and gives an empty path (the result file stays written).
// Text that is not UTF-8 is written with U+FFFD in place of its bad bytes.
std::string WriteJsonBeside(const std::string& result_path, const ResultJson& record,
                            Frontend& frontend);
// The same for a result that has no other file: "<name>.json" in the output folder.
std::string WriteJsonResult(const OutputFolder& output, const std::string& name,
                            const ResultJson& record, Frontend& frontend);

}  // namespace orvane
