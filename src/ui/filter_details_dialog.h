// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QDialog>

#include "chain/filter_details.h"
#include "ui/qt_frontend.h"

class QSpinBox;

namespace orvane {

class ProcessingSession;

// "Smoothing Filter Details" / "Derivative Filter Details": the Savitzky-Golay window of the
// smoothing filter or of the current derivative order, kept within the ranges the filter
// allows while the user steps through them.
class FilterDetailsDialog : public QDialog {
    Q_OBJECT

  public:
    enum class Target { kSmoothing, kDerivative };

    FilterDetailsDialog(ProcessingSession& session, ActionRunner run, WorkPoster post,
                        QWidget* parent);

    // Queues reading the current values of the target, then shows the dialog with them.
    void Open(Target target);
    void accept() override;

    QSpinBox* SizeField() const { return size_; }
    QSpinBox* OrderField() const { return order_; }

  private:
    void Show(Target target, const FilterDetailValues& current);
    FilterDetailRanges Ranges(int order) const;
    void ApplyRanges();

    ProcessingSession& session_;
    ActionRunner run_;
    WorkPoster post_;
    Target target_ = Target::kSmoothing;
    int derivative_order_ = 0;
    QSpinBox* size_;
    QSpinBox* order_;
};

}  // namespace orvane
