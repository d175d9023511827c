// SPDX-License-Identifier: GPL-3.0-or-later
#include "ui/abundance_settings_dialog.h"

#include <QDialogButtonBox>
#include <QGridLayout>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QPushButton>
#include <QStyle>
#include <QSignalBlocker>

#include "ui/endmember_selection_dialog.h"

namespace orvane {

namespace {

int SelectedRow(const QListWidget* list) {
    const QListWidgetItem* item = list->currentItem();
    return item && item->isSelected() ? list->row(item) : -1;
}

}  // namespace

AbundanceSettingsDialog::AbundanceSettingsDialog(ProcessingSession& session, ActionRunner run,
                                                 QWidget* parent)
    : QDialog(parent), model_(session), run_(std::move(run)) {
    setWindowTitle(QStringLiteral("Abundance Settings"));
    auto list = [this](const char* name) {
        auto* l = new QListWidget(this);
        l->setObjectName(QString::fromLatin1(name));
        return l;
    };
    auto button = [this](const char* text, const char* name) {
        auto* b = new QPushButton(QString::fromLatin1(text), this);
        b->setObjectName(QString::fromLatin1(name));
        b->setAutoDefault(false);
        return b;
    };
    classes_ = list("classes");
    available_ = list("available");
    selected_ = list("selected");
    abundance_ = new QLineEdit(this);
    abundance_->setObjectName(QStringLiteral("abundance"));
    total_ = new QLineEdit(this);
    total_->setObjectName(QStringLiteral("total"));
    total_->setReadOnly(true);
    note_ = new QLabel(this);
    note_->setObjectName(QStringLiteral("note"));
    note_->setWordWrap(true);
    QPushButton* add = button("", "add");
    add->setIcon(style()->standardIcon(QStyle::SP_ArrowDown));
    add->setToolTip(QStringLiteral("Select the highlighted available endmember"));
    QPushButton* remove = button("", "remove");
    remove->setIcon(style()->standardIcon(QStyle::SP_ArrowUp));
    remove->setToolTip(QStringLiteral("Return the highlighted selected endmember"));
    QPushButton* save = button("Save", "save");
    QPushButton* complement = button("Complement", "complement");
    auto* buttons = new QDialogButtonBox(QDialogButtonBox::Ok | QDialogButtonBox::Cancel, this);
    buttons->button(QDialogButtonBox::Ok)->setObjectName(QStringLiteral("ok"));
    buttons->button(QDialogButtonBox::Cancel)->setObjectName(QStringLiteral("cancel"));

    auto* moves = new QHBoxLayout;
    moves->addStretch();
    moves->addWidget(add);
    moves->addWidget(remove);
    moves->addStretch();
    auto* edit_buttons = new QHBoxLayout;
    edit_buttons->addWidget(save);
    edit_buttons->addWidget(complement);

    auto* grid = new QGridLayout(this);
    grid->addWidget(new QLabel(QStringLiteral("Classes (excl endmembers)"), this), 0, 0);
    grid->addWidget(classes_, 1, 0, 4, 1);
    grid->addWidget(new QLabel(QStringLiteral("Available \nendmembers"), this), 0, 1);
    grid->addWidget(available_, 1, 1);
    grid->addLayout(moves, 2, 1);
    grid->addWidget(new QLabel(QStringLiteral("Selected \nendmembers"), this), 3, 1);
    grid->addWidget(selected_, 4, 1);
    grid->addWidget(new QLabel(QStringLiteral("Abundance of\nselected endmember"), this), 0, 2);
    grid->addWidget(abundance_, 1, 2, Qt::AlignTop);
    grid->addLayout(edit_buttons, 2, 2);
    grid->addWidget(new QLabel(QStringLiteral("Total abundance"), this), 3, 2, Qt::AlignBottom);
    grid->addWidget(total_, 4, 2, Qt::AlignTop);
    grid->addWidget(note_, 5, 0, 1, 3);
    grid->addWidget(buttons, 6, 0, 1, 3);

    connect(classes_, &QListWidget::itemSelectionChanged, this,
            &AbundanceSettingsDialog::ClassChanged);
    connect(selected_, &QListWidget::itemSelectionChanged, this,
            &AbundanceSettingsDialog::EndmemberChanged);
    connect(abundance_, &QLineEdit::textEdited, this, [this](const QString& text) {
        model_.SetAbundanceText(text.toStdString());
        note_->setText(QString::fromStdString(model_.Note()));
    });
    connect(add, &QPushButton::clicked, this, &AbundanceSettingsDialog::Add);
    connect(remove, &QPushButton::clicked, this, &AbundanceSettingsDialog::Remove);
    connect(save, &QPushButton::clicked, this, &AbundanceSettingsDialog::Save);
    connect(complement, &QPushButton::clicked, this, &AbundanceSettingsDialog::Complement);
    connect(buttons, &QDialogButtonBox::accepted, this, &AbundanceSettingsDialog::accept);
    connect(buttons, &QDialogButtonBox::rejected, this, &AbundanceSettingsDialog::reject);
}

void AbundanceSettingsDialog::Open() {
    run_([&] { model_.Show(); });
    {
        const QSignalBlocker block(classes_);
        MirrorSpeciesList(classes_, model_.Classes());
    }
    MirrorEndmembers();
    MirrorFields();
    show();
    raise();
    activateWindow();
}

void AbundanceSettingsDialog::MirrorEndmembers() {
    const QSignalBlocker b1(available_), b2(selected_);
    MirrorSpeciesList(available_, model_.Available());
    MirrorSpeciesList(selected_, model_.Selected());
}

void AbundanceSettingsDialog::MirrorFields() {
    abundance_->setText(QString::fromStdString(model_.AbundanceText()));
    total_->setText(QString::fromStdString(model_.TotalText()));
    note_->setText(QString::fromStdString(model_.Note()));
}

void AbundanceSettingsDialog::ClassChanged() {
    const int row = SelectedRow(classes_);
    bool chosen = false;
    run_([&] { chosen = model_.SelectClass(row); });
    if (!chosen) return;
    MirrorEndmembers();
    MirrorFields();
}

void AbundanceSettingsDialog::EndmemberChanged() {
    const int row = SelectedRow(selected_);
    if (row < 0) return;
    run_([&] { model_.SelectEndmember(row); });
    MirrorFields();
}

void AbundanceSettingsDialog::Add() {
    const int row = SelectedRow(available_);
    bool added = false;
    run_([&] { added = model_.Add(row); });
    if (!added) return;
    MirrorEndmembers();
    MirrorFields();
}

void AbundanceSettingsDialog::Remove() {
    const int row = SelectedRow(selected_);
    bool removed = false;
    run_([&] { removed = model_.Remove(row); });
    if (!removed) return;
    MirrorEndmembers();
    MirrorFields();
}

void AbundanceSettingsDialog::Save() {
    const int row = SelectedRow(selected_);
    model_.SetAbundanceText(abundance_->text().toStdString());
    run_([&] { model_.Save(row); });
    total_->setText(QString::fromStdString(model_.TotalText()));
    note_->setText(QString::fromStdString(model_.Note()));
}

void AbundanceSettingsDialog::accept() {
    const int row = SelectedRow(selected_);
    if (!run_([&] { model_.Ok(row); })) {
        // A mixture another session changed shows its newer values.
        MirrorEndmembers();
        MirrorFields();
        return;
    }
    QDialog::accept();
}

void AbundanceSettingsDialog::reject() {
    model_.Cancel();
    QDialog::reject();
}

void AbundanceSettingsDialog::Complement() {
    model_.Complement();
    abundance_->setText(QString::fromStdString(model_.AbundanceText()));
    note_->setText(QString::fromStdString(model_.Note()));
}

}  // namespace orvane
