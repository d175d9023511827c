#include "ui/waveband_definition_dialog.h"

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

WavebandDefinitionDialog::WavebandDefinitionDialog(QWidget* parent) : QDialog(parent) {
    setWindowTitle(QStringLiteral("Waveband Definition"));
    wavelength1_ = WavelengthField(this, "wavelength1");
    wavelength2_ = WavelengthField(this, "wavelength2");
    auto* buttons = new QDialogButtonBox(QDialogButtonBox::Ok | QDialogButtonBox::Cancel, this);
    auto* layout = new QFormLayout(this);
    layout->addRow(QStringLiteral("Wavelength 1"), wavelength1_);
    layout->addRow(QStringLiteral("Wavelength 2"), wavelength2_);
    layout->addRow(buttons);
    connect(buttons, &QDialogButtonBox::accepted, this, &QDialog::accept);
    connect(buttons, &QDialogButtonBox::rejected, this, &QDialog::reject);
}

void WavebandDefinitionDialog::SetValues(int wavelength1, int wavelength2) {
    wavelength1_->setValue(wavelength1);
    wavelength2_->setValue(wavelength2);
}

int WavebandDefinitionDialog::Wavelength1() const { return wavelength1_->value(); }
int WavebandDefinitionDialog::Wavelength2() const { return wavelength2_->value(); }

}  // namespace orvane
