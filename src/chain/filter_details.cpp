// SPDX-License-Identifier: GPL-3.0-or-later
#include "chain/filter_details.h"

#include <algorithm>
#include <string>

#include "base/orvane_error.h"
#include "chain/processing_session.h"
#include "chain/derivative_settings.h"
#include "chain/savitzky_golay_filter.h"

namespace orvane {

namespace {
void Check(int value, int low, int high, const char* what) {
    if (value < low || value > high)
        throw OrvaneError(std::string(what) + " must lie between " + std::to_string(low) + " and " +
                          std::to_string(high) + "; " + std::to_string(value) + " was given.");
}
}  // namespace

FilterDetailRanges SmoothingDetailRanges(int order) {
    FilterDetailRanges r;
    order = std::clamp(order, 0, r.max_order);
    r.min_size = order + 1;
    if (r.min_size % 2 == 0) r.min_size += 1;
    r.size_step = 2;
    return r;
}

FilterDetailRanges DerivativeDetailRanges(int order, int derivative_order) {
    FilterDetailRanges r;
    order = std::clamp(order, 0, r.max_order);
    derivative_order = std::clamp(derivative_order, 0, r.max_order);
    r.min_order = std::max(1, derivative_order);
    r.min_size = std::max(order + 1, derivative_order + 1);
    r.size_step = 1;
    return r;
}

namespace {
SavitzkyGolayFilter& RequireSmoothingWindow(const ProcessingSession& session) {
    auto* filter = dynamic_cast<SavitzkyGolayFilter*>(session.Smoothing());
    if (!filter)
        throw OrvaneError("Choose a Savitzky-Golay smoothing type before setting its window.");
    return *filter;
}

DerivativeSettings& RequireDerivativeWindow(const ProcessingSession& session) {
    DerivativeSettings* d = session.Derivative();
    if (!d || session.DerivativeOrder() < 1)
        throw OrvaneError("Choose a derivative order of 1 or more before setting its window.");
    return *d;
}
}  // namespace

FilterDetailValues CurrentSmoothingDetails(const ProcessingSession& session) {
    const SavitzkyGolayFilter& filter = RequireSmoothingWindow(session);
    return {filter.Size(), filter.Order(), 0};
}

FilterDetailValues CurrentDerivativeDetails(const ProcessingSession& session) {
    const DerivativeSettings& d = RequireDerivativeWindow(session);
    return {d.FilterSize(), d.PolynomialOrder(), d.Order()};
}

void ApplySmoothingDetails(ProcessingSession& session, int size, int order) {
    SavitzkyGolayFilter* filter = &RequireSmoothingWindow(session);
    // The order bounds the size range, so it is checked before that range is worked out.
    Check(order, FilterDetailRanges().min_order, FilterDetailRanges().max_order,
          "The polynomial order");
    const FilterDetailRanges r = SmoothingDetailRanges(order);
    Check(size, r.min_size, r.max_size, "The filter size");
    if (size % 2 == 0) throw OrvaneError("The smoothing filter size must be odd.");
    filter->SetSize(size, order, 0);
    filter->Store(session.Db());
    session.RefreshDerivative();
}

void ApplyDerivativeDetails(ProcessingSession& session, int size, int order) {
    DerivativeSettings* d = &RequireDerivativeWindow(session);
    if (d->Method() != kDerivativeSavGol)
        throw OrvaneError("The derivative window is used by the SavGol method only.");
    Check(order, std::max(1, d->Order()), FilterDetailRanges().max_order, "The polynomial order");
    const FilterDetailRanges r = DerivativeDetailRanges(order, d->Order());
    Check(size, r.min_size, r.max_size, "The filter size");
    d->SetSizeAndOrder(size, order);
    session.NotifyChainChanged();
}

}  // namespace orvane
