// SPDX-License-Identifier: GPL-3.0-or-later
#include "stats/spectral_statistics.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <cstring>
#include <ctime>
#include <filesystem>
#include <fstream>
#include <functional>
#include <regex>
#include <tuple>
#include <utility>
#include <vector>

#include "base/parallel.h"
#include "stats/discriminant_analysis.h"
#include "stats/sensor_comparison.h"
#include "stats/separability.h"
#include "store/array_codec.h"
#include "study/study_spectra.h"
#include "study/study_spectra_changes.h"
#include "support/analysis_rig.h"
#include "support/band_values.h"
#include "support/feature_study.h"
#include "support/refusal.h"
#include "support/study_rows.h"

namespace orvane {
namespace {

// The chain the library study's analyses state under their headings.
const std::string kPairChain =
    "Chain: study \"library study\"; sensor Three test bands; splice correction off (splice "
    "joins: 1000-1001 1800-1801); waveband filter none; smoothing none; continuum removal off "
    "(continuum ranges: the whole valid range); derivative order 0 (none)\nFeature space type "
    "NTBI; feature space \"pairs\" (2 features)";

using Points = test::FeaturePoints;

// Three species whose features are known: the means, covariances and classifier values below
// were worked out independently (numpy, from the same float reflectances).
class LibraryTest : public test::AnalysisRig {
  protected:
    LibraryTest() : AnalysisRig("library") {}
    void SetUp() override {
        Database& db = Admin();
        study_ = test::InsertStudyWithChainRows(db, "library study");
        // Inserted out of folder order: the library must come back sorted.
        AddSpecies(study_, "gamma", {{1, {{0.5, -0.3}, {0.6, -0.2}, {0.55, -0.35}}}});
        AddSpecies(study_, "alpha",
                   {{1, {{0.10, 0.20}, {0.30, 0.10}}}, {2, {{0.20, 0.40}, {0.15, 0.25}}}});
        AddSpecies(study_, "beta",
                   {{1, {{-0.20, 0.00}, {0.00, -0.20}, {-0.10, -0.10}, {-0.05, 0.05}}}});
        fs_ = test::InsertPairFeatureSpace(db);
        ImportSensors(SensorFiles());
        UsePairChain();
        library_ = std::make_unique<SpectralStatistics>(*session_, *loader_);
    }

    // The sensors of the session: the three-band one, which sees the features exactly.
    virtual std::vector<std::string> SensorFiles() {
        test::WriteThreeBandSensor(dir_.File("three_bands.txt"));
        return {dir_.File("three_bands.txt")};
    }

    // The study with the pair feature space, read anew (its minimum of spectra included).
    void UsePairChain() {
        ChainOptions chain;
        chain.study = std::to_string(study_);
        chain.feature_space_type = 1;
        chain.feature_space = std::to_string(fs_);
        Apply(chain);
        UseStudy(study_);
    }

    // The study's minimum of spectra per species, read anew.
    void MinimumSpectra(int n) {
        Admin().Execute(
            Sql("update study set min_no_of_spec_per_endmember = %i where study_id = %i", n,
                study_));
        UsePairChain();
    }
    // A change of the feature space after the stored build, which makes that build stale.
    void TouchFeatureSpace() {
        Admin().Execute(Sql("update feature_space set build_date = current_timestamp(6) where "
                            "feature_space_id = %i",
                            fs_));
        library_->LoadLibrary();
    }

    int AddSpecies(int study, const std::string& folder,
                   const std::vector<std::pair<int, Points>>& sites) {
        return test::InsertFeatureSpecies(Admin(), study, folder, sites);
    }

    AccuracyResult Da(const char* validation = "resubstitution") {
        return RunDiscriminantAnalysis(*library_, *loader_, output_, frontend_, 3,
                                       ParseValidation(validation));
    }
    AccuracyResult Independent(int study) {
        return ClassifyIndependentSet(*library_, *loader_, output_, *session_, frontend_, study, 3);
    }
    SeparabilityResult Separability(int distance = SeparabilitySettings::kBoth) {
        SeparabilitySettings settings;
        settings.distance = distance;
        return SeparabilityReport(*library_, output_, frontend_, settings);
    }
    // The analyses that classify every spectrum of a study: the discriminant analysis, the
    // independent set of `other` and the site check of `species`.
    std::vector<std::pair<const char*, std::function<void()>>> Analyses(int other, int species) {
        return {{"discriminant analysis", [this] { Da(); }},
                {"independent set", [this, other] { Independent(other); }},
                {"site check",
                 [this, species] { SiteAccuracyCheck(*library_, *loader_, frontend_, species); }}};
    }

    // The classifier's ranking of the test spectrum, whose features are (0.12, 0.18).
    ClassificationResult ClassifyProbe(int classifier) {
        session_->SetClassifier(static_cast<Classifier>(classifier));
        std::vector<float> v(kSpectrumBands);
        const std::string blob = test::FeatureSpectrum(0.12, 0.18);
        std::memcpy(v.data(), blob.data(), blob.size());
        Spectrum probe;
        probe.SetReflectances(v.data());
        return library_->Classify(probe);
    }

    int study_ = 0;
    int fs_ = 0;
    std::unique_ptr<SpectralStatistics> library_;
};

TEST_F(LibraryTest, BuildStoresSortedClassesWithSampleStatistics) {
    EXPECT_FALSE(library_->IsLibraryValid());
    EXPECT_STREQ(library_->StatusText(), "Not Ready");
    ASSERT_TRUE(library_->BuildLibrary(frontend_));
    // One entry, stating the chain the library was built with.
    ASSERT_EQ(frontend_.reports.size(), 1u);
    EXPECT_EQ(frontend_.reports[0].rfind(
                  "New library built and reloaded\nChain: study \"library study\"; sensor ", 0),
              0u)
        << frontend_.reports[0];
    EXPECT_STREQ(library_->StatusText(), "Ready");
    EXPECT_EQ(Count("select count(*) from library"), 1);
    EXPECT_EQ(Count("select count(*) from statistic"), 3);

    ASSERT_EQ(library_->ClassCount(), 3);
    const struct {
        const char* folder;
        int samples;
        double mean[2];
        double cov[4];
    } expected[] = {
        {"alpha", 4, {0.18749999, 0.23749999}, {0.00729167, -0.00354167, -0.00354167, 0.015625}},
        {"beta", 4, {-0.0875, -0.0625}, {0.00729167, -0.00479167, -0.00479167, 0.01229166}},
        {"gamma", 3, {0.55, -0.28333333}, {0.0025, 0.0025, 0.0025, 0.00583334}}};
    for (int c = 0; c < 3; ++c) {
        const LibraryClass& cls = library_->Class(c);
        const auto& e = expected[c];
        EXPECT_EQ(cls.folder_name, e.folder);
        EXPECT_EQ(cls.index, c);
        EXPECT_EQ(cls.no_of_samples, e.samples);
        for (int i = 0; i < 2; ++i) EXPECT_NEAR(cls.mean(i + 1, 1), e.mean[i], 1e-8) << e.folder;
        for (int i = 0; i < 4; ++i)
            EXPECT_NEAR(cls.cov(i / 2 + 1, i % 2 + 1), e.cov[i], 1e-8) << e.folder;
    }
    EXPECT_EQ(library_->ClassIndexOf("beta"), 1);
    EXPECT_EQ(library_->ClassIndexOf("Beta"), -1);
}

TEST_F(LibraryTest, ClassifiersOnIndependentlyComputedValuesAndNoneOnNonFiniteFeatures) {
    ASSERT_TRUE(library_->BuildLibrary(frontend_));
    // All zero: every normalised difference is 0 / 0.
    Spectrum dark;
    std::vector<float> zeros(kSpectrumBands, 0.0f);
    dark.SetReflectances(zeros.data());
    const struct {
        const char* name;
        int classifier;
        double alpha, beta, gamma;
    } cases[] = {
        // ln det(C) + d'C^-1 d, signed: alpha's tight covariance makes its value negative.
        {"Mahalanobis", 0, -7.985451115822957, 11.987943822167574, 301.67812714949815},
        {"Modified Mahalanobis", 1, 11.1379002293563, 207.73745886706, 3664.9789875277},
        {"Gen. Squared Dist", 2, 1.9434951174335, 23.2540869013483, 52.1046741514003},
        {"SAM", 3, 0.080286813224905, 2.77904839838238, 1.45848894442668}};
    for (const auto& c : cases) {
        const ClassificationResult r = ClassifyProbe(c.classifier);
        ASSERT_EQ(r.entries.size(), 3u) << c.name;
        EXPECT_EQ(r.Winner().name, "alpha") << c.name;
        for (const ClassScore& e : r.entries) {
            const double want = e.name == "alpha" ? c.alpha : e.name == "beta" ? c.beta : c.gamma;
            EXPECT_NEAR(e.distance, want, 1e-6 * std::fabs(want)) << c.name << " " << e.name;
            EXPECT_EQ(e.regular, 1);
        }
        EXPECT_TRUE(test::Refuses([&] { library_->Classify(dark); }, "not a finite number"))
            << c.name;
    }
    EXPECT_EQ(ClassifyProbe(3).Format(1).substr(0, 19), "1.  0.08  ->  alpha");
}

// Classifying reads the library and writes nothing into it: after every command that
// classifies, under every classifier, the loaded classes and the stored library and statistic
// rows are as the build left them, bit for bit. (The inverses and log-determinants are the
// models', fitted from these classes and read through a const reference.)
TEST_F(LibraryTest, ClassifyingLeavesTheLoadedAndStoredLibraryAsBuilt) {
    ASSERT_TRUE(library_->BuildLibrary(frontend_));
    const int other = test::InsertStudy(Admin(), "other");
    AddSpecies(other, "alpha", {{1, {{0.19, 0.24}, {0.18, 0.23}, {-0.09, -0.06}}}});
    Admin().Execute("create temporary table library_built as select * from library");
    Admin().Execute("create temporary table statistic_built as select * from statistic");
    std::vector<LibraryClass> loaded;
    for (int c = 0; c < library_->ClassCount(); ++c) loaded.push_back(library_->Class(c));

    // A command that checks readiness reloads the classes, so each is compared right after.
    const auto unchanged = [&] {
        ASSERT_EQ(library_->ClassCount(), static_cast<int>(loaded.size()));
        for (int c = 0; c < library_->ClassCount(); ++c) {
            const LibraryClass& now = library_->Class(c);
            const LibraryClass& built = loaded[static_cast<size_t>(c)];
            EXPECT_EQ(now.folder_name, built.folder_name);
            EXPECT_EQ(now.species_id, built.species_id);
            EXPECT_EQ(now.no_of_samples, built.no_of_samples);
            EXPECT_EQ(std::memcmp(&now.shrinkage, &built.shrinkage, sizeof(double)), 0);
            for (int i = 1; i <= built.dimension; ++i) {
                EXPECT_EQ(now.mean(i, 1), built.mean(i, 1)) << built.folder_name;
                for (int j = 1; j <= built.dimension; ++j)
                    EXPECT_EQ(now.cov(i, j), built.cov(i, j)) << built.folder_name;
            }
        }
        EXPECT_EQ(Count("select count(*) from library"), 1);
        EXPECT_EQ(Count("select count(*) from library l join library_built b using (library_id) "
                        "where l.build_date = b.build_date and l.stage_options = b.stage_options"),
                  1);
        EXPECT_EQ(Count("select count(*) from statistic"), 3);
        EXPECT_EQ(Count("select count(*) from statistic s join statistic_built b using "
                        "(statistic_id) where s.library_id = b.library_id and s.species_id = "
                        "b.species_id and s.no_of_samples = b.no_of_samples and s.mean = b.mean "
                        "and s.cov = b.cov and s.shrinkage <=> b.shrinkage"),
                  3);
    };
    auto commands = Analyses(other, library_->Class(0).species_id);
    commands.emplace_back("classify",
                          [&] { ClassifyProbe(static_cast<int>(session_->ClassifierInUse())); });
    commands.emplace_back("leave-one-out", [&] { Da("loo"); });
    commands.emplace_back("separability", [&] { Separability(); });
    for (const ClassifierEntry& entry : ClassifierRegistry()) {
        session_->SetClassifier(entry.kind);
        for (const auto& [name, run] : commands) {
            SCOPED_TRACE(std::string(entry.label) + ": " + name);
            run();
            unchanged();
        }
    }
}

// Mahalanobis (shrunk) on the pair features, against scikit-learn (StandardScaler over all
// spectra, LedoitWolf per class; tests/stats/ledoit_wolf_reference.py) on the nominal features
// the float reflectances carry to about 1e-7. A library built before intensities were stored
// is Not Ready for this classifier only.
TEST_F(LibraryTest, ShrunkMahalanobisStoresIntensitiesAndReportsThem) {
    ASSERT_TRUE(library_->BuildLibrary(frontend_));
    EXPECT_EQ(Count("select count(*) from statistic where shrinkage is null"), 0);
    const struct {
        const char* name;
        double shrinkage;
        double value;
    } expected[] = {{"alpha", 1.0, -2.9069931208058275},
                    {"beta", 0.9696907221626174, 9.74103004041043},
                    {"gamma", 0.5816915520009251, 176.48613618539918}};
    for (int c = 0; c < 3; ++c)
        EXPECT_NEAR(library_->Class(c).shrinkage, expected[c].shrinkage, 1e-6) << expected[c].name;
    const ClassificationResult r = ClassifyProbe(4);
    EXPECT_EQ(r.Winner().name, "alpha");
    for (const ClassScore& e : r.entries) {
        const auto& want = expected[e.class_index];
        EXPECT_NEAR(e.distance, want.value, 1e-5 * std::fabs(want.value)) << want.name;
    }

    frontend_.reports.clear();
    Da();
    ASSERT_FALSE(frontend_.reports.empty());
    // The float reflectances leave the sixth decimal of gamma's intensity open.
    const std::string report =
        "Ledoit-Wolf shrinkage intensities (standardised features)\n"
        "alpha  1.000000\nbeta   0.969691\ngamma  0.58169";
    EXPECT_EQ(frontend_.reports[0].substr(0, report.size()), report);

    Admin().Execute("update statistic set shrinkage = null");
    library_->LoadLibrary();
    EXPECT_STREQ(library_->StatusText(), "Not Ready");
    EXPECT_TRUE(
        test::Refuses([&] { ClassifyProbe(4); }, "built before they were stored; build it again"));
    EXPECT_EQ(library_->NotReadyRemedy(), Remedy::kBuildLibrary);
    EXPECT_EQ(ClassifyProbe(0).Winner().name, "alpha");
    EXPECT_STREQ(library_->StatusText(), "Ready");
}

// Mahalanobis takes log-determinants: det(C) = 1e400 is beyond a double, its logarithm is not.
// A class without a covariance (one whose determinant is negative, or three identical spectra)
// ranks last without a value for the classifiers that need one; the others keep using it.
TEST_F(LibraryTest, UnmodelledClassesRankLastAndNeverWin) {
    ASSERT_TRUE(library_->BuildLibrary(frontend_));
    const std::tuple<const char*, double, double, int, double> cases[] = {
        {"huge covariance", 1e200, 1e200, 1, 921.0340371976183},
        {"negative determinant", 1e-2, -1e-2, 0, HUGE_VAL}};
    for (const auto& [name, variance1, variance2, regular, distance] : cases) {
        Matrix cov(2, 2);
        cov << variance1 << 0.0 << 0.0 << variance2;
        const std::string bytes = EncodeMatrix(cov);
        Admin().WriteBlob(
            Sql("update statistic st, species sp set st.cov = ? where st.species_id = "
                "sp.species_id and sp.folder_name = 'alpha'"),
            bytes.data(), bytes.size());
        library_->LoadLibrary();
        const ClassificationResult r = ClassifyProbe(0);
        ASSERT_EQ(r.entries.size(), 3u);
        EXPECT_EQ(std::make_tuple(r.entries[0].name, r.entries[1].name, r.entries[2].name,
                                  r.entries[2].regular),
                  std::make_tuple("beta", "gamma", "alpha", regular))
            << name;
        if (std::isinf(distance))
            EXPECT_EQ(r.entries[2].distance, distance) << name;
        else
            EXPECT_NEAR(r.entries[2].distance, distance, 1e-6) << name;
    }
    AddSpecies(study_, "delta", {{1, {{0.12, 0.18}, {0.12, 0.18}, {0.12, 0.18}}}});
    ASSERT_TRUE(library_->BuildLibrary(frontend_));
    for (int classifier = 0; classifier < 4; ++classifier) {
        const ClassificationResult r = ClassifyProbe(classifier);
        const bool covariance = classifier < 2;
        EXPECT_EQ(r.Winner().name, covariance ? "alpha" : "delta") << classifier;
        const auto is_delta = [](const ClassScore& e) { return e.name == "delta"; };
        const ClassScore& delta = *std::find_if(r.entries.begin(), r.entries.end(), is_delta);
        EXPECT_EQ(delta.regular, covariance ? 0 : 1) << classifier;
        EXPECT_EQ(std::isinf(delta.distance), covariance) << classifier;
        EXPECT_EQ(library_->Models().ModelledCount(), covariance ? 3 : 4) << classifier;
    }
    // Folder order: alpha, beta, delta, gamma.
    EXPECT_EQ(library_->Models().Problem(2), "");
    ClassifyProbe(0);
    EXPECT_EQ(library_->Models().Problem(2),
              "its covariance has rank 0 in 2 features (its 3 spectra vary in fewer directions "
              "than there are features: duplicated spectra or features that move together)");
}

TEST_F(LibraryTest, StaleAfterEveryChainSpectraOrStageChangeAndReadyAfterRebuild) {
    ASSERT_TRUE(library_->BuildLibrary(frontend_));
    const auto touch = [](const char* table, const char* column, const char* key, int id) {
        return Sql("update %s set %s = current_timestamp(6) where %s = %i", table, column, key, id);
    };
    for (const std::string& change :
         {touch("waveband_filter", "changed_at", "study_id", study_),
          touch("smoothing_filter", "changed_at", "study_id", study_),
          touch("derivative", "changed_at", "study_id", study_),
          touch("feature_space", "build_date", "feature_space_id", fs_)}) {
        ASSERT_TRUE(library_->IsLibraryValid()) << change;
        Admin().Execute(change);
        EXPECT_FALSE(library_->IsLibraryValid()) << change;
        // Rebuilding right away, within the same second, must count as newer.
        ASSERT_TRUE(library_->BuildLibrary(frontend_));
        EXPECT_TRUE(library_->IsLibraryValid()) << change;
    }
    EXPECT_EQ(Count("select count(*) from library"), 1);

    // Disabling or enabling a spectrum makes it stale too.
    Database& db = Admin();
    const int spectrum = Count("select s.spectrum_id from spectrum s join species sp on "
                               "s.species_id = sp.species_id where sp.folder_name = 'alpha' and "
                               "s.spectrum_no = 2");
    for (const bool disable : {true, false}) {
        ASSERT_EQ(SetSpectraDisabled(db, study_, {spectrum}, disable), 1);
        EXPECT_FALSE(library_->IsLibraryValid()) << disable;
        ASSERT_TRUE(library_->BuildLibrary(frontend_));
        EXPECT_TRUE(library_->IsLibraryValid()) << disable;
        // The rebuild uses, and stores, only the enabled spectra.
        EXPECT_EQ(library_->Class(0).no_of_samples, disable ? 3 : 4);
        EXPECT_NEAR(library_->Class(0).mean(1, 1), disable ? (0.10 + 0.20 + 0.15) / 3 : 0.1875,
                    1e-7);
    }
    // Asking for the state a spectrum already has is no change.
    ASSERT_EQ(SetSpectraDisabled(db, study_, {spectrum}, false), 0);
    EXPECT_TRUE(library_->IsLibraryValid());

    // A library answers for the optional stages' modes it was built with, and a change of the
    // study's joins or ranges makes the libraries built with that stage on stale.
    const struct {
        const char* step;
        std::function<void()> change;
        bool valid;
    } steps[] = {
        {"splice on", [&] { session_->SetStageMode(Stage::kSpliced, 1); }, false},
        {"splice off again", [&] { session_->SetStageMode(Stage::kSpliced, 0); }, true},
        {"splice on, built", [&] { session_->SetStageMode(Stage::kSpliced, 1); }, true},
        {"other joins", [&] { session_->SetStagePairs(Stage::kSpliced, {{990, 991}}); }, false},
        {"continuum ranges while off",
         [&] { session_->SetStagePairs(Stage::kContinuumRemoved, {{400, 2400}}); }, true},
        {"continuum on", [&] { session_->SetStageMode(Stage::kContinuumRemoved, 1); }, false},
    };
    for (const auto& st : steps) {
        st.change();
        EXPECT_EQ(library_->IsLibraryValid(), st.valid) << st.step;
        if (std::string(st.step) == "splice on, built") continue;
        ASSERT_TRUE(library_->BuildLibrary(frontend_)) << st.step;
        EXPECT_TRUE(library_->IsLibraryValid()) << st.step;
    }
    // Off, both; spliced; spliced and continuum-removed.
    EXPECT_EQ(Count("select count(distinct stage_options) from library"), 3);
}

// A cancelled build rolls back: the libraries stored and the one loaded stay exactly as they
// were, and the status says the build was cancelled until a build of the settings completes.
TEST_F(LibraryTest, ACancelledBuildLeavesThePreviousLibraryAndSaysSo) {
    ASSERT_TRUE(library_->BuildLibrary(frontend_));
    const auto stored = [&] {
        std::string rows;
        Admin().QueryText(
            "select concat((select group_concat(library_id, '@', build_date order by library_id) "
            "from library), '/', (select group_concat(statistic_id, ':', species_id, ':', "
            "no_of_samples, ':', coalesce(shrinkage, 'null') order by statistic_id) from "
            "statistic))",
            rows);
        return rows;
    };
    const std::string before = stored();
    const struct {
        const char* name;
        bool stale;  // the settings changed since the stored build
        const char* status;
        int classes;
    } cases[] = {
        {"a rebuild of a Ready library", false,
         "Ready (3 of 3 classes modelled; last build cancelled)", 3},
        {"a build after the settings changed", true, "Not Ready (build cancelled)", 0},
    };
    for (const auto& c : cases) {
        if (c.stale) TouchFeatureSpace();
        test::RecordingFrontend cancelling;
        cancelling.cancel_after_steps = 1;
        EXPECT_TRUE(test::EndsCancelled([&] { library_->BuildLibrary(cancelling); })) << c.name;
        EXPECT_EQ(stored(), before) << c.name;
        EXPECT_EQ(library_->StatusLine(), c.status) << c.name;
        EXPECT_EQ(library_->ClassCount(), c.classes) << c.name;
    }
    ASSERT_TRUE(library_->BuildLibrary(frontend_));
    EXPECT_EQ(library_->StatusLine(), "Ready (3 of 3 classes modelled)");
}

// With more than one thread the next species is read on a thread of its own while the current
// one is computed: the stored statistics are the bytes one thread stores, and a row that fails
// while it is read ahead stops the build with its message, keeps the previous library and
// hands the connection back to the build's thread.
TEST_F(LibraryTest, ReadingAheadStoresWhatOneThreadStoresAndFailsCleanly) {
    struct WorkersRestored {
        ~WorkersRestored() { SetWorkerCount(WorkerCountFromEnvironment()); }
    } restored;
    const auto stored = [&] {
        std::string rows;
        Admin().QueryText("select group_concat(species_id, ':', no_of_samples, ':', hex(mean), "
                          "':', hex(cov), ':', coalesce(shrinkage, 'null') order by species_id) "
                          "from statistic",
                          rows);
        return rows;
    };
    SetWorkerCount(1);
    ASSERT_TRUE(library_->BuildLibrary(frontend_));
    const std::string one = stored();
    SetWorkerCount(2);
    ASSERT_TRUE(library_->BuildLibrary(frontend_));
    EXPECT_EQ(stored(), one);

    // The species read last is damaged, so its read runs while the one before is computed.
    Admin().Execute("update spectrum s join species sp on s.species_id = sp.species_id set "
                    "s.reflectances = 'abcd' where sp.species_id = (select max(species_id) "
                    "from species) and s.spectrum_no = 1");
    EXPECT_TRUE(test::Refuses([&] { library_->BuildLibrary(frontend_); },
                              "has 4 bytes of reflectances where 8600 were expected"));
    EXPECT_EQ(stored(), one);
    int answer = 0;
    EXPECT_TRUE(session_->Db().QueryInt("select 7", answer));
    EXPECT_EQ(answer, 7);
}

// A build holds the classes of its own spectra only: a species that no longer reaches the
// study's minimum leaves the library instead of answering with an earlier build's statistics,
// and a build without any qualifying species is refused and stores nothing.
TEST_F(LibraryTest, ABuildHoldsOnlyTheSpeciesThatReachTheMinimum) {
    EXPECT_THROW(Separability(), OrvaneError);  // nothing built yet
    MinimumSpectra(4);
    ASSERT_TRUE(library_->BuildLibrary(frontend_));
    ASSERT_EQ(library_->ClassCount(), 2);
    const int spectrum = Count("select s.spectrum_id from spectrum s join species sp on "
                               "s.species_id = sp.species_id where sp.folder_name = 'beta' and "
                               "s.spectrum_no = 1");
    ASSERT_EQ(SetSpectraDisabled(Admin(), study_, {spectrum}, true), 1);
    ASSERT_TRUE(library_->BuildLibrary(frontend_));
    ASSERT_EQ(library_->ClassCount(), 1);
    EXPECT_EQ(library_->Class(0).folder_name, "alpha");
    EXPECT_EQ(Count("select count(*) from statistic"), 1);
    EXPECT_EQ(test::FileText(Separability().path), ",alpha,\nalpha,-\n");

    MinimumSpectra(10);
    TouchFeatureSpace();
    EXPECT_TRUE(
        test::Refuses([&] { library_->BuildLibrary(frontend_); }, "at least 10 enabled spectra"));
    // The earlier build is untouched, and stale, so nothing answers.
    EXPECT_EQ(Count("select count(*) from statistic"), 1);
    library_->LoadLibrary();
    EXPECT_STREQ(library_->StatusText(), "Not Ready");
    EXPECT_EQ(library_->ClassCount(), 0);
    EXPECT_THROW(ClassifyProbe(0), LibraryNotReadyError);

    session_->SetFeatureSpace(0);
    EXPECT_FALSE(library_->BuildLibrary(frontend_));
    EXPECT_FALSE(library_->IsLibraryValid());
}

// A library answers only for the study and chain settings it was built for: every command
// that classifies is refused, with the reason, as soon as they change.
TEST_F(LibraryTest, OnlyTheLibraryOfTheCurrentStudyAndSettingsAnswers) {
    const int empty = test::InsertStudyWithChainRows(Admin(), "empty");
    const auto use = [&](int study, int derivative_order) {
        ChainOptions chain;
        chain.study = std::to_string(study);
        chain.derivative_order = derivative_order;
        chain.feature_space = std::to_string(fs_);
        Apply(chain);
    };
    // As the commands run them: "Indiv. Classify" checks readiness once, then classifies.
    auto commands = Analyses(empty, 1);
    commands.emplace_back("classify", [&] {
        library_->RequireReady();
        ClassifyProbe(0);
    });
    const struct {
        const char* what;
        std::function<void()> change;
        const char* reason;
    } cases[] = {
        {"other study", [&] { use(empty, 0); }, "No library has been built for study 'empty'"},
        {"derivative order 1", [&] { use(study_, 1); }, "No library has been built for study"},
        {"spectra changed", [&] { MarkStudySpectraChanged(Admin(), study_); },
         "older than its spectra"}};
    for (const auto& c : cases) {
        use(study_, 0);
        ASSERT_TRUE(library_->BuildLibrary(frontend_)) << c.what;
        ASSERT_STREQ(library_->StatusText(), "Ready") << c.what;
        c.change();
        for (const auto& [name, run] : commands) {
            EXPECT_THROW(run(), LibraryNotReadyError) << c.what << ": " << name;
            EXPECT_TRUE(test::Refuses(run, c.reason)) << c.what << ": " << name;
        }
        EXPECT_STREQ(library_->StatusText(), "Not Ready") << c.what;
    }

    // Loaded classes of the previous study never answer, even before anything reloads them.
    use(study_, 0);
    ASSERT_TRUE(library_->BuildLibrary(frontend_));
    session_->SetStudy(empty);
    EXPECT_STREQ(library_->StatusText(), "Not Ready");
    EXPECT_THROW(ClassifyProbe(0), LibraryNotReadyError);
}

// The JSON twins say which settings produced them, and their numbers are the CSV's (the
// layout of the records is kept with the demo session's results).
TEST_F(LibraryTest, ResultRecordsNameTheSettingsOfTheirRun) {
    // A name that needs escaping in JSON and is not ASCII, and a waveband filter range.
    const std::string name = "Reed \"sample\" \u0100rohanui";
    Database& db = Admin();
    db.Execute(Sql("update study set name = '%s' where study_id = %i", db.Escape(name).c_str(),
                   study_));
    db.Execute(Sql("insert into waveband_filter (study_id) values (%i)", study_));
    db.Execute(Sql("insert into waveband_filter_range (study_id, waveband_filter_id, "
                   "lower_wavelength, upper_wavelength) values (%i, %i, 1350, 1450)",
                   study_, static_cast<int>(db.InsertId())));
    UseStudy(study_);
    ASSERT_TRUE(library_->BuildLibrary(frontend_));
    const std::time_t before = std::time(nullptr);
    const AccuracyResult r = Da();
    ASSERT_EQ(r.json_path, dir_.Path() + "/out/Error Matrix.json");
    const nlohmann::json j = test::ReadJson(r.json_path);
    EXPECT_EQ(j["analysis"], "discriminant analysis");

    const nlohmann::json& p = j["provenance"];
    EXPECT_EQ(p["study"], nlohmann::json({{"id", study_}, {"name", name}}));
    EXPECT_EQ(p["sensor"]["name"], "Three test bands");
    EXPECT_EQ(p["sensor"]["id"], session_->CurrentSensor()->SensorId());
    EXPECT_EQ(p["waveband_filter"]["excluded"],
              nlohmann::json::parse(R"([{"from_nm": 1350, "to_nm": 1450}])"));
    EXPECT_EQ(p["feature_space"]["id"], fs_);
    EXPECT_EQ(p["feature_space"]["ranges"], nlohmann::json::parse(R"([
        {"wavelength1_nm": 400, "wavelength2_nm": 1000},
        {"wavelength1_nm": 1000, "wavelength2_nm": 2000}])"));
    EXPECT_EQ(p["classifier"], "Mahalanobis");
    EXPECT_EQ(p["validation"], "resubstitution");
    // The build date as the server itself writes the stored instant in UTC.
    EXPECT_EQ(p["library"]["id"], library_->LibraryId());
    std::string built;
    db.Execute("set time_zone = '+00:00'");
    db.QueryText(Sql("select date_format(build_date, '%%Y-%%m-%%dT%%H:%%i:%%s.%%fZ') from "
                     "library where library_id = %i",
                     library_->LibraryId()),
                 built);
    EXPECT_EQ(p["library"]["build_date"], built);
    // The time of the run: UTC, ISO 8601, to the second.
    const std::string run_at = p["run_at"];
    ASSERT_TRUE(std::regex_match(run_at, std::regex(R"(\d{4}-\d\d-\d\dT\d\d:\d\d:\d\dZ)")))
        << run_at;
    std::tm tm{};
    strptime(run_at.c_str(), "%Y-%m-%dT%H:%M:%SZ", &tm);
    const std::time_t at = timegm(&tm);
    EXPECT_GE(at, before);
    EXPECT_LE(at, std::time(nullptr));

    // The numbers are the analysis's (the record's layout is the demo session's).
    EXPECT_NEAR(j["overall_accuracy"].get<double>(), r.overall_accuracy, 1e-12);
    EXPECT_EQ(j["spectra"], 11);
    EXPECT_TRUE(test::JsonNear(j["kappa"], r.kappa, 1e-15));

    // A site check's shares, per site, add up to the species' column of the error matrix.
    const std::string site_path =
        SiteAccuracyCheck(*library_, *loader_, frontend_, library_->Class(0).species_id, &output_);
    ASSERT_EQ(site_path, dir_.Path() + "/out/site_check.json");
    const nlohmann::json sites = test::ReadJson(site_path);
    EXPECT_EQ(sites["analysis"], "site check");
    EXPECT_EQ(sites["provenance"]["study"]["name"], name);
    EXPECT_EQ(sites["species"]["folder"], "alpha");
    ASSERT_EQ(sites["sites"].size(), 2u);
    std::vector<int> votes(3, 0);
    for (const nlohmann::json& site : sites["sites"]) {
        EXPECT_EQ(site["spectra"], 2);
        double share = 0.0;
        for (size_t c = 0; c < 3; ++c) {
            EXPECT_EQ(site["classes"][c]["class"], library_->Class(static_cast<int>(c)).folder_name);
            votes[c] += site["classes"][c]["votes"].get<int>();
            share += site["classes"][c]["share"].get<double>();
        }
        EXPECT_NEAR(share, 100.0, 1e-12);
    }
    for (size_t c = 0; c < 3; ++c) EXPECT_EQ(j["error_matrix"]["counts"][c][0], votes[c]) << c;
}

// Delta's spectra are two points, each twice (n > d, rank 1); epsilon has 2 spectra for 2
// features. Both are stored, named by the build, counted out by the status line, named once
// by every command that classifies, and shown without a number in a ranking.
TEST_F(LibraryTest, UnestimableClassesAreNamedByTheBuildTheStatusAndEachRunOnce) {
    AddSpecies(study_, "delta", {{1, {{0.1, 0.2}, {0.1, 0.2}, {0.3, 0.4}, {0.3, 0.4}}}});
    AddSpecies(study_, "epsilon", {{1, {{0.12, 0.18}, {0.13, 0.17}}}});
    MinimumSpectra(2);
    const std::string delta =
        "delta: its covariance has rank 1 in 2 features (its 4 spectra vary in fewer directions "
        "than there are features: duplicated spectra or features that move together)";
    const std::string epsilon = "epsilon: 2 spectra for 2 features; at least 3 are needed";
    ASSERT_TRUE(library_->BuildLibrary(frontend_));
    EXPECT_EQ(frontend_.reports,
              (std::vector<std::string>{
                  "New library built and reloaded\n" + kPairChain,
                  "The covariance of these classes cannot be estimated in this feature space; "
                  "Mahalanobis and Modified Mahalanobis leave them unmodelled (SAM and Gen. "
                  "Squared Dist use them):\n  " + delta + "\n  " + epsilon}));
    EXPECT_EQ(Count("select count(*) from statistic"), 5);
    EXPECT_EQ(library_->StatusLine(), "Ready (3 of 5 classes modelled)");
    session_->SetClassifier(Classifier::kSpectralAngle);
    EXPECT_EQ(library_->StatusLine(), "Ready (5 of 5 classes modelled)");
    EXPECT_EQ(library_->UnmodelledNote(), "");

    session_->SetClassifier(Classifier::kMahalanobis);
    const std::string note =
        "2 of 5 classes are not modelled with this classifier: their covariance cannot be "
        "estimated in this feature space, so they rank last and never win.\n  " + delta +
        "\n  " + epsilon;
    const int other = test::InsertStudy(Admin(), "other");
    AddSpecies(other, "alpha", {{1, {{0.19, 0.24}, {0.12, 0.18}}}});
    const auto runs = Analyses(other, library_->Class(0).species_id);
    for (const auto& [name, run] : runs) {
        frontend_.reports.clear();
        run();
        EXPECT_EQ(std::count(frontend_.reports.begin(), frontend_.reports.end(), note), 1)
            << name;
    }
    // The discriminant analysis gives the unmodelled classes no spectrum: their rows are 0.
    const std::vector<std::string> lines = test::Lines(Da().path);
    EXPECT_EQ(lines[3], "delta,0,0,0,0,0,0,");
    EXPECT_EQ(lines[4], "epsilon,0,0,0,0,0,0,");

    const std::string ranking = ClassifyProbe(0).Format(1);
    EXPECT_NE(ranking.find("4.  n/a (not modelled)  ->  delta \n"
                           "5.  n/a (not modelled)  ->  epsilon \n"),
              std::string::npos)
        << ranking;
    EXPECT_EQ(ranking.find("inf"), std::string::npos) << ranking;
    // The verdict names the best modelled class, never an unmodelled one.
    EXPECT_EQ(ClassifyProbe(0).Verdict(), "classified as alpha");

    session_->SetFeatureSpace(0);
    EXPECT_EQ(library_->StatusLine(), "Not Ready");
}

// Rows are the class a spectrum was classified as, columns its reference class: one alpha
// spectrum goes to delta (Mahalanobis values from numpy: delta -10.75, alpha -6.97), so a
// swap of the two puts the 1 on the other side of the diagonal.
TEST_F(LibraryTest, DiscriminantAnalysisErrorMatrixRowsAreClassifiedAsColumnsReference) {
    AddSpecies(study_, "delta", {{1, {{0.25, 0.15}, {0.35, 0.05}, {0.3, 0.2}, {0.2, 0.1}}}});
    ASSERT_TRUE(library_->BuildLibrary(frontend_));
    session_->SetClassifier(Classifier::kMahalanobis);
    frontend_.reports.clear();
    const AccuracyResult r = Da();
    EXPECT_EQ(test::FileText(r.path),
              ",alpha,beta,delta,gamma,Row Total,User Accuracy\n"
              "alpha,3,0,0,0,3,1.00000000000000E+02\n"
              "beta,0,4,0,0,4,1.00000000000000E+02\n"
              "delta,1,0,4,0,5,8.00000000000000E+01\n"
              "gamma,0,0,0,3,3,1.00000000000000E+02\n"
              "Column Total,4,4,4,3,15,\n"
              "Producer Accuracy,7.50000000000000E+01,1.00000000000000E+02,"
              "1.00000000000000E+02,1.00000000000000E+02,,9.33333333333333E+01\n\n"
              "Prod. Acc. Min,7.50000000000000E+01\n"
              "Prod. Acc. Max,1.00000000000000E+02\n"
              "Prod. Acc. Mean,9.37500000000000E+01\n"
              "User Acc. Min,8.00000000000000E+01\n"
              "User Acc. Max,1.00000000000000E+02\n"
              "User Acc. Mean,9.50000000000000E+01\n");
    ASSERT_EQ(frontend_.reports.size(), 5u);
    EXPECT_EQ(frontend_.reports[0], "Discriminant Analysis (resubstitution)\n" + kPairChain +
                                        "; classifier Mahalanobis");
    EXPECT_EQ(frontend_.reports[1],
              "Error matrix (rows: classified as, columns: reference class)\n"
              "              alpha  beta  delta  gamma  Row Total\n"
              "alpha             3     0      0      0          3\n"
              "beta              0     4      0      0          4\n"
              "delta             1     0      4      0          5\n"
              "gamma             0     0      0      3          3\n"
              "Column Total      4     4      4      3         15\n");
    // Kappa: (15 * 14 - 57) / (15^2 - 57) = 153 / 168.
    EXPECT_EQ(frontend_.reports[3],
              "Class  Producer's accuracy  User's accuracy\n"
              "alpha              75.00 %         100.00 %\n"
              "beta              100.00 %         100.00 %\n"
              "delta             100.00 %          80.00 %\n"
              "gamma             100.00 %         100.00 %\n"
              "Cohen's kappa: 0.91071");
    EXPECT_EQ(frontend_.reports[4], "Overall Accuracy: 93.33333 % (resubstitution)");
}

// Leave-one-out and k-fold re-estimate the classes from the stored spectra's features. The
// counts are scikit-learn's under the same folds (QDA with equal priors over the classes left
// modelled for Mahalanobis, LDA for Gen. Squared Dist, from the nominal features; every
// prediction wins by more than 2 in log-probability). gamma has d + 1 = 3 spectra, so each of
// its held-out spectra leaves it unmodelled and goes to alpha.
TEST_F(LibraryTest, ValidatedDiscriminantAnalysisWritesItsOwnFile) {
    ASSERT_TRUE(library_->BuildLibrary(frontend_));
    session_->SetClassifier(Classifier::kMahalanobis);
    frontend_.reports.clear();
    AccuracyResult r = Da("loo");
    EXPECT_EQ(r.path, output_.PathFor("Error Matrix (leave-one-out)", "csv"));
    EXPECT_EQ(test::FileText(r.path),
              "Classified as / Reference,alpha,beta,gamma,Row Total,User Accuracy\n"
              "alpha,3,1,3,7,4.28571428571429E+01\n"
              "beta,1,3,0,4,7.50000000000000E+01\n"
              "gamma,0,0,0,0,\n"
              "Column Total,4,4,3,11,\n"
              "Producer Accuracy,7.50000000000000E+01,7.50000000000000E+01,"
              "0.00000000000000E+00,,\n\n"
              "Overall Accuracy,5.45454545454545E+01\n"
              // Cohen's kappa by hand in exact fractions: p_o = 6/11, p_e = (7*4 + 4*4 + 0*3)
              // / 121 = 44/121, kappa = (6/11 - 44/121) / (1 - 44/121) = 2/7.
              "Kappa,2.85714285714286E-01\n"
              "Prod. Acc. Min,0.00000000000000E+00\n"
              "Prod. Acc. Max,7.50000000000000E+01\n"
              "Prod. Acc. Mean,5.00000000000000E+01\n"
              "User Acc. Min,4.28571428571429E+01\n"
              "User Acc. Max,7.50000000000000E+01\n"
              "User Acc. Mean,5.89285714285714E+01\n"
              "Validation,leave-one-out\n");
    EXPECT_FALSE(std::filesystem::exists(output_.PathFor("Error Matrix", "csv")));
    const auto reported = [&](const std::string& part) {
        return std::any_of(frontend_.reports.begin(), frontend_.reports.end(),
                           [&](const std::string& t) { return t.find(part) != std::string::npos; });
    };
    EXPECT_TRUE(reported("Discriminant Analysis (leave-one-out)"));
    EXPECT_TRUE(reported("gamma: unmodelled in 3 of 11 held-out sets"));
    EXPECT_TRUE(reported("Overall Accuracy: 54.54545 % (leave-one-out)"));

    session_->SetClassifier(Classifier::kGeneralSquaredDistance);
    r = Da("kfold:2");
    EXPECT_EQ(r.path, output_.PathFor("Error Matrix (2-fold)", "csv"));
    EXPECT_EQ(r.overall_accuracy, 100.0);
    const std::string text = test::FileText(r.path);
    EXPECT_EQ(text.substr(text.rfind("Validation")), "Validation,2-fold (class-wise, i mod 2)\n");

    // gamma's three spectra cannot fill four folds; nothing is written.
    EXPECT_TRUE(test::Refuses([&] { Da("kfold:4"); }, "class gamma has only 3 spectra"));
    EXPECT_FALSE(std::filesystem::exists(output_.PathFor("Error Matrix (4-fold)", "csv")));

    // Resubstitution keeps its file as it was, without a validation line.
    r = Da();
    EXPECT_EQ(r.path, output_.PathFor("Error Matrix", "csv"));
    EXPECT_EQ(test::FileText(r.path).find("Validation"), std::string::npos);
}

TEST_F(LibraryTest, IndependentSetCountsVotesUnderTheMatchingClass) {
    ASSERT_TRUE(library_->BuildLibrary(frontend_));
    Database& db = Admin();
    const int other = test::InsertStudy(db, "other");
    // Two spectra that look like alpha and one like beta, all filed as alpha; a species the
    // library does not know is skipped with a note.
    AddSpecies(other, "alpha", {{1, {{0.19, 0.24}, {0.18, 0.23}, {-0.09, -0.06}}}});
    AddSpecies(other, "omega", {{1, {{0.5, 0.5}}}});
    const std::vector<StudyItem> studies = IndependentStudies(*session_);
    ASSERT_EQ(studies.size(), 1u);
    EXPECT_EQ(studies[0].name, "other");

    frontend_.reports.clear();
    const AccuracyResult r = Independent(other);
    EXPECT_EQ(test::FileText(r.path),
              ",alpha,beta,gamma,Row Total,User Accuracy\n"
              "alpha,2,0,0,2,1.00000000000000E+02\n"
              "beta,1,0,0,1,0.00000000000000E+00\n"
              "gamma,0,0,0,0,\n"
              "Column Total,3,0,0,3,\n"
              "Producer Accuracy,6.66666666666667E+01,,,,6.66666666666667E+01\n\n"
              "Prod. Acc. Min,6.66666666666667E+01\n"
              "Prod. Acc. Max,6.66666666666667E+01\n"
              "Prod. Acc. Mean,6.66666666666667E+01\n"
              "User Acc. Min,0.00000000000000E+00\n"
              "User Acc. Max,1.00000000000000E+02\n"
              "User Acc. Mean,5.00000000000000E+01\n");
    ASSERT_EQ(frontend_.reports.size(), 6u);
    EXPECT_EQ(frontend_.reports[0],
              "Skipped species omega: the library has no class of that folder name");
    EXPECT_EQ(frontend_.reports[1],
              "Library Accuracy Check\n" + kPairChain + "; classifier Mahalanobis");
    EXPECT_EQ(frontend_.reports[5], "Overall Accuracy: 66.66667 % (independent set)");
    EXPECT_EQ(r.kappa, 0.0);

    // Its JSON twin: the same counts (rows classified as, columns reference), undefined
    // accuracies as null, and the study the spectra came from.
    ASSERT_EQ(r.json_path, dir_.Path() + "/out/Error Matrix.json");
    const nlohmann::json j = test::ReadJson(r.json_path);
    EXPECT_EQ(j["analysis"], "independent set");
    // An independent set is not a resubstitution, in the result and in the file's provenance.
    EXPECT_EQ(r.validation, "independent set");
    EXPECT_EQ(j["provenance"]["validation"], "independent set");
    EXPECT_EQ(j["independent_study"], nlohmann::json({{"id", other}, {"name", "other"}}));
    EXPECT_EQ(j["error_matrix"]["counts"], nlohmann::json({{2, 0, 0}, {1, 0, 0}, {0, 0, 0}}));
    const std::tuple<const char*, double, double> classes[] = {
        {"alpha", 200.0 / 3.0, 100.0}, {"beta", NAN, 0.0}, {"gamma", NAN, NAN}};
    ASSERT_EQ(j["classes"].size(), 3u);
    for (size_t c = 0; c < 3; ++c) {
        const auto& [folder, producers, users] = classes[c];
        EXPECT_EQ(j["classes"][c]["folder"], folder);
        EXPECT_TRUE(test::JsonNear(j["classes"][c]["producers_accuracy"], producers, 1e-12));
        EXPECT_TRUE(test::JsonNear(j["classes"][c]["users_accuracy"], users, 0.0)) << folder;
    }
    EXPECT_EQ(j["spectra"], 3);
    EXPECT_NEAR(j["overall_accuracy"].get<double>(), 200.0 / 3.0, 1e-12);
    EXPECT_EQ(j["kappa"], 0.0);

    db.Execute(Sql("delete from study where study_id = %i", other));
    EXPECT_EQ(IndependentStudies(*session_)[0].study_id, -1);
}

// A "%.14E" cell holding `value` to nine significant digits.
void ExpectNumberCell(const std::string& cell, double value, const std::string& where) {
    EXPECT_EQ(cell.size(), value < 0 ? 21u : 20u) << where << ": " << cell;
    EXPECT_EQ(cell[cell.size() - 4], 'E') << where << ": " << cell;
    EXPECT_NEAR(std::strtod(cell.c_str(), nullptr), value, 1e-9 * std::fabs(value))
        << where << ": " << cell;
}

TEST_F(LibraryTest, SeparabilityTableOfTheLoadedClasses) {
    // Delta's spectra are all alike, so its covariance cannot be estimated: its pairs have no
    // distance at all, neither JM nor B.
    AddSpecies(study_, "delta", {{1, {{0.3, 0.3}, {0.3, 0.3}, {0.3, 0.3}}}});
    ASSERT_TRUE(library_->BuildLibrary(frontend_));
    // B and JM of alpha, beta and gamma from numpy (slogdet, solve) on the same features.
    const double b_ab = 3.56598868945813, b_ag = 6.372114626241826, b_bg = 10.750515302966303;
    const double na = NAN;
    const double b[4][4] = {{0, b_ab, na, b_ag}, {b_ab, 0, na, b_bg},
                            {na, na, 0, na}, {b_ag, b_bg, na, 0}};
    const char* names[] = {"alpha", "beta", "delta", "gamma"};
    const SeparabilityResult result = Separability();
    const std::string& path = result.path;
    ASSERT_EQ(path, dir_.Path() + "/out/JM and B output.csv");
    // The window's tables show the distances the report returns.
    ASSERT_EQ(result.distances.Nrows(), 4);
    for (int r = 0; r < 4; ++r)
        for (int j = 0; j < 4; ++j)
            EXPECT_TRUE(test::SameValue(result.distances(r + 1, j + 1), b[r][j], 1e-8)) << r << j;
    EXPECT_EQ(frontend_.reports.back(),
              "Separability Analysis\n" + kPairChain +
                  "\nUsing JM and B distance\n\nn/a for every pair with these "
              "classes: their covariance cannot be estimated in this feature space.\n  delta: "
              "its covariance has rank 0 in 2 features (its 3 spectra vary in fewer directions "
              "than there are features: duplicated spectra or features that move together)"
              "\n\nJM and B output written to file:\n" + path);
    // B below the diagonal, JM above it.
    const std::vector<std::string> lines = test::Lines(path);
    ASSERT_EQ(lines.size(), 5u);
    EXPECT_EQ(lines[0], ",alpha,beta,delta,gamma,");
    for (int r = 0; r < 4; ++r) {
        const std::vector<std::string> cells = test::Cells(lines[static_cast<size_t>(r) + 1]);
        ASSERT_EQ(cells.size(), 5u) << lines[static_cast<size_t>(r) + 1];
        EXPECT_EQ(cells[0], names[r]);
        for (int j = 0; j < 4; ++j) {
            const std::string& cell = cells[static_cast<size_t>(j) + 1];
            const std::string where = std::string(names[r]) + "/" + names[j];
            if (j == r)
                EXPECT_EQ(cell, "-") << where;
            else if (std::isnan(b[r][j]))
                EXPECT_EQ(cell, "n/a") << where;
            else if (j < r)
                ExpectNumberCell(cell, b[r][j], where);
            else
                ExpectNumberCell(cell, 2.0 * (1.0 - std::exp(-b[r][j])), where);
        }
    }
    // The JSON twin: each pair once, a pair without a distance as null (JSON has no NaN).
    const nlohmann::json j = test::ReadJson(dir_.Path() + "/out/JM and B output.json");
    ASSERT_EQ(j["pairs"].size(), 6u);
    size_t pair = 0;
    for (int r = 0; r < 4; ++r) {
        for (int c = r + 1; c < 4; ++c, ++pair) {
            const nlohmann::json& got = j["pairs"][pair];
            const std::string where = std::string(names[r]) + "/" + names[c];
            EXPECT_EQ(got["class1"], names[r]) << where;
            EXPECT_EQ(got["class2"], names[c]) << where;
            EXPECT_TRUE(test::JsonNear(got["b"], b[r][c], 1e-11)) << where;
            EXPECT_TRUE(test::JsonNear(got["jm"], 2.0 * (1.0 - std::exp(-b[r][c])), 1e-12))
                << where;
        }
    }
    // Each distance alone leaves the other triangle empty, n/a or not.
    const struct {
        int distance;
        const char* delta_row;
    } alone[] = {{SeparabilitySettings::kJM, "delta,,,-,n/a"},
                 {SeparabilitySettings::kB, "delta,n/a,n/a,-,"}};
    for (const auto& c : alone)
        EXPECT_EQ(test::Lines(Separability(c.distance).path)[3], c.delta_row) << c.distance;
    const nlohmann::json first = test::ReadJson(dir_.Path() + "/out/JM output.json")["pairs"][0];
    EXPECT_TRUE(first.contains("jm"));
    EXPECT_FALSE(first.contains("b"));
}

// The library's species on three sensors: "Three test bands" sees them exactly, "Broad blue"
// mixes its first band across the step at 700 nm (other features, other distances), and "One
// band" has too few bands for the two-feature space.
class SensorComparisonTest : public LibraryTest {
  protected:
    std::vector<std::string> SensorFiles() override {
        std::ofstream(dir_.File("broad.txt")) << "Broad blue\nA wide first band\n"
                                                 "band,avg_wavelength,fwhm,mark\n"
                                                 "1,700,100,C\n2,1000,2,C\n3,2000,2,C\n";
        std::ofstream(dir_.File("one.txt"))
            << "One band\nA single band\nband,avg_wavelength,fwhm,mark\n1,1000,2,C\n";
        std::vector<std::string> files = LibraryTest::SensorFiles();
        files.insert(files.end(), {dir_.File("broad.txt"), dir_.File("one.txt")});
        return files;
    }
    void SetUp() override {
        LibraryTest::SetUp();
        for (const auto& sensor : session_->Sensors()) {
            if (sensor->Name() == "Three test bands") narrow_ = sensor->SensorId();
            if (sensor->Name() == "Broad blue") broad_ = sensor->SensorId();
            if (sensor->Name() == "One band") one_ = sensor->SensorId();
        }
        UseSensor(narrow_);
    }

    SensorComparison Compare(std::vector<int> sensors, Frontend* frontend = nullptr,
                             const std::string& validation = "resubstitution") {
        SensorComparisonOptions options;
        options.sensor_ids = std::move(sensors);
        options.validation = validation;
        return CompareSensors(*session_, *loader_, output_, frontend ? *frontend : frontend_,
                              options);
    }

    // The session as the window left it: the sensor it chose, with the feature space mapped
    // to that sensor's bands.
    void ExpectSessionOn(int sensor, const std::string& when) {
        ASSERT_NE(session_->CurrentSensor(), nullptr) << when;
        EXPECT_EQ(session_->CurrentSensor()->SensorId(), sensor) << when;
        EXPECT_EQ(session_->FeatureSpaceId(), fs_) << when;
    }

    void UseSensor(int sensor) {
        ChainOptions chain;
        chain.sensor = std::to_string(sensor);
        Apply(chain);
    }

    int narrow_ = 0;
    int broad_ = 0;
    int one_ = 0;
};

TEST_F(SensorComparisonTest, TableAgreesWithSeparateRunsAndIndependentDistances) {
    const SensorComparison table = Compare({broad_, narrow_});
    ExpectSessionOn(narrow_, "after the comparison");
    ASSERT_EQ(table.rows.size(), 2u);
    EXPECT_EQ(table.feature_space, "pairs");
    EXPECT_EQ(table.dimension, 2);
    const SensorComparisonRow& broad = table.rows[0];
    const SensorComparisonRow& narrow = table.rows[1];
    EXPECT_EQ(broad.sensor, "Broad blue");
    EXPECT_EQ(narrow.sensor, "Three test bands");
    EXPECT_TRUE(broad.library_built && narrow.library_built);

    // The narrow sensor sees the constructed features exactly; B, JM and the Mahalanobis
    // resubstitution worked out in plain double arithmetic from the same float reflectances
    // (every spectrum classified correctly; B alpha-beta 3.5660, alpha-gamma 6.3721,
    // beta-gamma 10.7505).
    EXPECT_EQ(narrow.classes, 3);
    EXPECT_EQ(narrow.classes_modelled, 3);
    EXPECT_DOUBLE_EQ(narrow.overall_accuracy, 100.0);
    EXPECT_DOUBLE_EQ(narrow.kappa, 1.0);
    EXPECT_EQ(narrow.validation, "resubstitution");
    EXPECT_EQ(narrow.jm_pairs, 3);
    EXPECT_NEAR(narrow.min_jm, 1.943461955242733, 1e-9);
    EXPECT_NEAR(narrow.mean_jm, 1.9800006671913082, 1e-9);
    EXPECT_EQ(narrow.closest_first, "alpha");
    EXPECT_EQ(narrow.closest_second, "beta");
    // A sensor that was not really switched to would repeat the narrow figures.
    EXPECT_GT(std::fabs(broad.min_jm - narrow.min_jm), 1e-3);

    // Each sensor on its own through the discriminant analysis (under `validation`) and the
    // pairwise distances; the libraries the comparison built are the current ones and are reused.
    const auto expect_separate_runs = [&](const SensorComparison& t, const char* validation) {
        for (const SensorComparisonRow& row : t.rows) {
            UseSensor(row.sensor_id);
            SpectralStatistics library(*session_, *loader_);
            library.LoadLibrary();
            ASSERT_STREQ(library.StatusText(), "Ready") << row.sensor;
            const AccuracyResult da = RunDiscriminantAnalysis(
                library, *loader_, output_, frontend_, 3, ParseValidation(validation));
            EXPECT_DOUBLE_EQ(row.overall_accuracy, da.overall_accuracy) << row.sensor;
            EXPECT_DOUBLE_EQ(row.kappa, da.kappa) << row.sensor;
            const Matrix b = PairwiseBhattacharyya(library);
            const double jm[] = {JeffriesMatusita(b(1, 2)), JeffriesMatusita(b(1, 3)),
                                 JeffriesMatusita(b(2, 3))};
            EXPECT_DOUBLE_EQ(row.min_jm, std::min({jm[0], jm[1], jm[2]})) << row.sensor;
            EXPECT_NEAR(row.mean_jm, (jm[0] + jm[1] + jm[2]) / 3, 1e-15) << row.sensor;
        }
    };
    expect_separate_runs(table, "resubstitution");

    // The file: a header, then one row per sensor in the order asked (its layout is the demo
    // session's).
    EXPECT_EQ(std::filesystem::path(table.path).filename(), "sensor_comparison.csv");
    const std::vector<std::string> lines = test::Lines(table.path);
    ASSERT_EQ(lines.size(), 3u);
    EXPECT_EQ(test::Cells(lines[1])[0], "Broad blue");
    EXPECT_EQ(test::Cells(lines[2])[0], "Three test bands");

    // A second comparison reuses both libraries and reports the same table.
    UseSensor(narrow_);
    const SensorComparison again = Compare({broad_, narrow_});
    for (size_t i = 0; i < 2; ++i) {
        EXPECT_FALSE(again.rows[i].library_built);
        EXPECT_EQ(again.rows[i].min_jm, table.rows[i].min_jm);
    }
    const std::string& report = frontend_.reports.back();
    EXPECT_NE(report.find("Sensor Comparison"), std::string::npos) << report;
    EXPECT_NE(report.find("Three test bands  "), std::string::npos) << report;
    EXPECT_NE(report.find("alpha / beta"), std::string::npos) << report;

    // Validated: each row is the sensor's own leave-one-out discriminant analysis.
    UseSensor(narrow_);
    frontend_.reports.clear();
    const SensorComparison loo = Compare({broad_, narrow_}, nullptr, "loo");
    // gamma has d + 1 = 3 spectra, so each of its held-out spectra leaves it unmodelled; each
    // sensor's note says so before the table.
    for (const char* sensor : {"Broad blue", "Three test bands"}) {
        const std::string heading = "Sensor \"" + std::string(sensor) + "\": ";
        EXPECT_EQ(std::count_if(frontend_.reports.begin(), frontend_.reports.end(),
                                [&](const std::string& t) {
                                    return t.rfind(heading, 0) == 0 &&
                                           t.find("gamma: unmodelled in 3 of 11 held-out sets") !=
                                               std::string::npos;
                                }),
                  1)
            << sensor;
    }
    for (const SensorComparisonRow& row : loo.rows) EXPECT_EQ(row.validation, "leave-one-out");
    expect_separate_runs(loo, "loo");
}

// Whatever stops a comparison, the session stays on its sensor and feature space and no table
// is written; a sensor that cannot hold the feature space is refused before any library is
// built.
// One bar for the whole comparison: each sensor's build and check fill their share of it in
// turn, so it never falls back to 0 for the next sensor or phase, and it ends full.
TEST_F(SensorComparisonTest, ProgressRisesOnceAcrossEverySensorAndPhase) {
    test::RecordingFrontend recording;
    std::vector<int> shown;
    recording.Progress().SetListener(
        [&](const std::string&, int percent) { shown.push_back(percent); });
    Compare({broad_, narrow_}, &recording);
    recording.Progress().SetListener(nullptr);
    ASSERT_FALSE(shown.empty());
    EXPECT_TRUE(std::is_sorted(shown.begin(), shown.end())) << ::testing::PrintToString(shown);
    EXPECT_EQ(shown.back(), 100);
    // Both sensors' phases were heard, not only the last one's.
    EXPECT_TRUE(std::any_of(shown.begin(), shown.end(), [](int p) { return p > 0 && p <= 50; }))
        << ::testing::PrintToString(shown);
}

TEST_F(SensorComparisonTest, RefusalsAndCancelLeaveTheSessionOnItsSensor) {
    struct CancelAfterFirstClass : test::RecordingFrontend {
        bool Cancelled() override { return !steps.empty(); }
    };
    const struct {
        const char* name;
        std::vector<int> sensors;
        std::string validation;
        bool cancel;
        const char* message;
    } cases[] = {
        {"no sensor", {}, "resubstitution", false, "at least one sensor"},
        {"a sensor twice", {narrow_, broad_, narrow_}, "resubstitution", false, "listed twice"},
        {"an unknown sensor", {narrow_, 99999}, "resubstitution", false, "not loaded"},
        {"too few bands", {narrow_, one_}, "resubstitution", false,
         "2 features, more than the 1 bands of sensor \"One band\""},
        {"an unknown validation", {narrow_}, "jackknife", false, "Unknown validation"},
        {"cancelled", {narrow_, broad_}, "resubstitution", true, ""},
    };
    UseSensor(broad_);
    for (const auto& c : cases) {
        CancelAfterFirstClass cancelling;
        const auto run = [&] {
            Compare(c.sensors, c.cancel ? &cancelling : nullptr, c.validation);
        };
        EXPECT_TRUE(c.cancel ? test::EndsCancelled(run) : test::Refuses(run, c.message))
            << c.name;
        ExpectSessionOn(broad_, c.name);
        EXPECT_FALSE(std::filesystem::exists(output_.PathFor("sensor_comparison", "csv")))
            << c.name;
        if (!c.cancel) {
            EXPECT_EQ(Count("select count(*) from library"), 0) << c.name;
        }
    }
}

// The window's form listens to chain changes and answers each by choosing its list's first
// feature space and reloading its library; the comparison's own switches of sensor must not
// reach it, whether the comparison ends well or is refused, and every chain setting the user
// chose is the same afterwards.
TEST_F(SensorComparisonTest, ChainSettingsAndTheirListenerAreLeftAsTheyWere) {
    session_->SetClassifier(Classifier::kSpectralAngle);
    int heard = 0;
    session_->SetChainChangedListener([&] {
        ++heard;
        session_->SetFeatureSpace(0);
    });
    const auto state = [&] {
        return std::make_tuple(session_->CurrentSensor()->SensorId(), session_->FeatureSpaceId(),
                               session_->FeatureSpaceType(), session_->ClassifierInUse(),
                               session_->StageMode(Stage::kContinuumRemoved),
                               session_->StageMode(Stage::kSpliced),
                               session_->SmoothingType(), session_->DerivativeOrder());
    };
    const std::pair<const char*, std::vector<int>> cases[] = {
        {"compared", {broad_, narrow_}},
        {"refused after switching", {broad_, one_}},
    };
    for (const auto& [name, sensors] : cases) {
        const auto before = state();
        SensorComparison table;
        try {
            table = Compare(sensors);
        } catch (const OrvaneError&) {
        }
        // Its heading states the chain the rows share; each row names its own sensor.
        if (!table.rows.empty()) {
            EXPECT_EQ(table.chain.rfind("Chain: study \"library study\"; splice correction off",
                                        0),
                      0u)
                << table.chain;
        }
        EXPECT_EQ(heard, 0) << name;
        EXPECT_EQ(state(), before) << name;
        // The listener is back in place for the user's next change.
        session_->NotifyChainChanged();
        EXPECT_EQ(heard, 1) << name;
        heard = 0;
        session_->SetFeatureSpace(fs_);
    }
    session_->SetChainChangedListener(nullptr);
}

}  // namespace
}  // namespace orvane
