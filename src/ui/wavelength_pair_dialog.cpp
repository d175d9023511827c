// SPDX-License-Identifier: GPL-3.0-or-later
#include "ui/wavelength_pair_dialog.h"

#include <QDialogButtonBox>
#include <QFormLayout>
#include <QLineEdit>
#include <QPushButton>
#include <QSpinBox>

namespace orvane {

namespace {
QSpinBox* WavelengthField(QWidget* parent, const char* name, int lowest, int highest) {
    auto* field = new QSpinBox(parent);
    field->setObjectName(QString::fromLatin1(name));
    field->setRange(lowest, highest);
    field->setSuffix(QStringLiteral(" nm"));
    return field;
}
}  // namespace

WavelengthPairDialog::WavelengthPairDialog(QWidget* parent, const QString& title,
                                           const QString& first_label, const QString& second_label,
                                           int lowest, int highest)
    : QDialog(parent) {
    setWindowTitle(title);
    first_ = WavelengthField(this, "firstWavelength", lowest, highest);
    second_ = WavelengthField(this, "secondWavelength", lowest, highest);
    auto* buttons = new QDialogButtonBox(QDialogButtonBox::Ok | QDialogButtonBox::Cancel, this);
    ok_ = buttons->button(QDialogButtonBox::Ok);
    ok_->setObjectName(QStringLiteral("ok"));
    auto* layout = new QFormLayout(this);
    layout->addRow(first_label, first_);
    layout->addRow(second_label, second_);
    layout->addRow(buttons);
    connect(buttons, &QDialogButtonBox::accepted, this, &WavelengthPairDialog::accept);
    connect(buttons, &QDialogButtonBox::rejected, this, &QDialog::reject);
    for (QSpinBox* field : {first_, second_})
        connect(field, &QSpinBox::textChanged, this, [this] { UpdateOk(); });
}

void WavelengthPairDialog::SetValues(int first, int second) {
    first_->setValue(first);
    second_->setValue(second);
    UpdateOk();
    FocusFirst();
}

void WavelengthPairDialog::Clear() {
    first_->clear();
    second_->clear();
    UpdateOk();
    FocusFirst();
}

void WavelengthPairDialog::FocusFirst() {
    // A dialog shown again gives the focus back to the field that had it last.
    first_->setFocus(Qt::OtherFocusReason);
    first_->selectAll();
}

void WavelengthPairDialog::UpdateOk() {
    const bool given = !first_->cleanText().isEmpty() && !second_->cleanText().isEmpty();
    ok_->setEnabled(given);
    ok_->setToolTip(given ? QString() : QStringLiteral("Type both wavelengths in nm."));
}

void WavelengthPairDialog::accept() {
    // Enter in a field ends its typing before OK reads the values.
    first_->interpretText();
    second_->interpretText();
    if (first_->cleanText().isEmpty() || second_->cleanText().isEmpty()) return;
    QDialog::accept();
}

int WavelengthPairDialog::First() const { return first_->value(); }
int WavelengthPairDialog::Second() const { return second_->value(); }

}  // namespace orvane
