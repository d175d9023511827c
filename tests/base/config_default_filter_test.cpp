// SPDX-License-Identifier: GPL-3.0-or-later
// The configured default filter as a session reads it (the file itself: text_file_pure_test.cpp).
#include <gtest/gtest.h>

#include "base/config_file.h"
#include "chain/processing_session.h"
#include "support/scratch_database.h"

namespace orvane {
namespace {

// The configured default filter: every "filter_b" first, in file order, then every
// "filter_br", whatever order the lines stand in; none without either key.
TEST(ConfigFile, DefaultFilterBandsFirstThenRanges) {
    test::ScratchDatabase scratch("cfgfilter");
    for (const char* lines : {"filter_b 1400\nfilter_b 1900\nfilter_br 2350 2499\n",
                              "filter_br 2350 2499\nfilter_b 1400\nfilter_b 1900\n",
                              "filter_br 2350 -2499\nfilter_b 1400\nfilter_b 1900\n"}) {
        test::TempDir dir;
        ConfigFile config(scratch.WriteConfig(dir.Path(), lines));
        config.Open();
        ProcessingSession session(config);
        const WavebandFilter& f = session.DefaultFilter();
        ASSERT_EQ(f.Count(), 3) << lines;
        EXPECT_TRUE(f.At(0).kind == 0 && f.At(0).band == 1400) << lines;
        EXPECT_TRUE(f.At(1).kind == 0 && f.At(1).band == 1900) << lines;
        EXPECT_TRUE(f.At(2).kind == 1 && f.At(2).lower == 2350 && f.At(2).upper == 2499) << lines;
    }
    test::TempDir dir;
    ConfigFile config(scratch.WriteConfig(dir.Path()));
    config.Open();
    EXPECT_EQ(ProcessingSession(config).DefaultFilter().Count(), 0);
}

}  // namespace
}  // namespace orvane
