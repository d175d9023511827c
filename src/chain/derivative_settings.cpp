// SPDX-License-Identifier: GPL-3.0-or-later
#include "chain/derivative_settings.h"

#include "base/orvane_error.h"
#include "chain/processing_session.h"
#include "chain/savitzky_golay.h"
#include "chain/savitzky_golay_filter.h"
#include "chain/smoothing_filter.h"
#include "store/chain_settings_repository.h"

namespace orvane {

DerivativeSettings::DerivativeSettings(ProcessingSession& session, int derivative_id)
    : session_(session), id_(derivative_id) {
    if (const auto stored = ChainSettingsRepository(session.Db()).Derivative(derivative_id)) {
        polynomial_order_ = stored->polynomial_order;
        size_ = stored->size;
        order_ = stored->order;
        method_ = stored->method;
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
    ChainSettingsRepository(session_.Db()).UpdateDerivativeMethod(id_, method);
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
    ChainSettingsRepository(session_.Db()).UpdateDerivativeWindow(id_, polynomial_order, size);
}

}  // namespace orvane
