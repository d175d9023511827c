// SPDX-License-Identifier: GPL-3.0-or-later
#include "stats/principal_components.h"

#include <gtest/gtest.h>

#include <array>
#include <cmath>
#include <cstdio>
#include <filesystem>
#include <functional>
#include <regex>

#include "spectra/spectrum.h"
#include "stats/spectral_statistics.h"
#include "store/array_codec.h"
#include "study/study_spectra.h"
#include "support/analysis_rig.h"
#include "support/feature_study.h"
#include "support/refusal.h"
#include "support/study_rows.h"

namespace orvane {
namespace {

using Levels = std::vector<std::array<float, 3>>;

// A spectrum flat at a up to 700 nm, b up to 1500 nm and c above: the three narrow bands at
// 400, 1000 and 2000 nm read (a, b, c). A level of -1 is the no-value marker there.
std::string LevelSpectrum(const std::array<float, 3>& level) {
    std::vector<float> v(kSpectrumBands);
    for (int i = 0; i < kSpectrumBands; ++i) {
        const int w = kFirstWavelength + i;
        v[static_cast<size_t>(i)] = w <= 700 ? level[0] : w <= 1500 ? level[1] : level[2];
    }
    return test::Blob(v);
}

// Expected values from numpy (eigh of np.cov of the float levels of alpha and beta).
const double kEigenvalues[] = {0.01572713886114763, 0.0016577260781182105, 0.00014370614388257278};
const double kEigenvectors[3][3] = {{-0.3123283090659201, 0.45908321484474846, -0.8316812064750733},
                                    {0.6081504158389768, 0.769192048348285, 0.19620566880864698},
                                    {0.729797299988772, -0.44450668679512517, -0.5194320998200996}};
const double kScores[2][7] = {
    {-0.05984410521949232, -0.0597701382239427, -0.11373311472605793, -0.03474572268798087,
     -0.2803673465800434, -0.26079860918343023, -0.33865898652805787},
    {0.33081380051054954, 0.38536050751065554, 0.33132173703643153, 0.4340210716673898,
     0.3924103657602318, 0.4160331052778798, 0.3515980397878118}};

// Values equal up to one common sign, as eigenvectors are.
void ExpectSameUpToSign(const std::vector<double>& got, const double* want, size_t n,
                        double tolerance, const std::string& what) {
    const double sign = got[0] * want[0] < 0 ? -1.0 : 1.0;
    for (size_t i = 0; i < n; ++i) EXPECT_NEAR(sign * got[i], want[i], tolerance) << what << i;
}

// A study of three species on the three-band sensor, no smoothing, no derivative: alpha (4
// spectra) and beta (3) reach the study's minimum of 3, gamma (2) does not.
class PcaTest : public test::AnalysisRig {
  protected:
    PcaTest() : AnalysisRig("pca") {}
    void SetUp() override {
        Database& db = Admin();
        study_ = test::InsertStudyWithChainRows(db, "pca study");
        AddSpecies("alpha", {{0.10f, 0.30f, 0.20f},
                             {0.12f, 0.35f, 0.22f}, {0.11f, 0.28f, 0.25f}, {0.14f, 0.40f, 0.21f}});
        AddSpecies("beta", {{0.20f, 0.25f, 0.40f}, {0.22f, 0.27f, 0.38f}, {0.18f, 0.20f, 0.45f}});
        AddSpecies("gamma", {{0.3f, 0.3f, 0.3f}, {0.31f, 0.29f, 0.33f}});
        test::WriteThreeBandSensor(dir_.File("three.txt"));
        ImportSensors({dir_.File("three.txt")});
        ChainOptions chain;
        chain.study = std::to_string(study_);
        Apply(chain);
        UseStudy(study_);
    }

    void AddSpecies(const std::string& folder, const Levels& levels) {
        Database& db = Admin();
        const int species = test::InsertSpecies(db, study_, folder);
        const int site = test::InsertSite(db, study_, species, 1);
        int number = 1;
        for (const auto& level : levels) {
            test::SpectrumValues row;
            row.spectrum_no = number++;
            test::InsertSpectrum(db, study_, species, site, row, LevelSpectrum(level));
        }
    }

    int AddPctSpace(const std::string& name, int dimension) {
        Admin().Execute(
            Sql("insert into feature_space (name, description, dimension, fs_type_id, build_date) "
                "values ('%s', '', %i, (select fs_type_id from feature_space_type where type = "
                "2), current_timestamp(6))",
                name.c_str(), dimension));
        return static_cast<int>(Admin().InsertId());
    }

    // As the form's PCT button does after the analysis.
    void SwitchToPct() {
        ChainOptions pct;
        pct.feature_space_type = kFeaturePCT;
        Apply(pct);
    }

    std::string BuildDate() {
        std::string date;
        Admin().QueryText("select build_date from pca_data", date);
        return date;
    }
    PcaResult Pca() { return RunPca(*session_, *loader_, output_, frontend_); }
    std::string Output() const { return dir_.Path() + "/out/pca_output.csv"; }

    int study_ = 0;
};

TEST_F(PcaTest, EigenanalysisFileStoredRowAndScores) {
    AddPctSpace("PCT 1", 1);
    const int two = AddPctSpace("PCT 2", 2);
    const PcaResult r = Pca();
    ASSERT_EQ(r.path, Output());
    EXPECT_EQ(std::make_pair(r.bands, r.data.Ncols()), std::make_pair(3, 7));
    EXPECT_EQ(frontend_.reports,
              (std::vector<std::string>{"Principal Component Analysis\nChain: study \"pca "
                                        "study\"; sensor Three test bands; splice correction off (splice joins: 1000-1001 1800-1801); waveband filter none; smoothing none; continuum removal off (continuum ranges: the whole valid range); "
                                        "derivative order 0 (none)",
                                        "PCA output written to file:\n" + r.path}));

    const std::vector<std::string> lines = test::Lines(r.path);
    ASSERT_EQ(lines.size(), 9u);
    const char* head[] = {"PC#,Eigenvalue,Proportion,Cumulative",
                          "1,0.01572714,0.89722880,0.89722880",
                          "2,0.00165773,0.09457280,0.99180161",
                          "3,0.00014371,0.00819839,1.00000000",
                          "",
                          "Eigenvectors"};
    for (size_t i = 0; i < 6; ++i) EXPECT_EQ(lines[i], head[i]);
    for (int p = 0; p < 3; ++p) {
        const std::string& line = lines[static_cast<size_t>(p) + 6];
        EXPECT_TRUE(std::regex_match(line, std::regex("(-?[0-9]\\.[0-9]{14}E[-+][0-9]{2},){3}")))
            << line;
        std::vector<double> v;  // the line ends in a comma
        for (const std::string& cell : test::Cells(line))
            if (!cell.empty()) v.push_back(std::strtod(cell.c_str(), nullptr));
        ASSERT_EQ(v.size(), 3u) << line;
        ExpectSameUpToSign(v, kEigenvectors[p], 3, 1e-9, "eigenvector line " + line);
    }
    // Its JSON twin: the same numbers at full precision.
    ASSERT_EQ(r.json_path, dir_.Path() + "/out/pca_output.json");
    const nlohmann::json pca = test::ReadJson(r.json_path);
    EXPECT_EQ(pca["bands"], 3);
    EXPECT_EQ(pca["spectra"], 7);
    ASSERT_EQ(pca["components"].size(), 3u);
    const double cumulative[] = {0.89722880, 0.99180161, 1.0};
    for (int p = 0; p < 3; ++p) {
        const nlohmann::json& c = pca["components"][static_cast<size_t>(p)];
        EXPECT_EQ(c["component"], p + 1);
        EXPECT_NEAR(c["eigenvalue"].get<double>(), kEigenvalues[p], 1e-15) << p;
        EXPECT_NEAR(c["cumulative"].get<double>(), cumulative[p], 1e-8) << p;
        ExpectSameUpToSign(c["eigenvector"].get<std::vector<double>>(), kEigenvectors[p], 3,
                           1e-12, "JSON eigenvector ");
    }

    // The stored row: eigenvalues ascending, eigenvector columns in the same order.
    EXPECT_EQ(Count("select count(*) from pca_data where dim = 3"), 1);
    ColumnVector values(3);
    Matrix vectors(3, 3);
    ResultSet rows = Admin().Query("select eigenvalues, eigenvectors from pca_data");
    ASSERT_TRUE(rows.Next());
    DecodeMatrix(rows.String(0), values, "eigenvalues");
    DecodeMatrix(rows.String(1), vectors, "eigenvectors");
    for (int c = 1; c <= 3; ++c) {
        EXPECT_NEAR(values(c), kEigenvalues[3 - c], 1e-15) << c;
        const Matrix column = vectors.Column(c).t();
        ExpectSameUpToSign({column.Store(), column.Store() + 3}, kEigenvectors[3 - c], 3, 1e-12,
                           "stored column ");
    }

    // The first PCT feature space offered has one component: no plot, and why.
    SwitchToPct();
    EXPECT_EQ(PcaScorePlot(*session_, r.data).reason,
              "No score plot: the PCT feature space \"PCT 1\" has 1 component; the plot needs "
              "two.");
    // The score plot of "PCT 2": the first two components of the uncentred spectra.
    session_->SetFeatureSpace(two);
    const ScorePlotData plot = PcaScorePlot(*session_, r.data);
    ASSERT_TRUE(plot.Ready()) << plot.reason;
    EXPECT_EQ(plot.title, "PCA Score Plot of study 'pca study'");
    ASSERT_EQ(std::make_pair(plot.points.Nrows(), plot.points.Ncols()), std::make_pair(7, 3));
    for (int k = 0; k < 2; ++k) {
        std::vector<double> scores;
        for (int i = 1; i <= 7; ++i) scores.push_back(plot.points(i, k + 1));
        ExpectSameUpToSign(scores, kScores[k], 7, 1e-12, "score ");
    }
    for (int i = 1; i <= 7; ++i) EXPECT_EQ(plot.points(i, 3), 1.0);
}

// The score plot of a run names each point's species, titles each axis with the share of the
// total variance its component explains, shows any two different components of the analysis
// and refuses others; switching to PCT afterwards says what changed.
TEST_F(PcaTest, ScorePlotOfChosenComponentsWithSpeciesAndExplainedVariance) {
    AddPctSpace("PCT 2", 2);
    const PcaResult r = Pca();
    ASSERT_EQ(r.eigenvalues.size(), 3u);
    const double total = kEigenvalues[0] + kEigenvalues[1] + kEigenvalues[2];
    auto title = [&](int k) {
        char text[40];
        std::snprintf(text, sizeof text, "PC%d (%.1f %%)", k, 100.0 * kEigenvalues[k - 1] / total);
        return std::string(text);
    };
    EXPECT_EQ(title(1), "PC1 (89.7 %)");  // the helper itself, on the numpy eigenvalues

    const size_t reports = frontend_.reports.size();
    EXPECT_NE(SwitchToPctAfterPca(*session_, frontend_), 0);
    ASSERT_EQ(frontend_.reports.size(), reports + 1);
    EXPECT_EQ(frontend_.reports.back().rfind("PCA: feature space changed from ", 0), 0u)
        << frontend_.reports.back();
    EXPECT_NE(frontend_.reports.back().find("to PCT \"PCT 2\""), std::string::npos);
    SwitchToPctAfterPca(*session_, frontend_);  // already there: nothing to say
    EXPECT_EQ(frontend_.reports.size(), reports + 1);

    const std::vector<std::string> species = {"alpha", "alpha", "alpha", "alpha",
                                              "beta",  "beta",  "beta"};
    const Levels levels = {{0.10f, 0.30f, 0.20f}, {0.12f, 0.35f, 0.22f}, {0.11f, 0.28f, 0.25f},
                           {0.14f, 0.40f, 0.21f}, {0.20f, 0.25f, 0.40f}, {0.22f, 0.27f, 0.38f},
                           {0.18f, 0.20f, 0.45f}};
    auto scores = [&](int k) {
        std::vector<double> s;
        for (const auto& l : levels) {
            double v = 0.0;
            for (int j = 0; j < 3; ++j) v += kEigenvectors[k - 1][j] * static_cast<double>(l[j]);
            s.push_back(v);
        }
        return s;
    };
    const struct {
        int x, y;
    } pairs[] = {{1, 2}, {3, 1}, {2, 3}};
    for (const auto& c : pairs) {
        SCOPED_TRACE(std::to_string(c.x) + "," + std::to_string(c.y));
        const ScorePlotData plot = PcaScorePlot(*session_, r, c.x, c.y);
        ASSERT_TRUE(plot.Ready()) << plot.reason;
        EXPECT_EQ(plot.species, species);
        EXPECT_EQ(std::make_pair(plot.x_title, plot.y_title), std::make_pair(title(c.x), title(c.y)));
        ASSERT_EQ(plot.points.Nrows(), 7);
        for (int k = 0; k < 2; ++k) {
            std::vector<double> got;
            for (int i = 1; i <= 7; ++i) got.push_back(plot.points(i, k + 1));
            const std::vector<double> want = scores(k == 0 ? c.x : c.y);
            ExpectSameUpToSign(got, want.data(), 7, 1e-6, "score ");
        }
    }
    for (const auto& bad : {std::make_pair(1, 1), std::make_pair(0, 2), std::make_pair(1, 4)})
        EXPECT_EQ(PcaScorePlot(*session_, r, bad.first, bad.second).reason,
                  "No score plot: components " + std::to_string(bad.first) + " and " +
                      std::to_string(bad.second) +
                      " cannot be shown; choose two different components from 1 to 3.");
}

TEST_F(PcaTest, RerunChangedSpectraOrStagesMakeTheAnalysisAndPctLibrariesStale) {
    const int two = AddPctSpace("PCT 2", 2);
    const int first = Pca().pca_data_id;
    const std::string date = BuildDate();
    SwitchToPct();
    SpectralStatistics library(*session_, *loader_);
    ASSERT_TRUE(library.BuildLibrary(frontend_));
    EXPECT_EQ(library.ClassCount(), 2);

    // A rerun updates the row in place.
    EXPECT_EQ(Pca().pca_data_id, first);
    EXPECT_EQ(Count("select count(*) from pca_data"), 1);
    EXPECT_GT(BuildDate(), date);
    SwitchToPct();
    EXPECT_FALSE(library.IsLibraryValid());
    ASSERT_TRUE(library.BuildLibrary(frontend_));
    EXPECT_TRUE(library.IsLibraryValid());

    // A change of the study's spectra leaves no current analysis until it is rerun.
    EXPECT_EQ(CurrentPcaDataId(*session_), first);
    SetSpectraDisabled(Admin(), study_, {Count("select min(spectrum_id) from spectrum")},
                       true);
    EXPECT_EQ(CurrentPcaDataId(*session_), 0);
    SwitchToPct();
    EXPECT_EQ(session_->CurrentFeatureSpace(), nullptr);
    EXPECT_EQ(Pca().pca_data_id, first);
    EXPECT_EQ(CurrentPcaDataId(*session_), first);
    SwitchToPct();
    EXPECT_EQ(session_->FeatureSpaceId(), two);

    // An analysis answers for the optional stages it ran with: another mode has none until it
    // is run, and new joins leave the one run with the splice correction out of date.
    session_->SetStageMode(Stage::kSpliced, 1);
    EXPECT_EQ(CurrentPcaDataId(*session_), 0);
    const int spliced = Pca().pca_data_id;
    EXPECT_NE(spliced, first);
    EXPECT_EQ(CurrentPcaDataId(*session_), spliced);
    session_->SetStagePairs(Stage::kSpliced, {{995, 996}});
    EXPECT_EQ(CurrentPcaDataId(*session_), 0);
    session_->SetStageMode(Stage::kSpliced, 0);
    EXPECT_EQ(CurrentPcaDataId(*session_), first);
    EXPECT_EQ(Count("select count(*) from pca_data"), 2);
}

TEST_F(PcaTest, SpectraLackingABandOfTheChainAreSkippedEvenWhenLoadedFirst) {
    // The first spectrum loaded has no value at 400 nm, a later one none at 2000 nm.
    const int first = Count("select min(spectrum_id) from spectrum");
    const std::string lacking = LevelSpectrum({-1.0f, 0.30f, 0.20f});
    Admin().WriteBlob(
        Sql("update spectrum set reflectances = ? where spectrum_id = %i", first), lacking.data(),
        lacking.size());
    AddSpecies("delta", {{0.2f, 0.3f, -1.0f}, {0.2f, 0.3f, 0.3f}, {0.21f, 0.33f, 0.3f}});
    const int late = Count("select min(spectrum_id) from spectrum s, species sp where "
                           "s.species_id = sp.species_id and folder_name = 'delta'");
    const PcaResult r = Pca();
    EXPECT_EQ(r.bands, 3);
    EXPECT_EQ(r.skipped_ids, (std::vector<int>{first, late}));
    EXPECT_EQ(r.data.Ncols(), 8);
    ASSERT_EQ(frontend_.reports.size(), 3u);
    EXPECT_EQ(frontend_.reports[1],
              "PCA: 2 of 10 spectra skipped for lacking a value at one of the current chain's 3 "
              "derived bands: spectrum " + std::to_string(first) + " and " +
                  std::to_string(late) + ".");

    // numpy: eigh(np.cov(X)) of the other eight spectra's float levels, ascending.
    const double expected[] = {0.00020516875264363723, 0.001493223731518197,
                               0.0117998215899561};
    ColumnVector values(3);
    std::string blob;
    ASSERT_TRUE(Admin().QueryText("select eigenvalues from pca_data", blob));
    DecodeMatrix(blob, values, "eigenvalues");
    for (int c = 1; c <= 3; ++c) EXPECT_NEAR(values(c), expected[c - 1], 1e-15) << c;
}

TEST_F(PcaTest, RefusalsStoreNothing) {
    const struct {
        const char* name;
        std::function<void()> arrange;
        const char* message;
    } cases[] = {
        {"a PCT feature space wider than the sensor", [&] { AddPctSpace("PCT 4", 4); },
         "Not enough bands for PCA!\nSelect another sensor with more bands and rerun PCA.\nOr "
         "alternatively define a new PCT feature space with dimensions <= number of bands of "
         "current sensor"},
        {"no species with enough spectra",
         [&] { Admin().Execute("update study set min_no_of_spec_per_endmember = 5"); },
         "No data found for PCA!\nPossibly no species with enough spectra for statistical "
         "analysis."},
        {"a single spectrum",
         [&] {
             Admin().Execute("update spectrum set disabled = 1 where spectrum_id > 1");
             Admin().Execute("update study set min_no_of_spec_per_endmember = 1");
         },
         "Not enough spectra for PCA!\nThe covariance of the bands needs at least two spectra; 1 "
         "could be used. Nothing was stored."},
        {"an eigen-analysis that does not converge",
         [&] {
             AddSpecies("inf", {{0.2f, INFINITY, 0.3f}, {0.2f, 0.3f, 0.3f}, {0.2f, 0.3f, 0.3f}});
         },
         "PCA failed: the eigen-analysis of the covariance matrix did not converge. Nothing was "
         "stored."}};
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        Admin().Execute("delete from feature_space");
        Admin().Execute("update spectrum set disabled = 0");
        Admin().Execute("update study set min_no_of_spec_per_endmember = 3");
        std::filesystem::remove(Output());
        c.arrange();
        Apply(ChainOptions());
        EXPECT_TRUE(test::Refuses([&] { Pca(); }, c.message));
        EXPECT_EQ(Count("select count(*) from pca_data"), 0);
        // A refusal after the header was written leaves no partial file behind.
        EXPECT_FALSE(std::filesystem::exists(Output()));
    }
}

}  // namespace
}  // namespace orvane
