// SPDX-License-Identifier: GPL-3.0-or-later
#include <gtest/gtest.h>

#include <cmath>
#include <string>
#include <vector>

#include "base/band_grid.h"
#include "base/orvane_error.h"
#include "spectra/sed_spectrum_reader.h"
#include "spectra/sig_spectrum_reader.h"
#include "spectra/spectrum_file.h"
#include "support/instrument_file.h"
#include "support/scratch_database.h"
#include "support/text_spectrum_file.h"

namespace orvane {
namespace {

using test::SedFile;
using test::SigFile;
using test::TextFileStyle;

const double kNone = std::nan("");
const int kBands[] = {350, 351, 500, 975, 990, 994, 995, 1000, 1013, 1014, 1500, 1880, 1891, 1892,
                      1900, 2000, 2499};
// From tests/spectra/text_spectrum_reference.py (numpy.interp on the channels kept).
const std::vector<double> kNamedBreaks = {
    0.24448905109489058, 0.2483576642335767,  0.2647810218978101,  0.21237226277372281,
    0.2768846153846152,  0.2975,              0.29950000000000004, 0.3060517241379304,
    0.2854999999999999,  0.2875,              0.30949999999999983, 0.2695000000000001,
    0.29149999999999987, 0.2934999999999999,  0.2603384615384638,  0.17555629139072823,
    0.1584039735099282};
const std::vector<double> kMiddleBreaks = {
    0.24448905109489058, 0.2483576642335767,  0.2647810218978101,  0.21237226277372281,
    0.23208029197080304, 0.2863081081081057,  0.29950000000000004, 0.3060517241379304,
    0.2854999999999999,  0.2875,              0.30949999999999983, 0.2695000000000001,
    0.29149999999999987, 0.22015849056605288, 0.2040331125827814,  0.17555629139072823,
    0.1584039735099282};
const std::vector<double> kFirstDetector = {
    0.24448905109489058, 0.2483576642335767, 0.2647810218978101, 0.21237226277372281,
    0.23208029197080304, 0.21587591240875906, 0.21974452554744517, 0.23908759124087575,
    kNone, kNone, kNone, kNone, kNone, kNone, kNone, kNone, kNone};

std::vector<int> Fields(const CaptureTime& t) {
    return {t.year, t.month, t.day, t.hour, t.minute, t.second};
}

class TextSpectrumReader : public ::testing::Test {
  protected:
    std::string Write(const std::string& name, const std::string& text) {
        const std::string path = dir_.File(name);
        test::WriteTextFile(path, text);
        return path;
    }
    // The values at kBands, NaN where the band has no value.
    static std::vector<double> AtBands(const std::vector<double>& values) {
        std::vector<double> out;
        for (int band : kBands) {
            const double v = values.at(static_cast<std::size_t>(band - kFirstWavelength));
            out.push_back(v == kStoredNoValue ? kNone : v);
        }
        return out;
    }
    static void ExpectValues(const std::vector<double>& got, const std::vector<double>& expected) {
        ASSERT_EQ(got.size(), expected.size());
        for (std::size_t i = 0; i < got.size(); ++i) {
            if (std::isnan(expected[i]))
                EXPECT_TRUE(std::isnan(got[i])) << kBands[i] << " nm: " << got[i];
            else
                EXPECT_NEAR(got[i], expected[i], 1e-12) << kBands[i] << " nm";
        }
    }

    test::TempDir dir_;
};

// Every variant of the two formats gives the independently computed values: the decimal
// separator and line ends change nothing, a file the instrument's software matched equals the
// unmatched one split at the same points, and without named points the overlaps break in their
// middle.
TEST_F(TextSpectrumReader, EveryVariantGivesTheReferenceValues) {
    const auto detectors = test::ThreeDetectors();
    const auto unmatched = test::Unmatched(detectors);
    const auto matched = test::Matched(detectors, 990, 1900);
    const TextFileStyle point{false, false};
    const TextFileStyle comma_crlf{true, true};
    struct Case {
        const char* what;
        bool sig;
        std::vector<test::TextChannel> channels;
        TextFileStyle style;
        std::string remove_at_or_column;
        const std::vector<double>* expected;
    };
    const Case cases[] = {
        {"SIG overlap named", true, unmatched, point, "990,1900", &kNamedBreaks},
        {"SIG overlap named, comma, CRLF", true, unmatched, comma_crlf, "990,1900", &kNamedBreaks},
        {"SIG overlap, no point named", true, unmatched, point, "", &kMiddleBreaks},
        {"SIG overlap, named outside", true, unmatched, comma_crlf, "1100,1950", &kMiddleBreaks},
        {"SIG matched", true, matched, point, "990,1900", &kNamedBreaks},
        {"SIG matched, comma", true, matched, comma_crlf, "", &kNamedBreaks},
        {"SIG one detector", true, detectors[0], point, "", &kFirstDetector},
        {"SED percent", false, unmatched, point, "Reflect. %", &kMiddleBreaks},
        {"SED target/reference, comma, CRLF", false, unmatched, comma_crlf, "Tgt./Ref. %",
         &kMiddleBreaks},
        {"SED fraction matched", false, matched, point, "Reflect. [1.0]", &kNamedBreaks},
        {"SED fraction, comma", false, unmatched, comma_crlf, "Reflect. [1.0]", &kMiddleBreaks},
        {"SED one detector", false, detectors[0], comma_crlf, "Tgt./Ref. %", &kFirstDetector},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        FieldSpectrumContents contents;
        if (c.sig) {
            SigFile f;
            f.channels = c.channels;
            f.style = c.style;
            f.remove_at = c.remove_at_or_column;
            contents = ReadSigSpectrumValues(Write("t.sig", test::SigText(f)));
        } else {
            SedFile f;
            f.channels = c.channels;
            f.style = c.style;
            f.reflectance_column = c.remove_at_or_column;
            contents = ReadSedSpectrumValues(Write("t.sed", test::SedText(f)));
        }
        ASSERT_EQ(contents.reflectances.size(), static_cast<std::size_t>(kSpectrumBands));
        ExpectValues(AtBands(contents.reflectances), *c.expected);
    }
}

// Measured ranges that start above 350 nm keep the bands below as no value, and a channel on a
// band gives its own value.
TEST_F(TextSpectrumReader, NoValueOutsideTheMeasuredRange) {
    SigFile f;
    f.channels = {{40050, 1000}, {40100, 2000}, {40250, 5000}};
    const auto values = ReadSigSpectrumValues(Write("short.sig", test::SigText(f))).reflectances;
    for (int band = 350; band <= 2499; ++band) {
        const double v = values[static_cast<std::size_t>(band - kFirstWavelength)];
        if (band == 401)
            EXPECT_EQ(v, 0.2);
        else if (band == 402)
            EXPECT_NEAR(v, 0.4, 1e-15);
        else
            EXPECT_EQ(v, kStoredNoValue) << band;
    }
}

TEST_F(TextSpectrumReader, SigHeaderFields) {
    struct Case {
        std::string time;
        bool decimal_comma;
        CaptureTime expected;
        bool noted;
    };
    const Case cases[] = {
        {"1/18/2008 11:47:25 AM, 1/18/2008 11:51:57 AM", false, {2008, 1, 18, 11, 51, 57}, false},
        {"02/11/2022 05:12:23 a.m., 02/11/2022 05:20:37 p.m.", true, {2022, 11, 2, 17, 20, 37},
         false},
        {"02/11/2022 05:12:23 a.m., 02/11/2022 05:20:37 p.m.", false, {2022, 2, 11, 17, 20, 37},
         false},
        {"13/11/2022 17:20:37", false, {2022, 11, 13, 17, 20, 37}, false},
        {"11/13/2022 12:20:37 A. M.", true, {2022, 11, 13, 0, 20, 37}, false},
        {"2022-11-02 12:05:00 pm", false, {2022, 11, 2, 12, 5, 0}, false},
        {"31/02/2022 10:00:00", false, {}, true},
        {"soon", false, {}, true},
        {"", false, {}, false},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.time);
        SigFile f;
        f.time = c.time;
        f.style.decimal_comma = c.decimal_comma;
        f.channels = {{35000, 1000}, {36000, 2000}};
        const FieldSpectrumContents contents =
            ReadSigSpectrumValues(Write("h.sig", test::SigText(f)));
        EXPECT_EQ(Fields(contents.capture_time), Fields(c.expected));
        EXPECT_EQ(contents.notes.size(), c.noted ? 1u : 0u);
    }

    SigFile f;
    f.name = "gr080118_000.sig";
    f.comment = "plot 3, leaf";
    f.latitude = "3729,9822S, 3729,9823S";
    f.longitude = "05854.5707W";
    f.channels = {{35000, 1000}, {36000, 2000}};
    const std::string path = Write("leaf_00012.sig", test::SigText(f));
    const auto spectrum = ReadSpectrumFile(path);
    EXPECT_EQ(spectrum->name_, "gr080118_000.sig");
    EXPECT_EQ(spectrum->number_, 12);
    EXPECT_EQ(spectrum->path_, path);
    EXPECT_EQ(spectrum->comment_, "plot 3, leaf");
    EXPECT_NEAR(spectrum->latitude_, -(37 + 29.9823 / 60), 1e-12);
    EXPECT_NEAR(spectrum->longitude_, -(58 + 54.5707 / 60), 1e-12);
    EXPECT_TRUE(std::isnan(spectrum->altitude_));
    EXPECT_EQ(spectrum->reflectances_[0], 0.1f);
    EXPECT_EQ(spectrum->reflectances_[11], kStoredNoValue);

    // Positions off the globe are noted and not kept; none at all is simply no position.
    for (const auto& [latitude, noted] :
         std::vector<std::pair<std::string, bool>>{{"9130.0000N", true}, {"", false},
                                                   {"n/a", false}, {"north", false}}) {
        SigFile g = f;
        g.latitude = latitude;
        const auto contents = ReadSigSpectrumValues(Write("p.sig", test::SigText(g)));
        EXPECT_TRUE(std::isnan(contents.latitude)) << latitude;
        EXPECT_EQ(contents.notes.size(), noted ? 1u : 0u) << latitude;
    }
}

TEST_F(TextSpectrumReader, SedHeaderFields) {
    SedFile f;
    f.channels = {{35000, 1000}, {36000, 2000}};
    f.comment = "canopy, north plot";
    f.latitude = "4738.2391N";
    f.longitude = "12210.5000W";
    f.altitude = "123.5";
    for (const auto& [date, time, decimal_comma, expected] :
         std::vector<std::tuple<std::string, std::string, bool, CaptureTime>>{
             {"07/22/2016,07/22/2016", "11:20:30.72,11:20:41.23", false, {2016, 7, 22, 11, 20, 41}},
             {"02/11/2022,02/11/2022", "11:20:30,72,11:20:41,23", true, {2022, 11, 2, 11, 20, 41}},
             {"02/11/2022,02/11/2022", "11:20:30,11:20:41", false, {2022, 2, 11, 11, 20, 41}}}) {
        SCOPED_TRACE(date + " " + time);
        f.date = date;
        f.time = time;
        f.style.decimal_comma = decimal_comma;
        const auto spectrum = ReadSpectrumFile(Write("plot3.0005.sed", test::SedText(f)));
        EXPECT_EQ(Fields(spectrum->capture_time_), Fields(expected));
        EXPECT_EQ(spectrum->name_, "plot3.0005.sed");
        EXPECT_EQ(spectrum->number_, 5);
        EXPECT_EQ(spectrum->comment_, "canopy, north plot");
        EXPECT_NEAR(spectrum->latitude_, 47 + 38.2391 / 60, 1e-12);
        EXPECT_NEAR(spectrum->longitude_, -(122 + 10.5 / 60), 1e-12);
        EXPECT_EQ(spectrum->altitude_, 123.5);
        EXPECT_TRUE(spectrum->read_notes_.empty());
    }
    SedFile none;
    none.channels = f.channels;
    const auto contents = ReadSedSpectrumValues(Write("n.sed", test::SedText(none)));
    EXPECT_TRUE(std::isnan(contents.latitude) && std::isnan(contents.longitude) &&
                std::isnan(contents.altitude));
    EXPECT_TRUE(contents.notes.empty());
}

std::string RefusalOf(FieldSpectrumContents (*read)(const std::string&), const std::string& path) {
    try {
        read(path);
    } catch (const OrvaneError& e) {
        return e.what();
    }
    return "";
}

// A file that is not of the format, or whose table is broken, is refused naming the file and
// the line.
TEST_F(TextSpectrumReader, BrokenFilesAreRefusedNamingFileAndLine) {
    SigFile sig;
    sig.channels = test::Unmatched(test::ThreeDetectors());
    const std::string good_sig = test::SigText(sig);
    // Lines of the header: the first line, eight fields, "data=".
    const int sig_rows = 10 + static_cast<int>(sig.channels.size());
    const auto with_sig_row = [&](const std::string& row) {
        SigFile f = sig;
        f.extra_rows = {row};
        return test::SigText(f);
    };
    SedFile sed;
    sed.channels = sig.channels;
    const std::string good_sed = test::SedText(sed);
    const int sed_rows = 14 + static_cast<int>(sed.channels.size());
    const auto with_sed_row = [&](const std::string& row) {
        SedFile f = sed;
        f.extra_rows = {row};
        return test::SedText(f);
    };
    const auto sed_column = [&](const std::string& column) {
        SedFile f = sed;
        f.reflectance_column = column;
        return test::SedText(f);
    };
    const auto line = [](int n) { return "line " + std::to_string(n); };
    struct Case {
        bool sig;
        std::string text;
        std::string reason;
    };
    const Case cases[] = {
        {true, "/*** Other Data ***/\n" + good_sig.substr(good_sig.find('\n') + 1),
         "line 1 is not \"/*** Spectra Vista SIG Data ***/\""},
        {true, "", "line 1 is not"},
        {true, good_sig.substr(0, good_sig.find("data=")), "no \"data=\" line"},
        {true, "/*** Spectra Vista SIG Data ***/\nname= x\nno equals sign\ndata=\n",
         "line 3 is neither a \"key= value\" header line"},
        {true, with_sig_row("2515.00  1,0  2,0"),
         line(sig_rows + 1) + " has 3 columns where the table has 4"},
        {true, with_sig_row("2515.00  1 2 3 4 5"), line(sig_rows + 1) + " has 6 columns"},
        {true, with_sig_row("abc  1  2  3"),
         line(sig_rows + 1) + ": its wavelength \"abc\" is not a number"},
        {true, with_sig_row("2515.00  1  2  nan"),
         line(sig_rows + 1) + ": its reflectance \"nan\" is not a number"},
        {true, with_sig_row("1000.00  1  2  3"),
         line(sig_rows + 1) + ": its wavelength 1000 nm runs back past the start of the "
                              "detector before it"},
        {true, with_sig_row("2000.00  1  2  3") + "2100.00  1  2  3\n",
         line(sig_rows + 2) + ": the detector that begins on " + line(sig_rows + 1) +
             " ends at 2100 nm"},
        {true, "/*** Spectra Vista SIG Data ***/\ndata=\n", "holds no measured channel"},
        {true, "/*** Spectra Vista SIG Data ***/\ndata=\n2600 1 2 3\n2700 1 2 3\n",
         "from 2600 to 2700 nm reach no band"},
        {true, "/*** Spectra Vista SIG Data ***/\ndata=\n400 1 2 1e300\n401 1 2 3\n",
         "is not a finite single-precision number"},
        {false, "Wvl\tReflect. %\n400\t1\n", "line 1 is neither a \"Key: value\" header line"},
        {false, good_sed.substr(0, good_sed.find("Data:")), "no \"Data:\" line"},
        {false, good_sed.substr(0, good_sed.find("Wvl")), "no row naming the columns"},
        {false, sed_column("Reflect."), line(14) + ": its reflectance column \"Reflect.\" names "
                                                   "no unit"},
        {false, sed_column("Rad. (Other)"), line(14) + " names no reflectance column"},
        {false, "Comment:\nData:\nWavelength\tReflect. %\n", line(3) + " names no wavelength"},
        {false, with_sed_row("2515.00\t1\t2"), line(sed_rows + 1) + " has 3 columns where " +
                                                   line(14) + " names 4"},
        {false, with_sed_row("2515,00\t1\t2\t3\t"), ""},  // a trailing tab is no column
        {false, with_sed_row("x\t1\t2\t3"),
         line(sed_rows + 1) + ": its wavelength \"x\" is not a number"},
        {false, with_sed_row("2515.00\t1\t2\t-"),
         line(sed_rows + 1) + ": its reflectance \"-\" is not a number"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.reason);
        const std::string path = Write(c.sig ? "bad.sig" : "bad.sed", c.text);
        const std::string message =
            RefusalOf(c.sig ? &ReadSigSpectrumValues : &ReadSedSpectrumValues, path);
        if (c.reason.empty()) {
            EXPECT_EQ(message, "");
            continue;
        }
        EXPECT_EQ(message.rfind("Field spectrum file " + path + " was not read: ", 0), 0u)
            << message;
        EXPECT_NE(message.find(c.reason), std::string::npos) << message;
    }
}

// The kind of a file is read from its first bytes; the extension decides only where they tell
// nothing, so a binary file keeps its own reader whatever its name.
TEST_F(TextSpectrumReader, FileKindByContentThenExtension) {
    SigFile sig;
    sig.channels = {{35000, 1000}, {36000, 2000}};
    SedFile sed;
    sed.channels = sig.channels;
    const std::string binary = dir_.File("leaf.012");
    test::WriteInstrumentFile(binary);
    const std::string binary_named_sed = dir_.File("leaf00001.sed");
    test::WriteInstrumentFile(binary_named_sed);
    const std::pair<std::string, std::string_view> cases[] = {
        {Write("renamed.txt", test::SigText(sig)), "SIG"},
        {Write("leaf.012x", "\xEF\xBB\xBF" + test::SigText(sig)), "SIG"},
        {Write("plot3.0005.sed", test::SedText(sed)), "SED"},
        {Write("plot.007", test::SedText(sed)), "SED"},
        {Write("pixel.dat", "ENVI ASCII Plot File [Mon Mar 02 10:00:00 2020]\nColumn 1\n"), "ENVI Z"},
        {Write("pixel.TXT", "h1\nh2\nh3\n450 0.1\n"), "ENVI Z"},
        {Write("empty.sig", ""), "SIG"},
        {Write("notes.SED", "hello\n"), "SED"},
        {Write("readme", "hello\n"), "binary"},
        {dir_.File("missing.asd"), "binary"},
        {binary, "binary"},
        {binary_named_sed, "SED"},
    };
    for (const auto& [path, reader] : cases) EXPECT_EQ(ReaderOfFile(path).name, reader) << path;
    // The binary file reads as it always has.
    EXPECT_EQ(ReadSpectrumFile(binary)->name_, "leaf.012");
}

}  // namespace
}  // namespace orvane
