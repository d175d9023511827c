// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <string>
#include <vector>

#include "store/mixture_store.h"

namespace orvane {

class Database;

// Species names in the order the mixing lists show them: letters compared without case, names
// equal but for case in a fixed order.
bool SpeciesBefore(const std::string& a, const std::string& b);
std::vector<SpeciesEntry> SortedSpecies(std::vector<SpeciesEntry> entries);

// An abundance as typed: a finite number from 0 to 1, blanks around it allowed. Anything else
// (including a number too small for a double, which would be stored as 0) throws OrvaneError.
double ParseAbundance(const std::string& text);

// How far a mixture's abundances may total above 1, for the rounding of decimal fractions.
constexpr double kAbundanceTotalSlack = 1e-9;

// Throws OrvaneError when replacing an endmember's abundance `before` by `value` makes the
// mixture's total (the other endmembers' `others` plus `value`) exceed 1 + kAbundanceTotalSlack;
// a total above that from older data may still be lowered.
void CheckAbundanceTotal(double value, double before, double others);

// Stores an endmember's abundance in a mixture, recording the endmember first when `record` is
// set, in one transaction. Throws OrvaneError, storing nothing, for a value outside 0 to 1 or
// when the mixture's total would exceed 1 + kAbundanceTotalSlack; a total above that from older
// data may still be lowered.
void SaveAbundance(MixtureStore& store, int mixture_id, int endmember_id, double value,
                   bool record);

// The study's endmember species, or its mixture species, sorted.
std::vector<std::string> SpeciesFolders(Database& db, int study_id, bool endmembers);

// Marks the named species as endmembers (or returns them to the mixture species) after
// checking every name, so that a misspelt one stores nothing. Tells for each folder whether it
// changed; false where it had the flag already.
std::vector<bool> MarkEndmembers(Database& db, int study_id,
                                 const std::vector<std::string>& folders, bool endmember);

// A mixture species' recorded endmembers with their abundances as the server writes them,
// sorted, and their total.
struct MixtureMakeUp {
    std::vector<std::pair<std::string, std::string>> abundances;
    std::string total;
};

// Each throws OrvaneError, changing nothing, when `mixture` is no mixture species of the study
// or `endmember` no endmember of it.
MixtureMakeUp ShowMixture(Database& db, int study_id, const std::string& mixture);
// Records the endmember in the mixture when it is not yet, then its abundance.
MixtureMakeUp SetMixtureAbundance(Database& db, int study_id, const std::string& mixture,
                                  const std::string& endmember, const std::string& abundance);
MixtureMakeUp RemoveFromMixture(Database& db, int study_id, const std::string& mixture,
                                const std::string& endmember);

}  // namespace orvane
