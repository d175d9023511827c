#include "ui/filter_band_dialog.h"

#include <QDialogButtonBox>
#include <QFormLayout>
#include <QSpinBox>
#include <limits>

namespace orvane {

namespace {
QSpinBox* WavelengthField(QWidget* parent, const char* name) {
    auto* field = new QSpinBox(parent);
    field->setObjectName(QString::fromLatin1(name));
    field->setRange(std::numeric_limits<int>::min(), std::numeric_limits<int>::max());
    return field;
}
}  // namespace

FilterBandDialog::FilterBandDialog(QWidget* parent) : QDialog(parent) {
    setWindowTitle(QStringLiteral("Filter band definition"));
    lower_ = WavelengthField(this, "lowerWavelength");
    upper_ = WavelengthField(this, "upperWavelength");
    auto* buttons = new QDialogButtonBox(QDialogButtonBox::Ok | QDialogButtonBox::Cancel, this);
    auto* layout = new QFormLayout(this);
    layout->addRow(QStringLiteral("Lower wavelength"), lower_);
    layout->addRow(QStringLiteral("Upper wavelength"), upper_);
    layout->addRow(buttons);
    connect(buttons, &QDialogButtonBox::accepted, this, &QDialog::accept);
    connect(buttons, &QDialogButtonBox::rejected, this, &QDialog::reject);
}

void FilterBandDialog::SetValues(int lower, int upper) {
    lower_->setValue(lower);
    upper_->setValue(upper);
}

int FilterBandDialog::Lower() const { return lower_->value(); }
int FilterBandDialog::Upper() const { return upper_->value(); }

}  // namespace orvane
