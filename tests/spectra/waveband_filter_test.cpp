// SPDX-License-Identifier: GPL-3.0-or-later
#include "spectra/waveband_filter.h"

#include <gtest/gtest.h>

#include "base/orvane_error.h"
#include "support/scratch_database.h"
#include "support/study_rows.h"

namespace orvane {
namespace {

TEST(WavebandFilter, RangeBoundsAreIncluded) {
    WavebandFilter f;
    f.AddRange(1350, 1450);
    f.AddRange(1800, 1950);
    f.AddBand(1000);
    f.AddRange(700, 600);  // lower above upper: excludes nothing
    struct Case {
        int wavelength;
        bool excluded;
    };
    for (const Case& c : {Case{1349, false}, Case{1350, true}, Case{1400, true}, Case{1450, true},
                          Case{1451, false}, Case{1799, false}, Case{1800, true}, Case{1950, true},
                          Case{1951, false}, Case{999, false}, Case{1000, true}, Case{1001, false},
                          Case{600, false}, Case{650, false}, Case{700, false}}) {
        EXPECT_EQ(f.Excludes(c.wavelength), c.excluded) << c.wavelength;
    }
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

TEST(WavebandFilter, LoadReplacesEntriesWithTheStudysRanges) {
    test::ScratchDatabase scratch("wbfilter");
    auto db = scratch.Connect();
    const int study = test::InsertStudy(*db, "a");
    const int other = test::InsertStudy(*db, "b");
    const int filter_id = test::InsertWavebandFilter(*db, study, {{1800, 1950}, {1350, 1450}});
    test::InsertWavebandFilter(*db, other, {{400, 500}});

    WavebandFilter f;
    f.AddBand(700);
    f.Load(*db, study);
    EXPECT_EQ(f.FilterId(), filter_id);
    ASSERT_EQ(f.Count(), 2);
    EXPECT_EQ(f.At(0).kind, 1);
    EXPECT_EQ(f.At(0).lower, 1800);
    EXPECT_EQ(f.At(1).upper, 1450);
    EXPECT_FALSE(f.Excludes(700));
    EXPECT_FALSE(f.Excludes(450));

    WavebandFilter copy;
    copy.CopyFrom(f);
    EXPECT_EQ(copy.FilterId(), 0);
    EXPECT_EQ(copy.Count(), 2);
    EXPECT_TRUE(copy.Excludes(1900));

    // More stored ranges than a filter holds: refused, and the filter keeps what it had.
    std::vector<std::pair<int, int>> many;
    for (int i = 0; i < 101; ++i) many.emplace_back(400 + i, 400 + i);
    const int crowded = test::InsertStudy(*db, "c");
    test::InsertWavebandFilter(*db, crowded, many);
    EXPECT_THROW(f.Load(*db, crowded), OrvaneError);
    EXPECT_EQ(f.Count(), 2);
    EXPECT_EQ(f.FilterId(), filter_id);

    f.Load(*db, 9999);  // a study without a filter
    EXPECT_EQ(f.Count(), 0);
}

}  // namespace
}  // namespace orvane
