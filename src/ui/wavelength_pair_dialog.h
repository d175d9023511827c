// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QDialog>
#include <QString>

#include "base/number_text.h"

class QPushButton;
class QSpinBox;

namespace orvane {

// Two whole wavelengths in nanometres: "Filter band definition" (the bounds of one excluded
// range) and "Waveband Definition" (one band range or band pair of a feature space). It checks
// nothing but that both are given; the models decide what the values mean.
class WavelengthPairDialog : public QDialog {
    Q_OBJECT

  public:
    WavelengthPairDialog(QWidget* parent, const QString& title, const QString& first_label,
                         const QString& second_label, int lowest = 0,
                         int highest = kMaxTypedWavelength);

    // Both open with the focus in the first field, its text selected, so that typing the
    // first value, Tab and the second fills them in order.
    void SetValues(int first, int second);
    // Empty fields: OK waits until both are typed.
    void Clear();
    int First() const;
    int Second() const;
    QSpinBox* FirstField() const { return first_; }
    QSpinBox* SecondField() const { return second_; }
    QPushButton* OkButton() const { return ok_; }

    void accept() override;

  private:
    void FocusFirst();
    void UpdateOk();

    QSpinBox* first_;
    QSpinBox* second_;
    QPushButton* ok_;
};

}  // namespace orvane
