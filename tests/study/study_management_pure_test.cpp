// SPDX-License-Identifier: GPL-3.0-or-later
// The folder browser's status line, without a database.
#include "study/study_management.h"

#include <gtest/gtest.h>

#include <string>

namespace orvane {
namespace {

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
