// SPDX-License-Identifier: GPL-3.0-or-later
// The import's names, dates and text on values in memory, without a database, and the folder
// browser's status line.
#include "study/spectra_import.h"

#include <gtest/gtest.h>

#include "base/shown_text.h"
#include "base/utf8_text.h"
#include "study/folder_walker.h"
#include "study/study_management.h"

namespace orvane {
namespace {

TEST(SiteFolderNumber, NameOrPosition) {
    const struct {
        const char* name;
        int position;
        int expected;
    } cases[] = {
        {"site07", 2, 7}, {"site12x", 1, 12}, {"sitex", 4, 4},  {"Site07", 6, 6},
        {"site-2", 1, -2}, {"site0", 8, 0},   {"asite5", 3, 3}, {"site\xff" "7", 6, 6}};
    for (const auto& c : cases)
        EXPECT_EQ(SiteFolderNumber(c.name, c.position), c.expected) << c.name;
}

TEST(CaptureDateText, OnlyDatesTheServerCanHold) {
    const struct {
        CaptureTime time;
        const char* expected;
    } cases[] = {
        {{2019, 3, 4, 10, 11, 12}, "20190304101112"},
        {{2020, 2, 29, 0, 0, 0}, "20200229000000"},
        {{2019, 2, 29, 0, 0, 0}, ""},  // not a leap year
        {{1900, 0, 0, 0, 0, 0}, ""},   // a header that was never filled in
        {{2019, 4, 31, 0, 0, 0}, ""}};
    for (const auto& c : cases) EXPECT_EQ(CaptureDateText(c.time), c.expected) << c.expected;
}

TEST(AsUtf8, KeepsUtf8AndReadsOtherBytesAsLatin1) {
    EXPECT_EQ(AsUtf8("Kauri \xC3\xA9t\xC3\xA9"), "Kauri \xC3\xA9t\xC3\xA9");
    EXPECT_EQ(AsUtf8("caf\xE9"), "caf\xC3\xA9");
    EXPECT_EQ(AsUtf8("\xC0\xAF"), "\xC3\x80\xC2\xAF");  // an overlong "/"
}

TEST(Utf8Text, ValidityReplacementAndEscapes) {
    const struct {
        const char* text;
        bool valid;
        const char* replaced;
        const char* escaped;
    } cases[] = {
        {"", true, "", ""},
        {"Kauri \xC3\xA9t\xC3\xA9 \xF0\x9F\x8C\xBF", true, "Kauri \xC3\xA9t\xC3\xA9 \xF0\x9F\x8C\xBF",
         "Kauri \xC3\xA9t\xC3\xA9 \xF0\x9F\x8C\xBF"},
        {"bad\xff\xfe", false, "bad\xEF\xBF\xBD\xEF\xBF\xBD", "bad\\xff\\xfe"},
        {"caf\xE9!", false, "caf\xEF\xBF\xBD!", "caf\\xe9!"},
        {"\xC0\xAF", false, "\xEF\xBF\xBD\xEF\xBF\xBD", "\\xc0\\xaf"},  // an overlong "/"
        {"\xED\xA0\x80", false, "\xEF\xBF\xBD\xEF\xBF\xBD\xEF\xBF\xBD",
         "\\xed\\xa0\\x80"},                                   // a surrogate
        {"\xF4\x90\x80\x80", false, nullptr, "\\xf4\\x90\\x80\\x80"},  // beyond U+10FFFF
        {"x\xE2\x82", false, "x\xEF\xBF\xBD\xEF\xBF\xBD", "x\\xe2\\x82"},  // cut short
        {"\x80z", false, "\xEF\xBF\xBDz", "\\x80z"}};
    for (const auto& c : cases) {
        EXPECT_EQ(IsValidUtf8(c.text), c.valid) << c.escaped;
        if (c.replaced) {
            EXPECT_EQ(ReplaceInvalidUtf8(c.text), c.replaced) << c.escaped;
        }
        EXPECT_TRUE(IsValidUtf8(ReplaceInvalidUtf8(c.text))) << c.escaped;
        EXPECT_EQ(EscapeControls(c.text), c.escaped);
    }
}

TEST(FolderBrowserStatusText, LongPathsShowTheirFirst35Characters) {
    const std::string p35(35, 'a');
    const struct {
        std::string path;
        std::string shown;
    } cases[] = {
        {"", ""},
        {p35, p35},
        {p35 + "b", p35 + "..."},
        {"/home/field/studies/2019/kauri-dieback/site01", "/home/field/studies/2019/kauri-dieb..."},
        // Characters, not bytes: an e-acute is never cut in half.
        {std::string(34, 'a') + "\xC3\xA9\xC3\xA9", std::string(34, 'a') + "\xC3\xA9..."}};
    for (const auto& c : cases) EXPECT_EQ(FolderBrowserStatusText(c.path), c.shown) << c.path;
}

}  // namespace
}  // namespace orvane
