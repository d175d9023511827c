// SPDX-License-Identifier: GPL-3.0-or-later
// The import's names, dates and text on values in memory, without a database, and the folder
// browser's status line.
#include "study/spectra_import.h"

#include <gtest/gtest.h>

#include <fstream>
#include <tuple>
#include <utility>
#include <vector>

#include "base/orvane_error.h"
#include "base/shown_text.h"
#include "base/utf8_text.h"
#include "spectra/sensor.h"
#include "spectra/waveband_filter.h"
#include "study/folder_walker.h"
#include "study/study_management.h"
#include "study/z_profile_reader.h"
#include "support/band_values.h"
#include "support/scratch_database.h"

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
    const std::pair<CaptureTime, const char*> cases[] = {
        {{2019, 3, 4, 10, 11, 12}, "20190304101112"},
        {{2020, 2, 29, 0, 0, 0}, "20200229000000"},
        {{2019, 2, 29, 0, 0, 0}, ""},  // not a leap year
        {{1900, 0, 0, 0, 0, 0}, ""},   // a header that was never filled in
        {{2019, 4, 31, 0, 0, 0}, ""}};
    for (const auto& [time, expected] : cases)
        EXPECT_EQ(CaptureDateText(time), expected) << expected;
}

TEST(AsUtf8, KeepsUtf8AndReadsOtherBytesAsLatin1) {
    EXPECT_EQ(AsUtf8("Kauri \xC3\xA9t\xC3\xA9"), "Kauri \xC3\xA9t\xC3\xA9");
    EXPECT_EQ(AsUtf8("caf\xE9"), "caf\xC3\xA9");
    EXPECT_EQ(AsUtf8("\xC0\xAF"), "\xC3\x80\xC2\xAF");  // an overlong "/"
}

TEST(Utf8Text, ValidityReplacementAndEscapes) {
    const std::tuple<const char*, bool, const char*, const char*> cases[] = {
        {"", true, "", ""},
        {"Kauri \xC3\xA9t\xC3\xA9 \xF0\x9F\x8C\xBF", true,
         "Kauri \xC3\xA9t\xC3\xA9 \xF0\x9F\x8C\xBF", "Kauri \xC3\xA9t\xC3\xA9 \xF0\x9F\x8C\xBF"},
        {"bad\xff\xfe", false, "bad\xEF\xBF\xBD\xEF\xBF\xBD", "bad\\xff\\xfe"},
        {"caf\xE9!", false, "caf\xEF\xBF\xBD!", "caf\\xe9!"},
        {"\xC0\xAF", false, "\xEF\xBF\xBD\xEF\xBF\xBD", "\\xc0\\xaf"},  // an overlong "/"
        {"\xED\xA0\x80", false, "\xEF\xBF\xBD\xEF\xBF\xBD\xEF\xBF\xBD",
         "\\xed\\xa0\\x80"},                                               // a surrogate
        {"\xF4\x90\x80\x80", false, nullptr, "\\xf4\\x90\\x80\\x80"},      // beyond U+10FFFF
        {"x\xE2\x82", false, "x\xEF\xBF\xBD\xEF\xBF\xBD", "x\\xe2\\x82"},  // cut short
        {"\x80z", false, "\xEF\xBF\xBDz", "\\x80z"}};
    for (const auto& [text, valid, replaced, escaped] : cases) {
        EXPECT_EQ(IsValidUtf8(text), valid) << escaped;
        if (replaced) {
            EXPECT_EQ(ReplaceInvalidUtf8(text), replaced) << escaped;
        }
        EXPECT_TRUE(IsValidUtf8(ReplaceInvalidUtf8(text))) << escaped;
        EXPECT_EQ(EscapeControls(text), escaped);
    }
}

TEST(FolderBrowserStatusText, LongPathsShowTheirFirst35Characters) {
    const std::string p35(35, 'a');
    const std::pair<std::string, std::string> cases[] = {
        {"", ""},
        {p35, p35},
        {p35 + "b", p35 + "..."},
        {"/home/field/studies/2019/kauri-dieback/site01", "/home/field/studies/2019/kauri-dieb..."},
        // Characters, not bytes: an e-acute is never cut in half.
        {std::string(34, 'a') + "\xC3\xA9\xC3\xA9", std::string(34, 'a') + "\xC3\xA9..."}};
    for (const auto& [path, shown] : cases) EXPECT_EQ(FolderBrowserStatusText(path), shown) << path;
}

class ZProfileReaderTest : public ::testing::Test {
  protected:
    void SetUp() override {
        // Elements 2 and 3 both truncate to 500 nm; element 4 is not usable; the profile
        // holds a value for element 6 only in its header.
        sensor_.ReadFile(Write("sensor.txt",
                               "Test sensor\nfive bands\nband,avg_wavelength,fwhm,calibrated\n"
                               "1,450.2,20,C\n2,500.7,20,C\n3,500.1,20,C\n4,650.0,20,X\n"
                               "5,800.5,20,C\n6,1200.0,20,C\n"));
    }
    std::string Write(const std::string& name, const std::string& text) {
        const std::string path = dir_.File(name);
        std::ofstream(path) << text;
        return path;
    }

    test::TempDir dir_;
    GaussianSensor sensor_;
};

// The first three lines are a header even when one of them looks like data.
const char* const kProfile =
    "ENVI ASCII Plot File [Mon Mar 02 10:00:00 2020]\nColumn 1: Wavelength\n1200.4 9.0\n"
    "450.9 0.25\n500.0,-0.01\n650.0 0.4\n700.0\t0.3\n# a note\n\n800.2 0.6\n";

TEST_F(ZProfileReaderTest, PlacesValuesOnTheFirstMatchingUsableElement) {
    WavebandFilter keep_all;
    WavebandFilter drop_800;
    drop_800.AddRange(790, 810);
    for (const auto& [filter, element5] : std::vector<std::pair<const WavebandFilter*, double>>{
             {nullptr, 0.6}, {&keep_all, 0.6}, {&drop_800, kNoValue}}) {
        const auto spectrum = ReadZProfile(Write("profile00007.txt", kProfile), sensor_, filter);
        const BandVector& stage = *spectrum->sensor_profile_;
        ASSERT_EQ(std::make_pair(stage.First(), stage.Count()), std::make_pair(1, 6));
        const double expected[] = {0.25, 0.0, kNoValue, kNoValue, element5, kNoValue};
        for (int n = 1; n <= 6; ++n)
            EXPECT_TRUE(test::SameValue(stage.Value(n), expected[n - 1])) << "element " << n;
        EXPECT_EQ(stage.ValidCount(), HasValue(element5) ? 3 : 2);
        EXPECT_EQ(stage.X(1), 450.9);  // the profile's wavelength where it placed a value
        EXPECT_EQ(stage.X(3), 500.1);  // the element's centre where it did not
        EXPECT_EQ(std::make_pair(spectrum->number_, spectrum->DisplayName()),
                  std::make_pair(7, std::string("profile00007.txt")));
    }
}

TEST_F(ZProfileReaderTest, LongLinesAreReadWhole) {
    const std::string line = "450.9" + std::string(100, ' ') + "0.125\n";
    const auto spectrum =
        ReadZProfile(Write("long.txt", "h1\nh2\nh3\n" + line), sensor_, nullptr);
    EXPECT_EQ(spectrum->sensor_profile_->Value(1), 0.125);
}

TEST_F(ZProfileReaderTest, RefusesFilesThatAreNotProfilesNamingFileAndLine) {
    const std::string missing = dir_.File("missing.txt");
    const std::string header = "h1\n# note\nh2\nh3\n";
    const std::pair<std::string, std::string> cases[] = {
        {missing, "does not exist"},
        {Write("p.txt", kProfile), "no sensor is selected"},
        {Write("text.txt", header + "450.9 0.25\nsome words here\n"), "line 6 is not"},
        {Write("one.txt", header + "1000\n"), "line 5 is not"},
        {Write("nan.txt", header + "450.9 nan\n"), "line 5 is not"},
        {Write("empty.txt", header + "\n"), "no wavelength and value lines"},
        {Write("elsewhere.txt", header + "2300 0.5\n"), "none of its wavelengths"}};
    for (const auto& [path, reason] : cases) {
        try {
            if (reason == "no sensor is selected")
                ReadZProfile(path, nullptr);
            else
                ReadZProfile(path, sensor_, nullptr);
            ADD_FAILURE() << "accepted " << path;
        } catch (const FileNotFoundError& e) {
            ADD_FAILURE() << "ends the program: " << e.what();
        } catch (const OrvaneError& e) {
            const std::string message = e.what();
            EXPECT_NE(message.find(path), std::string::npos) << message;
            EXPECT_NE(message.find(reason), std::string::npos) << message;
        }
    }
}

// The sample profile the README uses loads on the shipped Sentinel-2A sensor, a value on every
// band; the older test profile fits no shipped sensor and stays a reader test's input only.
TEST_F(ZProfileReaderTest, TheShippedSampleLoadsOnAShippedSensor) {
    GaussianSensor sentinel;
    sentinel.ReadFile(test::SourcePath("data/sensors/sentinel2a_msi.txt"));
    const auto spectrum =
        ReadZProfile(test::SourcePath("examples/sentinel2a-pixel.txt"), sentinel, nullptr);
    const BandVector& stage = *spectrum->sensor_profile_;
    EXPECT_EQ(stage.ValidCount(), 13);
    EXPECT_EQ(stage.Value(1), 0.0321);
    EXPECT_EQ(stage.Value(13), 0.0947);
}

}  // namespace
}  // namespace orvane
