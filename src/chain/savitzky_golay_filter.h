// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <memory>

#include "chain/smoothing_filter.h"

namespace orvane {

class Database;
class SavitzkyGolayKernel;

// Savitzky-Golay smoothing (moving window, type 1, or FFT convolution, type 2) and, in the
// derivative context, the Savitzky-Golay derivative on the sensor axis. Coefficients and the
// FFT kernel are computed once per settings change; Apply only convolves.
class SavitzkyGolayFilter : public SmoothingFilter {
  public:
    // Smoothing with the settings of a stored smoothing_filter row.
    SavitzkyGolayFilter(ProcessingSession& session, Database& db, int filter_id);
    // A derivative filter (type 1, derivative context).
    SavitzkyGolayFilter(ProcessingSession& session, int nl, int nr, int order, int derivative);
    ~SavitzkyGolayFilter() override;

    // Symmetric window of size W; throws OrvaneError (and keeps the previous settings) when
    // the order is too high for the window.
    void SetSize(int size, int order, int derivative);
    void SetWindow(int nl, int nr, int order, int derivative);
    int Size() const { return nl_ + nr_ + 1; }
    int Order() const { return order_; }
    int LeftWidth() const { return nl_; }
    int RightWidth() const { return nr_; }
    void Store(Database& db) const;

    void Apply(const BandVector& in, BandVector& out) override;
    void Refresh() override;
    bool ClampsNegatives() const override { return context_ != FilterContext::kDerivative; }

  private:
    int nl_ = 0;
    int nr_ = 0;
    int order_ = 0;
    int derivative_ = 0;
    std::unique_ptr<SavitzkyGolayKernel> kernel_;
};

}  // namespace orvane
