// SPDX-License-Identifier: GPL-3.0-or-later
#include <gtest/gtest.h>

#include <filesystem>

#include "export/export_formats.h"
#include "support/cli_fixture.h"
#include "support/run_python.h"
#include "support/study_rows.h"

namespace orvane {
namespace {

// Two species, "GS" with three spectra on site 1 and "PH" with two on site 2, in "stored".
class CliStoredSpectra : public test::CliFixture {
  protected:
    CliStoredSpectra() : CliFixture("clistored") {}

    void SetUp() override {
        Database& db = scratch_.Admin();
        const int study = test::InsertStudy(db, "stored");
        int seed = 1;
        for (const auto& [folder, site_no, count] :
             {std::tuple<const char*, int, int>{"GS", 1, 3}, {"PH", 2, 2}}) {
            const int species = test::InsertSpecies(db, study, folder);
            const int site = test::InsertSite(db, study, species, site_no);
            for (int i = 1; i <= count; ++i) {
                test::SpectrumValues row;
                row.spectrum_no = i;
                ids_.push_back(test::InsertSpectrum(db, study, species, site, row,
                                                    test::Blob(test::DistinctReflectances(seed++))));
            }
        }
    }

    std::vector<int> ids_;
};

TEST_F(CliStoredSpectra, ListDisableAndEnable) {
    test::CliOutcome r = Cli({"spectra", "list", "--species", "PH"});
    ASSERT_EQ(r.rc, 0) << r.err;
    EXPECT_EQ(r.out.substr(0, r.out.find('\n')),
              "id\tspecies\tsite\tnumber\tcaptured\tlatitude\tlongitude\taltitude\tstate");
    EXPECT_NE(r.out.find(std::to_string(ids_[3]) + "\tPH\t2\t1\t-\t"), std::string::npos) << r.out;

    EXPECT_NE(Cli({"spectra", "disable", std::to_string(ids_[0]), std::to_string(ids_[4])})
                  .out.find("2 spectra disabled"),
              std::string::npos);
    r = Cli({"spectra", "list", "--site", "1"});
    EXPECT_NE(r.out.find("\tGS\t1\t1\t-\t0.000000\t0.000000\t0.0\tdisabled\n"), std::string::npos)
        << r.out;
    EXPECT_EQ(Count("spectrum where disabled = 1"), 2);

    EXPECT_NE(Cli({"spectra", "enable", std::to_string(ids_[0])}).out.find("1 spectra enabled"),
              std::string::npos);
    EXPECT_EQ(Cli({"spectra", "disable", "x1"}).rc, 2);
    r = Cli({"spectra", "enable", std::to_string(ids_[4]), "999999"});
    EXPECT_EQ(r.rc, 1);
    EXPECT_NE(r.err.find("no spectrum with id 999999"), std::string::npos) << r.err;
    EXPECT_EQ(Count("spectrum where disabled = 1"), 1);
}

// The SVG is checked by an XML parser of its own: one path per curve, the species in the legend
// in the order asked for. --size and --dpi lay it out at the figure's printed size (160 x 100 mm
// at 300 dpi is 1890 x 1181 pixels, a layout of 605 x 378 CSS pixels); the titles and colours
// are the core's, SpectraPlotTest's.
TEST_F(CliStoredSpectra, PlotWritesAnSvgThatParsesAtTheSizeAsked) {
    const std::string svg = dir_.File("plot.svg");
    const std::string script =
        "import sys, xml.etree.ElementTree as ET\n"
        "ns = {'s': 'http://www.w3.org/2000/svg'}\n"
        "root = ET.parse(sys.argv[1]).getroot()\n"
        "curves = root.findall(\".//s:path[@class='curve']\", ns)\n"
        "bands = root.findall(\".//s:path[@class='band']\", ns)\n"
        "legend = [t.text for t in root.findall(\".//s:g[@class='legend']/s:text\", ns)]\n"
        "print(len(curves), len(bands), ','.join(legend))\n";
    const struct {
        std::vector<std::string> args;
        const char* summary;
        const char* head;
    } cases[] = {
        {{"--stage", "raw"}, "5 0 GS,PH", "width=\"960\" height=\"600\" viewBox=\"0 0 960 600\""},
        {{"--stage", "smoothed", "--details", "species-mean", "--size", "800x500"}, "2 2 GS,PH",
         "width=\"800\" height=\"500\" viewBox=\"0 0 800 500\""},
        {{"--stage", "raw", "--species", "PH", "GS", "--size", "160x100mm", "--dpi", "300"},
         "5 0 PH,GS", "width=\"160mm\" height=\"100mm\" viewBox=\"0 0 605 378\""},
        // Only the resolution: the figure keeps its layout and its printed size.
        {{"--stage", "raw", "--dpi", "192"}, "5 0 GS,PH",
         "width=\"254mm\" height=\"158.75mm\" viewBox=\"0 0 960 600\""},
    };
    for (const auto& c : cases) {
        std::vector<std::string> args = {"plot", "--output", svg};
        args.insert(args.end(), c.args.begin(), c.args.end());
        const test::CliOutcome r = Cli(args);
        ASSERT_EQ(r.rc, 0) << r.err;
        EXPECT_EQ(test::RunPython(dir_, script, {svg}), std::string(c.summary) + "\n") << c.head;
        EXPECT_TRUE(test::Contains(test::FileText(svg), c.head)) << c.head;
    }
    const std::string none = dir_.File("no.svg");
    ExpectRefusals({{{"plot", "--stage", "raw"}, 2, "--output"},
                    {{"plot", "--stage", "raw", "--species", "XX", "--output", none}, 1, "XX"},
                    {{"plot", "--stage", "raw", "--output", none, "--size", "big"}, 2,
                     "is not a figure size"},
                    {{"plot", "--stage", "raw", "--output", none, "--size", "0x600"}, 2,
                     "above zero"},
                    {{"plot", "--stage", "raw", "--output", none, "--dpi", "5"}, 2,
                     "--dpi must be a whole number from 36 to 2400"}});
    EXPECT_FALSE(std::filesystem::exists(none));
    EXPECT_TRUE(test::Contains(Cli({"plot", "--help"}).out, "[--size WxH[px|mm]] [--dpi N]"));
}

// The study's joins are stored by "splice set", refused when wrong, and shown (what the
// optional stages compute is the chain's tests', their export the demo session's).
TEST_F(CliStoredSpectra, OptionalStagePairsAreSetAndShown) {
    test::CliOutcome r = Cli({"splice", "show"});
    EXPECT_EQ(r.out, "none of the study's own; Splice Correction uses 1000-1001 1800-1801\n");
    r = Cli({"splice", "set", "990-991", "1790-1791"});
    ASSERT_EQ(r.rc, 0) << r.err;
    EXPECT_EQ(Cli({"splice", "show"}).out, "990-991\n1790-1791\n");
    ExpectRefusals({{{"splice", "set", "1790-1791", "990-991"}, 1,
                     "990-991 overlaps the one before it"},
                    {{"export", "--splice", "multiplicative"}, 2, "choose one of off, additive"}});
    EXPECT_EQ(Cli({"splice", "show"}).out, "990-991\n1790-1791\n");
    EXPECT_EQ(Cli({"continuum", "set", "400-2400"}).rc, 0);
    EXPECT_EQ(Cli({"continuum", "show"}).out, "400-2400\n");
}

// Every registered format is reachable by its word and writes its extension (and its companion
// file beside it); the paths of the files are the demo session's.
TEST_F(CliStoredSpectra, ExportWritesEveryFormatOrRefusesBadChoices) {
    for (const ExportFormatEntry& f : ExportFormatRegistry()) {
        const test::CliOutcome r = Cli({"export", "--stage", "raw", "--format", f.word});
        ASSERT_EQ(r.rc, 0) << f.word << ": " << r.err;
        std::filesystem::path written = r.out.substr(r.out.rfind('\n', r.out.size() - 2) + 1);
        written = written.string().substr(0, written.string().size() - 1);
        EXPECT_EQ(written.extension(), std::string(".") + f.extension) << r.out;
        EXPECT_TRUE(std::filesystem::exists(written)) << written;
        if (f.companion_extension) {
            EXPECT_TRUE(std::filesystem::exists(written.replace_extension(f.companion_extension)))
                << f.word;
        }
    }
    EXPECT_TRUE(test::Contains(Cli({"export", "--help"}).out, "[--format csv|arff|envi|envi-sli]"));

    ExpectRefusals({{{"export", "--stage", "cooked"}, 2,
                     "--stage must be raw|spliced|filtered|smoothed|continuum-removed|synth|"
                     "synth-interpolated|derived|features, not \"cooked\""},
                    {{"plot", "--stage", "features", "--output", "f.svg"}, 2,
                     "--stage must be raw|spliced|filtered|smoothed|continuum-removed|synth|"
                     "synth-interpolated|derived, not"},
                    {{"export", "--offset", "150"}, 2,
                     "--offset must be a whole number from 0 to 100"}});
}

}  // namespace
}  // namespace orvane
