#include "stats/spectral_statistics.h"

#include <gtest/gtest.h>

#include <cmath>
#include <cstring>
#include <filesystem>

#include "forms/chain_selection.h"
#include "base/frontend.h"
#include "chain/processing_session.h"
#include "study/sensor_import.h"
#include "forms/waveband_filter_setup.h"
#include "study/spectra_factory_class.h"
#include "stats/discriminant_analysis.h"
#include "store/array_codec.h"
#include "study/study_spectra.h"
#include "support/feature_study.h"
#include "support/recording_frontend.h"
#include "support/scratch_database.h"
#include "support/study_rows.h"

namespace orvane {
namespace {

using Recorder = test::RecordingFrontend;

using test::FeatureSpectrum;
using Points = test::FeaturePoints;

// Three species whose features are known: the means, covariances and classifier values below
// were worked out independently (numpy, from the same float reflectances).
class LibraryTest : public ::testing::Test {
  protected:
    void SetUp() override {
        Database& db = scratch_.Admin();
        study_ = test::InsertStudyWithChainRows(db, "library study");
        // Inserted out of folder order: the library must come back sorted.
        AddSpecies(study_, "gamma", {{1, {{0.5, -0.3}, {0.6, -0.2}, {0.55, -0.35}}}});
        AddSpecies(study_, "alpha",
                   {{1, {{0.10, 0.20}, {0.30, 0.10}}}, {2, {{0.20, 0.40}, {0.15, 0.25}}}});
        AddSpecies(study_, "beta",
                   {{1, {{-0.20, 0.00}, {0.00, -0.20}, {-0.10, -0.10}, {-0.05, 0.05}}}});
        fs_ = test::InsertPairFeatureSpace(db);

        const std::string sensor = dir_.File("three_bands.txt");
        test::WriteThreeBandSensor(sensor);
        session_ = std::make_unique<ProcessingSession>(scratch_.Connect(), nullptr);
        SilentFrontend quiet;
        ImportSensor(*session_, quiet, sensor, 0);
        // As the form's controls apply them.
        ChainSelection chain;
        chain.study = std::to_string(study_);
        chain.feature_space_type = 1;
        chain.feature_space = std::to_string(fs_);
        ApplyChainSelection(*session_, chain);
        factory_ = std::make_unique<Spectra_factory_class>("", dir_.Path() + "/out", *session_);
        factory_->SetStudy(study_);
        library_ = std::make_unique<SpectralStatistics>(*session_, *factory_);
    }

    int AddSpecies(int study, const std::string& folder,
                   const std::vector<std::pair<int, Points>>& sites) {
        return test::InsertFeatureSpecies(scratch_.Admin(), study, folder, sites);
    }

    // The test spectrum with features (0.12, 0.18).
    std::unique_ptr<Spectrum> Probe() {
        auto probe = std::make_unique<Spectrum>(session_.get());
        std::vector<float> v(kSpectrumBands);
        const std::string blob = FeatureSpectrum(0.12, 0.18);
        std::memcpy(v.data(), blob.data(), blob.size());
        probe->SetReflectances(v.data());
        return probe;
    }

    // The classifier's ranking of the test spectrum.
    ClassificationResult ClassifyProbe(int classifier) {
        session_->SetClassifier(classifier);
        return library_->Classify(*Probe());
    }

    int Count(const std::string& sql) { return test::Count(scratch_.Admin(), sql); }

    test::TempDir dir_;
    test::ScratchDatabase scratch_{"library"};
    int study_ = 0;
    int fs_ = 0;
    std::unique_ptr<ProcessingSession> session_;
    std::unique_ptr<Spectra_factory_class> factory_;
    std::unique_ptr<SpectralStatistics> library_;
    Recorder frontend_;
};

TEST_F(LibraryTest, BuildStoresSortedClassesWithSampleStatistics) {
    EXPECT_FALSE(library_->IsLibraryValid());
    EXPECT_STREQ(library_->StatusText(), "Not Ready");
    ASSERT_TRUE(library_->BuildLibrary(frontend_));
    EXPECT_EQ(frontend_.reports, std::vector<std::string>{"New library built and reloaded"});
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
        {"gamma", 3, {0.55, -0.28333333}, {0.0025, 0.0025, 0.0025, 0.00583334}},
    };
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

TEST_F(LibraryTest, ClassifiersOnIndependentlyComputedValues) {
    ASSERT_TRUE(library_->BuildLibrary(frontend_));
    const struct {
        const char* name;
        int classifier;
        double alpha, beta, gamma;
    } cases[] = {
        {"Mahalanobis", 0, 10.4076428859095, 31.2195552907418, 325.06862098723},
        {"Modified Mahalanobis", 1, 11.1379002293563, 207.73745886706, 3664.9789875277},
        {"Gen. Squared Dist", 2, 1.9434951174335, 23.2540869013483, 52.1046741514003},
        {"SAM", 3, 0.080286813224905, 2.77904839838238, 1.45848894442668},
    };
    for (const auto& c : cases) {
        const ClassificationResult r = ClassifyProbe(c.classifier);
        ASSERT_EQ(r.entries.size(), 3u) << c.name;
        EXPECT_EQ(r.Winner().name, "alpha") << c.name;
        for (const ClassScore& e : r.entries) {
            const double want = e.name == "alpha" ? c.alpha : e.name == "beta" ? c.beta : c.gamma;
            EXPECT_NEAR(e.distance, want, 1e-6 * want) << c.name << " " << e.name;
            EXPECT_EQ(e.regular, 1);
        }
    }
    EXPECT_EQ(ClassifyProbe(3).Format(1).substr(0, 19), "1.  0.08  ->  alpha");
}

TEST_F(LibraryTest, NonFiniteLogDeterminantRanksBehindTheRegularClasses) {
    ASSERT_TRUE(library_->BuildLibrary(frontend_));
    // A class covariance so large that det(inverse) underflows to 0: ln is not finite.
    Matrix huge(2, 2);
    huge = 0.0;
    huge(1, 1) = huge(2, 2) = 1e200;
    const std::string bytes = EncodeMatrix(huge);
    scratch_.Admin().WriteBlob(
        Sql("update statistic st, species sp set st.cov = ? where st.species_id = sp.species_id "
            "and sp.folder_name = 'alpha'"),
        bytes.data(), bytes.size());
    library_->LoadLibrary();
    const ClassificationResult r = ClassifyProbe(0);
    // Alpha's distance is the largest value (gamma's) plus its own vanishing quadratic form, so
    // it ties with gamma and the tie keeps library order.
    ASSERT_EQ(r.entries.size(), 3u);
    EXPECT_EQ(r.entries[0].name, "beta");
    EXPECT_EQ(r.entries[1].name, "alpha");
    EXPECT_EQ(r.entries[1].regular, 0);
    EXPECT_NEAR(r.entries[1].distance, 325.06862098723, 1e-6);
    EXPECT_EQ(r.entries[2].name, "gamma");
}

TEST_F(LibraryTest, SpectralAngleOfAClassMeanIsZero) {
    ASSERT_TRUE(library_->BuildLibrary(frontend_));
    // Make alpha's mean the probe's own feature vector.
    const std::string bytes = EncodeMatrix(*Probe()->FeatureVector(1));
    scratch_.Admin().WriteBlob(
        Sql("update statistic st, species sp set st.mean = ? where st.species_id = "
            "sp.species_id and sp.folder_name = 'alpha'"),
        bytes.data(), bytes.size());
    library_->LoadLibrary();
    const ClassificationResult r = ClassifyProbe(3);
    EXPECT_EQ(r.Winner().name, "alpha");
    EXPECT_EQ(r.Winner().distance, 0.0);
}

TEST_F(LibraryTest, StaleAfterEveryChainChangeAndReadyAfterRebuild) {
    ASSERT_TRUE(library_->BuildLibrary(frontend_));
    const struct {
        const char* what;
        std::string sql;
    } changes[] = {
        {"waveband filter",
         Sql("update waveband_filter set changed_at = current_timestamp(6) where study_id = %i",
             study_)},
        {"smoothing filter", Sql("update smoothing_filter set changed_at = current_timestamp(6) "
                                 "where study_id = %i",
                                 study_)},
        {"derivative",
         Sql("update derivative set changed_at = current_timestamp(6) where study_id = %i",
             study_)},
        {"feature space", Sql("update feature_space set build_date = current_timestamp(6) where "
                              "feature_space_id = %i",
                              fs_)},
    };
    for (const auto& c : changes) {
        ASSERT_TRUE(library_->IsLibraryValid()) << c.what;
        scratch_.Admin().Execute(c.sql);
        EXPECT_FALSE(library_->IsLibraryValid()) << c.what;
        // Rebuilding right away, within the same second, must count as newer.
        ASSERT_TRUE(library_->BuildLibrary(frontend_));
        EXPECT_TRUE(library_->IsLibraryValid()) << c.what;
    }
    EXPECT_EQ(Count("select count(*) from library"), 1);

    // The same through the filter dialog's own OK.
    WavebandFilterSetup setup(*session_);
    setup.Show();
    setup.New(1340, 1460);
    setup.Ok();
    EXPECT_FALSE(library_->IsLibraryValid());
}

TEST_F(LibraryTest, DisablingOrEnablingASpectrumMakesTheLibraryStale) {
    Database& db = scratch_.Admin();
    const int spectrum =
        test::Count(db, Sql("select min(spectrum_id) from spectrum where study_id = %i", study_));
    ASSERT_TRUE(library_->BuildLibrary(frontend_));
    for (const bool disable : {true, false}) {
        ASSERT_EQ(SetSpectraDisabled(db, study_, {spectrum}, disable), 1);
        EXPECT_FALSE(library_->IsLibraryValid()) << disable;
        EXPECT_STREQ(library_->StatusText(), "Not Ready");
        ASSERT_TRUE(library_->BuildLibrary(frontend_));
        EXPECT_TRUE(library_->IsLibraryValid()) << disable;
    }
    // Asking for the state a spectrum already has is no change.
    ASSERT_EQ(SetSpectraDisabled(db, study_, {spectrum}, false), 0);
    EXPECT_TRUE(library_->IsLibraryValid());
}

TEST_F(LibraryTest, RebuildKeepsSampleCountButUpdatesStatistics) {
    ASSERT_TRUE(library_->BuildLibrary(frontend_));
    const double before = library_->Class(0).mean(1, 1);
    scratch_.Admin().Execute(
        "update spectrum s, species sp set s.disabled = 1 where s.species_id = sp.species_id and "
        "sp.folder_name = 'alpha' and s.spectrum_no = 2");
    ASSERT_TRUE(library_->BuildLibrary(frontend_));
    EXPECT_EQ(library_->Class(0).no_of_samples, 4);
    EXPECT_NEAR(library_->Class(0).mean(1, 1), (0.10 + 0.20 + 0.15) / 3, 1e-7);
    EXPECT_NE(library_->Class(0).mean(1, 1), before);
}

TEST_F(LibraryTest, TooFewSpectraWriteNoStatisticsAndKeepTheLoadedClasses) {
    scratch_.Admin().Execute(
        Sql("update study set min_no_of_spec_per_endmember = 10 where study_id = %i", study_));
    ApplyChainSelection(*session_, ChainSelection());
    session_->SetFeatureSpace(fs_);
    ASSERT_TRUE(library_->BuildLibrary(frontend_));
    EXPECT_EQ(Count("select count(*) from library"), 1);
    EXPECT_EQ(Count("select count(*) from statistic"), 0);
    EXPECT_EQ(library_->ClassCount(), 0);
    EXPECT_THROW(ClassifyProbe(0), OrvaneError);

    session_->SetFeatureSpace(0);
    EXPECT_FALSE(library_->BuildLibrary(frontend_));
    EXPECT_FALSE(library_->IsLibraryValid());
}

TEST_F(LibraryTest, SingularCovarianceFailsEveryClassifierAndWritesNoFile) {
    AddSpecies(study_, "delta", {{1, {{0.3, 0.3}, {0.3, 0.3}, {0.3, 0.3}}}});
    ASSERT_TRUE(library_->BuildLibrary(frontend_));
    for (int classifier = 0; classifier < 4; ++classifier)
        EXPECT_THROW(ClassifyProbe(classifier), SingularCovarianceError) << classifier;
    try {
        RunDiscriminantAnalysis(*library_, *factory_, frontend_, 3);
        FAIL() << "a singular covariance must stop the analysis";
    } catch (const SingularCovarianceError& e) {
        EXPECT_EQ(std::string(e.what()),
                  "Error:\nClassification is not possible because of a singular covariance "
                  "matrix.\nThe chosen feature space may not be suitable for the data of this "
                  "study.");
    }
    EXPECT_FALSE(std::filesystem::exists(dir_.Path() + "/out/Error Matrix.csv"));
}

TEST_F(LibraryTest, DiscriminantAnalysisWritesTheErrorMatrix) {
    ASSERT_TRUE(library_->BuildLibrary(frontend_));
    frontend_.reports.clear();
    const AccuracyResult r = RunDiscriminantAnalysis(*library_, *factory_, frontend_, 3);
    EXPECT_EQ(r.path, dir_.Path() + "/out/Error Matrix.csv");
    const std::string hundred = "1.00000000000000E+02";
    EXPECT_EQ(test::FileText(r.path),
              ",alpha,beta,gamma,Row Total,User Accuracy\n"
              "alpha,4,0,0,4," +
                  hundred +
                  "\n"
                  "beta,0,4,0,4," +
                  hundred +
                  "\n"
                  "gamma,0,0,3,3," +
                  hundred +
                  "\n"
                  "Column Total,4,4,3,11,\n"
                  "Producer Accuracy," +
                  hundred + "," + hundred + "," + hundred + ",," + hundred +
                  "\n\n"
                  "Prod. Acc. Min," +
                  hundred + "\nProd. Acc. Max," + hundred + "\nProd. Acc. Mean," + hundred +
                  "\nUser Acc. Min," + hundred + "\nUser Acc. Max," + hundred +
                  "\nUser Acc. Mean," + hundred + "\n");
    EXPECT_EQ(frontend_.reports,
              (std::vector<std::string>{"Discriminant Analysis",
                                        "Error matrix written to file:\n" + r.path,
                                        "Overall Accuracy: 100.00000"}));
}

TEST_F(LibraryTest, IndependentSetCountsVotesUnderTheMatchingClass) {
    ASSERT_TRUE(library_->BuildLibrary(frontend_));
    Database& db = scratch_.Admin();
    const int other = test::InsertStudy(db, "other");
    // Two spectra that look like alpha and one like beta, all filed as alpha; a species the
    // library does not know is skipped with a note.
    AddSpecies(other, "alpha", {{1, {{0.19, 0.24}, {0.18, 0.23}, {-0.09, -0.06}}}});
    AddSpecies(other, "omega", {{1, {{0.5, 0.5}}}});
    const std::vector<StudyItem> studies = IndependentStudies(*session_);
    ASSERT_EQ(studies.size(), 1u);
    EXPECT_EQ(studies[0].name, "other");

    frontend_.reports.clear();
    const AccuracyResult r =
        ClassifyIndependentSet(*library_, *factory_, *session_, frontend_, other, 3);
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
    ASSERT_EQ(frontend_.reports.size(), 4u);
    EXPECT_EQ(frontend_.reports[0],
              "Skipped species omega: the library has no class of that folder name");
    EXPECT_EQ(frontend_.reports[1], "Library Accuracy Check");
    EXPECT_EQ(frontend_.reports[3], "Overall Accuracy: 66.66667");

    db.Execute(Sql("delete from study where study_id = %i", other));
    EXPECT_EQ(IndependentStudies(*session_)[0].study_id, -1);
}

TEST_F(LibraryTest, SiteCheckRanksTheWinningClassLast) {
    ASSERT_TRUE(library_->BuildLibrary(frontend_));
    frontend_.reports.clear();
    SiteAccuracyCheck(*library_, *factory_, frontend_, library_->Class(0).species_id);
    EXPECT_EQ(frontend_.reports,
              (std::vector<std::string>{"Site Accuracy Check for alpha",
                                        "1.  beta  -> 0.00  \n2.  gamma  -> 0.00  \n3.  alpha  "
                                        "-> 100.00  \n",
                                        "1.  beta  -> 0.00  \n2.  gamma  -> 0.00  \n3.  alpha  "
                                        "-> 100.00  \n"}));
}

}  // namespace
}  // namespace orvane
