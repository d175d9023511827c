// SPDX-License-Identifier: GPL-3.0-or-later
#include "ui/endmember_selection_dialog.h"

#include <QDialogButtonBox>
#include <QGridLayout>
#include <QLabel>
#include <QListWidget>
#include <QPushButton>
#include <QStyle>
#include <QVBoxLayout>

namespace orvane {

void MirrorSpeciesList(QListWidget* widget, const SpeciesListBox& list) {
    widget->clear();
    for (const FormItem& item : list.Items()) {
        auto* entry = new QListWidgetItem(QString::fromStdString(item.text), widget);
        entry->setData(Qt::UserRole, item.data);
    }
}

namespace {

// The row of the selected entry; -1 when none is selected.
int SelectedRow(const QListWidget* list) {
    const QListWidgetItem* item = list->currentItem();
    return item && item->isSelected() ? list->row(item) : -1;
}

}  // namespace

EndmemberSelectionDialog::EndmemberSelectionDialog(ProcessingSession& session, ActionRunner run,
                                                   QWidget* parent)
    : QDialog(parent), model_(session), run_(std::move(run)) {
    setWindowTitle(QStringLiteral("Endmember Selection"));
    classes_ = new QListWidget(this);
    classes_->setObjectName(QStringLiteral("classes"));
    endmembers_ = new QListWidget(this);
    endmembers_->setObjectName(QStringLiteral("endmembers"));
    auto* right = new QPushButton(style()->standardIcon(QStyle::SP_ArrowRight), QString(), this);
    right->setObjectName(QStringLiteral("toEndmembers"));
    right->setToolTip(QStringLiteral("Make the selected class an endmember"));
    auto* left = new QPushButton(style()->standardIcon(QStyle::SP_ArrowLeft), QString(), this);
    left->setObjectName(QStringLiteral("toClasses"));
    left->setToolTip(QStringLiteral("Return the selected endmember to the classes"));
    auto* buttons = new QDialogButtonBox(QDialogButtonBox::Ok | QDialogButtonBox::Cancel, this);
    buttons->setObjectName(QStringLiteral("buttons"));
    buttons->button(QDialogButtonBox::Ok)->setObjectName(QStringLiteral("ok"));

    auto* moves = new QVBoxLayout;
    moves->addStretch();
    moves->addWidget(right);
    moves->addWidget(left);
    moves->addStretch();
    auto* grid = new QGridLayout(this);
    grid->addWidget(new QLabel(QStringLiteral("Classes"), this), 0, 0);
    grid->addWidget(new QLabel(QStringLiteral("Endmembers"), this), 0, 2);
    grid->addWidget(classes_, 1, 0);
    grid->addLayout(moves, 1, 1);
    grid->addWidget(endmembers_, 1, 2);
    grid->addWidget(buttons, 2, 0, 1, 3);

    connect(right, &QPushButton::clicked, this, &EndmemberSelectionDialog::ToEndmembers);
    connect(left, &QPushButton::clicked, this, &EndmemberSelectionDialog::ToClasses);
    connect(buttons, &QDialogButtonBox::accepted, this, &QDialog::accept);
    connect(buttons, &QDialogButtonBox::rejected, this, &QDialog::reject);
}

void EndmemberSelectionDialog::reject() {
    // The moves are stored as they are made; Cancel (and Escape) stores the flags back.
    run_([&] { model_.Revert(); });
    QDialog::reject();
}

void EndmemberSelectionDialog::Open() {
    run_([&] { model_.Show(); });
    Mirror();
    show();
    raise();
    activateWindow();
}

void EndmemberSelectionDialog::Mirror() {
    MirrorSpeciesList(classes_, model_.Classes());
    MirrorSpeciesList(endmembers_, model_.Endmembers());
}

void EndmemberSelectionDialog::ToEndmembers() {
    const int row = SelectedRow(classes_);
    bool moved = false;
    run_([&] { moved = model_.ToEndmembers(row); });
    if (moved) Mirror();
}

void EndmemberSelectionDialog::ToClasses() {
    const int row = SelectedRow(endmembers_);
    bool moved = false;
    run_([&] { moved = model_.ToClasses(row); });
    if (moved) Mirror();
}

}  // namespace orvane
