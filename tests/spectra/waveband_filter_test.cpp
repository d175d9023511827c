// SPDX-License-Identifier: GPL-3.0-or-later
#include "spectra/waveband_filter.h"

#include <gtest/gtest.h>

#include <tuple>
#include <utility>

#include "base/orvane_error.h"
#include "support/scratch_database.h"
#include "support/study_rows.h"

namespace orvane {
namespace {

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
    EXPECT_EQ(std::make_tuple(f.At(0).kind, f.At(0).lower, f.At(1).upper),
              std::make_tuple(1, 1800, 1450));
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
    EXPECT_EQ(std::make_pair(f.Count(), f.FilterId()), std::make_pair(2, filter_id));

    f.Load(*db, 9999);  // a study without a filter
    EXPECT_EQ(f.Count(), 0);
}

}  // namespace
}  // namespace orvane
