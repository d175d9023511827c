// SPDX-License-Identifier: GPL-3.0-or-later
#include "ui/species_names_dialog.h"

#include <QDialogButtonBox>
#include <QHeaderView>
#include <QLabel>
#include <QMessageBox>
#include <QPointer>
#include <QPushButton>
#include <QTableWidget>
#include <QVBoxLayout>
#include <memory>

#include "base/orvane_error.h"
#include "base/shown_text.h"
#include "chain/processing_session.h"
#include "store/database.h"
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

// One changed row as OK found it, and what storing it gave.
struct Edit {
    int row = 0;
    std::string folder;
    SpeciesRename names;
    std::string common, latin, local;
    int version = 0;  // the stored row's version after the change
};

// What the worker did with OK's edits: those before `stored` are stored; a refusal names the
// row it stopped at, or brings every row anew when another session changed one.
struct SaveOutcome {
    std::vector<Edit> edits;
    size_t stored = 0;
    std::string error;
    int error_row = -1;
    bool reread = false;
    std::vector<SpeciesNames> rows;
};

}  // namespace

SpeciesNamesDialog::SpeciesNamesDialog(ProcessingSession& session, QtFrontend& frontend,
                                       WorkPoster post, QWidget* parent)
    : QDialog(parent), session_(session), frontend_(frontend), post_(std::move(post)) {
    setWindowTitle(QStringLiteral("Species Names"));
    auto* layout = new QVBoxLayout(this);
    layout->addWidget(new QLabel(QStringLiteral(
        "Results asked for a name a species lacks show its folder name instead.")));
    table_ = new QTableWidget(0, 4, this);
    table_->setHorizontalHeaderLabels(
        {QStringLiteral("Folder"), QStringLiteral("Common"), QStringLiteral("Latin"),
         QStringLiteral("Local")});
    table_->verticalHeader()->hide();
    table_->horizontalHeader()->setSectionResizeMode(QHeaderView::Stretch);
    layout->addWidget(table_);
    auto* buttons = new QDialogButtonBox(QDialogButtonBox::Ok | QDialogButtonBox::Cancel, this);
    ok_ = buttons->button(QDialogButtonBox::Ok);
    connect(buttons, &QDialogButtonBox::accepted, this, &QDialog::accept);
    connect(buttons, &QDialogButtonBox::rejected, this, &QDialog::reject);
    layout->addWidget(buttons);
    resize(560, 320);
    ok_->setEnabled(false);
}

void SpeciesNamesDialog::Open() {
    open();
    Read();
}

void SpeciesNamesDialog::Read() {
    filled_ = false;
    ok_->setEnabled(false);
    ok_->setToolTip(QStringLiteral("Reading the species of the study..."));
    auto study = std::make_shared<int>(0);
    auto rows = std::make_shared<std::vector<SpeciesNames>>();
    QPointer<SpeciesNamesDialog> self(this);
    ProcessingSession& session = session_;
    const bool posted = PostThen(
        post_,
        [&session, study, rows] {
            *study = session.StudyId();
            *rows = ListSpeciesNames(session.Db(), *study);
        },
        [self, study, rows] {
            if (!self) return;
            self->study_id_ = *study;
            self->stored_ = std::move(*rows);
            self->Fill();
        },
        [self] {
            // Rows that could not be read leave nothing to edit; the failure was shown.
            if (self && !self->filled_) self->reject();
        });
    if (!posted) reject();
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
    filled_ = true;
    ok_->setEnabled(true);
    ok_->setToolTip(QString());
}

void SpeciesNamesDialog::accept() {
    if (!filled_ || !ok_->isEnabled()) return;
    auto outcome = std::make_shared<SaveOutcome>();
    for (int r = 0; r < table_->rowCount(); ++r) {
        const SpeciesNames& s = stored_[static_cast<size_t>(r)];
        Edit edit;
        edit.row = r;
        edit.folder = s.folder;
        edit.common = CellText(table_, r, 1);
        edit.latin = CellText(table_, r, 2);
        edit.local = CellText(table_, r, 3);
        if (edit.common != s.common) edit.names.common = edit.common;
        if (edit.latin != s.latin) edit.names.latin = edit.latin;
        if (edit.local != s.local) edit.names.local = edit.local;
        if (!edit.names.common && !edit.names.latin && !edit.names.local) continue;
        edit.names.read_version = s.row_version;
        outcome->edits.push_back(std::move(edit));
    }
    refusal_.clear();
    if (outcome->edits.empty()) {
        QDialog::accept();
        return;
    }
    // The edits stay as typed while they are stored, and are not typed over meanwhile.
    ok_->setEnabled(false);
    table_->setEnabled(false);
    QPointer<SpeciesNamesDialog> self(this);
    ProcessingSession& session = session_;
    const int study = study_id_;
    const bool posted = PostThen(
        post_,
        [&session, study, outcome] {
            Database& db = session.Db();
            for (Edit& edit : outcome->edits) {
                try {
                    edit.version = RenameSpecies(db, study, edit.folder, edit.names);
                } catch (const RecordChanged& e) {
                    // Another session renamed it: every row shows what is stored now.
                    outcome->error = e.what();
                    outcome->reread = true;
                    outcome->rows = ListSpeciesNames(db, study);
                    return;
                } catch (const ConnectionLost&) {
                    throw;
                } catch (const OrvaneError& e) {
                    outcome->error = e.what();
                    outcome->error_row = edit.row;
                    return;
                }
                ++outcome->stored;
            }
        },
        [self, outcome] {
            if (!self) return;
            SpeciesNamesDialog& d = *self;
            for (size_t i = 0; i < outcome->stored; ++i) {
                const Edit& edit = outcome->edits[i];
                SpeciesNames& s = d.stored_[static_cast<size_t>(edit.row)];
                s.row_version = edit.version;
                s.common = edit.common;
                s.latin = edit.latin;
                s.local = edit.local;
            }
            if (outcome->error.empty()) {
                d.QDialog::accept();
                return;
            }
            d.refusal_ = outcome->error;
            if (outcome->reread) {
                d.stored_ = std::move(outcome->rows);
                d.Fill();
            } else {
                d.table_->setCurrentCell(outcome->error_row, 1);
            }
            if (d.frontend_.MessageBoxes())
                QMessageBox::warning(&d, d.windowTitle(), QString::fromStdString(d.refusal_));
        },
        [self] {
            if (!self) return;
            self->table_->setEnabled(true);
            self->ok_->setEnabled(self->filled_);
        });
    if (!posted) {
        table_->setEnabled(true);
        ok_->setEnabled(true);
    }
}

}  // namespace orvane
