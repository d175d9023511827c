// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QDialog>
#include <QString>

class QSpinBox;

namespace orvane {

// Two whole wavelengths in nanometres: "Filter band definition" (the bounds of one excluded
// range) and "Waveband Definition" (one band range or band pair of a feature space). It checks
// nothing; the models decide what the values mean.
class WavelengthPairDialog : public QDialog {
    Q_OBJECT

  public:
    WavelengthPairDialog(QWidget* parent, const QString& title, const QString& first_label,
                         const QString& second_label);

    void SetValues(int first, int second);
    int First() const;
    int Second() const;
    QSpinBox* FirstField() const { return first_; }
    QSpinBox* SecondField() const { return second_; }

  private:
    QSpinBox* first_;
    QSpinBox* second_;
};

}  // namespace orvane
