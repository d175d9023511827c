// SPDX-License-Identifier: GPL-3.0-or-later
#include "ui/filter_details_dialog.h"

#include <QDialogButtonBox>
#include <QFormLayout>
#include <QSignalBlocker>
#include <QSpinBox>
#include <memory>

#include "chain/filter_details.h"
#include "chain/processing_session.h"

namespace orvane {

FilterDetailsDialog::FilterDetailsDialog(ProcessingSession& session, ActionRunner run,
                                         WorkPoster post, QWidget* parent)
    : QDialog(parent), session_(session), run_(std::move(run)), post_(std::move(post)) {
    size_ = new QSpinBox(this);
    size_->setObjectName(QStringLiteral("filterSize"));
    order_ = new QSpinBox(this);
    order_->setObjectName(QStringLiteral("polynomialOrder"));
    auto* buttons = new QDialogButtonBox(QDialogButtonBox::Ok | QDialogButtonBox::Cancel, this);
    auto* layout = new QFormLayout(this);
    layout->addRow(QStringLiteral("Filter size"), size_);
    layout->addRow(QStringLiteral("Polynomial order"), order_);
    layout->addRow(buttons);
    connect(buttons, &QDialogButtonBox::accepted, this, &FilterDetailsDialog::accept);
    connect(buttons, &QDialogButtonBox::rejected, this, &QDialog::reject);
    connect(order_, &QSpinBox::valueChanged, this, [this] { ApplyRanges(); });
}

void FilterDetailsDialog::Open(Target target) {
    auto current = std::make_shared<FilterDetailValues>();
    ProcessingSession& session = session_;
    post_(
        [&session, target, current] {
            *current = target == Target::kSmoothing ? CurrentSmoothingDetails(session)
                                                    : CurrentDerivativeDetails(session);
        },
        [this, target, current] { Show(target, *current); });
}

void FilterDetailsDialog::Show(Target target, const FilterDetailValues& current) {
    target_ = target;
    derivative_order_ = current.derivative_order;
    const int size = current.size;
    const int order = current.order;
    setWindowTitle(target == Target::kSmoothing ? QStringLiteral("Smoothing Filter Details")
                                                : QStringLiteral("Derivative Filter Details"));
    {
        const QSignalBlocker block(order_);
        const FilterDetailRanges r = Ranges(order);
        order_->setRange(r.min_order, r.max_order);
        order_->setValue(order);
    }
    // Smoothing runs on the 1-nm grid, so its window spans as many nm as it has points; the
    // derivative runs on the sensor's bands, whatever their spacing.
    if (target == Target::kSmoothing) {
        size_->setSuffix(QStringLiteral(" nm"));
        size_->setToolTip(QStringLiteral(
            "The width of the smoothing window: points of the 1-nm grid, so nanometres."));
    } else {
        size_->setSuffix(QStringLiteral(" bands"));
        size_->setToolTip(QStringLiteral(
            "The width of the derivative's window in bands of the current sensor."));
    }
    size_->setRange(0, 1000);
    size_->setValue(size);
    ApplyRanges();
    show();
    raise();
    activateWindow();
}

FilterDetailRanges FilterDetailsDialog::Ranges(int order) const {
    return target_ == Target::kSmoothing ? SmoothingDetailRanges(order)
                                         : DerivativeDetailRanges(order, derivative_order_);
}

void FilterDetailsDialog::ApplyRanges() {
    const FilterDetailRanges r = Ranges(order_->value());
    size_->setSingleStep(r.size_step);
    // A size below the new minimum is raised to it; QSpinBox clamps on its own.
    size_->setRange(r.min_size, r.max_size);
}

void FilterDetailsDialog::accept() {
    const int size = size_->value();
    const int order = order_->value();
    const bool done = run_([&] {
        if (target_ == Target::kSmoothing)
            ApplySmoothingDetails(session_, size, order);
        else
            ApplyDerivativeDetails(session_, size, order);
    });
    if (done) QDialog::accept();
}

}  // namespace orvane
