// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

namespace orvane {

class ProcessingSession;

// The ranges the "Smoothing Filter Details" and "Derivative Filter Details" dialogs allow.
struct FilterDetailRanges {
    int min_order = 1;
    int max_order = 33;
    int min_size = 2;
    int max_size = 333;
    int size_step = 2;  // smoothing keeps odd sizes; a derivative moves by 1
};

// Smoothing: order 1..33, size from the next odd number above the order up to 333.
FilterDetailRanges SmoothingDetailRanges(int order);
// Derivative of order d: polynomial order d..33, size from max(m + 1, d + 1) up to 333.
FilterDetailRanges DerivativeDetailRanges(int order, int derivative_order);

// What the details dialogs open with: the current window and the derivative order it serves
// (0 for smoothing). Throw OrvaneError, as the OK operations do, when there is no window.
struct FilterDetailValues {
    int size = 0;
    int order = 0;
    int derivative_order = 0;
};
FilterDetailValues CurrentSmoothingDetails(const ProcessingSession& session);
FilterDetailValues CurrentDerivativeDetails(const ProcessingSession& session);

// OK of the smoothing dialog: checks the ranges, sets and stores the current Savitzky-Golay
// filter. Throws OrvaneError (changing nothing) when the values are outside the ranges or the
// current smoothing type has no window.
void ApplySmoothingDetails(ProcessingSession& session, int size, int order);
// OK of the derivative dialog, for the current derivative order's Savitzky-Golay settings.
void ApplyDerivativeDetails(ProcessingSession& session, int size, int order);

}  // namespace orvane
