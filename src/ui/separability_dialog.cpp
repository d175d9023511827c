// SPDX-License-Identifier: GPL-3.0-or-later
#include "ui/separability_dialog.h"

#include <QButtonGroup>
#include <QDialogButtonBox>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QRadioButton>
#include <QVBoxLayout>
#include <string>
#include <vector>

#include "spectra/species_names.h"

namespace orvane {

namespace {

QButtonGroup* RadioGroup(QDialog* dialog, QBoxLayout* row, const char* title,
                         const std::vector<std::string>& labels, int checked) {
    auto* box = new QGroupBox(QString::fromLatin1(title), dialog);
    auto* layout = new QVBoxLayout(box);
    auto* group = new QButtonGroup(dialog);
    int id = 0;
    for (const std::string& text : labels) {
        auto* button = new QRadioButton(QString::fromStdString(text), box);
        group->addButton(button, id++);
        layout->addWidget(button);
    }
    layout->addStretch();
    group->button(checked)->setChecked(true);
    row->addWidget(box);
    return group;
}

}  // namespace

SeparabilityDialog::SeparabilityDialog(QWidget* parent) : QDialog(parent) {
    setWindowTitle(QStringLiteral("JM/B Distance"));
    setModal(true);
    const SeparabilitySettings defaults;
    auto* layout = new QVBoxLayout(this);
    auto* row = new QHBoxLayout();
    layout->addLayout(row);
    names_ =
        RadioGroup(this, row, "Names", kNameTypes.Labels(), defaults.name_type);
    distances_ = RadioGroup(this, row, "Distance Type", kDistances.Labels(), defaults.distance);
    auto* buttons = new QDialogButtonBox(QDialogButtonBox::Ok | QDialogButtonBox::Cancel, this);
    layout->addWidget(buttons);
    connect(buttons, &QDialogButtonBox::accepted, this, &QDialog::accept);
    connect(buttons, &QDialogButtonBox::rejected, this, &QDialog::reject);
}

SeparabilitySettings SeparabilityDialog::Settings() const {
    SeparabilitySettings s;
    s.name_type = names_->checkedId();
    s.distance = distances_->checkedId();
    return s;
}

}  // namespace orvane
