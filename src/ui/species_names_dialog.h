// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QDialog>
#include <string>
#include <vector>

#include "spectra/species_names.h"
#include "ui/qt_frontend.h"

class QPushButton;
class QTableWidget;

namespace orvane {

class ProcessingSession;

// "Species Names": one row per species of the current study, its folder fixed and its common,
// Latin and local names editable. The rows are read and the changed ones stored on the worker
// thread: the dialog opens at once and OK waits until the rows are shown. A name the core
// refuses keeps the dialog open with every edit in place.
class SpeciesNamesDialog : public QDialog {
    Q_OBJECT

  public:
    SpeciesNamesDialog(ProcessingSession& session, QtFrontend& frontend, WorkPoster post,
                       QWidget* parent);

    // Shows the dialog (modal to its window) and reads the rows.
    void Open();

    QTableWidget* Table() const { return table_; }
    QPushButton* OkButton() const { return ok_; }
    // Whether the stored rows are shown (OK is enabled from then on, but while they are stored).
    bool Filled() const { return filled_; }
    // Why the last OK was refused; empty after one that stored every change.
    const std::string& Refusal() const { return refusal_; }
    // Stores the changed rows on the worker thread and closes the dialog; a refused name keeps
    // it open with the reason in a message box (the rows before it are stored).
    void accept() override;

  private:
    // Shows the stored names, one row per species.
    void Fill();
    // Reads the study's rows anew on the worker thread and shows them.
    void Read();

    ProcessingSession& session_;
    QtFrontend& frontend_;
    WorkPoster post_;
    int study_id_ = 0;
    std::vector<SpeciesNames> stored_;
    QTableWidget* table_;
    QPushButton* ok_;
    bool filled_ = false;
    std::string refusal_;
};

}  // namespace orvane
