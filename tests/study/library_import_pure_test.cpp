// SPDX-License-Identifier: GPL-3.0-or-later
// Spectral libraries read from ENVI and CSV files and put on the 1 nm grid.
#include <gtest/gtest.h>

#include <cstdint>
#include <fstream>
#include <string>
#include <vector>

#include "base/band_grid.h"
#include "base/orvane_error.h"
#include "spectra/field_spectrum_reader.h"
#include "study/library_import.h"
#include "support/scratch_database.h"

namespace orvane {
namespace {

// The value of the grid at a wavelength; kStoredNoValue where the band has none.
double At(const std::vector<double>& grid, int nm) {
    return grid.at(static_cast<size_t>(nm - kFirstWavelength));
}

class LibraryFiles : public ::testing::Test {
  protected:
    std::string Write(const std::string& name, const std::string& bytes) {
        std::ofstream(dir_.File(name), std::ios::binary) << bytes;
        return dir_.File(name);
    }
    // Big-endian 16-bit integers, as an ENVI header with "byte order = 1" describes them.
    static std::string BigEndian16(const std::vector<int16_t>& values) {
        std::string bytes;
        for (int16_t v : values) {
            const auto u = static_cast<uint16_t>(v);
            bytes += static_cast<char>(u >> 8);
            bytes += static_cast<char>(u & 0xFF);
        }
        return bytes;
    }
    static std::string Header(const std::string& extra) {
        return "ENVI\ndescription = {\n  test library}\nsamples = 4\nlines = 2\nbands = 1\n"
               "header offset = 0\nfile type = ENVI Spectral Library\ndata type = 2\n"
               "interleave = bsq\nbyte order = 1\n" +
               extra;
    }

    test::TempDir dir_;
};

TEST_F(LibraryFiles, EnviLibraryInMicrometresBigEndianScaledWithAGap) {
    Write("lib.hdr", Header("wavelength units = Micrometers\nwavelength = {\n 0.4, 0.5,\n 0.6, "
                            "0.7}\nreflectance scale factor = 10000\ndata ignore value = -9999\n"
                            "spectra names = {\n leaf \"young\",  bark }\n"));
    const std::string path =
        Write("lib.sli", BigEndian16({1000, 2000, 3000, 4000, 500, -9999, 1500, 2500}));
    const SpectralLibraryFile lib = ReadSpectralLibrary(dir_.File("lib.hdr"));
    EXPECT_EQ(lib.path, path);
    EXPECT_EQ(lib.names, (std::vector<std::string>{"leaf \"young\"", "bark"}));
    EXPECT_EQ(lib.wavelengths, (std::vector<double>{400, 500, 600, 700}));
    EXPECT_EQ(lib.scale, 10000.0);
    // By hand: the straight line through the neighbouring values, no value beyond them.
    const std::vector<double> leaf = LibrarySpectrumOnGrid(lib, 0, lib.scale);
    EXPECT_NEAR(At(leaf, 400), 0.1, 1e-15);
    EXPECT_NEAR(At(leaf, 450), 0.15, 1e-15);
    EXPECT_NEAR(At(leaf, 633), 0.333, 1e-12);
    EXPECT_NEAR(At(leaf, 700), 0.4, 1e-15);
    EXPECT_EQ(At(leaf, 399), kStoredNoValue);
    EXPECT_EQ(At(leaf, 701), kStoredNoValue);
    // The ignored value at 500 nm leaves a gap between 400 and 600 nm rather than a bridge.
    const std::vector<double> bark = LibrarySpectrumOnGrid(lib, 1, lib.scale);
    EXPECT_NEAR(At(bark, 400), 0.05, 1e-15);
    EXPECT_EQ(At(bark, 401), kStoredNoValue);
    EXPECT_EQ(At(bark, 599), kStoredNoValue);
    EXPECT_NEAR(At(bark, 650), 0.2, 1e-15);
}

TEST_F(LibraryFiles, PartheniumRowsEqualTheDemoStudyFilesMadeFromThem) {
    // examples/make-demo-study wrote each row / 100 as float32: the import of the table must
    // give the same stored values, bit for bit.
    const SpectralLibraryFile lib =
        ReadSpectralLibrary(test::TestData("library/parthenium_excerpt.csv"));
    EXPECT_EQ(lib.layout, "CSV, one row per spectrum");
    EXPECT_EQ(lib.names, (std::vector<std::string>{"PH", "PH", "AT"}));
    ASSERT_EQ(lib.wavelengths.size(), 2151u);
    const char* files[] = {"PH/site01/ph00001.asd", "PH/site01/ph00002.asd",
                           "AT/site01/at00001.asd"};
    for (size_t s = 0; s < 3; ++s) {
        const std::vector<double> grid = LibrarySpectrumOnGrid(lib, s, 100.0);
        const FieldSpectrumContents file = ReadFieldSpectrumValues(
            test::SourcePath(std::string("examples/demo-study/") + files[s]));
        size_t differ = 0;
        for (size_t b = 0; b < grid.size(); ++b)
            differ += static_cast<float>(grid[b]) != static_cast<float>(file.reflectances[b]);
        EXPECT_EQ(differ, 0u) << files[s];
    }
}

TEST_F(LibraryFiles, CsvColumnsWithQuotedNamesAndAMissingValue) {
    const SpectralLibraryFile lib =
        ReadSpectralLibrary(Write("wide.csv",
                                  "nm,\"grass, dry\",\"leaf \"\"A\"\"\"\n400,0.1,0.2\n500,0.3,\n"
                                  "600,0.5,0.6\n"));
    EXPECT_EQ(lib.layout, "CSV, one column per spectrum");
    EXPECT_EQ(lib.names, (std::vector<std::string>{"grass, dry", "leaf \"A\""}));
    ASSERT_EQ(lib.notes.size(), 1u);  // the unit, taken as nanometres
    const std::vector<double> leaf = LibrarySpectrumOnGrid(lib, 1, 1.0);
    EXPECT_NEAR(At(leaf, 400), 0.2, 1e-15);
    EXPECT_EQ(At(leaf, 500), kStoredNoValue);
    EXPECT_NEAR(At(leaf, 600), 0.6, 1e-15);
    EXPECT_NEAR(At(LibrarySpectrumOnGrid(lib, 0, 1.0), 450), 0.2, 1e-15);
}

TEST_F(LibraryFiles, RefusesBrokenLibraries) {
    const std::string names = "wavelength = {400, 500, 600, 700}\nspectra names = {a, b}\n";
    Write("cut.hdr", Header(names));
    Write("cut.sli", BigEndian16({1, 2, 3, 4, 5, 6, 7}));  // one value short
    Write("nonames.hdr", Header("wavelength = {400, 500, 600, 700}\n"));
    Write("nonames.sli", BigEndian16({1, 2, 3, 4, 5, 6, 7, 8}));
    const struct {
        std::string path;
        const char* says;
    } cases[] = {
        {dir_.File("cut.sli"), "it holds 14 bytes, but its header describes 2 spectra"},
        {dir_.File("nonames.sli"), "no \"spectra names\""},
        {dir_.File("missing.sli"), "its header"},
        // 2.6 and 2.7 are micrometres: 2600 to 2700 nm, beyond the grid.
        {Write("far.csv", "wl,a\n2.6,0.1\n2.7,0.2\n"), "cover no band from 350 to 2499 nm"},
        {Write("twice.csv", "wl,a\n400,0.1\n400,0.2\n"), "400 nm appears twice"},
        {Write("stray.csv", "wl,le\"af\n400,0.1\n"), "line 1: a quote inside a field"},
        {Write("open.csv", "wl,\"leaf\n400,0.1\n"), "never closed"},
        {Write("numbers.csv", "wl,1,2\n400,0.1,0.2\n500,0.1,0.2\n"), "neither names the spectra"},
        {Write("ragged.csv", "wl,a,b\n400,0.1,0.2\n500,0.1\n"), "line 3 has 2 fields"},
        {Write("word.csv", "wl,a\n400,high\n"), "\"high\" is no number"},
        {Write("unnamed.csv", "species,400,500\n,0.1,0.2\n"), "spectrum 1 has no name"},
    };
    for (const auto& c : cases) {
        try {
            ReadSpectralLibrary(c.path);
            ADD_FAILURE() << "accepted " << c.path;
        } catch (const OrvaneError& e) {
            EXPECT_TRUE(test::Contains(e.what(), c.says)) << e.what();
        }
    }
}

}  // namespace
}  // namespace orvane
