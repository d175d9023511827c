// SPDX-License-Identifier: GPL-3.0-or-later
#include "chain/processing_chain.h"

#include <gtest/gtest.h>
#include <sys/stat.h>

#include <cmath>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <limits>
#include <map>
#include <optional>
#include <random>
#include <set>
#include <string>
#include <tuple>
#include <type_traits>
#include <vector>

#include "base/band_grid.h"
#include "base/orvane_error.h"
#include "spectra/field_spectrum_reader.h"
#include "spectra/sed_spectrum_reader.h"
#include "spectra/sig_spectrum_reader.h"
#include "spectra/spectrum_file.h"
#include "support/instrument_file.h"
#include "support/refusal.h"
#include "support/scratch_database.h"
#include "support/text_spectrum_file.h"

namespace orvane {
namespace {

using Bytes = std::vector<unsigned char>;

std::string RealFile(const std::string& name) {
    return std::string(ORVANE_TEST_DATA) + "/asd/" + name;
}

// Stores v little-endian whatever the host's order.
template <typename T>
void Put(Bytes& b, std::size_t at, T v) {
    using U = std::conditional_t<sizeof(T) == 2, std::uint16_t,
                                 std::conditional_t<sizeof(T) == 4, std::uint32_t, std::uint64_t>>;
    U bits;
    std::memcpy(&bits, &v, sizeof v);
    for (std::size_t i = 0; i < sizeof v; ++i)
        b[at + i] = static_cast<unsigned char>(bits >> (8 * i));
}

// A header that describes its data, optionally followed by a white reference.
struct DescribedFile {
    std::string version = "as7";
    unsigned char type = 0;
    unsigned char format = 2;
    float first = 350.0f;
    float step = 1.0f;
    std::vector<double> spectrum;
    std::vector<double> reference;  // empty: no reference block
    std::string description;

    Bytes Build() const {
        const std::size_t width = format == 0 ? 4 : 8;
        Bytes b(484, 0);
        std::memcpy(b.data(), version.data(), 3);
        b[186] = type;
        Put(b, 191, first);
        Put(b, 195, step);
        b[199] = format;
        Put(b, 204, static_cast<std::uint16_t>(spectrum.size()));
        auto append = [&](const std::vector<double>& block) {
            const std::size_t at = b.size();
            b.resize(at + width * block.size());
            for (std::size_t i = 0; i < block.size(); ++i) {
                if (width == 4)
                    Put(b, at + 4 * i, static_cast<float>(block[i]));
                else
                    Put(b, at + 8 * i, block[i]);
            }
        };
        append(spectrum);
        if (!reference.empty()) {
            const std::size_t at = b.size();
            b.resize(at + 20, 0);
            Put(b, at, static_cast<std::int16_t>(-1));
            Put(b, at + 18, static_cast<std::uint16_t>(description.size()));
            b.insert(b.end(), description.begin(), description.end());
            append(reference);
        }
        return b;
    }
};

// Channel k holds k, the white reference 1000 everywhere: reflectance at channel k is k / 1000,
// so a block read from the wrong place shows.
DescribedFile Ramp(std::size_t channels) {
    DescribedFile f;
    for (std::size_t k = 0; k < channels; ++k) f.spectrum.push_back(static_cast<double>(k));
    f.reference.assign(channels, 1000.0);
    return f;
}

class FieldSpectrumReaderTest : public ::testing::Test {
  protected:
    std::string Write(const std::string& name, const Bytes& bytes) {
        const std::string path = dir_.File(name);
        std::ofstream(path, std::ios::binary)
            .write(reinterpret_cast<const char*>(bytes.data()), static_cast<long>(bytes.size()));
        return path;
    }

    test::TempDir dir_;
};

// Wavelength and value of each line of the maker's export ("350; 0.98").
std::vector<std::pair<int, double>> ReadExport(const std::string& path) {
    std::ifstream in(path);
    std::string line;
    std::getline(in, line);
    std::vector<std::pair<int, double>> rows;
    while (std::getline(in, line)) {
        const std::size_t sep = line.find(';');
        rows.emplace_back(std::atoi(line.c_str()), std::strtod(line.c_str() + sep + 1, nullptr));
    }
    return rows;
}

TEST_F(FieldSpectrumReaderTest, MatchesTheMakersReflectanceExports) {
    for (const char* name : {"ribb00001", "ribb00002", "ribb00003", "ribb00004", "ribb00005"}) {
        SCOPED_TRACE(name);
        const std::string path = RealFile(std::string("vendor-export/") + name + ".asd");
        const FieldSpectrumContents contents = ReadFieldSpectrumValues(path);
        const auto expected = ReadExport(path + ".txt");
        ASSERT_EQ(contents.reflectances.size(), 2150u);
        ASSERT_GE(expected.size(), 2150u);
        for (std::size_t i = 0; i < 2150; ++i) {
            ASSERT_EQ(expected[i].first, 350 + static_cast<int>(i));
            const double v = expected[i].second;
            ASSERT_NEAR(contents.reflectances[i], v, 1e-9 * std::fabs(v)) << 350 + i << " nm";
        }
        const auto spectrum = ReadSpectrumFile(path);
        Chain chain{CompiledChain::Compile(ChainSpec{})};
        const BandVector& raw = chain.Run(*spectrum, Stage::kRaw);
        for (std::size_t i = 0; i < 2150; i += 307) {
            EXPECT_EQ(spectrum->reflectances_[i], static_cast<float>(contents.reflectances[i]));
            EXPECT_EQ(raw.Value(350 + static_cast<int>(i)),
                      static_cast<double>(spectrum->reflectances_[i]));
        }
    }
}

TEST_F(FieldSpectrumReaderTest, EveryFileVersionGivesPlausibleReflectance) {
    for (const char* name : {"as6/v6sample00000.asd", "as7/v7sample00003.asd", "as8/soil.asd"}) {
        SCOPED_TRACE(name);
        const auto values = ReadFieldSpectrumValues(RealFile(name)).reflectances;
        ASSERT_EQ(values.size(), 2150u);
        // Raw counts run into the thousands; a reflectance of a field target stays below 1.5.
        for (double v : values) ASSERT_TRUE(v > 0.0 && v < 1.5) << v;
    }
}

// The oldest layout (support/instrument_file.h): no channel count, 2150 floats after the header.
TEST_F(FieldSpectrumReaderTest, OldLayoutKeepsTheStoredFloats) {
    test::InstrumentFile file;
    for (int i = 0; i < 2150; ++i) file.values.push_back(0.001f * static_cast<float>(i) - 0.3f);
    file.time = {2009, 12, 8, 10, 3, 28};
    file.comment = std::string(157, 'c');  // fills its field, no terminator
    test::WriteInstrumentFile(dir_.File("leaf.012"), file);
    const auto spectrum = ReadSpectrumFile(dir_.File("leaf.012"));
    Chain chain{CompiledChain::Compile(ChainSpec{})};
    const BandVector& raw = chain.Run(*spectrum, Stage::kRaw);
    for (std::size_t i = 0; i < 2150; ++i) {
        ASSERT_EQ(spectrum->reflectances_[i], file.values[i]);
        const int band = 350 + static_cast<int>(i);
        ASSERT_EQ(raw.Value(band), static_cast<double>(file.values[i]));
        ASSERT_EQ(raw.X(band), 350.0 + static_cast<double>(i));
    }
    EXPECT_EQ(std::make_tuple(spectrum->comment_, spectrum->capture_time_.month,
                              spectrum->capture_time_.year, spectrum->number_,
                              spectrum->DisplayName()),
              std::make_tuple(file.comment, 12, 2009, 12, std::string("leaf.012")));
}

TEST(SpectrumFileName, NumbersComeFromExtensionOrTrailingDigits) {
    const std::pair<const char*, int> cases[] = {
        {"/data/site1/leaf.012", 12},    {"/data/site1/leaf.asd", 0},
        {"/data/v1.20/leaf.asd", 0},     {"/data/site1/leaf7", 7},
        {"C:\\data\\leaf00042.asd", 42}, {"/d/x1234567890123.asd", 567890123}};
    for (const auto& [path, number] : cases) {
        Spectrum spectrum;
        SetSpectrumFileIdentity(spectrum, path);
        EXPECT_EQ(spectrum.number_, number) << path;
        EXPECT_EQ(spectrum.dummy_, 0);
    }
    Spectrum spectrum;
    SetSpectrumFileIdentity(spectrum, "C:\\data\\leaf00042.asd");
    EXPECT_EQ(spectrum.name_, "leaf00042.asd");
}

// Only the instrument's own naming makes an instrument file, so copies and exports beside the
// measurements are not imported as further spectra; where a name gives a number, it is the
// number SetSpectrumFileIdentity gives.
TEST(InstrumentFileNumber, TheInstrumentsNamingOnly) {
    const std::pair<const char*, std::optional<int>> cases[] = {
        {"leaf.012", 12},        {"at00012.asd", 12},       {"AT00012.ASD", 12},
        {"gs00011.aSd", 11},     {"gs00011.001", 1},        {"leaf.012x", 12},
        {"x.1.asd", 1},          {"x1234567890123.asd", 567890123},
        {"leaf.1234567890123", 567890123},                  {"7.asd", 7},
        {"gs00011.", {}},        {"gs00011.asd.txt", {}},   {"notes.txt", {}},
        {"leaf.asd", {}},        {"leaf7", {}},             {"leaf", {}},
        {"gs00011.asd~", {}},    {"gs00011.asdx", {}},      {".asd", {}},
        {"", {}},                {"12.as", {}},             {"gs00011.x01", {}},
        {"leaf_00012.sig", 12},  {"plot3.0005.sed", 5},     {"LEAF7.SiG", 7},
        {"x.2.SED", 2},          {"leaf_00012_moc.sig", 12}, {"LEAF_00012_MOC.SIG", 12},
        {"leaf_moc.sig", {}},    {"_moc.sig", {}},          {"leaf12_moc.sed", {}},
        {"leaf.sed", {}},        {"leaf12.sig.txt", {}},    {"leaf12.sigx", {}},
        {"leaf12.se", {}}};
    for (const auto& [name, number] : cases) {
        EXPECT_EQ(InstrumentFileNumber(name), number) << name;
        if (number) {
            EXPECT_EQ(SpectrumNumberOfFileName(name), *number) << name;
        }
    }
}

TEST_F(FieldSpectrumReaderTest, DescribedLayoutsAreReadByTheirHeader) {
    DescribedFile skip_one = Ramp(2152);  // starts at 349 nm: 350 nm is channel 1
    skip_one.first = 349.0f;
    skip_one.format = 0;
    skip_one.description = "white panel 3";
    DescribedFile stored_reflectance;  // an older version keeps reflectance without reference
    stored_reflectance.version = "as5";
    stored_reflectance.type = 1;
    for (int k = 0; k < 2151; ++k) stored_reflectance.spectrum.push_back(k / 1000.0);
    // With the channel that holds 350 nm.
    for (const auto& [file, first_channel] : {std::make_pair(&skip_one, 1),
                                              std::make_pair(&stored_reflectance, 0)}) {
        SCOPED_TRACE(first_channel);
        const auto values = ReadFieldSpectrumValues(Write("d.asd", file->Build())).reflectances;
        for (int i : {0, 1, 1000, 2149})
            EXPECT_DOUBLE_EQ(values[static_cast<std::size_t>(i)], (i + first_channel) / 1000.0);
    }
}

TEST_F(FieldSpectrumReaderTest, FilesThatCannotGiveTheGridAreRefused) {
    test::InstrumentFile old;
    test::WriteInstrumentFile(dir_.File("truncated.001"), old);
    std::filesystem::resize_file(dir_.File("truncated.001"), 484 + 4 * 2150 - 1);
    old.values.assign(2150, 0.25f);
    old.values[700] = std::numeric_limits<float>::quiet_NaN();
    test::WriteInstrumentFile(dir_.File("nan.001"), old);
    DescribedFile unknown_format = Ramp(2151);
    unknown_format.format = 3;
    DescribedFile wide_step = Ramp(2151);
    wide_step.step = 2.0f;
    DescribedFile short_range = Ramp(2000);
    DescribedFile zero_white = Ramp(2151);
    zero_white.reference[50] = 0.0;
    DescribedFile raw_without_white = Ramp(2151);
    raw_without_white.version = "as5";
    raw_without_white.reference.clear();
    Bytes cut_in_white = Ramp(2151).Build();
    cut_in_white.resize(cut_in_white.size() - 8);
    Bytes garbage(9084);
    std::mt19937 random(5);
    for (auto& byte : garbage) byte = static_cast<unsigned char>(random());
    std::filesystem::create_directory(dir_.File("folder.asd"));
    ASSERT_EQ(::mkfifo(dir_.File("pipe.asd").c_str(), 0600), 0);  // opening it would wait forever

    const std::pair<std::string, std::string> cases[] = {
        {Write("empty.asd", {}), "shorter than the 484-byte header"},
        {Write("garbage.asd", garbage), "was not read"},
        {dir_.File("truncated.001"), "ends after 9083 bytes"},
        {dir_.File("nan.001"), "at 1050 nm is not a finite"},
        {Write("format.asd", unknown_format.Build()), "data format code 3"},
        {Write("step.asd", wide_step.Build()), "do not cover 350 to 2499 nm"},
        {Write("short.asd", short_range.Build()), "2000 channels from 350 nm"},
        {Write("zero.asd", zero_white.Build()), "white reference is 0 at 400 nm"},
        {Write("raw.asd", raw_without_white.Build()), "no white reference"},
        {Write("cut.asd", cut_in_white), "inside its white reference"},
        {RealFile("other-instrument/raw.asd"), "751 channels from 325 nm"},
        {dir_.File("missing.asd"), "cannot be opened"},
        {dir_.File("folder.asd"), "it is a folder, not a regular file"},
        {dir_.File("pipe.asd"), "it is a named pipe, not a regular file"}};
    for (const auto& [path, reason] : cases) {
        const std::string message =
            test::RefusalMessage([file = path] { ReadFieldSpectrumValues(file); });
        EXPECT_NE(message.find(path), std::string::npos) << path << ": " << message;
        EXPECT_NE(message.find(reason), std::string::npos) << path << ": " << message;
    }
}

// The suites below read files only, so they run without the database ("Math" keeps the
// server's fixture away from them).

// A row of the readers' list that would make recognition depend on something other than its
// order: a reader that reads nothing or both kinds, two readers for the rest, an extension two
// readers claim.
TEST(SpectrumReadersMath, EachRowIsOneCompleteReader) {
    int takes_the_rest = 0;
    std::set<std::string> extensions;
    for (const SpectrumReader& reader : SpectrumReaders()) {
        SCOPED_TRACE(std::string(reader.name));
        EXPECT_FALSE(reader.name.empty() || reader.files.empty());
        EXPECT_NE(reader.read_values == nullptr, reader.read_on_sensor == nullptr);
        EXPECT_EQ(reader.Bands() == ReaderBands::kSensorBands,
                  !reader.not_a_field_spectrum.empty());
        EXPECT_FALSE(reader.extensions.empty());
        for (std::string_view extension : reader.extensions) {
            EXPECT_TRUE(extensions.emplace(extension).second) << extension;
            for (char c : extension) EXPECT_FALSE(c >= 'A' && c <= 'Z') << extension;
        }
        takes_the_rest += reader.takes_the_rest;
        if (reader.takes_the_rest) {
            EXPECT_EQ(reader.recognises, nullptr);
            EXPECT_EQ(reader.Bands(), ReaderBands::kFieldGrid);
        }
    }
    EXPECT_EQ(takes_the_rest, 1);
}

// Every instrument file of the test data goes to the reader of its folder, by its name and, for
// a text, by its content alone once renamed; the binary files, which hold no text, go to the
// reader of the rest under any name.
TEST(SpectrumReadersMath, RealFilesGoToTheirReaders) {
    const std::map<std::string, std::string_view> reader_of_folder = {
        {"asd", "binary"}, {"sig", "SIG"}, {"sed", "SED"}, {"zprofile", "ENVI Z"}};
    test::TempDir dir;
    int files = 0;
    for (const auto& [folder, name] : reader_of_folder) {
        for (const auto& entry : std::filesystem::recursive_directory_iterator(
                 std::string(ORVANE_TEST_DATA) + "/" + folder)) {
            const std::string path = entry.path().string();
            // The folder's notes and the maker's text exports beside its binary files.
            if (!entry.is_regular_file() || entry.path().filename() == "README.md" ||
                entry.path().stem().extension() == ".asd")
                continue;
            ++files;
            EXPECT_EQ(ReaderOfFile(path).name, name) << path;
            const std::string renamed = dir.File("renamed" + std::to_string(files));
            std::filesystem::copy_file(path, renamed);
            EXPECT_EQ(ReaderOfFile(renamed).name, name) << path << " without its name";
        }
    }
    EXPECT_EQ(files, 15);
    // A field spectrum's reading refuses a profile on a sensor's bands, saying what it is.
    EXPECT_TRUE(test::Refuses(
        [] { ReadSpectrumFile(std::string(ORVANE_TEST_DATA) + "/zprofile/pixel.txt"); },
        ": it is an ENVI Z profile, which lies on a sensor's bands; load it as a Z profile on "
        "the current sensor."));
}

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
    const std::tuple<const char*, bool, std::vector<test::TextChannel>, TextFileStyle, std::string,
                     const std::vector<double>*>
        cases[] = {
            {"SIG overlap named", true, unmatched, point, "990,1900", &kNamedBreaks},
            {"SIG overlap named, comma, CRLF", true, unmatched, comma_crlf, "990,1900",
             &kNamedBreaks},
            {"SIG overlap, no point named", true, unmatched, point, "", &kMiddleBreaks},
            {"SIG overlap, named outside", true, unmatched, comma_crlf, "1100,1950",
             &kMiddleBreaks},
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
    for (const auto& [what, sig, channels, style, remove_at_or_column, expected] : cases) {
        SCOPED_TRACE(what);
        FieldSpectrumContents contents;
        if (sig) {
            SigFile f;
            f.channels = channels;
            f.style = style;
            f.remove_at = remove_at_or_column;
            contents = ReadSigSpectrumValues(Write("t.sig", test::SigText(f)));
        } else {
            SedFile f;
            f.channels = channels;
            f.style = style;
            f.reflectance_column = remove_at_or_column;
            contents = ReadSedSpectrumValues(Write("t.sed", test::SedText(f)));
        }
        ASSERT_EQ(contents.reflectances.size(), static_cast<std::size_t>(kSpectrumBands));
        ExpectValues(AtBands(contents.reflectances), *expected);
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
    const std::tuple<std::string, bool, CaptureTime, bool> cases[] = {
        {"1/18/2008 11:47:25 AM, 1/18/2008 11:51:57 AM", false, {2008, 1, 18, 11, 51, 57}, false},
        {"02/11/2022 05:12:23 a.m., 02/11/2022 05:20:37 p.m.",
         true,
         {2022, 11, 2, 17, 20, 37},
         false},
        {"02/11/2022 05:12:23 a.m., 02/11/2022 05:20:37 p.m.",
         false,
         {2022, 2, 11, 17, 20, 37},
         false},
        {"13/11/2022 17:20:37", false, {2022, 11, 13, 17, 20, 37}, false},
        {"11/13/2022 12:20:37 A. M.", true, {2022, 11, 13, 0, 20, 37}, false},
        {"2022-11-02 12:05:00 pm", false, {2022, 11, 2, 12, 5, 0}, false},
        {"31/02/2022 10:00:00", false, {}, true},
        {"soon", false, {}, true},
        {"", false, {}, false},
    };
    for (const auto& [time, decimal_comma, expected, noted] : cases) {
        SCOPED_TRACE(time);
        SigFile f;
        f.time = time;
        f.style.decimal_comma = decimal_comma;
        f.channels = {{35000, 1000}, {36000, 2000}};
        const FieldSpectrumContents contents =
            ReadSigSpectrumValues(Write("h.sig", test::SigText(f)));
        EXPECT_EQ(Fields(contents.capture_time), Fields(expected));
        EXPECT_EQ(contents.notes.size(), noted ? 1u : 0u);
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
    const std::tuple<bool, std::string, std::string> cases[] = {
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
        {false, sed_column("Reflect."),
         line(14) + ": its reflectance column \"Reflect.\" names "
                    "no unit"},
        {false, sed_column("Rad. (Other)"), line(14) + " names no reflectance column"},
        {false, "Comment:\nData:\nWavelength\tReflect. %\n", line(3) + " names no wavelength"},
        {false, with_sed_row("2515.00\t1\t2"),
         line(sed_rows + 1) + " has 3 columns where " + line(14) + " names 4"},
        {false, with_sed_row("2515,00\t1\t2\t3\t"), ""},  // a trailing tab is no column
        {false, with_sed_row("x\t1\t2\t3"),
         line(sed_rows + 1) + ": its wavelength \"x\" is not a number"},
        {false, with_sed_row("2515.00\t1\t2\t-"),
         line(sed_rows + 1) + ": its reflectance \"-\" is not a number"},
    };
    for (const auto& [sig, text, reason] : cases) {
        SCOPED_TRACE(reason);
        const std::string path = Write(sig ? "bad.sig" : "bad.sed", text);
        const auto read = sig ? &ReadSigSpectrumValues : &ReadSedSpectrumValues;
        const std::string message = test::RefusalMessage([&] { read(path); });
        if (reason.empty()) {
            EXPECT_EQ(message, "");
            continue;
        }
        EXPECT_EQ(message.rfind("Field spectrum file " + path + " was not read: ", 0), 0u)
            << message;
        EXPECT_NE(message.find(reason), std::string::npos) << message;
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
