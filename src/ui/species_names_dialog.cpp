// SPDX-License-Identifier: GPL-3.0-or-later
#include "ui/species_names_dialog.h"

#include <QDialogButtonBox>
#include <QHeaderView>
#include <QLabel>
#include <QMessageBox>
#include <QTableWidget>
#include <QVBoxLayout>

#include "base/orvane_error.h"
#include "base/shown_text.h"
#include "store/record_history.h"

namespace orvane {

namespace {

QTableWidgetItem* Cell(const std::string& text, bool editable) {
    auto* item = new QTableWidgetItem(QString::fromStdString(text));
    if (!editable) item->setFlags(item->flags() & ~Qt::ItemIsEditable);
    return item;
}

std::string CellText(const QTableWidget* table, int row, int column) {
    return table->item(row, column)->text().toStdString();
}

}  // namespace

SpeciesNamesDialog::SpeciesNamesDialog(Database& db, int study_id, QWidget* parent)
    : QDialog(parent), db_(db), study_id_(study_id), stored_(ListSpeciesNames(db, study_id)) {
    setWindowTitle(QStringLiteral("Species Names"));
    auto* layout = new QVBoxLayout(this);
    layout->addWidget(new QLabel(QStringLiteral(
        "Results asked for a name a species lacks show its folder name instead.")));
    table_ = new QTableWidget(0, 4, this);
    table_->setHorizontalHeaderLabels(
        {QStringLiteral("Folder"), QStringLiteral("Common"), QStringLiteral("Latin"),
         QStringLiteral("Local")});
    table_->verticalHeader()->hide();
    Fill();
    table_->horizontalHeader()->setSectionResizeMode(QHeaderView::Stretch);
    layout->addWidget(table_);
    auto* buttons = new QDialogButtonBox(QDialogButtonBox::Ok | QDialogButtonBox::Cancel, this);
    connect(buttons, &QDialogButtonBox::accepted, this, &QDialog::accept);
    connect(buttons, &QDialogButtonBox::rejected, this, &QDialog::reject);
    layout->addWidget(buttons);
    resize(560, 320);
}

void SpeciesNamesDialog::Fill() {
    table_->setRowCount(static_cast<int>(stored_.size()));
    for (int r = 0; r < table_->rowCount(); ++r) {
        const SpeciesNames& s = stored_[static_cast<size_t>(r)];
        // The folder is shown escaped: it is the key and never edited.
        table_->setItem(r, 0, Cell(EscapeControls(s.folder), false));
        table_->setItem(r, 1, Cell(s.common, true));
        table_->setItem(r, 2, Cell(s.latin, true));
        table_->setItem(r, 3, Cell(s.local, true));
    }
}

bool SpeciesNamesDialog::Save(std::string& error) {
    for (int r = 0; r < table_->rowCount(); ++r) {
        SpeciesNames& s = stored_[static_cast<size_t>(r)];
        SpeciesRename names;
        const std::string common = CellText(table_, r, 1);
        const std::string latin = CellText(table_, r, 2);
        const std::string local = CellText(table_, r, 3);
        if (common != s.common) names.common = common;
        if (latin != s.latin) names.latin = latin;
        if (local != s.local) names.local = local;
        if (!names.common && !names.latin && !names.local) continue;
        names.read_version = s.row_version;
        try {
            s.row_version = RenameSpecies(db_, study_id_, s.folder, names);
        } catch (const RecordChanged& e) {
            // Another session renamed it: every row shows what is stored now.
            error = e.what();
            stored_ = ListSpeciesNames(db_, study_id_);
            Fill();
            return false;
        } catch (const OrvaneError& e) {
            error = e.what();
            table_->setCurrentCell(r, 1);
            return false;
        }
        s.common = common;
        s.latin = latin;
        s.local = local;
    }
    return true;
}

void SpeciesNamesDialog::accept() {
    std::string error;
    if (!Save(error)) {
        QMessageBox::warning(this, windowTitle(), QString::fromStdString(error));
        return;
    }
    QDialog::accept();
}

}  // namespace orvane
