// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QDialog>

#include "chain/filter_details.h"
#include "ui/qt_frontend.h"

class QPushButton;
class QSpinBox;

namespace orvane {

class ProcessingSession;

// "Smoothing Filter Details" / "Derivative Filter Details": the Savitzky-Golay window of the
// smoothing filter or of the current derivative order, kept within the ranges the filter
// allows while the user steps through them. The values are read and stored on the worker
// thread: the dialog shows at once and takes no input while that work waits; a refused OK
// keeps it open as typed.
class FilterDetailsDialog : public QDialog {
    Q_OBJECT

  public:
    enum class Target { kSmoothing, kDerivative };

    FilterDetailsDialog(ProcessingSession& session, WorkPoster post, QWidget* parent);

    // Shows the dialog and queues reading the current values of the target.
    void Open(Target target);
    void accept() override;
    // Whether work for the dialog waits (its inputs are disabled until it is done).
    bool Waiting() const { return waiting_ > 0; }

    QSpinBox* SizeField() const { return size_; }
    QSpinBox* OrderField() const { return order_; }
    QPushButton* OkButton() const { return ok_; }

  private:
    void Show(const FilterDetailValues& current);
    void SetInputsEnabled(bool on);
    FilterDetailRanges Ranges(int order) const;
    void ApplyRanges();

    ProcessingSession& session_;
    WorkPoster post_;
    int waiting_ = 0;
    Target target_ = Target::kSmoothing;
    int derivative_order_ = 0;
    QSpinBox* size_;
    QSpinBox* order_;
    QPushButton* ok_;
};

}  // namespace orvane
