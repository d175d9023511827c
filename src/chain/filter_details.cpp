// SPDX-License-Identifier: GPL-3.0-or-later
#include "chain/smoothing_type.h"
#include "chain/filter_details.h"

#include <algorithm>
#include <string>

#include "base/orvane_error.h"
#include "chain/processing_session.h"
#include "chain/derivative_settings.h"

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
void RequireSmoothingWindow(const ProcessingSession& session) {
    if (!IsSavitzkyGolay(session.SmoothingType()))
        throw OrvaneError("Choose a Savitzky-Golay smoothing type before setting its window.");
}

void RequireDerivativeWindow(const ProcessingSession& session) {
    if (session.DerivativeOrder() < 1)
        throw OrvaneError("Choose a derivative order of 1 or more before setting its window.");
}
}  // namespace

FilterDetailValues CurrentSmoothingDetails(const ProcessingSession& session) {
    RequireSmoothingWindow(session);
    const SmoothingSettings& smoothing = session.Settings().smoothing;
    return {smoothing.size, smoothing.polynomial_order, 0};
}

FilterDetailValues CurrentDerivativeDetails(const ProcessingSession& session) {
    RequireDerivativeWindow(session);
    const DerivativeSettings& d = session.Settings().derivative;
    return {d.size, d.polynomial_order, d.order};
}

void ApplySmoothingDetails(ProcessingSession& session, int size, int order) {
    RequireSmoothingWindow(session);
    // The order bounds the size range, so it is checked before that range is worked out.
    Check(order, FilterDetailRanges().min_order, FilterDetailRanges().max_order,
          "The polynomial order");
    const FilterDetailRanges r = SmoothingDetailRanges(order);
    Check(size, r.min_size, r.max_size, "The filter size");
    if (size % 2 == 0) throw OrvaneError("The smoothing filter size must be odd.");
    session.SetSmoothingWindow(size, order);
}

void ApplyDerivativeDetails(ProcessingSession& session, int size, int order) {
    RequireDerivativeWindow(session);
    const DerivativeSettings& d = session.Settings().derivative;
    if (d.method != kDerivativeSavGol)
        throw OrvaneError("The derivative window is used by the SavGol method only.");
    Check(order, std::max(1, d.order), FilterDetailRanges().max_order, "The polynomial order");
    const FilterDetailRanges r = DerivativeDetailRanges(order, d.order);
    Check(size, r.min_size, r.max_size, "The filter size");
    session.SetDerivativeWindow(size, order);
}

}  // namespace orvane
