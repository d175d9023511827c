// SPDX-License-Identifier: GPL-3.0-or-later
#include "forms/export_form.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>
#include <set>
#include <string>
#include <tuple>
#include <vector>

#include "base/data_files.h"
#include "base/number_text.h"
#include "base/orvane_error.h"
#include "export/export_formats.h"
#include "export/export_spectra.h"
#include "forms/help_texts.h"
#include "plot/spectra_plot.h"
#include "study/spectra_import.h"
#include "support/refusal.h"
#include "support/scratch_database.h"

namespace orvane {
namespace {

TEST(ExportForm, InterpolateOnlyWithTheSynthesizedStage) {
    const struct {
        Stage stage;
        bool enabled;
    } cases[] = {{Stage::kRaw, false},         {Stage::kFiltered, false},
                 {Stage::kSmoothed, false},    {Stage::kSynthesized, true},
                 {Stage::kDerived, false},     {Stage::kFeatures, false}};
    for (const auto& c : cases) {
        ExportForm form;
        form.SetInterpolate(true);
        form.ChooseStage(c.stage);
        EXPECT_EQ(form.InterpolateEnabled(), c.enabled) << static_cast<int>(c.stage);
        EXPECT_EQ(form.Interpolate(), c.enabled) << "stage " << static_cast<int>(c.stage);
        form.SetInterpolate(true);
        EXPECT_EQ(form.Interpolate(), c.enabled) << "checking while disabled, stage " << static_cast<int>(c.stage);
        EXPECT_EQ(form.RunSettings().stage, c.enabled ? Stage::kInterpolated : c.stage) << static_cast<int>(c.stage);
        // Back to the synthesized stage the box is enabled but stays as it was left.
        form.ChooseStage(Stage::kSynthesized);
        EXPECT_EQ(form.Interpolate(), c.enabled) << static_cast<int>(c.stage);
    }
}

// The window's two stage lists together offer every stage, each under its own label.
TEST(ExportForm, TheWindowsListsReachEveryStage) {
    std::set<Stage> reached;
    std::vector<std::string> export_labels;
    for (const StageDeclaration& s : ExportForm::StageChoices()) {
        reached.insert(s.id);
        export_labels.push_back(s.label);
    }
    for (const StageDeclaration& s : PlotStages()) reached.insert(s.id);
    EXPECT_EQ(reached.size(), Stages().size());
    EXPECT_EQ(export_labels,
              (std::vector<std::string>{"Raw", "Spliced", "Filtered", "Smoothed",
                                        "Continuum Removed", "Synthesized", "Derived",
                                        "Feature Space"}));
}

TEST(ExportForm, OffsetPassesOnlyWhileChecked) {
    const std::tuple<bool, int, int> cases[] = {
        {false, 10, 0}, {true, 10, 10}, {true, 0, 0}, {true, 100, 100}, {false, 55, 0}};
    for (const auto& [checked, value, passed] : cases) {
        ExportForm form;
        form.offset_checked = checked;
        form.offset_value = value;
        EXPECT_EQ(form.OffsetEditEnabled(), checked);
        EXPECT_EQ(form.RunSettings().offset_percent, passed) << value;
    }
    ExportForm form;
    form.offset_checked = true;
    form.offset_value = 101;
    EXPECT_THROW(form.RunSettings(), OrvaneError);
    form.offset_checked = false;
    EXPECT_NO_THROW(form.RunSettings());
}

// The ids pass on while there is a site or spectrum to name, and are kept for the next choice.
TEST(ExportForm, IdsPassOnlyForSpectraAndSiteMeans) {
    const std::pair<int, bool> cases[] = {
        {kEverySpectrum, true}, {kSiteMean, true}, {kSpeciesMean, false}};
    for (const auto& [details, passed] : cases) {
        ExportForm form;
        form.settings.ids = true;
        form.settings.data_details = details;
        EXPECT_EQ(form.IdsEnabled(), passed) << details;
        EXPECT_EQ(form.RunSettings().ids, passed) << details;
        EXPECT_TRUE(form.settings.ids);
    }
    ExportForm form;
    form.settings.number_format = 2;
    EXPECT_THROW(form.RunSettings(), OrvaneError);
}

// What the window's dialogs say, without the window or a study: the import's closing summary
// and the help texts.
TEST(ImportSummaryText, OneLineForBothFacesThenTheSkippedEntries) {
    const std::tuple<ImportCounts, const char*, const char*> cases[] = {
        {{2, 5, 40, 0, {}},
         "Added 2 species, 5 sites and 40 spectra; 0 skipped",
         "Added 2 species, 5 sites and 40 spectra; 0 skipped"},
        {{0, 0, 0, 2, {"/d/notes.txt: it is a file", "/d/x: no site folder"}},
         "Added 0 species, 0 sites and 0 spectra; 2 skipped",
         "Added 0 species, 0 sites and 0 spectra; 2 skipped:\n  /d/notes.txt: it is a "
         "file\n  /d/x: no site folder"},
    };
    for (const auto& [counts, line, whole] : cases) {
        EXPECT_EQ(ImportSummaryLine(counts), line);
        EXPECT_EQ(ImportSummary(counts), whole);
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

// The export formats' registry and summary, and the plain numbers they write (exports of a
// study: export_spectra_test.cpp).
// The registry ties each format's word to its id, and the summary lays the counts out as the
// format's transposition rule does: a format that always or never transposes ignores the
// check box.
TEST(ExportFormats, EachWordNamesOneFormatAndTheSummaryFollowsItsLayout) {
    std::set<std::string> words;
    std::set<int> ids;
    for (const ExportFormatEntry& f : ExportFormatRegistry()) {
        EXPECT_TRUE(words.insert(f.word).second) << f.word;
        EXPECT_TRUE(ids.insert(f.id).second) << f.word;
        EXPECT_EQ(FindExportFormat(f.id), &f) << f.word;
    }
    EXPECT_EQ(FindExportFormat(9), nullptr);
    EXPECT_EQ(ExportFormatWords(), "csv|arff|envi|envi-sli");

    const std::tuple<int, bool, const char*> cases[] = {
        {ExportSettings::kCsv, false, "Wrote out/x.csv\n3 rows, 5 columns of values"},
        {ExportSettings::kCsv, true, "Wrote out/x.csv\n5 rows, 3 columns of values"},
        {ExportSettings::kArff, false, "Wrote out/x.csv\n3 rows, 5 columns of values"},
        {ExportSettings::kEnvi, false, "Wrote out/x.csv\n5 rows, 3 columns of values"},
        {ExportSettings::kEnviSli, true,
         "Wrote out/x.csv and out/x.hdr\n3 rows, 5 columns of values"},
    };
    ExportResult result;
    result.path = "out/x.csv";
    result.rows = 3;
    result.columns = 5;
    for (const auto& [format, transpose, text] : cases) {
        ExportSettings s;
        s.format = format;
        s.transpose = transpose;
        EXPECT_TRUE(test::Contains(ExportSummary(result, s), text))
            << format << ": " << ExportSummary(result, s);
    }

    ExportSettings unknown;
    unknown.format = 9;
    EXPECT_TRUE(test::Refuses([&] { unknown.Validate(); }, "Export: unknown format"));
    ExportSettings arff;
    arff.format = ExportSettings::kArff;
    arff.transpose = true;
    EXPECT_TRUE(test::Refuses([&] { arff.Validate(); }, "an ARFF file cannot be transposed"));
}

// Fixed notation, as short as reading back exactly allows, for values an export meets.
TEST(PlainNumber, ShortestFixedDecimalThatReadsBackExactly) {
    const std::pair<double, const char*> cases[] = {
        {442.7, "442.7"}, {442.98, "442.98"},      {0.1 + 0.2, "0.30000000000000004"},
        {-5.0, "-5"},     {3.2e-6, "0.0000032"},   {1e21, "1000000000000000000000"},
        {0.0, "0"},       {-0.015625, "-0.015625"}};
    for (const auto& [value, text] : cases) {
        EXPECT_EQ(PlainNumber(value), text);
        EXPECT_EQ(std::strtod(PlainNumber(value).c_str(), nullptr), value) << text;
    }
}

}  // namespace
}  // namespace orvane
