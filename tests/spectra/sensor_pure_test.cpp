// SPDX-License-Identifier: GPL-3.0-or-later
// A sensor's elements held in memory, without a database.
#include "spectra/sensor.h"

#include <gtest/gtest.h>

#include <utility>
#include <vector>

namespace orvane {
namespace {

TEST(SensorElements, Nearest) {
    struct Probe : GaussianSensor {
        explicit Probe(const std::vector<double>& centres) {
            for (double c : centres) {
                SensorElement e;
                e.number = static_cast<int>(elements_.size()) + 1;
                e.avg_wavelength = c;
                elements_.push_back(e);
            }
        }
    };
    Probe s({480.5, 560.25, 560.75, 660.0});
    // Ties go to the later element; none within 2150 nm gives the first.
    for (const auto& [wavelength, number] : std::vector<std::pair<double, int>>{
             {400, 1}, {560.5, 3}, {610.375, 4}, {2809.5, 4}, {2810.0, 1}})
        EXPECT_EQ(s.NearestElement(wavelength)->number, number) << wavelength;
    EXPECT_EQ(Probe({}).NearestElement(500), nullptr);
}

}  // namespace
}  // namespace orvane
