// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <string>

#include "spectra/waveband_filter.h"

namespace orvane {

class ProcessingSession;

// Why a filter range cannot be stored (it must lie within the measured grid and run upwards);
// empty when it can.
std::string FilterRangeProblem(int lower, int upper);
// A range as lists show it: "lower - upper nm".
std::string FilterRangeText(int lower, int upper);

// The current study's stored ranges.
WavebandFilter StoredStudyFilter(ProcessingSession& session);
// Replaces the current study's stored ranges by the filter's in one transaction, marks the
// filter changed, and rebuilds the session's filter, smoothing filter, masks and derivative.
// Throws OrvaneError, storing nothing, when FilterRangeProblem refuses a range.
void ReplaceStudyFilter(ProcessingSession& session, const WavebandFilter& filter);

}  // namespace orvane
