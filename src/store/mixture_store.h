// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <string>
#include <utility>
#include <vector>

namespace orvane {

class Database;

// A species as the mixing lists show it: its folder name and id.
struct SpeciesEntry {
    std::string folder_name;
    int species_id = 0;
};

// A fraction the mixture table records for a mixture.
struct RecordedFraction {
    std::string abundance;  // as the server writes it
    std::string folder_name;  // of the endmember
    int endmember_id = 0;
};

// One recorded endmember of a mixture with its version (counting the row's changes).
struct MixtureRow {
    int endmember_id = 0;
    double abundance = 0.0;
    int row_version = 0;
};

// The study's endmember flags (species.endmember 'Y' or 'N') and the recorded make-up of its
// mixture species (table mixture), read and written with the statements the mixing dialogs
// use. Rows come back in the order the server returns them; the lists sort them.
class MixtureStore {
  public:
    MixtureStore(Database& db, int study_id) : db_(db), study_id_(study_id) {}

    // The study's endmember species, or its other (mixture) species.
    std::vector<SpeciesEntry> Species(bool endmembers);
    // Stores the flag of one species.
    void SetEndmember(int species_id, bool endmember);

    // The study's endmembers that a mixture does not record yet, and those it records.
    std::vector<SpeciesEntry> AvailableEndmembers(int mixture_id);
    std::vector<SpeciesEntry> SelectedEndmembers(int mixture_id);
    // Records an endmember in a mixture (abundance 0 until one is saved), or removes it.
    void AddEndmember(int mixture_id, int endmember_id);
    void RemoveEndmember(int mixture_id, int endmember_id);
    // The recorded abundance as the server writes it; empty when the pair is not recorded.
    std::string Abundance(int mixture_id, int endmember_id);
    // A mixture's recorded (endmember id, abundance) pairs, locked until the caller's
    // transaction ends so that no other run changes the total in between.
    std::vector<std::pair<int, double>> AbundancesForUpdate(int mixture_id);
    // The same with each row's version.
    std::vector<MixtureRow> RowsForUpdate(int mixture_id);
    // Stores the value as given, bound as a double, never formatted to text. With a
    // `read_version` (> 0) only the row still at that version changes; false when none did.
    bool SetAbundance(int mixture_id, int endmember_id, double abundance, int read_version = 0);
    // The sum of a mixture's abundances as the server writes it; empty without rows.
    std::string Total(int mixture_id);

    // The study's endmember species, or its mixture species, in the order unmixing walks them.
    std::vector<SpeciesEntry> UnmixingSpecies(bool endmembers);
    // What the mixture table records of a mixture, by endmember folder name.
    std::vector<RecordedFraction> Recorded(int mixture_id);

    Database& Db() { return db_; }

  private:
    std::vector<SpeciesEntry> List(const std::string& sql);

    Database& db_;
    int study_id_;
};

}  // namespace orvane
