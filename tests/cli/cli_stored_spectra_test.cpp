// SPDX-License-Identifier: GPL-3.0-or-later
#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <map>
#include <regex>

#include "export/export_formats.h"
#include "support/cli_fixture.h"
#include "support/refusal.h"
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

// The SVG is checked by an XML parser of its own: one path per curve, the species in the legend.
TEST_F(CliStoredSpectra, PlotWritesAnSvgThatParses) {
    const std::string script = dir_.File("svg.py");
    std::ofstream(script) << "import sys, xml.etree.ElementTree as ET\n"
                             "ns = {'s': 'http://www.w3.org/2000/svg'}\n"
                             "root = ET.parse(sys.argv[1]).getroot()\n"
                             "curves = root.findall(\".//s:path[@class='curve']\", ns)\n"
                             "bands = root.findall(\".//s:path[@class='band']\", ns)\n"
                             "legend = [t.text for t in root.findall(\".//s:g[@class='legend']/s:text\", ns)]\n"
                             "print(len(curves), len(bands), ','.join(legend))\n";
    const struct {
        std::vector<std::string> args;
        const char* summary;
    } cases[] = {
        {{"--stage", "raw"}, "5 0 GS,PH"},
        {{"--stage", "smoothed", "--details", "species-mean"}, "2 2 GS,PH"},
        {{"--stage", "raw", "--species", "PH", "GS"}, "5 0 PH,GS"},
    };
    for (const auto& c : cases) {
        const std::string svg = dir_.File("plot.svg");
        std::vector<std::string> args = {"plot", "--output", svg};
        args.insert(args.end(), c.args.begin(), c.args.end());
        const test::CliOutcome r = Cli(args);
        ASSERT_EQ(r.rc, 0) << r.err;
        const std::string out = dir_.File("svg.txt");
        ASSERT_EQ(std::system(("/usr/bin/python3 '" + script + "' '" + svg + "' > '" + out + "'")
                                  .c_str()),
                  0);
        EXPECT_EQ(test::FileText(out), std::string(c.summary) + "\n") << c.args[1];
    }
    EXPECT_EQ(Cli({"plot", "--stage", "raw"}).rc, 2);
    EXPECT_EQ(Cli({"plot", "--stage", "raw", "--species", "XX", "--output", dir_.File("x.svg")}).rc,
              1);
}

// --size and --dpi lay the SVG out at the figure's printed size (160 x 100 mm at 300 dpi is
// 1890 x 1181 pixels, a layout of 605 x 378 CSS pixels); a species keeps its colour whichever
// others are drawn.
TEST_F(CliStoredSpectra, PlotSizeResolutionAndSpeciesColours) {
    const std::string svg = dir_.File("sized.svg");
    const struct {
        std::vector<std::string> args;
        const char* head;
    } cases[] = {
        {{}, "width=\"960\" height=\"600\" viewBox=\"0 0 960 600\""},
        {{"--size", "800x500"}, "width=\"800\" height=\"500\" viewBox=\"0 0 800 500\""},
        {{"--size", "160x100mm", "--dpi", "300"},
         "width=\"160mm\" height=\"100mm\" viewBox=\"0 0 605 378\""},
        // Only the resolution: the figure keeps its layout and its printed size.
        {{"--dpi", "192"}, "width=\"254mm\" height=\"158.75mm\" viewBox=\"0 0 960 600\""},
    };
    for (const auto& c : cases) {
        std::vector<std::string> args = {"plot", "--stage", "raw", "--output", svg};
        args.insert(args.end(), c.args.begin(), c.args.end());
        const test::CliOutcome r = Cli(args);
        ASSERT_EQ(r.rc, 0) << r.err;
        EXPECT_NE(test::FileText(svg).find(c.head), std::string::npos)
            << c.head << "\n"
            << test::FileText(svg).substr(0, 300);
    }
    for (const auto& [args, says] : {
             std::pair<std::vector<std::string>, const char*>{{"--size", "big"},
                                                              "is not a figure size"},
             {{"--size", "0x600"}, "above zero"},
             {{"--dpi", "5"}, "--dpi must be a whole number from 36 to 2400"},
         }) {
        std::vector<std::string> all = {"plot", "--stage", "raw", "--output", dir_.File("no.svg")};
        all.insert(all.end(), args.begin(), args.end());
        const test::CliOutcome r = Cli(all);
        EXPECT_EQ(r.rc, 2) << says;
        EXPECT_NE(r.err.find(says), std::string::npos) << r.err;
        EXPECT_FALSE(std::filesystem::exists(dir_.File("no.svg")));
    }
    EXPECT_TRUE(test::Contains(Cli({"plot", "--help"}).out, "[--size WxH[px|mm]] [--dpi N]"));

    // The legend's colour of each species, by name.
    const auto colours = [&](std::vector<std::string> species) {
        std::vector<std::string> args = {"plot", "--stage", "raw", "--output", svg, "--species"};
        args.insert(args.end(), species.begin(), species.end());
        EXPECT_EQ(Cli(args).rc, 0);
        std::map<std::string, std::string> found;
        const std::string text = test::FileText(svg);
        const std::regex entry(
            "stroke=\"(#[0-9a-f]{6})\" stroke-width=\"3\"/>\\s*<text[^>]*>([^<]*)</text>");
        for (auto it = std::sregex_iterator(text.begin(), text.end(), entry);
             it != std::sregex_iterator(); ++it)
            found[(*it)[2]] = (*it)[1];
        return found;
    };
    const auto both = colours({"all"});
    ASSERT_EQ(both.size(), 2u);
    EXPECT_NE(both.at("GS"), both.at("PH"));
    EXPECT_EQ(colours({"PH"}).at("PH"), both.at("PH"));
    EXPECT_EQ(colours({"PH", "GS"}), both);
}

// The optional stages export under their words; off they are their input, byte for byte, and
// the study's joins are stored by "splice set" and refused when wrong.
TEST_F(CliStoredSpectra, OptionalStagesExportAndTheirPairsAreSetAndShown) {
    const auto written = [](const test::CliOutcome& r) {
        const std::string line = r.out.substr(r.out.rfind('\n', r.out.size() - 2) + 1);
        return line.substr(0, line.size() - 1);
    };
    const auto exported = [&](std::vector<std::string> args) {
        args.insert(args.begin(), {"export", "--species", "all"});
        const test::CliOutcome r = Cli(args);
        EXPECT_EQ(r.rc, 0) << r.err;
        return written(r);
    };
    const std::string raw = test::FileText(exported({"--stage", "raw"}));
    const std::string spliced_off = exported({"--stage", "spliced"});
    EXPECT_EQ(std::filesystem::path(spliced_off).filename(), "stored_spliced_all_species.csv");
    EXPECT_EQ(test::FileText(spliced_off), raw);
    const std::string smoothed = test::FileText(exported({"--stage", "smoothed"}));
    EXPECT_EQ(test::FileText(exported({"--stage", "continuum-removed"})), smoothed);
    EXPECT_NE(test::FileText(exported({"--stage", "continuum-removed", "--continuum", "on"})),
              smoothed);
    EXPECT_NE(test::FileText(exported({"--stage", "spliced", "--splice", "additive"})), raw);

    test::CliOutcome r = Cli({"splice", "show"});
    EXPECT_EQ(r.out, "none of the study's own; Splice Correction uses 1000-1001 1800-1801\n");
    r = Cli({"splice", "set", "990-991", "1790-1791"});
    ASSERT_EQ(r.rc, 0) << r.err;
    EXPECT_EQ(Cli({"splice", "show"}).out, "990-991\n1790-1791\n");
    r = Cli({"splice", "set", "1790-1791", "990-991"});
    EXPECT_EQ(r.rc, 1);
    EXPECT_TRUE(test::Contains(r.err, "990-991 overlaps the one before it")) << r.err;
    EXPECT_EQ(Cli({"splice", "show"}).out, "990-991\n1790-1791\n");
    EXPECT_EQ(Cli({"continuum", "set", "400-2400"}).rc, 0);
    EXPECT_EQ(Cli({"continuum", "show"}).out, "400-2400\n");
    r = Cli({"export", "--splice", "multiplicative"});
    EXPECT_EQ(r.rc, 2);
    EXPECT_TRUE(test::Contains(r.err, "choose one of off, additive")) << r.err;
}

TEST_F(CliStoredSpectra, ExportPrintsThePathOfTheFileItWroteOrRefusesBadChoices) {
    ASSERT_EQ(Cli({"sensor", "import", test::TestData("sensors/landsat8_oli.txt")}).rc, 0);
    test::CliOutcome r = Cli({"export"});
    ASSERT_EQ(r.rc, 0) << r.err;
    EXPECT_NE(r.out.find("Exported 1 species"), std::string::npos) << r.out;
    const std::string path = r.out.substr(r.out.rfind('\n', r.out.size() - 2) + 1);
    EXPECT_EQ(std::filesystem::path(path.substr(0, path.size() - 1)).filename(),
              "stored_Landsat 8 OLI_synth_lib_species.csv");
    EXPECT_TRUE(std::filesystem::exists(path.substr(0, path.size() - 1)));
    r = Cli({"export", "--stage", "raw", "--format", "envi", "--details", "site-mean", "--names",
             "number", "--offset", "5"});
    ASSERT_EQ(r.rc, 0) << r.err;
    EXPECT_NE(r.out.find("stored_raw_lib_species_site_mean.txt"), std::string::npos) << r.out;

    // Every registered format is reachable by its word and writes its extension (and its
    // companion file beside it).
    for (const ExportFormatEntry& f : ExportFormatRegistry()) {
        r = Cli({"export", "--stage", "raw", "--format", f.word});
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

    for (const auto& [args, in_err] : {
             std::pair<std::vector<std::string>, const char*>{
                 {"export", "--stage", "cooked"},
                 "--stage must be raw|spliced|filtered|smoothed|continuum-removed|synth|"
                 "synth-interpolated|derived|features, not \"cooked\""},
             {{"plot", "--stage", "features", "--output", "f.svg"},
              "--stage must be raw|spliced|filtered|smoothed|continuum-removed|synth|"
              "synth-interpolated|derived, not"},
             {{"export", "--format", "xls"}, "--format must be arff|csv|envi"},
             {{"export", "--offset", "150"}, "--offset must be a whole number from 0 to 100"},
         }) {
        r = Cli(args);
        EXPECT_EQ(r.rc, 2) << in_err;
        EXPECT_NE(r.err.find(in_err), std::string::npos) << r.err;
    }
}

// The command line's plot follows the window's rule: with the continuum removal off, its title
// names the smoothed values it shows, not a continuum removal that never ran.
TEST_F(CliStoredSpectra, PlotTitlesNameOnlyTheStagesThatRan) {
    const struct {
        std::vector<std::string> args;
        const char* title_end;
    } cases[] = {
        {{"--stage", "continuum-removed", "--smoothing", "sg-mw"},
         " - Smoothed (Continuum Removal off)</title>"},
        {{"--stage", "continuum-removed"},
         " - Filtered (no smoothing; Continuum Removal off)</title>"},
        {{"--stage", "continuum-removed", "--continuum", "on"}, " - Continuum Removed</title>"},
        {{"--stage", "spliced"}, " - Raw (Splice Correction off)</title>"},
    };
    for (const auto& c : cases) {
        const std::string svg = dir_.File("titled.svg");
        std::vector<std::string> args = {"plot", "--output", svg};
        args.insert(args.end(), c.args.begin(), c.args.end());
        const test::CliOutcome r = Cli(args);
        ASSERT_EQ(r.rc, 0) << r.err;
        EXPECT_TRUE(test::Contains(test::FileText(svg), c.title_end)) << c.title_end;
    }
}

}  // namespace
}  // namespace orvane
