#pragma once

#include <QDialog>

class QSpinBox;

namespace orvane {

// "Filter band definition": the lower and upper wavelength of one excluded range. It checks
// nothing; a range whose bounds are reversed simply excludes nothing.
class FilterBandDialog : public QDialog {
    Q_OBJECT

  public:
    explicit FilterBandDialog(QWidget* parent);

    void SetValues(int lower, int upper);
    int Lower() const;
    int Upper() const;
    QSpinBox* LowerField() const { return lower_; }
    QSpinBox* UpperField() const { return upper_; }

  private:
    QSpinBox* lower_;
    QSpinBox* upper_;
};

}  // namespace orvane
