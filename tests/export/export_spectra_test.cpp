// SPDX-License-Identifier: GPL-3.0-or-later
#include "export/export_spectra.h"

#include <gtest/gtest.h>
#include <signal.h>
#include <fcntl.h>
#include <sys/resource.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <string>
#include <tuple>
#include <utility>
#include <vector>

#include "base/orvane_error.h"
#include "base/parallel.h"
#include "support/analysis_rig.h"
#include "support/feature_study.h"
#include "support/refusal.h"
#include "support/run_python.h"
#include "support/study_rows.h"

namespace orvane {
namespace {

using test::FileText;
using test::Lines;

// The settings of an export; what is not given keeps its default.
ExportSettings Settings(Stage stage, int format = ExportSettings::kCsv,
                        int details = kEverySpectrum,
                        int species = ExportSettings::kLibrarySpecies,
                        int names = kFolderName) {
    ExportSettings s;
    s.stage = stage;
    s.format = format;
    s.data_details = details;
    s.species_restriction = species;
    s.name_type = names;
    return s;
}

std::string D(double v) {
    char text[40];
    std::snprintf(text, sizeof text, "%.14E", v);
    return text;
}

// A study of four species whose spectra are constant, so that every exported value is known
// exactly: folders "2" (3 spectra, endmember), "10" (3), "100" (2, below the study's minimum
// of 3) and "o'neil" (3, two sites).
class ExportTest : public test::AnalysisRig {
  protected:
    ExportTest() : AnalysisRig("export") {}
    void SetUp() override {
        Database& db = Admin();
        study_ = test::InsertStudy(db, "field 2026");
        AddSpecies("2", {{1, {0.25f, 0.75f}}, {2, {0.5f}}}, "Two", "Endmember");
        db.Execute("update species set endmember = 'Y' where folder_name = '2'");
        AddSpecies("10", {{1, {0.125f, 0.125f, 0.125f}}}, "Ten", "");
        AddSpecies("100", {{1, {0.5f, 0.5f}}}, "Hundred", "");
        AddSpecies("o'neil", {{3, {0.0625f}}, {5, {0.1875f, 0.3125f}}}, "Neil common", "");
        ImportSensors({test::SourcePath("data/sensors/landsat8_oli.txt")});
        UseStudy(study_);
    }

    void AddSpecies(const std::string& folder,
                    const std::vector<std::pair<int, std::vector<float>>>& sites,
                    const std::string& common, const std::string& latin) {
        Database& db = Admin();
        const int species = test::InsertSpecies(db, study_, folder, common, latin);
        test::InsertConstantSpectra(db, study_, species, sites);
    }

    std::string Python(const std::string& script, const std::vector<std::string>& files) {
        return test::RunPython(dir_, script, files);
    }

    ExportResult Run(const ExportSettings& settings) {
        return ExportSpectra(*loader_, output_, *session_, frontend_, settings);
    }

    int study_ = 0;
};

TEST_F(ExportTest, DefaultsWriteTheSynthesizedStageOfLibrarySpeciesAsCsv) {
    const ExportResult r = Run(ExportSettings());
    EXPECT_EQ(r.path, dir_.Path() + "/out/field 2026_Landsat 8 OLI_synth_lib_species.csv");
    EXPECT_EQ(r.species, 3);
    EXPECT_EQ(frontend_.reports,
              (std::vector<std::string>{"Exported 3 species\n",
                                        "Wrote " + r.path + "\n9 rows, 7 columns of values (9 "
                                                            "spectra or means, 7 bands)\n"}));

    const std::vector<std::string> lines = Lines(r.path);
    ASSERT_EQ(lines.size(), 1u + 3 + 3 + 3);
    const std::vector<std::string> header = test::Cells(lines[0]);
    ASSERT_EQ(header.size(), 8u);  // species and the seven calibrated bands
    EXPECT_EQ(std::make_tuple(header[0], header[1], header[7]),
              std::make_tuple("species", D(442.98), D(2201.25)));
    // Text order of folders, one row per spectrum; "100" has too few spectra.
    EXPECT_EQ(std::make_tuple(test::Cells(lines[1])[0], test::Cells(lines[4])[0], test::Cells(lines[7])[0]),
              std::make_tuple("10", "2", "o'neil"));
    // A flat spectrum synthesizes to the same flat value in every band.
    for (size_t i = 1; i < lines.size(); ++i) {
        const std::vector<std::string> f = test::Cells(lines[i]);
        ASSERT_EQ(f.size(), header.size()) << lines[i];
        for (size_t k = 2; k < f.size(); ++k)
            EXPECT_NEAR(std::atof(f[k].c_str()), std::atof(f[1].c_str()), 1e-6);
    }
    EXPECT_NEAR(std::atof(test::Cells(lines[1])[1].c_str()), 0.125, 1e-6);

    // A slash in the study's name stays in the output folder.
    Admin().Execute(Sql("update study set name = '../up/over' where study_id = %i", study_));
    const ExportResult slashed = Run(ExportSettings());
    EXPECT_EQ(std::filesystem::path(slashed.path).parent_path(), dir_.Path() + "/out");
    EXPECT_EQ(std::filesystem::path(slashed.path).filename(),
              ".._up_over_Landsat 8 OLI_synth_lib_species.csv");
}

TEST_F(ExportTest, HeaderAndRowsStayAlignedAroundExcludedBands) {
    test::InsertWavebandFilter(Admin(), study_, {{1350, 1449}, {2400, 2499}});
    session_->SetStudy(study_);
    ExportSettings s = Settings(Stage::kFiltered, ExportSettings::kCsv, kEverySpectrum,
                                ExportSettings::kEndmembers);

    const std::string path = Run(s).path;
    EXPECT_EQ(std::filesystem::path(path).filename(), "field 2026_filtered_endmembers.csv");
    std::vector<std::string> lines = Lines(path);
    ASSERT_EQ(lines.size(), 4u);
    std::string header = "species";
    std::string row = "2";
    for (int w = 350; w <= 2399; ++w) {
        if (w >= 1350 && w <= 1449) continue;
        header += "," + std::to_string(w);
        row += "," + D(0.25);
    }
    EXPECT_EQ(lines[0], header);
    EXPECT_EQ(lines[1], row);

    // With the filtered bands every band has a column and the excluded ones are empty.
    s.include_filtered = true;
    lines = Lines(Run(s).path);
    const std::vector<std::string> h = test::Cells(lines[0]);
    const std::vector<std::string> f = test::Cells(lines[3]);
    ASSERT_EQ(std::make_pair(h.size(), f.size()), std::make_pair(size_t{2151}, size_t{2151}));
    EXPECT_EQ(std::make_tuple(h[1400 - 349], f[1400 - 349], f[1349 - 349], f[2150]),
              std::make_tuple("1400", "", D(0.5), ""));
}

TEST_F(ExportTest, RawStageKeepsAllBandsAndOffsetsRaiseEarlierSpecies) {
    test::InsertWavebandFilter(Admin(), study_, {{1350, 1449}});
    session_->SetStudy(study_);
    ExportSettings s = Settings(Stage::kRaw, ExportSettings::kCsv, kSpeciesMean,
                                ExportSettings::kAllSpecies, kCommonName);
    s.offset_percent = 10;
    s.sort_numerically = true;

    const std::vector<std::string> lines = Lines(Run(s).path);
    ASSERT_EQ(lines.size(), 5u);
    EXPECT_EQ(test::Cells(lines[0]).size(), 2151u);
    // "o'neil" counts as 0 and so comes first; offsets 0.3, 0.2, 0.1 and 0 in that order.
    const struct {
        const char* name;
        double value;
    } expected[] = {{"Neil common", (0.0625 + 0.1875 + 0.3125) / 3 + 0.3},
                    {"Two", 0.5 + 0.2}, {"Ten", 0.125 + 0.1}, {"Hundred", 0.5}};
    for (size_t i = 0; i < 4; ++i) {
        const std::vector<std::string> f = test::Cells(lines[i + 1]);
        ASSERT_EQ(f.size(), 2151u);
        EXPECT_EQ(f[0], expected[i].name);
        EXPECT_NEAR(std::atof(f[1].c_str()), expected[i].value, 1e-12) << f[0];
        EXPECT_EQ(f[1400 - 349], f[1]) << "raw values ignore the filter";
    }
}

// The transposed table: one line per band, species and site numbers above, and an excluded band
// keeps its empty fields in place.
TEST_F(ExportTest, SiteMeansWithAutoNumbersInTransposedEnviFile) {
    test::InsertWavebandFilter(Admin(), study_, {{351, 352}});
    session_->SetStudy(study_);
    ExportSettings s = Settings(Stage::kFiltered, ExportSettings::kEnvi, kSiteMean,
                                ExportSettings::kAllSpecies, kAutoNumber);
    s.include_filtered = true;

    const ExportResult r = Run(s);
    EXPECT_EQ(std::filesystem::path(r.path).filename(),
              "field 2026_filtered_all_species_site_mean.txt");
    const std::vector<std::string> lines = Lines(r.path);
    ASSERT_EQ(lines.size(), 2u + 2150);
    // Species in folder order 10, 100, 2, o'neil; sites 1 | 1 | 1, 2 | 3, 5.
    EXPECT_EQ(lines[0], "species,1,2,3,3,4,4");
    EXPECT_EQ(lines[1], "site,1,1,1,2,3,5");
    EXPECT_EQ(lines[2], "350," + D(0.125) + "," + D(0.5) + "," + D(0.5) + "," + D(0.5) + "," +
                            D(0.0625) + "," + D(0.25));
    EXPECT_EQ(lines[3], "351,,,,,,");
}

TEST_F(ExportTest, FeatureStageWritesOneColumnPerFeature) {
    const int fs = test::InsertPairFeatureSpace(Admin());
    session_->SetFeatureSpaceType(1);
    session_->SetFeatureSpace(fs);
    const ExportResult r = Run(Settings(Stage::kFeatures, ExportSettings::kCsv, kSpeciesMean));
    EXPECT_EQ(std::filesystem::path(r.path).filename(),
              "field 2026_pairs_lib_species_species_mean.csv");
    const std::vector<std::string> lines = Lines(r.path);
    ASSERT_EQ(lines.size(), 4u);
    EXPECT_EQ(lines[0], "species,pairs_1,pairs_2");
    for (size_t i = 1; i < lines.size(); ++i) {
        const std::vector<std::string> f = test::Cells(lines[i]);
        ASSERT_EQ(f.size(), 3u);
        // A flat spectrum has a normalised difference of zero.
        EXPECT_NEAR(std::atof(f[1].c_str()), 0.0, 1e-6);
    }
}

TEST_F(ExportTest, AnUnwritableFileOrNothingSelectedWritesNothing) {
    ExportSettings s;
    const std::string path = dir_.Path() + "/out/field 2026_Landsat 8 OLI_synth_lib_species.csv";
    std::filesystem::create_directories(path);  // a folder where the file should go
    EXPECT_TRUE(test::Refuses([&] { Run(s); }, "Could not open file:\n" + path));
    EXPECT_TRUE(frontend_.reports.empty());
    s.offset_percent = 101;
    EXPECT_THROW(Run(s), OrvaneError);
    std::filesystem::remove(path);

    Admin().Execute("update species set endmember = 'Y'");
    s = ExportSettings();
    s.species_restriction = ExportSettings::kMixtures;
    const ExportResult r = Run(s);
    EXPECT_EQ(r.path, "");
    EXPECT_EQ(frontend_.reports, std::vector<std::string>{"Exported 0 species\n"});
    EXPECT_TRUE(std::filesystem::is_empty(dir_.Path() + "/out"));
}

// The ARFF file must load in a real ARFF reader with every value under its attribute and
// names with quotes, backslashes and line ends as they are; a transposed table is refused since
// it would not be ARFF.
TEST_F(ExportTest, ArffLoadsInAnIndependentReader) {
    Database& db = Admin();
    db.Execute("update species set common_name = 'O\\'Brien' where folder_name = '2'");
    db.Execute("update species set common_name = 'line\\rend' where folder_name = '10'");
    test::InsertWavebandFilter(db, study_, {{400, 2450}});
    session_->SetStudy(study_);
    ExportSettings s = Settings(Stage::kFiltered, ExportSettings::kArff, kSiteMean,
                                ExportSettings::kLibrarySpecies, kCommonName);
    s.include_filtered = true;
    const ExportResult r = Run(s);
    const std::vector<std::string> lines = Lines(r.path);
    ASSERT_GE(lines.size(), 3u);
    EXPECT_EQ(lines[0], "@relation 'field 2026_filtered'");
    // Quoted as the grammar reads them; the reader below checks the rest.
    EXPECT_EQ(lines[2],
              "@attribute species {\"line\\rend\",\"Hundred\",\"O'Brien\",\"Neil common\"}");

    EXPECT_EQ(Python("import sys\n"
                     "from scipy.io import arff\n"
                     "data, meta = arff.loadarff(sys.argv[1])\n"
                     "print(len(meta.names()), len(data))\n"
                     "for row in data:\n"
                     "    print(repr(row['species'].decode()), int(row['site']), "
                     "row['b350'], row['b1000'] == row['b1000'], row['b2499'])\n",
                     {r.path}),
              "2152 5\n"
              "'line\\\\rend' 1 0.125 False 0.125\n"
              "\"O'Brien\" 1 0.5 False 0.5\n"
              "\"O'Brien\" 2 0.5 False 0.5\n"
              "'Neil common' 3 0.0625 False 0.0625\n"
              "'Neil common' 5 0.25 False 0.25\n");

    s.transpose = true;
    EXPECT_THROW(Run(s), OrvaneError);
}

// Names a spreadsheet would run as formulas are written as text in every table format, and as
// they are in the binary library's header, which no spreadsheet reads.
TEST_F(ExportTest, NamesThatSpreadsheetsWouldRunStayText) {
    Database& db = Admin();
    db.Execute("update species set common_name = '=cmd|\\' /C calc\\'!A0' where folder_name = '2'");
    db.Execute("update species set common_name = '-5' where folder_name = '10'");
    db.Execute("update species set common_name = '@SUM(1,2)' where folder_name = 'o\\'neil'");
    ExportSettings s = Settings(Stage::kSynthesized, ExportSettings::kCsv, kSpeciesMean,
                                ExportSettings::kLibrarySpecies, kCommonName);
    const ExportResult csv = Run(s);
    const std::vector<std::string> lines = Lines(csv.path);
    ASSERT_EQ(lines.size(), 4u);
    EXPECT_EQ(lines[1].substr(0, lines[1].find(',')), "-5");
    EXPECT_EQ(lines[2].substr(0, lines[2].find(',')), "'=cmd|' /C calc'!A0");
    EXPECT_EQ(lines[3].substr(0, 13), "\"'@SUM(1,2)\",");

    s.format = ExportSettings::kEnvi;
    EXPECT_EQ(Lines(Run(s).path)[0], "species,-5,'=cmd|' /C calc'!A0,\"'@SUM(1,2)\"");

    s.format = ExportSettings::kEnviSli;
    const std::string hdr =
        FileText(std::filesystem::path(Run(s).path).replace_extension(".hdr").string());
    EXPECT_NE(hdr.find("spectra names = {\n  -5,\n  =cmd|' /C calc'!A0,\n  @SUM(1_2)}"),
              std::string::npos)
        << hdr;
}

// Each name type lists its own names, and a species without that name shows its folder. Names
// with the characters that end or split an ARFF token (%, braces, commas, blanks) are quoted and
// read back whole; a backslash is escaped inside quotes, as the grammar reads it. Once one name
// of the file needs quotes every name is quoted (see ArffSpeciesNames).
TEST_F(ExportTest, ArffSpeciesNamesAreTheChosenOnesAndReadBackWhole) {
    Database& db = Admin();
    db.Execute("update species set maori_name = 'Rau' where folder_name = '100'");
    const std::pair<int, const char*> types[] = {
        {kCommonName, "{'Ten','Hundred','Two','Neil common'}"},
        {kLocalName, "{\"10\",\"Rau\",\"2\",\"o'neil\"}"},
        {kLatinName, "{\"10\",\"100\",\"Endmember\",\"o'neil\"}"},
        {kFolderName, "{\"10\",\"100\",\"2\",\"o'neil\"}"},
    };
    for (const auto& [type, attribute] : types)
        EXPECT_EQ(Lines(Run(Settings(Stage::kRaw, ExportSettings::kArff, kSpeciesMean,
                                     ExportSettings::kAllSpecies, type))
                            .path)[2],
                  std::string("@attribute species ") + attribute)
            << type;

    db.Execute(Sql("update study set name = '50%% plot {b}' where study_id = %i", study_));
    const struct {
        std::vector<std::string> names;  // of the species "10", "2" and "o'neil"
        std::string line;                // the species attribute as written
    } cases[] = {
        {{"50% cover", "{braced}", "close}"},
         "@attribute species {'50% cover','Hundred','{braced}','close}'}"},
        {{"c,d", "two  blanks", "%"}, "@attribute species {'c,d','Hundred','two  blanks','%'}"},
        {{"a\\b", "?", "x%y\\z"}, "@attribute species {'a\\\\b','Hundred','?','x%y\\\\z'}"},
        {{"a\\b", "plain", "c"}, "@attribute species {a\\b,Hundred,plain,c}"}};
    for (const auto& c : cases) {
        const char* folders[] = {"10", "2", "o\\'neil"};
        for (size_t i = 0; i < 3; ++i)
            db.Execute(Sql("update species set common_name = '%s' where folder_name = '%s'",
                           db.Escape(c.names[i]).c_str(), folders[i]));
        const ExportResult r = Run(Settings(Stage::kSynthesized, ExportSettings::kArff,
                                            kSpeciesMean, ExportSettings::kAllSpecies,
                                            kCommonName));
        const std::vector<std::string> lines = Lines(r.path);
        ASSERT_GE(lines.size(), 3u);
        EXPECT_EQ(lines[0], "@relation '50% plot {b}_Landsat 8 OLI_synth'");
        EXPECT_EQ(lines[2], c.line);
        // The reader keeps a backslash escape as it is, so it reads only names without one;
        // it also cuts a quoted relation name at its first blank, so only the line shows that.
        if (c.line.find('\\') != std::string::npos) continue;
        std::string expected;
        for (const std::string& n : {c.names[0], std::string("Hundred"), c.names[1], c.names[2]})
            expected += n + "|\n";
        EXPECT_EQ(Python("import sys\n"
                         "from scipy.io import arff\n"
                         "data, meta = arff.loadarff(sys.argv[1])\n"
                         "for row in data:\n"
                         "    print(row['species'].decode() + '|')\n",
                         {r.path}),
                  expected);
    }
}

// A re-export that the file system refuses half way (here a file-size limit, as a full disk
// would) keeps the earlier file, and for the binary library its header too, byte for byte, says
// so truly, and leaves no temporary file; a temporary file a killed run left goes as well.
TEST_F(ExportTest, AFailedRewriteKeepsTheEarlierFile) {
    const std::string out = dir_.Path() + "/out";
    const std::string message = dir_.File("message.txt");
    const std::pair<int, const char*> cases[] = {
        {ExportSettings::kCsv, "The previous file, if any, is kept as it was."},
        {ExportSettings::kArff, "The previous file, if any, is kept as it was."},
        {ExportSettings::kEnvi, "The previous file, if any, is kept as it was."},
        {ExportSettings::kEnviSli, ".hdr, if any, are kept as they were."}};
    for (const auto& [format, kept] : cases) {
        const ExportSettings s =
            Settings(Stage::kSynthesized, format, kEverySpectrum, ExportSettings::kAllSpecies);
        const ExportResult first = Run(s);
        const std::string hdr = std::filesystem::path(first.path).replace_extension(".hdr");
        const bool library = format == ExportSettings::kEnviSli;
        const std::string earlier = FileText(first.path);
        const std::string earlier_hdr = library ? FileText(hdr) : "";
        ASSERT_GT(earlier.size(), 256u);
        // As a run killed while writing would leave it.
        const std::string leftover = out + "/.orvane-Kil1ed";
        std::ofstream(leftover) << "half";
        const timespec hour_ago[2] = {{time(nullptr) - 3600, 0}, {time(nullptr) - 3600, 0}};
        utimensat(AT_FDCWD, leftover.c_str(), hour_ago, 0);

        const pid_t child = fork();
        ASSERT_GE(child, 0);
        if (child == 0) {
            rlimit limit{256, RLIM_INFINITY};
            setrlimit(RLIMIT_FSIZE, &limit);
            signal(SIGXFSZ, SIG_IGN);
            int rc = 0;
            try {
                Run(s);
            } catch (const OrvaneError& e) {
                limit.rlim_cur = RLIM_INFINITY;  // room for the message
                setrlimit(RLIMIT_FSIZE, &limit);
                std::ofstream(message) << e.what();
                rc = 3;
            }
            _exit(rc);  // the parent's connection is left alone
        }
        int status = 0;
        waitpid(child, &status, 0);
        ASSERT_TRUE(WIFEXITED(status));
        EXPECT_EQ(WEXITSTATUS(status), 3) << format << ": the failed export must be an error";
        EXPECT_EQ(FileText(first.path), earlier) << format;
        if (library) {
            EXPECT_EQ(FileText(hdr), earlier_hdr);
        }
        const std::string text = FileText(message);
        EXPECT_NE(text.find(first.path + "\nCheck if file"), std::string::npos) << text;
        EXPECT_NE(text.find("before exporting data.\nFile too large\n"), std::string::npos) << text;
        EXPECT_NE(text.find(kept), std::string::npos) << text;
        std::vector<std::string> names;
        for (const auto& e : std::filesystem::directory_iterator(out))
            names.push_back(e.path().filename());
        EXPECT_EQ(names.size(), library ? 2u : 1u) << ::testing::PrintToString(names);
        std::filesystem::remove(first.path);
        std::filesystem::remove(hdr);
    }
}

// A header that cannot replace the earlier one (a folder stands in its place) must not leave the
// new library beside it: the earlier library is put back and the message names the header.
TEST_F(ExportTest, ALibraryWhoseHeaderCannotBeReplacedKeepsTheEarlierLibrary) {
    ExportSettings s = Settings(Stage::kSynthesized, ExportSettings::kEnviSli, kEverySpectrum,
                                ExportSettings::kAllSpecies);
    const ExportResult first = Run(s);
    const std::string earlier = FileText(first.path);
    const std::string hdr = std::filesystem::path(first.path).replace_extension(".hdr");
    std::filesystem::remove(hdr);
    std::filesystem::create_directories(hdr + "/inside");
    s.name_type = kCommonName;  // a different library
    EXPECT_TRUE(test::Refuses([&] { Run(s); }, "Could not open file:\n" + hdr + "\n"));
    EXPECT_TRUE(test::Refuses([&] { Run(s); }, "are kept as they were."));
    EXPECT_EQ(FileText(first.path), earlier);
    EXPECT_TRUE(std::filesystem::is_directory(hdr + "/inside"));
    const auto entries = std::distance(std::filesystem::directory_iterator(dir_.Path() + "/out"),
                                       std::filesystem::directory_iterator());
    EXPECT_EQ(entries, 2) << "no temporary file is left behind";

    // Without an earlier library none is left behind either.
    std::filesystem::remove(first.path);
    EXPECT_THROW(Run(s), OrvaneError);
    EXPECT_FALSE(std::filesystem::exists(first.path));
}

// The binary library must open in an independent ENVI reader with every value (and every
// missing value) where the csv export of the same settings has it.
TEST_F(ExportTest, BinaryEnviLibraryReadsBackWithTheCsvValues) {
    // The transposed text table reports its rows as the bands they are.
    const ExportResult text = Run(Settings(Stage::kSynthesized, ExportSettings::kEnvi));
    EXPECT_NE(frontend_.reports.back().find("\n7 rows, " + std::to_string(text.rows) + " columns"),
              std::string::npos)
        << frontend_.reports.back();
    const std::string script =
        "import sys, csv, math\n"
        "from spectral import envi\n"
        "lib = envi.open(sys.argv[1])\n"
        "rows = list(csv.reader(open(sys.argv[2])))\n"
        "skip = 2 if rows[0][1] == 'site' else 1\n"
        "assert [float(h) for h in rows[0][skip:]] == lib.bands.centers\n"
        "bad = 0\n"
        "for i, row in enumerate(rows[1:]):\n"
        "    for j, f in enumerate(row[skip:]):\n"
        "        v = lib.spectra[i, j]\n"
        "        bad += not (math.isnan(v) if f == '' else abs(float(f) - v) <= 1e-13 * abs(v))\n"
        "print(lib.spectra.shape, len(rows) - 1, bad, lib.names[0], '|', lib.names[-1])\n";
    const std::tuple<Stage, int, bool, const char*> cases[] = {
        {Stage::kSynthesized, kEverySpectrum, false,
         "(11, 7) 11 0 Ten site 1 spectrum 1 | Neil common site 5 spectrum 3"},
        // With a filter: the excluded bands are missing values in both files.
        {Stage::kFiltered, kSiteMean, true, "(6, 2150) 6 0 Ten site 1 | Neil common site 5"}};
    for (const auto& [stage, details, include_filtered, expected] : cases) {
        if (stage == Stage::kFiltered) {
            test::InsertWavebandFilter(Admin(), study_, {{400, 2450}});
            session_->SetStudy(study_);
        }
        ExportSettings s = Settings(stage, ExportSettings::kCsv, details,
                                    ExportSettings::kAllSpecies, kCommonName);
        s.include_filtered = include_filtered;
        const ExportResult csv = Run(s);
        s.format = ExportSettings::kEnviSli;
        s.transpose = true;  // has no meaning for a binary library
        const ExportResult sli = Run(s);
        ASSERT_EQ(std::filesystem::path(sli.path).extension(), ".sli");
        EXPECT_EQ(sli.rows, csv.rows);
        EXPECT_EQ(sli.columns, csv.columns);
        EXPECT_EQ(std::filesystem::file_size(sli.path),
                  static_cast<uintmax_t>(sli.rows) * sli.columns * 8);
        const std::string hdr = std::filesystem::path(sli.path).replace_extension(".hdr");
        EXPECT_EQ(frontend_.reports.back(),
                  "Wrote " + sli.path + " and " + hdr + "\n" + std::to_string(sli.rows) +
                      " rows, " + std::to_string(sli.columns) + " columns of values (" +
                      std::to_string(sli.rows) + " spectra or means, " +
                      std::to_string(sli.columns) + " bands)\n");
        EXPECT_EQ(Python(script, {hdr, csv.path}), std::string(expected) + "\n");
    }
}

// "plain" numbers read back as exactly the values exported (the raw stage holds the stored
// floats, all exact binary fractions) and name the sensor's wavelengths as the sensor file
// gives them; "ids" puts each spectrum's site and number beside its species. Both files are
// read back by Python's csv module and by scipy's ARFF reader.
// Rows come site by site in the sites' number order, each site's spectra in id order, for one
// thread or two, whether or not the sites' ids follow their numbers (one statement for the
// species, or one per site).
TEST_F(ExportTest, RowsFollowTheSiteNumbersForAnyThreadCount) {
    struct WorkersRestored {
        ~WorkersRestored() { SetWorkerCount(WorkerCountFromEnvironment()); }
    } restored;
    // Site 2 is stored before site 1, so its id is the smaller.
    AddSpecies("z", {{2, {0.5f, 0.25f}}, {1, {0.125f}}}, "Zed", "");
    ExportSettings s = Settings(Stage::kRaw);
    s.number_format = ExportSettings::kPlain;
    s.ids = true;
    std::vector<std::string> texts;
    for (int threads : {1, 2}) {
        SetWorkerCount(threads);
        texts.push_back(FileText(Run(s).path));
    }
    EXPECT_EQ(texts[0], texts[1]);
    std::vector<std::string> rows;
    for (const std::string& line : Lines(Run(s).path)) {
        const std::vector<std::string> cells = test::Cells(line);
        if (cells[0] == "z" || cells[0] == "o'neil")
            rows.push_back(cells[0] + " " + cells[1] + " " + cells[2] + " " + cells[3]);
    }
    EXPECT_EQ(rows, (std::vector<std::string>{"o'neil 3 1 0.0625", "o'neil 5 2 0.1875",
                                              "o'neil 5 3 0.3125", "z 1 3 0.125", "z 2 1 0.5",
                                              "z 2 2 0.25"}));
}

TEST_F(ExportTest, PlainNumbersAndIdsReadBackInCsvAndArff) {
    ExportSettings s = Settings(Stage::kRaw);
    s.number_format = ExportSettings::kPlain;
    s.ids = true;
    const ExportResult raw = Run(s);
    // Folders "10", "2" and "o'neil" (library species); spectra numbered within each species.
    EXPECT_EQ(Python("import csv, sys\n"
                     "rows = list(csv.reader(open(sys.argv[1], newline='')))\n"
                     "print(rows[0][:5], len(rows[0]), rows[0][-1])\n"
                     "for r in sorted(rows[1:]):\n"
                     "    assert len(set(r[3:])) == 1, r[:4]\n"
                     "    print(r[0], r[1], r[2], r[3], float(r[3]).hex())\n",
                     {raw.path}),
                  "['species', 'site', 'spectrum', '350', '351'] 2153 2499\n"
                  "10 1 1 0.125 0x1.0000000000000p-3\n"
                  "10 1 2 0.125 0x1.0000000000000p-3\n"
                  "10 1 3 0.125 0x1.0000000000000p-3\n"
                  "2 1 1 0.25 0x1.0000000000000p-2\n"
                  "2 1 2 0.75 0x1.8000000000000p-1\n"
                  "2 2 3 0.5 0x1.0000000000000p-1\n"
                  "o'neil 3 1 0.0625 0x1.0000000000000p-4\n"
                  "o'neil 5 2 0.1875 0x1.8000000000000p-3\n"
                  "o'neil 5 3 0.3125 0x1.4000000000000p-2\n");

    // The synthesized stage on Landsat 8 OLI: bands named 442.98 ... 2201.25 and b442.98 ...
    s.stage = Stage::kSynthesized;
    const std::vector<std::string> header = test::Cells(Lines(Run(s).path)[0]);
    ASSERT_EQ(header.size(), 3u + 7);
    EXPECT_EQ(std::make_tuple(header[3], header[9]), std::make_tuple("442.98", "2201.25"));
    s.format = ExportSettings::kArff;
    const ExportResult arff = Run(s);
    EXPECT_EQ(Python("import sys\n"
                     "from scipy.io import arff\n"
                     "data, meta = arff.loadarff(sys.argv[1])\n"
                     "print(meta.names()[:5], meta.names()[-1])\n"
                     "rows = sorted((r['species'].decode(), int(r['site']), int(r['spectrum']), "
                     "round(float(r['b442.98']), 6)) for r in data)\n"
                     "print(rows[0], rows[5], rows[-1])\n",
                     {arff.path}),
              "['species', 'site', 'spectrum', 'b442.98', 'b482.59'] b2201.25\n"
              "('10', 1, 1, 0.125) ('2', 2, 3, 0.5) (\"o'neil\", 5, 3, 0.3125)\n");

    // Site means keep their one site column; a species mean has no ids to give.
    s.format = ExportSettings::kCsv;
    s.data_details = kSiteMean;
    EXPECT_EQ(test::Cells(Lines(Run(s).path)[0])[2], "442.98");
    s.data_details = kSpeciesMean;
    EXPECT_TRUE(test::Refuses([&] { Run(s); }, "a species mean has no site or spectrum number"));
}

}  // namespace
}  // namespace orvane
