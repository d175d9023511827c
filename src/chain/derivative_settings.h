// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <memory>
#include <vector>

#include "base/choice_words.h"
#include "spectra/waveband_filter.h"
#include "spectra/band_vector.h"

namespace orvane {

class ProcessingSession;
class SavitzkyGolayFilter;

enum DerivativeMethod { kDerivativeIterative = 0, kDerivativeSavGol = 1 };

inline constexpr Choice<DerivativeMethod> kDerivativeMethodChoices[] = {
    {"iterative", "Iterative", kDerivativeIterative},
    {"savgol", "SavGol", kDerivativeSavGol},
};
inline constexpr ChoiceTable<DerivativeMethod> kDerivativeMethods{kDerivativeMethodChoices};

// The settings of one derivative order of a study: the method and, for Savitzky-Golay, the
// window and polynomial order.
class DerivativeSettings {
  public:
    DerivativeSettings(ProcessingSession& session, int derivative_id);
    ~DerivativeSettings();

    void SetUp();
    void Apply(const BandVector& synthesized, BandVector& derived);
    // Both store the change with a new changed_at, so libraries built before become stale.
    void SetMethod(int method);
    void SetSizeAndOrder(int size, int polynomial_order);

    int Id() const { return id_; }
    int Order() const { return order_; }
    int Method() const { return method_; }
    int FilterSize() const { return size_; }
    int PolynomialOrder() const { return polynomial_order_; }

  private:
    ProcessingSession& session_;
    int id_;
    int order_ = 0;
    int size_ = 5;
    int polynomial_order_ = 4;
    int method_ = kDerivativeIterative;
    std::unique_ptr<SavitzkyGolayFilter> filter_;
    std::unique_ptr<WavebandFilter> widened_;
    // The widened filter's verdict per band of the axis last seen (sensor element order).
    std::vector<unsigned char> excluded_;
    int axis_first_ = 0;
    double axis_x_front_ = 0.0;
    double axis_x_back_ = 0.0;
};

}  // namespace orvane
