// SPDX-License-Identifier: GPL-3.0-or-later
#include "chain/derivative_settings.h"

#include "base/orvane_error.h"
#include "chain/processing_session.h"
#include "chain/savitzky_golay.h"
#include "chain/savitzky_golay_filter.h"
#include "chain/smoothing_filter.h"
#include "store/database.h"

namespace orvane {

DerivativeSettings::DerivativeSettings(ProcessingSession& session, int derivative_id)
    : session_(session), id_(derivative_id) {
    ResultSet rows = session.Db().Query(
        Sql("select polynomial_order, filter_size, derivative_order, type from derivative d, "
            "derivative_calc_method dcm where derivative_id = %i and "
            "d.deriv_calc_method_id = dcm.deriv_calc_method_id",
            derivative_id));
    while (rows.Next()) {
        polynomial_order_ = rows.Int(0);
        size_ = rows.Int(1);
        order_ = rows.Int(2);
        method_ = rows.Int(3);
    }
    // The row a new study starts with carries method 2, which computes like the iterative one.
    if (method_ != kDerivativeSavGol) method_ = kDerivativeIterative;
    SetUp();
}

DerivativeSettings::~DerivativeSettings() = default;

void DerivativeSettings::SetUp() {
    excluded_.clear();
    if (method_ == kDerivativeIterative) {
        filter_.reset();
        auto widened = std::make_unique<WavebandFilter>();
        if (session_.SmoothingAdjustedFilter())
            widened->CopyFrom(*session_.SmoothingAdjustedFilter());
        if (session_.SensorMask()) widened->Widen(0, order_, *session_.SensorMask());
        widened_ = std::move(widened);
        session_.RegisterAdjustedFilter(FilterContext::kDerivative, widened_.get());
    } else {
        const int nr = size_ / 2;
        const int nl = size_ - 1 - nr;
        auto filter =
            std::make_unique<SavitzkyGolayFilter>(session_, nl, nr, polynomial_order_, order_);
        filter_ = std::move(filter);
        widened_.reset();
    }
}

void DerivativeSettings::Apply(const BandVector& synthesized, BandVector& derived) {
    if (method_ == kDerivativeSavGol && filter_) {
        filter_->Apply(synthesized, derived);
        return;
    }
    for (int k = synthesized.First(); k <= synthesized.Last(); ++k)
        derived.Set(k, synthesized.Value(k), synthesized.X(k));
    // The filter's verdicts depend only on the axis while these settings live, so they are
    // taken once per axis instead of for every spectrum.
    const int n = derived.Count();
    const bool same_axis = static_cast<int>(excluded_.size()) == n &&
                           axis_first_ == derived.First() &&
                           (n == 0 || (axis_x_front_ == derived.X(derived.First()) &&
                                       axis_x_back_ == derived.X(derived.Last())));
    if (!same_axis) {
        excluded_.assign(static_cast<size_t>(n), 0);
        for (int k = 0; k < n; ++k)
            excluded_[static_cast<size_t>(k)] =
                widened_ && widened_->Excludes(static_cast<int>(derived.X(derived.First() + k)));
        axis_first_ = derived.First();
        axis_x_front_ = n ? derived.X(derived.First()) : 0.0;
        axis_x_back_ = n ? derived.X(derived.Last()) : 0.0;
    }
    IterativeDerivative(derived, order_, excluded_.data());
}

void DerivativeSettings::SetMethod(int method) {
    if (method != kDerivativeIterative && method != kDerivativeSavGol)
        throw OrvaneError("Unknown derivative method " + std::to_string(method) + ".");
    const int previous = method_;
    method_ = method;
    try {
        SetUp();
    } catch (...) {
        method_ = previous;
        SetUp();
        throw;
    }
    session_.Db().Execute(
        Sql("UPDATE derivative set deriv_calc_method_id = (select deriv_calc_method_id from "
            "derivative_calc_method where type = %i), changed_at = CURRENT_TIMESTAMP(6) where "
            "derivative_id = %i",
            method, id_));
}

void DerivativeSettings::SetSizeAndOrder(int size, int polynomial_order) {
    if (polynomial_order < order_)
        throw OrvaneError("The polynomial order must be at least the derivative order.");
    // Validate on a scratch kernel first so that refused settings change nothing.
    SavitzkyGolayKernel::ForDerivative(size, polynomial_order, order_);
    size_ = size;
    polynomial_order_ = polynomial_order;
    if (filter_) {
        const int nr = size / 2;
        filter_->SetWindow(size - 1 - nr, nr, polynomial_order, order_);
    }
    session_.Db().Execute(
        Sql("UPDATE derivative set polynomial_order = %i, filter_size = %i, "
            "changed_at = CURRENT_TIMESTAMP(6) where derivative_id = %i",
            polynomial_order, size, id_));
}

}  // namespace orvane
