#pragma once

#include <QDialog>

class QSpinBox;

namespace orvane {

// "Waveband Definition": the two wavelengths of one band range (DI) or band pair (NTBI).
class WavebandDefinitionDialog : public QDialog {
    Q_OBJECT

  public:
    explicit WavebandDefinitionDialog(QWidget* parent);

    void SetValues(int wavelength1, int wavelength2);
    int Wavelength1() const;
    int Wavelength2() const;
    QSpinBox* Wavelength1Field() const { return wavelength1_; }
    QSpinBox* Wavelength2Field() const { return wavelength2_; }

  private:
    QSpinBox* wavelength1_;
    QSpinBox* wavelength2_;
};

}  // namespace orvane
