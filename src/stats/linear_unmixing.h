// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <string>
#include <vector>

#include "base/matrix.h"

namespace orvane {

class Frontend;
class OutputFolder;
class ProcessingSession;
class StudyLoader;

// The sensor elements whose values are unmixed unless the user chooses others, by number.
inline constexpr int kUnmixElements[4] = {1, 2, 3, 6};
std::vector<int> DefaultUnmixElements();

// The element numbers of a choice such as "1,2,3,6" (blanks allowed), in ascending order.
// Throws OrvaneError for an empty choice, a word that is no element number (from 1), or a
// number given twice. UnmixElementsText writes a choice back in that form.
std::vector<int> ParseUnmixElements(const std::string& text);
std::string UnmixElementsText(const std::vector<int>& elements);

// Whether an estimate is no fraction: below 0 or above 1 by more than 1e-9. The one rule the
// report, the tables and the files flag by.
bool OutsideFractionRange(double estimate);
// An estimate with `decimals` decimals; a flagged one that would round into the range gets as
// many more as it takes for the printed number to be flagged too, with its sign ("-0.00001",
// not "0.00").
std::string FractionText(double estimate, int decimals);

// One mixture species as unmixing reports it.
struct UnmixedMixture {
    std::string name;                     // its folder name
    std::vector<double> estimates;        // a, in endmember order
    bool recorded = false;                // whether the mixture table records its make-up
    std::vector<double> recorded_values;  // t: recorded fractions, 0 where none is recorded
    std::vector<bool> out_of_range;       // per estimate: OutsideFractionRange
    double rmse = 0.0;                    // sqrt(mean over the unmixed elements of (y - E a)^2)
    std::string text;                     // its report entry after the name
};

struct UnmixResult {
    std::vector<int> elements;            // the sensor elements unmixed, ascending
    std::vector<std::string> endmembers;  // folder names, in the order of the estimates
    std::vector<UnmixedMixture> mixtures;
    std::string json_path;  // unmixing_output.json; empty when not asked for or not written
    std::string csv_path;   // unmixing.csv; empty when not asked for or not written
};

// Unconstrained least-squares fractions of mixtures in endmembers. With E (bands x q, one
// endmember mean per column) and the mixtures' values Y (bands x m), each column y gets
// a = (E'E)^-1 E' y, and the residual RMSE sqrt(mean over the bands of (y - E a)^2).
struct LeastSquaresFractions {
    Matrix fractions;          // q x m: column k the estimates of mixture k, in endmember order
    std::vector<double> rmse;  // per mixture
};
// Throws OrvaneError when E has not full column rank (its smallest singular value not above
// the largest x bands x the single-precision epsilon, since reflectances are stored in single
// precision), with Remedy::kReturnEndmembers when there are more endmembers than bands.
LeastSquaresFractions UnmixLeastSquares(const Matrix& endmembers, const Matrix& mixtures);

// Estimates, for every mixture species of the session's study, the fractions of the
// endmember species that make up its mean spectrum at the synthesized stage. The model is
// y = E a on the chosen sensor elements (by default 1, 2, 3 and 6), with E's columns the
// endmember means, solved
// by unconstrained least squares, a = (E'E)^-1 E' y: fractions may be negative or exceed 1 and
// need not sum to 1. The inverse is formed once for all mixtures.
//
// Reports "Spectral Unmixing", then per mixture its name and the estimates ("%.2f  name" by
// FractionText, marked "(outside 0-1)" where the estimate is no fraction), the residual RMSE
// over the elements, followed, when the mixture table records the mixture, by the recorded
// fractions and the absolute errors. Everything is checked before anything is reported:
// OrvaneError (nothing reported) when the study has no endmembers, when no element or an
// element number below 1 is chosen, when the sensor lacks one of the elements, when a species
// has no spectra or no value at one of them, or when E has not full column rank (more
// endmembers than elements, or endmember means linearly dependent on the elements).
//
// Given an output folder, the estimates (and recorded fractions) are also written to
// "unmixing_output.json" there with the settings that produced them, and as a table, one row
// per mixture and endmember, to "unmixing.csv".
UnmixResult Unmix(StudyLoader& loader, ProcessingSession& session, Frontend& frontend,
                  const OutputFolder* output = nullptr,
                  const std::vector<int>& elements = DefaultUnmixElements());

}  // namespace orvane
