// SPDX-License-Identifier: GPL-3.0-or-later
#include "ui/wavelength_pair_dialog.h"

#include <QDialogButtonBox>
#include <QFormLayout>
#include <QSpinBox>

#include "base/number_text.h"

namespace orvane {

namespace {
QSpinBox* WavelengthField(QWidget* parent) {
    auto* field = new QSpinBox(parent);
    field->setRange(0, kMaxTypedWavelength);
    return field;
}
}  // namespace

WavelengthPairDialog::WavelengthPairDialog(QWidget* parent, const QString& title,
                                           const QString& first_label, const QString& second_label)
    : QDialog(parent) {
    setWindowTitle(title);
    first_ = WavelengthField(this);
    second_ = WavelengthField(this);
    auto* buttons = new QDialogButtonBox(QDialogButtonBox::Ok | QDialogButtonBox::Cancel, this);
    auto* layout = new QFormLayout(this);
    layout->addRow(first_label, first_);
    layout->addRow(second_label, second_);
    layout->addRow(buttons);
    connect(buttons, &QDialogButtonBox::accepted, this, &QDialog::accept);
    connect(buttons, &QDialogButtonBox::rejected, this, &QDialog::reject);
}

void WavelengthPairDialog::SetValues(int first, int second) {
    first_->setValue(first);
    second_->setValue(second);
}

int WavelengthPairDialog::First() const { return first_->value(); }
int WavelengthPairDialog::Second() const { return second_->value(); }

}  // namespace orvane
