// SPDX-License-Identifier: GPL-3.0-or-later
#include "export/transposing_text_file.h"

#include <gtest/gtest.h>

#include "support/scratch_database.h"

namespace orvane {
namespace {

TEST(TransposingTextFile, RowsBecomeLinesAndEmptyItemsKeepTheirPlace) {
    test::TempDir dir;
    const std::string path = dir.File("t.txt");
    {
        TransposingTextFile file(path, '#');
        file.SetDelimiter(",");
        ASSERT_TRUE(file.OpenForWriting());
        file.WriteString("species");
        file.WriteDelimiter();
        file.WriteInt(350);
        file.WriteDelimiter();
        file.WriteInt(351);
        file.WriteEol();
        file.WriteString("a");
        file.WriteDelimiter();
        file.WriteEmptyField();
        file.WriteDelimiter();
        file.WriteDouble(0.5);
        file.WriteEol();
        file.WriteStringLn("short");
        EXPECT_EQ(test::FileText(path), "") << "nothing reaches the disk before Close";
        ASSERT_TRUE(file.Close());
    }
    EXPECT_EQ(test::FileText(path), "species,a,short\n350,\n351,5.00000000000000E-01\n");
}

TEST(TransposingTextFile, CloseReportsADiskThatRefusesTheTable) {
    TransposingTextFile file("/dev/full", '#');
    file.SetDelimiter(",");
    ASSERT_TRUE(file.OpenForWriting());
    for (int i = 0; i < 10000; ++i) file.WriteDoubleLn(i);
    EXPECT_FALSE(file.Close());
}

}  // namespace
}  // namespace orvane
