#pragma once

#include <optional>
#include <string>
#include <vector>

namespace orvane {

class ProcessingSession;

// The chain a batch command runs with, as a user names it: each field left empty keeps the
// session's current choice. Applied in the order of the main form's controls.
struct ChainSelection {
    std::optional<std::string> study;   // name or id
    std::optional<std::string> sensor;  // name or id
    std::optional<int> smoothing_type;  // 0 none, 1 moving window, 2 FFT
    std::optional<int> derivative_order;
    std::optional<int> derivative_method;      // 0 iterative, 1 Savitzky-Golay
    std::optional<int> feature_space_type;     // 0 DI, 1 NTBI, 2 PCT
    std::optional<std::string> feature_space;  // name or id
    std::optional<int> classifier;
};

// Parses the user's words for the enumerated settings; throws OrvaneError naming the choices.
int ParseSmoothingType(const std::string& word);     // none|sg-mw|sg-fft
int ParseDerivativeMethod(const std::string& word);  // iterative|savgol
int ParseFeatureSpaceType(const std::string& word);  // DI|NTBI|PCT
int ParseClassifier(const std::string& word);        // mahalanobis|modified-mahalanobis|gsd|sam

// The id of a study given by id or name; throws OrvaneError when none matches.
int ResolveStudy(ProcessingSession& session, const std::string& name_or_id);
// The same for a sensor.
int ResolveSensor(ProcessingSession& session, const std::string& name_or_id);
// Any stored feature space by id or exact name, whatever sensor it fits; `type` narrows a
// name that feature spaces of several types share. Throws OrvaneError when none or several
// match.
int ResolveAnyFeatureSpace(ProcessingSession& session, const std::string& name_or_id,
                           std::optional<int> type);

// Makes the selection current through the session, exactly as the form's controls would:
// study, sensor, smoothing, derivative order and method, feature-space type, feature space,
// classifier. Names that match nothing throw OrvaneError. Without an explicit feature space
// the first of the current type (fewest dimensions first) that fits the sensor is taken.
void ApplyChainSelection(ProcessingSession& session, const ChainSelection& selection);

// The feature spaces offered for the current type and sensor: "fs.name, feature_space_id",
// ordered by dimension; for PCT only while current PCA data exists.
struct FeatureSpaceItem {
    std::string name;
    int id = 0;
};
std::vector<FeatureSpaceItem> ListFeatureSpaces(ProcessingSession& session);

}  // namespace orvane
