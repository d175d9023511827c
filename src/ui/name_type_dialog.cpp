// SPDX-License-Identifier: GPL-3.0-or-later
#include "ui/name_type_dialog.h"

#include <QButtonGroup>
#include <QDialogButtonBox>
#include <QLabel>
#include <QRadioButton>
#include <QVBoxLayout>

namespace orvane {

NameTypeDialog::NameTypeDialog(QWidget* parent) : QDialog(parent) {
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
    auto* buttons = new QDialogButtonBox(QDialogButtonBox::Ok | QDialogButtonBox::Cancel, this);
    layout->addWidget(buttons);
    connect(buttons, &QDialogButtonBox::accepted, this, &QDialog::accept);
    connect(buttons, &QDialogButtonBox::rejected, this, &QDialog::reject);
}

int NameTypeDialog::NameType() const { return group_->checkedId(); }

}  // namespace orvane
