// SPDX-License-Identifier: GPL-3.0-or-later
#include <gtest/gtest.h>

#include <atomic>
#include <csignal>
#include <filesystem>
#include <fstream>
#include <mutex>
#include <nlohmann/json.hpp>
#include <regex>
#include <thread>

#include "cli/cli.h"
#include "export/export_formats.h"
#include "store/database.h"
#include "support/cli_fixture.h"
#include "support/feature_study.h"
#include "support/run_python.h"
#include "support/study_rows.h"
#include "support/text_spectrum_file.h"

namespace orvane {
namespace {

using test::Contains;

// Standard output that another thread may ask whether a text has been written to it yet.
class WatchedOutput : public std::stringbuf {
  public:
    bool Said(const std::string& text) {
        std::lock_guard<std::recursive_mutex> lock(mutex_);
        return str().find(text) != std::string::npos;
    }

  protected:
    std::streamsize xsputn(const char* s, std::streamsize n) override {
        std::lock_guard<std::recursive_mutex> lock(mutex_);
        return std::stringbuf::xsputn(s, n);
    }
    int_type overflow(int_type c) override {
        std::lock_guard<std::recursive_mutex> lock(mutex_);
        return std::stringbuf::overflow(c);
    }

  private:
    // Recursive: the base class's xsputn calls overflow when its buffer is full.
    std::recursive_mutex mutex_;
};

// Two species of known features in "field" (beta alone, with fewer spectra, in "elsewhere"),
// the three-band sensor, the NTBI pair feature space and a PCT one.
class CliLibrary : public test::CliFixture {
  protected:
    CliLibrary() : CliFixture("clilibrary", {"--study", "field", "--fs-type", "NTBI"}) {}

    void SetUp() override {
        Database& db = scratch_.Admin();
        test::InsertAlphaBetaStudy(db, "field");
        const int other = test::InsertStudyWithChainRows(db, "elsewhere");
        test::InsertFeatureSpecies(db, other, "beta", {{1, {{-0.1, -0.05}, {-0.05, -0.1}}}});
        test::InsertPairFeatureSpace(db);
        db.Execute(
            "insert into feature_space (name, description, dimension, fs_type_id, build_date) "
            "values ('PCT 2', '', 2, (select fs_type_id from feature_space_type where type = 2), "
            "current_timestamp(6))");
        test::WriteThreeBandSensor(dir_.File("bands.txt"));
        ASSERT_EQ(Cli({"sensor", "import", dir_.File("bands.txt")}).rc, 0);
    }
    std::string Output(const std::string& name) { return dir_.Path() + "/output/" + name; }
};

// Ctrl+C while a build waits for a study that another program holds ends the run as
// cancelled (its own exit status, no failure) and keeps the library built before; off a
// terminal the run writes no progress line.
TEST_F(CliLibrary, CtrlCCancelsABuildAndKeepsThePreviousLibrary) {
    const test::CliOutcome built = Cli({"library", "build"});
    ASSERT_EQ(built.rc, 0) << built.err;
    EXPECT_EQ(built.err.find('\r'), std::string::npos) << built.err;
    Database& db = scratch_.Admin();
    const auto stored = [&] {
        std::string rows;
        db.QueryText("select concat(group_concat(library_id, '@', build_date), '/', "
                     "(select count(*) from statistic)) from library",
                     rows);
        return rows;
    };
    const std::string before = stored();
    // Another program holds the study, and keeps holding it for the length of the test.
    db.Execute(
        "insert into study_lock (study_id, token, account, host, pid, expires_at) select "
        "study_id, 'elsewhere', 'ana', 'field-laptop', 4242, now(6) + interval 1 hour "
        "from study where name = 'field'");
    // The build says that it waits once the command runs, and with it the interrupt handler,
    // so Ctrl+C is then safe to send in a test.
    WatchedOutput said;
    std::atomic<bool> interrupted{false};
    std::thread user([&] {
        const std::unique_ptr<Database> watcher = scratch_.Connect();
        // A busy machine may take long to get there; a minute, then the lock is let go, so
        // that a build that was never seen waiting ends the test instead of hanging it.
        for (int tries = 0; tries < 1200 && !interrupted; ++tries) {
            if (said.Said("waiting for it to end")) {
                std::this_thread::sleep_for(std::chrono::milliseconds(100));
                std::raise(SIGINT);
                interrupted = true;
            }
            std::this_thread::sleep_for(std::chrono::milliseconds(50));
        }
        if (!interrupted) watcher->Execute("delete from study_lock");
    });
    std::vector<const char*> argv = {"orvane-cli", "--config", config_.c_str()};
    for (const std::string& w : prefix_) argv.push_back(w.c_str());
    argv.insert(argv.end(), {"library", "build"});
    std::ostream out(&said);
    std::ostringstream err;
    const test::CliOutcome cancelled{
        RunCli(static_cast<int>(argv.size()), argv.data(), out, err), "", err.str()};
    user.join();
    db.Execute("delete from study_lock");
    ASSERT_TRUE(interrupted);
    EXPECT_EQ(cancelled.rc, kExitCancelled) << cancelled.err;
    EXPECT_TRUE(Contains(cancelled.err, "orvane-cli: cancelled")) << cancelled.err;
    EXPECT_EQ(stored(), before);
    EXPECT_EQ(Cli({"library", "status"}).out, "Ready (2 of 2 classes modelled)\n");
}

// `classify` and `open` take every file the window's Loaded Spectra takes: binary, SIG and SED
// field spectra and Z profiles on the current sensor; a broken file is named with its line and
// the others are still read.
TEST_F(CliLibrary, ClassifyAndOpenTakeEveryLoadableFile) {
    test::SigFile sig;
    sig.channels = test::Unmatched(test::ThreeDetectors());
    sig.remove_at = "990,1900";
    const std::string sig_path = dir_.File("leaf_00012.sig");
    test::WriteTextFile(sig_path, test::SigText(sig));
    test::SedFile sed;
    sed.channels = sig.channels;
    sed.style = {true, true};
    const std::string sed_path = dir_.File("plot3.0005.sed");
    test::WriteTextFile(sed_path, test::SedText(sed));
    const std::string profile = dir_.File("pixel.txt");
    test::WriteTextFile(profile, "ENVI ASCII Plot File [Mon Mar 02 10:00:00 2020]\n"
                                 "Column 1: Wavelength\nColumn 2: Z Profile\n"
                                 "400.0 0.10\n1000.0 0.12\n2000.0 0.11\n");
    test::SigFile broken = sig;
    broken.extra_rows = {"2600,00 1"};
    const std::string broken_path = dir_.File("leaf_00013.sig");
    test::WriteTextFile(broken_path, test::SigText(broken));
    const std::string binary = test::TestData("asd/as7/v7sample00003.asd");
    const std::vector<std::string> files = {binary, sig_path, sed_path, profile, broken_path};

    ASSERT_EQ(Cli({"library", "build"}).rc, 0);
    std::vector<std::string> args = {"classify"};
    args.insert(args.end(), files.begin(), files.end());
    test::CliOutcome r = Cli(args);
    EXPECT_EQ(r.rc, 1) << r.err;
    for (const char* name : {"v7sample00003.asd", "leaf_00012.sig", "plot3.0005.sed", "pixel.txt"})
        EXPECT_TRUE(std::regex_search(
            r.out, std::regex(std::string("classified as (alpha|beta): ") + name + "\n")))
            << name << "\n" << r.out;
    EXPECT_TRUE(Contains(r.err, "Field spectrum file " + broken_path + " was not read: line " +
                                    std::to_string(11 + sig.channels.size() + 1) +
                                    " has 2 columns where the table has 4"))
        << r.err;

    args[0] = "open";
    r = Cli(args);
    EXPECT_EQ(r.rc, 1) << r.err;
    EXPECT_TRUE(Contains(r.out, "leaf_00012.sig\t12\t2008-01-18 11:51:57\t-37.499703\t"
                                "-58.909512\tnan\tsunlit leaf\n"))
        << r.out;
    EXPECT_TRUE(Contains(r.out, "plot3.0005.sed\t5\t2016-07-22 11:20:41\tnan\tnan\tnan\tcanopy\n"))
        << r.out;
    EXPECT_TRUE(Contains(r.out, "pixel.txt\t0\t")) << r.out;
    EXPECT_TRUE(Contains(r.err, broken_path)) << r.err;
    // Without a Z profile among them, the files are read without any chain setting.
    r = Ok({"open", sig_path, "--sensor", "no such sensor"});
}

// The usage errors are the interface's own; why a library is not ready is the core's. (What
// the analyses print and write is the demo session's, tests/data/demo-results.)
TEST_F(CliLibrary, RefusalsThenBuildAnalyseAndWriteTheirFiles) {
    ExpectRefusals({
        {{"da"}, 1, "Library Not Ready: No library has been built for study 'field'"},
        {{"site-check"}, 2, "site-check needs --species FOLDER"},
        {{"da-independent"}, 2, "da-independent needs --with STUDY"},
        {{"da", "--names", "nick"}, 2, "--names must be common|local|latin|folder, not \"nick\""},
        {{"da", "--validate", "kfold:1"}, 2, "--validate: kfold:1 has too few folds"},
        {{"da", "--validate", "jackknife"}, 2, "use resubstitution, loo or kfold[:K]"},
        {{"separability", "--distance", "jb"}, 2, "--distance must be jm|b|both"},
    });
    EXPECT_EQ(Cli({"library", "status"}).out, "Not Ready\n");
    test::CliOutcome r = Ok({"library", "build"});
    EXPECT_TRUE(Contains(r.out, "New library built and reloaded")) << r.out;
    EXPECT_EQ(Cli({"library", "status"}).out, "Ready (2 of 2 classes modelled)\n");

    r = Ok({"da-independent", "--with", "elsewhere"});
    EXPECT_TRUE(Contains(r.out, "Library Accuracy Check")) << r.out;
    // A file that cannot be read is named; the others are classified all the same.
    r = Cli({"classify", test::TestData("asd/as7/v7sample00003.asd"), dir_.File("missing.asd")});
    EXPECT_EQ(r.rc, 1);
    EXPECT_TRUE(Contains(r.out, "v7sample00003.asd\n")) << r.out;
    EXPECT_TRUE(Contains(r.err, "missing.asd")) << r.err;

    ExpectRefusals({{{"pca", "--components", "2,2"}, 2,
                     "--components needs two different components"},
                    // Another derivative is another chain: its library was never built.
                    {{"da", "--derivative", "1"}, 1, "Library Not Ready"}});
    EXPECT_EQ(Cli({"library", "status", "--derivative", "1"}).out, "Not Ready\n");
}

// Names are set and listed through the CLI; a name type some species lack shows their folder
// names in every result, and the report says so once.
TEST_F(CliLibrary, SpeciesNamesAreSetListedAndStandInForMissingOnes) {
    test::CliOutcome r = Ok({"species", "list"});
    EXPECT_EQ(r.out, "alpha\t\t\t\nbeta\t\t\t\n");

    ExpectRefusals({
        {{"species", "rename", "--latin", "X"}, 2, "species rename needs one FOLDER"},
        {{"species", "rename", "alpha"}, 2, "needs --common, --latin or --local"},
        {{"species", "rename", "gamma", "--latin", "X"}, 1, "no species folder \"gamma\""},
        {{"species", "rename", "alpha", "--latin", "A\tB"}, 1, "\"A\\tB\" holds a control"},
        {{"species", "rename", "alpha", "--common", "\xff"}, 1, "is not UTF-8"},
        {{"species", "rename", "alpha", "--local", std::string(81, 'k')}, 1, "longer than 80"},
    });
    EXPECT_EQ(Cli({"species", "list"}).out, "alpha\t\t\t\nbeta\t\t\t\n");

    Ok({"species", "rename", "alpha", "--latin", "Ålpha prima", "--common", "Al", "--local",
        "Kōwhai"});
    // A name left out stays; an empty one is cleared.
    r = Ok({"species", "rename", "alpha", "--common", ""});
    EXPECT_EQ(Cli({"species", "list"}).out, "alpha\t\tÅlpha prima\tKōwhai\nbeta\t\t\t\n");
    // A name stored by other means is printed on its line.
    scratch_.Admin().Execute("update species set common_name = 'b\\nx' where folder_name = 'beta'");
    EXPECT_EQ(Cli({"species", "list"}).out,
              "alpha\t\tÅlpha prima\tKōwhai\nbeta\tb\\nx\t\t\n");

    ASSERT_EQ(Cli({"library", "build"}).rc, 0);
    const std::string note =
        "1 of 2 species have no Latin name; their folder names are shown instead: beta.";
    r = Ok({"da", "--names", "latin"});
    EXPECT_EQ(r.out.find(note), r.out.rfind(note)) << r.out;
    EXPECT_TRUE(Contains(r.out, note)) << r.out;
    const std::string matrix = test::FileText(Output("Error Matrix.csv"));
    EXPECT_EQ(matrix.substr(0, matrix.find('\n')), ",Ålpha prima,beta,Row Total,User Accuracy");

    r = Ok({"separability", "--names", "latin"});
    EXPECT_TRUE(Contains(r.out, note)) << r.out;
    const std::string distances = test::FileText(Output("JM and B output.csv"));
    EXPECT_EQ(distances.substr(0, distances.find('\n')), ",Ålpha prima,beta,");

    r = Ok({"export", "--stage", "features", "--format", "arff", "--names", "latin"});
    EXPECT_TRUE(Contains(r.out, note)) << r.out;
    const std::string arff = test::FileText(Output("field_pairs_lib_species.arff"));
    EXPECT_TRUE(Contains(arff, "@attribute species {'Ålpha prima','beta'}\n")) << arff;

    // The folder name, or a name every species has, needs no note.
    r = Cli({"da", "--names", "folder"});
    EXPECT_FALSE(Contains(r.out, "folder names are shown instead")) << r.out;

    // The third name type answers to "local" and to its older word "maori" alike.
    for (const char* word : {"local", "maori"}) {
        r = Cli({"da", "--names", word});
        ASSERT_EQ(r.rc, 0) << word << ": " << r.err;
        const std::string m = test::FileText(Output("Error Matrix.csv"));
        EXPECT_EQ(m.substr(0, m.find('\n')), ",Kōwhai,beta,Row Total,User Accuracy") << word;
    }

    // Names holding a comma, quotes or a line end stay one field: escaped one by one in the
    // report's tables, quoted in the files, which Python's csv module reads back as stored.
    scratch_.Admin().Execute(
        "update species set common_name = 'a, \\\"q\\\"' where folder_name = 'alpha'");
    for (const std::vector<std::string>& args :
         {std::vector<std::string>{"da", "--names", "common"},
          {"da", "--names", "common", "--validate", "loo"},
          {"separability", "--names", "common"}}) {
        r = Ok(args);
        EXPECT_FALSE(Contains(r.out, "\nx ")) << r.out;
    }
    r = Cli({"da", "--names", "common"});
    EXPECT_TRUE(Contains(r.out, "\nb\\nx         ")) << r.out;
    EXPECT_TRUE(Contains(r.out, "\na, \"q\"       ")) << r.out;
    const std::string fields = "['a, \"q\"', 'b\\nx'] ['a, \"q\"', 'b\\nx']\n";
    EXPECT_EQ(test::RunPython(dir_,
                              "import csv, sys\n"
                              "for path in sys.argv[1:]:\n"
                              "    rows = list(csv.reader(open(path, newline='')))\n"
                              "    print(rows[0][1:3], [r[0] for r in rows[1:3]])\n",
                              {Output("Error Matrix.csv"),
                               Output("Error Matrix (leave-one-out).csv"),
                               Output("JM and B output.csv")}),
              fields + fields + fields);
}

// Sensors are split at commas, and --sensors repeats; a name with a comma is given whole after
// "name:". Every library the table needs is built on the way.
TEST_F(CliLibrary, CompareTabulatesTheSensorsGivenInEveryForm) {
    std::ofstream(dir_.File("broad.txt")) << "Broad, blue\nA wide first band\n"
                                             "band,avg_wavelength,fwhm,mark\n"
                                             "1,700,100,C\n2,1000,2,C\n3,2000,2,C\n";
    ASSERT_EQ(Cli({"sensor", "import", dir_.File("broad.txt")}).rc, 0);
    ExpectRefusals({
        {{"compare"}, 2, "compare needs --sensors NAME|ID,..."},
        {{"compare", "--sensors", "Three test bands,,name:x"}, 2, "has an empty sensor"},
        {{"compare", "--sensors", "Broad, blue"}, 1, "Broad"},
        {{"compare", "--sensors", "Three test bands", "--validate", "jackknife"}, 1,
         "Unknown validation"},
    });
    const test::CliOutcome r = Ok({"compare", "--sensors", "Three test bands",
                                   "--sensors=name:Broad, blue", "--validate", "resubstitution"});
    EXPECT_TRUE(Contains(r.out, "Sensor Comparison")) << r.out;
    EXPECT_TRUE(Contains(r.out, "\n" + Output("sensor_comparison.csv") + "\n")) << r.out;
    const std::string table = test::FileText(Output("sensor_comparison.csv"));
    EXPECT_TRUE(Contains(table, "\nThree test bands,")) << table;
    EXPECT_TRUE(Contains(table, "\n\"Broad, blue\",")) << table;
    EXPECT_TRUE(Contains(Cli({"compare", "--help"}).out, "name: is one name")) ;
}

// A result's provenance and its report heading say how the chain ran, the optional stages
// (mode and pairs) and the waveband filter included, so a result computed with the continuum
// removal on can never pass for one without it.
TEST_F(CliLibrary, ResultsNameTheOptionalStagesAndTheFilterTheyRanWith) {
    ASSERT_EQ(Cli({"filter", "set", "1340-1450", "1790-1960"}).rc, 0);
    ASSERT_EQ(Cli({"splice", "set", "990-991"}).rc, 0);
    // The continuum removal leaves these two-band classes no covariance; SAM needs none.
    const std::vector<std::string> chain = {"--continuum", "on", "--splice", "additive",
                                            "--classifier", "sam"};
    auto with = [&](std::vector<std::string> args) {
        args.insert(args.end(), chain.begin(), chain.end());
        return Cli(args);
    };
    test::CliOutcome r = with({"library", "build"});
    ASSERT_EQ(r.rc, 0) << r.err;
    r = with({"da", "--names", "folder"});
    ASSERT_EQ(r.rc, 0) << r.err;
    const std::string heading =
        "Discriminant Analysis (resubstitution)\n"
        "Chain: study \"field\"; sensor Three test bands; splice correction additive (splice "
        "joins: 990-991); waveband filter 1340-1450, 1790-1960 nm; smoothing none; continuum "
        "removal on (continuum ranges: the whole valid range); derivative order 0 (none)\n"
        "Feature space type NTBI; feature space \"pairs\" (2 features); classifier SAM\n";
    EXPECT_TRUE(Contains(r.out, heading)) << r.out;

    const nlohmann::json record =
        nlohmann::json::parse(test::FileText(Output("Error Matrix.json")));
    const nlohmann::json& p = record["provenance"];
    EXPECT_EQ(p["continuum_removal"]["mode"], "on") << p.dump(1);
    EXPECT_EQ(p["continuum_removal"]["pairs"], nlohmann::json::array()) << p.dump(1);
    EXPECT_EQ(p["continuum_removal"]["default_pairs"], "the whole valid range") << p.dump(1);
    EXPECT_EQ(p["splice_correction"]["mode"], "additive") << p.dump(1);
    EXPECT_EQ(p["splice_correction"]["pairs"],
              nlohmann::json::parse(R"([{"from_nm": 990, "to_nm": 991}])"))
        << p.dump(1);
    EXPECT_TRUE(p["splice_correction"]["default_pairs"].is_null()) << p.dump(1);
    EXPECT_EQ(p["waveband_filter"]["excluded"],
              nlohmann::json::parse(R"([{"from_nm": 1340, "to_nm": 1450},
                                        {"from_nm": 1790, "to_nm": 1960}])"))
        << p.dump(1);

    // Off, the stages still say so rather than leaving the reader to guess.
    r = Ok({"pca"});
    EXPECT_TRUE(Contains(r.out, "Principal Component Analysis\nChain: study \"field\"; sensor "
                                "Three test bands; splice correction off (splice joins: "
                                "990-991);"))
        << r.out;
    const nlohmann::json pca = nlohmann::json::parse(test::FileText(Output("pca_output.json")));
    EXPECT_EQ(pca["provenance"]["continuum_removal"]["mode"], "off") << pca.dump(1);
    EXPECT_EQ(pca["provenance"]["splice_correction"]["mode"], "off") << pca.dump(1);
}

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
    test::CliOutcome r = Ok({"spectra", "list", "--species", "PH"});
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
        const test::CliOutcome r = Ok(args);
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
    r = Ok({"splice", "set", "990-991", "1790-1791"});
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
