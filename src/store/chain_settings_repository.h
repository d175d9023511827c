// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <optional>
#include <string>
#include <utility>
#include <vector>

namespace orvane {

class Database;

// A smoothing filter row with the number of its type.
struct StoredSmoothing {
    int size = 0;
    int polynomial_order = 0;
    int type = 0;
};

// A derivative row with the number of its calculation method.
struct StoredDerivative {
    int polynomial_order = 0;
    int size = 0;
    int order = 0;
    int method = 0;
};

// A study's waveband filter row and its ranges (lower, upper) in the server's order.
struct StoredFilterRanges {
    int filter_id = 0;  // 0 when the study has no filter row
    std::vector<std::pair<int, int>> ranges;
};

// The rows of the chain's settings: smoothing filters, derivatives and waveband filters, and
// the names the database gives their types.
class ChainSettingsRepository {
  public:
    explicit ChainSettingsRepository(Database& db) : db_(db) {}

    // The name of a smoothing filter type, or of a derivative method; empty when the type has
    // no row (or a NULL name).
    std::optional<std::string> SmoothingTypeName(int type);
    std::optional<std::string> DerivativeMethodName(int type);
    // The name of a feature space type; empty when the type has no row (or a NULL name).
    std::optional<std::string> FeatureSpaceTypeName(int type);

    // The smoothing filter row; empty when there is none (the last row wins).
    std::optional<StoredSmoothing> Smoothing(int filter_id);
    // The study's smoothing filter of a type; empty when it has none.
    std::optional<int> SmoothingId(int study_id, int type);
    // A new smoothing filter of the type with the default window (31 points, order 4);
    // returns its id.
    int InsertSmoothing(int study_id, int type);
    void UpdateSmoothingWindow(int filter_id, int size, int polynomial_order);

    // The derivative row; empty when there is none (the last row wins).
    std::optional<StoredDerivative> Derivative(int derivative_id);
    // The study's derivative of an order; empty when it has none.
    std::optional<int> DerivativeId(int study_id, int order);
    // A new derivative row of the order; returns its id.
    int InsertDerivative(int study_id, int order, int polynomial_order, int size, int method);
    void UpdateDerivativeMethod(int derivative_id, int method);
    void UpdateDerivativeWindow(int derivative_id, int polynomial_order, int size);

    StoredFilterRanges FilterRanges(int study_id);
    // Replaces the study's ranges and marks its filter changed, in one transaction.
    void ReplaceFilterRanges(int study_id, const std::vector<std::pair<int, int>>& ranges);

  private:
    Database& db_;
};

}  // namespace orvane
