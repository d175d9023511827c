// SPDX-License-Identifier: GPL-3.0-or-later
#include "chain/savitzky_golay_filter.h"

#include "base/orvane_error.h"
#include "chain/processing_session.h"
#include "chain/savitzky_golay.h"
#include "store/chain_settings_repository.h"

namespace orvane {

SavitzkyGolayFilter::SavitzkyGolayFilter(ProcessingSession& session, Database& db, int filter_id)
    : SmoothingFilter(session, 1, filter_id, FilterContext::kSmoothing) {
    const std::optional<StoredSmoothing> stored = ChainSettingsRepository(db).Smoothing(filter_id);
    if (!stored)
        throw OrvaneError("There is no smoothing filter with id " + std::to_string(filter_id) +
                          ".");
    type_ = stored->type;
    SetSize(stored->size, stored->polynomial_order, 0);
}

SavitzkyGolayFilter::SavitzkyGolayFilter(ProcessingSession& session, int nl, int nr, int order,
                                         int derivative)
    : SmoothingFilter(session, 1, 0, FilterContext::kDerivative) {
    SetWindow(nl, nr, order, derivative);
}

SavitzkyGolayFilter::~SavitzkyGolayFilter() = default;

void SavitzkyGolayFilter::SetSize(int size, int order, int derivative) {
    if (size < 1) throw OrvaneError("The filter size must be at least 1.");
    SetWindow((size - 1) / 2, (size - 1) / 2, order, derivative);
}

void SavitzkyGolayFilter::SetWindow(int nl, int nr, int order, int derivative) {
    // Build the new kernel first, so that refused settings leave the filter as it was.
    auto kernel = std::make_unique<SavitzkyGolayKernel>(
        nl, nr, order, derivative,
        context_ == FilterContext::kDerivative ? SavitzkyGolayKernel::Context::kDerivative
                                       : SavitzkyGolayKernel::Context::kSmoothing);
    if (type_ == 2) kernel->PrepareFft();
    kernel->SetClampNegatives(context_ != FilterContext::kDerivative);
    kernel_ = std::move(kernel);
    nl_ = nl;
    nr_ = nr;
    order_ = order;
    derivative_ = derivative;
    Refresh();
}

void SavitzkyGolayFilter::Store(Database& db) const {
    ChainSettingsRepository(db).UpdateSmoothingWindow(filter_id_, Size(), order_);
}

void SavitzkyGolayFilter::Apply(const BandVector& in, BandVector& out) {
    if (type_ == 2)
        kernel_->ApplyFft(in, out, widened_);
    else if (type_ == 1)
        kernel_->ApplyMovingWindow(in, out, widened_);
}

void SavitzkyGolayFilter::Refresh() {
    WavebandFilter widened;
    if (context_ == FilterContext::kDerivative) {
        if (session_.SmoothingAdjustedFilter())
            widened.CopyFrom(*session_.SmoothingAdjustedFilter());
        if (session_.SensorMask()) widened.Widen(nl_, nr_, *session_.SensorMask());
    } else {
        if (session_.StudyFilter()) widened.CopyFrom(*session_.StudyFilter());
        widened.Widen(nl_, nr_, session_.FilterMask());
    }
    widened_ = std::move(widened);
    session_.RegisterAdjustedFilter(context_, &widened_);
}

}  // namespace orvane
