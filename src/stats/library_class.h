// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <limits>
#include <string>

#include "base/matrix.h"
#include "spectra/species_names.h"

namespace orvane {

// One species of the loaded spectral library: its names, how many spectra its statistics came
// from, and its mean feature vector and covariance.
struct LibraryClass {
    std::string folder_name;  // also the class name shown in results
    std::string common_name;
    std::string maori_name;
    std::string latin_name;
    int index = 0;  // position in the loaded library, from 0
    int species_id = 0;
    int dimension = 0;
    int no_of_samples = 0;
    Matrix mean;   // dimension x 1
    Matrix cov;    // dimension x dimension
    // Ledoit-Wolf intensity for Mahalanobis (shrunk); NaN when not stored (fewer than 2
    // spectra, or a library built before intensities were stored).
    double shrinkage = std::numeric_limits<double>::quiet_NaN();

    // Name by NameType (spectra/species_names.h); the folder name stands in for
    // a name the species has not been given, so no result has an empty label.
    const std::string& NameOfType(int name_type) const {
        const std::string& name = StoredNameOfType(name_type);
        return name.empty() ? folder_name : name;
    }
    // The name of that type as stored, empty when unset.
    const std::string& StoredNameOfType(int name_type) const {
        switch (name_type) {
            case kCommonName:
                return common_name;
            case kLocalName:
                return maori_name;
            case kLatinName:
                return latin_name;
            default:
                return folder_name;
        }
    }
};

}  // namespace orvane
