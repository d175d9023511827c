// SPDX-License-Identifier: GPL-3.0-or-later
// What the window's dialogs say, without the window or a study: the import's closing summary
// and the help texts.
#include <gtest/gtest.h>

#include <filesystem>
#include <string>

#include "base/data_files.h"
#include "base/orvane_error.h"
#include "forms/help_texts.h"
#include "study/spectra_import.h"
#include "support/refusal.h"
#include "support/scratch_database.h"

namespace orvane {
namespace {

TEST(ImportSummaryText, OneLineForBothFacesThenTheSkippedEntries) {
    const struct {
        ImportCounts counts;
        const char* line;
        const char* whole;
    } cases[] = {
        {{2, 5, 40, 0, {}}, "Added 2 species, 5 sites and 40 spectra; 0 skipped",
         "Added 2 species, 5 sites and 40 spectra; 0 skipped"},
        {{0, 0, 0, 2, {"/d/notes.txt: it is a file", "/d/x: no site folder"}},
         "Added 0 species, 0 sites and 0 spectra; 2 skipped",
         "Added 0 species, 0 sites and 0 spectra; 2 skipped:\n  /d/notes.txt: it is a "
         "file\n  /d/x: no site folder"},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(ImportSummaryLine(c.counts), c.line);
        EXPECT_EQ(ImportSummary(c.counts), c.whole);
    }
}

TEST(HelpTexts, TheManualIsTheReadmeOfTheCheckoutOrOfThePackage) {
    const DataFiles checkout = DataFiles::ForProgramIn(
        std::filesystem::read_symlink("/proc/self/exe").parent_path().string());
    EXPECT_EQ(ManualPath(checkout), test::SourcePath("README.md"));
    EXPECT_EQ(DataFiles::ForProgramIn("/usr/bin").manual, "/usr/share/orvane/manual/README.md");

    DataFiles missing;
    missing.installed = true;
    missing.manual = "/nonexistent/README.md";
    for (const char* part : {"/nonexistent/README.md", "reinstall"})
        EXPECT_TRUE(test::Refuses([&] { ManualPath(missing); }, part));
}

}  // namespace
}  // namespace orvane
