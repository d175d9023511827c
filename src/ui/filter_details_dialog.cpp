// SPDX-License-Identifier: GPL-3.0-or-later
#include "ui/filter_details_dialog.h"

#include <QDialogButtonBox>
#include <QFormLayout>
#include <QPushButton>
#include <QSignalBlocker>
#include <QSpinBox>
#include <memory>

#include "chain/filter_details.h"
#include "chain/processing_session.h"

namespace orvane {

FilterDetailsDialog::FilterDetailsDialog(ProcessingSession& session, WorkPoster post,
                                         QWidget* parent)
    : QDialog(parent), session_(session), post_(std::move(post)) {
    size_ = new QSpinBox(this);
    size_->setObjectName(QStringLiteral("filterSize"));
    order_ = new QSpinBox(this);
    order_->setObjectName(QStringLiteral("polynomialOrder"));
    auto* buttons = new QDialogButtonBox(QDialogButtonBox::Ok | QDialogButtonBox::Cancel, this);
    ok_ = buttons->button(QDialogButtonBox::Ok);
    auto* layout = new QFormLayout(this);
    layout->addRow(QStringLiteral("Filter size"), size_);
    layout->addRow(QStringLiteral("Polynomial order"), order_);
    layout->addRow(buttons);
    connect(buttons, &QDialogButtonBox::accepted, this, &FilterDetailsDialog::accept);
    connect(buttons, &QDialogButtonBox::rejected, this, &QDialog::reject);
    connect(order_, &QSpinBox::valueChanged, this, [this] { ApplyRanges(); });
}

void FilterDetailsDialog::SetInputsEnabled(bool on) {
    size_->setEnabled(on);
    order_->setEnabled(on);
    ok_->setEnabled(on);
}

void FilterDetailsDialog::Open(Target target) {
    setWindowTitle(target == Target::kSmoothing ? QStringLiteral("Smoothing Filter Details")
                                                : QStringLiteral("Derivative Filter Details"));
    show();
    raise();
    activateWindow();
    ++waiting_;
    SetInputsEnabled(false);
    auto current = std::make_shared<FilterDetailValues>();
    auto read = std::make_shared<bool>(false);
    ProcessingSession& session = session_;
    const auto after = [this, read] {
        if (--waiting_ == 0) SetInputsEnabled(true);
        // Without the stored values OK would store whatever the fields held; the failure was
        // shown.
        if (!*read && waiting_ == 0) QDialog::reject();
    };
    const bool posted = PostThen(
        post_,
        [&session, target, current] {
            *current = target == Target::kSmoothing ? CurrentSmoothingDetails(session)
                                                    : CurrentDerivativeDetails(session);
        },
        [this, target, current, read] {
            *read = true;
            target_ = target;
            Show(*current);
        },
        after);
    if (!posted) after();
}

void FilterDetailsDialog::Show(const FilterDetailValues& current) {
    derivative_order_ = current.derivative_order;
    const int size = current.size;
    const int order = current.order;
    {
        const QSignalBlocker block(order_);
        const FilterDetailRanges r = Ranges(order);
        order_->setRange(r.min_order, r.max_order);
        order_->setValue(order);
    }
    // Smoothing runs on the 1-nm grid, so its window spans as many nm as it has points; the
    // derivative runs on the sensor's bands, whatever their spacing.
    if (target_ == Target::kSmoothing) {
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
    if (waiting_ > 0) return;
    const int size = size_->value();
    const int order = order_->value();
    const Target target = target_;
    ProcessingSession& session = session_;
    ++waiting_;
    SetInputsEnabled(false);
    const auto after = [this] {
        if (--waiting_ == 0) SetInputsEnabled(true);
    };
    const bool posted = PostThen(
        post_,
        [&session, target, size, order] {
            if (target == Target::kSmoothing)
                ApplySmoothingDetails(session, size, order);
            else
                ApplyDerivativeDetails(session, size, order);
        },
        [this] { QDialog::accept(); }, after);
    if (!posted) after();
}

}  // namespace orvane
