// SPDX-License-Identifier: GPL-3.0-or-later
#include "export/transposing_text_file.h"

#include <gtest/gtest.h>

namespace orvane {
namespace {

TEST(TransposingTextFile, CloseReportsADiskThatRefusesTheTable) {
    TransposingTextFile file("/dev/full", '#');
    file.SetDelimiter(",");
    ASSERT_TRUE(file.OpenForWriting());
    for (int i = 0; i < 10000; ++i) file.WriteDoubleLn(i);
    EXPECT_FALSE(file.Close());
}

}  // namespace
}  // namespace orvane
