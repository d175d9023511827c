// SPDX-License-Identifier: GPL-3.0-or-later
// The waveband filter's entries in memory; loading a study's ranges needs the server and stays
// in waveband_filter_test.cpp.
#include "spectra/waveband_filter.h"

#include <gtest/gtest.h>

#include "base/orvane_error.h"

namespace orvane {
namespace {

TEST(WavebandFilter, RangeBoundsAreIncluded) {
    WavebandFilter f;
    f.AddRange(1350, 1450);
    f.AddRange(1800, 1950);
    f.AddBand(1000);
    f.AddRange(700, 600);  // lower above upper: excludes nothing
    for (int w : {1350, 1400, 1450, 1800, 1950, 1000}) EXPECT_TRUE(f.Excludes(w)) << w;
    for (int w : {1349, 1451, 1799, 1951, 999, 1001, 600, 650, 700})
        EXPECT_FALSE(f.Excludes(w)) << w;
    EXPECT_FALSE(WavebandFilter().Excludes(1400));
}

TEST(WavebandFilter, HoldsAtMost100Entries) {
    WavebandFilter f;
    for (int i = 0; i < 50; ++i) f.AddBand(400 + i);
    for (int i = 0; i < 50; ++i) f.AddRange(1000 + 10 * i, 1005 + 10 * i);
    ASSERT_EQ(f.Count(), 100);
    EXPECT_THROW(f.AddBand(2000), OrvaneError);
    EXPECT_THROW(f.AddRange(2000, 2100), OrvaneError);
    EXPECT_EQ(f.Count(), 100);
    EXPECT_FALSE(f.Excludes(2000));
    EXPECT_EQ(f.At(99).upper, 1495);
    // Removing one keeps the others in order and makes room; positions beyond are ignored.
    f.Remove(50);
    f.Remove(100);
    f.Remove(-1);
    ASSERT_EQ(f.Count(), 99);
    EXPECT_EQ(f.At(49).band, 449);
    EXPECT_EQ(f.At(50).lower, 1010);
    EXPECT_FALSE(f.Excludes(1002));
    EXPECT_NO_THROW(f.AddBand(2000));
    EXPECT_TRUE(f.Excludes(2000));
}

}  // namespace
}  // namespace orvane
