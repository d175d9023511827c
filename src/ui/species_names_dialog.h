// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QDialog>
#include <string>
#include <vector>

#include "spectra/species_names.h"

class QTableWidget;

namespace orvane {

class Database;

// "Species Names": one row per species of the study, its folder fixed and its common, Latin
// and local names editable. OK stores the rows that changed; a name the core refuses keeps
// the dialog open with every edit in place.
class SpeciesNamesDialog : public QDialog {
    Q_OBJECT

  public:
    SpeciesNamesDialog(Database& db, int study_id, QWidget* parent);

    QTableWidget* Table() const { return table_; }
    // Stores the changed rows; false with the reason in `error` when one was refused (the rows
    // before it are stored).
    bool Save(std::string& error);
    void accept() override;

  private:
    // Shows the stored names, one row per species.
    void Fill();
    Database& db_;
    int study_id_;
    std::vector<SpeciesNames> stored_;
    QTableWidget* table_;
};

}  // namespace orvane
