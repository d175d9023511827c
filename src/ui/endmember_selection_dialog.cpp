// SPDX-License-Identifier: GPL-3.0-or-later
#include "ui/endmember_selection_dialog.h"

#include <QDialogButtonBox>
#include <QGridLayout>
#include <QGroupBox>
#include <QLabel>
#include <QListWidget>
#include <QPushButton>
#include <QSettings>
#include <QSignalBlocker>
#include <QStyle>
#include <QVBoxLayout>
#include <memory>

namespace orvane {

void MirrorSpeciesList(QListWidget* widget, const SpeciesListBox& list) {
    widget->clear();
    for (const FormItem& item : list.Items()) {
        auto* entry = new QListWidgetItem(QString::fromStdString(item.text), widget);
        entry->setData(Qt::UserRole, item.data);
    }
}

namespace {

// The window's settings key of the elements Unmix uses.
const QString kElementsKey = QStringLiteral("unmixing/elements");

// The row of the selected entry; -1 when none is selected.
int SelectedRow(const QListWidget* list) {
    const QListWidgetItem* item = list->currentItem();
    return item && item->isSelected() ? list->row(item) : -1;
}

}  // namespace

EndmemberSelectionDialog::EndmemberSelectionDialog(ProcessingSession& session, WorkPoster post,
                                                   QWidget* parent)
    : QDialog(parent), model_(session), post_(std::move(post)) {
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

    auto* elements_box = new QGroupBox(QStringLiteral("Sensor elements used for unmixing"), this);
    elements_ = new QListWidget(elements_box);
    elements_->setObjectName(QStringLiteral("elements"));
    elements_->setFlow(QListView::LeftToRight);
    elements_->setWrapping(true);
    elements_->setResizeMode(QListView::Adjust);
    elements_->setMaximumHeight(fontMetrics().height() * 5);
    elements_note_ = new QLabel(elements_box);
    elements_note_->setObjectName(QStringLiteral("elementsNote"));
    elements_note_->setWordWrap(true);
    auto* defaults = new QPushButton(QStringLiteral("Default (1, 2, 3, 6)"), elements_box);
    defaults->setObjectName(QStringLiteral("defaultElements"));
    defaults->setAutoDefault(false);
    auto* elements_layout = new QGridLayout(elements_box);
    elements_layout->addWidget(elements_, 0, 0, 1, 2);
    elements_layout->addWidget(elements_note_, 1, 0);
    elements_layout->addWidget(defaults, 1, 1, Qt::AlignRight | Qt::AlignTop);
    {
        const QSettings settings = OrvaneSettings();
        const QString kept = settings.value(kElementsKey).toString();
        if (!kept.isEmpty()) model_.SetElementsText(kept.toStdString());
    }

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
    grid->addWidget(elements_box, 2, 0, 1, 3);
    grid->addWidget(buttons, 3, 0, 1, 3);

    connect(right, &QPushButton::clicked, this, &EndmemberSelectionDialog::ToEndmembers);
    connect(left, &QPushButton::clicked, this, &EndmemberSelectionDialog::ToClasses);
    connect(elements_, &QListWidget::itemChanged, this, &EndmemberSelectionDialog::ElementToggled);
    connect(defaults, &QPushButton::clicked, this, &EndmemberSelectionDialog::DefaultElements);
    connect(buttons, &QDialogButtonBox::accepted, this, &QDialog::accept);
    connect(buttons, &QDialogButtonBox::rejected, this, &QDialog::reject);
    wait_.widgets = {classes_, endmembers_, right, left, elements_, defaults,
               buttons->button(QDialogButtonBox::Ok)};
}

void EndmemberSelectionDialog::Queue(std::function<void()> work, std::function<void()> shown) {
    wait_.Queue(post_, std::move(work), std::move(shown));
}

void EndmemberSelectionDialog::reject() {
    // The moves are stored as they are made; Cancel (and Escape) stores the flags back, behind
    // the moves still queued. Lists that were never read have nothing to store back.
    if (read_ && !post_([this] { model_.Revert(); }, {})) return;  // busy: the dialog stays
    read_ = false;
    QDialog::reject();
}

void EndmemberSelectionDialog::Open() {
    {
        const QSignalBlocker b1(classes_), b2(endmembers_);
        classes_->clear();
        endmembers_->clear();
    }
    read_ = false;
    show();
    raise();
    activateWindow();
    classes_->setFocus();
    Queue([this] { model_.Show(); },
          [this] {
              read_ = true;
              Mirror();
          });
}

void EndmemberSelectionDialog::Mirror() {
    MirrorSpeciesList(classes_, model_.Classes());
    MirrorSpeciesList(endmembers_, model_.Endmembers());
    MirrorElements();
}

void EndmemberSelectionDialog::MirrorElements() {
    const QSignalBlocker block(elements_);
    elements_->clear();
    for (const ElementChoice& c : model_.ElementChoices()) {
        auto* item = new QListWidgetItem(QString::fromStdString(c.text), elements_);
        item->setData(Qt::UserRole, c.number);
        item->setFlags(Qt::ItemIsEnabled | Qt::ItemIsUserCheckable);
        item->setCheckState(c.chosen ? Qt::Checked : Qt::Unchecked);
    }
    elements_note_->setText(QString::fromStdString(model_.ElementsNote()));
}

void EndmemberSelectionDialog::ElementToggled(QListWidgetItem* item) {
    model_.SetElementChosen(item->data(Qt::UserRole).toInt(), item->checkState() == Qt::Checked);
    KeepElements();
    // A refused change (the last element taken out) shows as it stays.
    MirrorElements();
}

void EndmemberSelectionDialog::DefaultElements() {
    model_.DefaultElements();
    KeepElements();
    MirrorElements();
}

void EndmemberSelectionDialog::KeepElements() {
    // Written when changed, so that a choice outlives a crash of the window.
    QSettings settings = OrvaneSettings();
    settings.setValue(kElementsKey, QString::fromStdString(model_.ElementsText()));
}

void EndmemberSelectionDialog::ToEndmembers() {
    const int row = SelectedRow(classes_);
    if (row < 0) return;
    auto moved = std::make_shared<bool>(false);
    Queue([this, row, moved] { *moved = model_.ToEndmembers(row); },
          [this, moved] {
              if (*moved) Mirror();
          });
}

void EndmemberSelectionDialog::ToClasses() {
    const int row = SelectedRow(endmembers_);
    if (row < 0) return;
    auto moved = std::make_shared<bool>(false);
    Queue([this, row, moved] { *moved = model_.ToClasses(row); },
          [this, moved] {
              if (*moved) Mirror();
          });
}

}  // namespace orvane
