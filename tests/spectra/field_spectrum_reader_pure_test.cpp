// SPDX-License-Identifier: GPL-3.0-or-later
#include "chain/processing_chain.h"
#include "spectra/field_spectrum_reader.h"

#include <gtest/gtest.h>
#include <sys/stat.h>

#include <cmath>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <map>
#include <set>
#include <limits>
#include <optional>
#include <random>
#include <tuple>
#include <type_traits>

#include "base/orvane_error.h"
#include "spectra/spectrum_file.h"
#include "support/instrument_file.h"
#include "support/refusal.h"
#include "support/scratch_database.h"

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

std::string RefusalOf(const std::string& path) {
    try {
        ReadFieldSpectrumValues(path);
    } catch (const OrvaneError& e) {
        return e.what();
    }
    return "";
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
        const std::string message = RefusalOf(path);
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

}  // namespace
}  // namespace orvane
