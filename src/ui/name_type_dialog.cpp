// SPDX-License-Identifier: GPL-3.0-or-later
#include "ui/name_type_dialog.h"

#include <QButtonGroup>
#include <QDialogButtonBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QRadioButton>
#include <QSpinBox>
#include <QVBoxLayout>

namespace orvane {

NameTypeDialog::NameTypeDialog(QWidget* parent, bool validation) : QDialog(parent) {
    setWindowTitle(QStringLiteral("Discriminant Analysis"));
    setModal(true);
    auto* layout = new QVBoxLayout(this);
    layout->addWidget(new QLabel(QStringLiteral("Select name type:"), this));
    group_ = new QButtonGroup(this);
    for (const auto& c : kNameTypes) {
        auto* button = new QRadioButton(QString::fromUtf8(c.label), this);
        group_->addButton(button, c.value);
        layout->addWidget(button);
    }
    group_->button(kFolderName)->setChecked(true);
    if (validation) {
        layout->addWidget(new QLabel(QStringLiteral("Validation:"), this));
        validation_ = new QButtonGroup(this);
        const char* texts[] = {"Resubstitution (the spectra the statistics came from)",
                               "Leave-one-out", "k-fold, class-wise (i-th spectrum in fold i mod K)"};
        for (int id = 0; id < 3; ++id) {
            auto* button = new QRadioButton(QString::fromLatin1(texts[id]), this);
            validation_->addButton(button, id);
            layout->addWidget(button);
        }
        validation_->button(0)->setChecked(true);
        auto* row = new QHBoxLayout;
        row->addSpacing(24);
        row->addWidget(new QLabel(QStringLiteral("K:"), this));
        folds_ = new QSpinBox(this);
        folds_->setRange(2, 1000);
        folds_->setSuffix(QStringLiteral(" folds"));
        folds_->setValue(kDefaultFolds);
        folds_->setEnabled(false);
        row->addWidget(folds_);
        row->addStretch();
        layout->addLayout(row);
        connect(validation_, &QButtonGroup::idToggled, this,
                [this](int id, bool on) { if (id == 2) folds_->setEnabled(on); });
    }
    auto* buttons = new QDialogButtonBox(QDialogButtonBox::Ok | QDialogButtonBox::Cancel, this);
    layout->addWidget(buttons);
    connect(buttons, &QDialogButtonBox::accepted, this, &QDialog::accept);
    connect(buttons, &QDialogButtonBox::rejected, this, &QDialog::reject);
}

int NameTypeDialog::NameType() const { return group_->checkedId(); }

Validation NameTypeDialog::Chosen() const {
    Validation v;
    if (!validation_) return v;
    v.kind = static_cast<Validation::Kind>(validation_->checkedId());
    v.folds = folds_->value();
    return v;
}

}  // namespace orvane
