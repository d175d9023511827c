// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <memory>

#include "spectra/waveband_filter.h"
#include "spectra/band_vector.h"

namespace orvane {

class ProcessingSession;

// Where a window filter registers its widened waveband filter with the session.

// The smoothing step's filter. Each filter keeps a widened copy of the waveband filter that
// also excludes the bands its window cannot reach, and registers it with the session.
class SmoothingFilter {
  public:
    SmoothingFilter(ProcessingSession& session, int type, int filter_id, FilterContext context);
    virtual ~SmoothingFilter() = default;
    SmoothingFilter(const SmoothingFilter&) = delete;
    SmoothingFilter& operator=(const SmoothingFilter&) = delete;

    virtual void Apply(const BandVector& /*in*/, BandVector& /*out*/) {}
    virtual void Refresh() {}
    // Whether Apply already sets values between -1 and 0 to 0, so the chain need not pass
    // over the stage again.
    virtual bool ClampsNegatives() const { return false; }

    int Type() const { return type_; }
    int FilterId() const { return filter_id_; }
    FilterContext Context() const { return context_; }

  protected:
    ProcessingSession& session_;
    int type_;
    int filter_id_;
    FilterContext context_;
    WavebandFilter widened_;
};

// Smoothing type "none": the output is the input, and the study's own waveband filter is the
// smoothing-adjusted filter.
class PassThroughFilter : public SmoothingFilter {
  public:
    PassThroughFilter(ProcessingSession& session, int filter_id);
    void Apply(const BandVector& in, BandVector& out) override;
    void Refresh() override;
};

}  // namespace orvane
