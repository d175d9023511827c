// SPDX-License-Identifier: GPL-3.0-or-later
#include "stats/class_models.h"

#include <gtest/gtest.h>

#include <cmath>
#include <cstring>
#include <functional>
#include <thread>
#include <tuple>
#include <vector>

#include "base/matrix.h"
#include "base/matrix_stats.h"
#include "base/orvane_error.h"
#include "stats/library_statistics.h"
#include "stats/principal_components.h"
#include "stats/separability.h"
#include "stats/spectral_statistics.h"
#include "support/labelled_features.h"
#include "support/refusal.h"

namespace orvane {
namespace {

// Features (rows) over spectra (columns).
const auto Data = test::MatrixOf;

Matrix Correlation(double r) {
    Matrix m(2, 2);
    m << 1.0 << r << r << 1.0;
    return m;
}

ClassStatistics Statistics(const Matrix& data) {
    return {data.Ncols(), RowMeans(data), CovarianceOfColumns(data)};
}

// The ranks numpy gives for the same covariances: np.linalg.eigvalsh of the correlation
// matrix, counting the eigenvalues above 1e-12 times the largest (smallest eigenvalues noted).
TEST(CovarianceRankMath, AgreesWithNumpyOnTheCorrelationMatrix) {
    const std::tuple<const char*, Matrix, int> cases[] = {
        // Raw covariance eigenvalues 1.6e-16 ... 5.3e8: only the correlation sees rank 3.
        {"features in units 1e12 apart (0.407)",
         CovarianceOfColumns(Data({{1e-8, 3e-8, 2e-8, 5e-8, 4e-8},
                                   {1e4, 3e4, 4e4, 2e4, 7e4},
                                   {0.5, 0.1, 0.9, 0.3, 0.2}})),
         3},
        {"third feature the sum of the others (-1.5e-16)",
         CovarianceOfColumns(Data({{0.1, 0.2, 0.4, 0.3, 0.6, 0.5},
                                   {0.5, 0.1, 0.2, 0.9, 0.3, 0.7},
                                   {0.6, 0.3, 0.6, 1.2, 0.9, 1.2}})),
         2},
        {"4 spectra in 5 features (-1.7e-16, 5.2e-16)",
         CovarianceOfColumns(Data({{0.1, 0.2, 0.4, 0.3},
                                   {0.5, 0.1, 0.2, 0.9},
                                   {0.3, 0.3, 0.1, 0.2},
                                   {0.7, 0.2, 0.5, 0.1},
                                   {0.2, 0.6, 0.3, 0.4}})),
         3},
        {"a constant feature (5.6e-17)",
         CovarianceOfColumns(
             Data({{0.1, 0.2, 0.4, 0.3}, {0.25, 0.25, 0.25, 0.25}, {0.5, 0.1, 0.2, 0.9}})),
         2},
        {"two points, each twice (2.8e-16)",
         CovarianceOfColumns(Data({{0.1, 0.1, 0.3, 0.3}, {0.2, 0.2, 0.4, 0.4}})), 1},
        {"correlation 1 - 1e-10 (1.0e-10 of 2)", Correlation(1 - 1e-10), 2},
        {"correlation 1 - 1e-13 (1.0e-13 of 2)", Correlation(1 - 1e-13), 1},
        {"empty", Matrix(), 0},
    };
    for (const auto& [what, cov, rank] : cases) EXPECT_EQ(CovarianceRank(cov), rank) << what;
}

TEST(CovarianceProblemMath, NamesTooFewSpectraBeforeTheRank) {
    const Matrix few = Data({{0.1, 0.2}, {0.5, 0.1}});
    EXPECT_EQ(CovarianceProblem(CovarianceOfColumns(few), 2),
              "2 spectra for 2 features; at least 3 are needed");
    const Matrix twice = Data({{0.1, 0.1, 0.3, 0.3}, {0.2, 0.2, 0.4, 0.4}});
    EXPECT_EQ(CovarianceProblem(CovarianceOfColumns(twice), 4),
              "its covariance has rank 1 in 2 features (its 4 spectra vary in fewer directions "
              "than there are features: duplicated spectra or features that move together)");
    const Matrix regular = Data({{0.1, 0.2, 0.4}, {0.5, 0.1, 0.2}});
    EXPECT_EQ(CovarianceProblem(CovarianceOfColumns(regular), 3), "");
}

// Three spectra per class in two features: every class covariance is estimable, the pooled one
// too unless all classes lie on one line.
TEST(ClassModelsMath, RefusesWhatCannotRankClasses) {
    const std::vector<ClassStatistics> regular = {
        Statistics(Data({{0.1, 0.2, 0.4}, {0.5, 0.1, 0.2}})),
        Statistics(Data({{0.6, 0.7, 0.9}, {0.1, 0.3, 0.2}}))};
    // Each class on its own copy of one line: rank 1 pooled, though N - k + 1 = 5 > 2.
    const std::vector<ClassStatistics> one_line = {
        Statistics(Data({{0.1, 0.2, 0.4}, {0.2, 0.4, 0.8}})),
        Statistics(Data({{0.6, 0.7, 0.9}, {1.0, 1.2, 1.6}}))};
    const std::vector<ClassStatistics> one_feature = {Statistics(Data({{0.1, 0.2, 0.4}})),
                                                      Statistics(Data({{0.6, 0.7, 0.9}}))};

    EXPECT_THROW(ClassModels(Classifier::kGeneralSquaredDistance, one_line),
                 SingularCovarianceError);
    EXPECT_EQ(ClassModels(Classifier::kGeneralSquaredDistance, regular).ModelledCount(), 2);
    // Each class of one_line is unmodelled for Mahalanobis, so nothing is left.
    EXPECT_TRUE(test::Refuses([&] { ClassModels(Classifier::kMahalanobis, one_line); },
                              "No class can be modelled in this feature space"));
    // Every angle between single numbers of one sign is 0: the first class would win all.
    EXPECT_TRUE(test::Refuses([&] { ClassModels(Classifier::kSpectralAngle, one_feature); },
                              "SAM cannot classify in a feature space of one feature"));
    EXPECT_EQ(ClassModels(Classifier::kSpectralAngle, regular).ModelledCount(), 2);
    EXPECT_EQ(ClassModels(Classifier::kMahalanobis, one_feature).ModelledCount(), 2);
}

using test::Close;

// Expected values: tests/stats/matrix_statistics_reference.py (numpy's mean and cov with
// ddof=1, scikit-learn's ledoit_wolf_shrinkage after StandardScaler over all 14 spectra).
TEST(LibraryStatisticsMath, ClassesOfLabelledColumnsAsNumpyAndScikitLearn) {
    const double means[3][3] = {{0.14333333333333334, 0.42333333333333334, 1.0966666666666667},
                                {0.302, 0.23399999999999999, 0.9259999999999999},
                                {0.5233333333333333, 0.6166666666666667, 0.7033333333333333}};
    const double covs[3][3][3] = {
        {{0.0006666666666666666, 0.0008466666666666665, -0.0015666666666666659},
         {0.0008466666666666665, 0.0011066666666666662, -0.002106666666666666},
         {-0.0015666666666666659, -0.002106666666666666, 0.005066666666666662}},
        {{0.0003700000000000001, -0.0003100000000000003, -0.00024000000000000055},
         {-0.0003100000000000003, 0.0007300000000000001, 0.0005949999999999999},
         {-0.00024000000000000055, 0.0005949999999999999, 0.0013299999999999987}},
        {{0.0006333333333333345, 0.0010166666666666685, 0.00038333333333333405},
         {0.0010166666666666685, 0.0016333333333333362, 0.0006166666666666677},
         {0.00038333333333333405, 0.0006166666666666677, 0.00023333333333333376}}};
    const double shrinkage[3] = {0.28731363500647245, 0.8079070828134358, 0.25027715956032975};
    const int counts[3] = {6, 5, 3};

    const std::vector<ClassStatistics> classes =
        LibraryStatistics(test::LabelledFeatures(), test::FeatureLabels(), 3);
    ASSERT_EQ(classes.size(), 3u);
    for (int c = 0; c < 3; ++c) {
        SCOPED_TRACE(c);
        const ClassStatistics& s = classes[static_cast<size_t>(c)];
        EXPECT_EQ(s.n, counts[c]);
        EXPECT_TRUE(Close(s.shrinkage, shrinkage[c], 1e-10));
        for (int i = 0; i < 3; ++i) {
            EXPECT_TRUE(Close(s.mean(i + 1, 1), means[c][i], 1e-14));
            for (int j = 0; j < 3; ++j)
                EXPECT_TRUE(Close(s.cov(i + 1, j + 1), covs[c][i][j], 1e-11));
        }
    }
}

// A library build hands over one matrix per class: it must give what the labelled columns
// give, to the last bit, or a rebuilt library would not match its analyses.
TEST(LibraryStatisticsMath, OneMatrixPerClassGivesTheSameBits) {
    const Matrix x = test::LabelledFeatures();
    const std::vector<int> labels = test::FeatureLabels();
    std::vector<Matrix> split(3);
    for (int c = 0; c < 3; ++c) {
        std::vector<int> columns;
        for (size_t j = 0; j < labels.size(); ++j)
            if (labels[j] == c) columns.push_back(static_cast<int>(j) + 1);
        split[static_cast<size_t>(c)].ReSize(3, static_cast<int>(columns.size()));
        for (size_t k = 0; k < columns.size(); ++k)
            split[static_cast<size_t>(c)].Column(static_cast<int>(k) + 1) = x.Column(columns[k]);
    }
    const std::vector<ClassStatistics> a = LibraryStatistics(x, labels, 3);
    const std::vector<ClassStatistics> b = LibraryStatistics(split);
    for (size_t c = 0; c < 3; ++c) {
        EXPECT_EQ(a[c].shrinkage, b[c].shrinkage);
        for (int i = 1; i <= 3; ++i) {
            EXPECT_EQ(a[c].mean(i, 1), b[c].mean(i, 1));
            for (int j = 1; j <= 3; ++j) EXPECT_EQ(a[c].cov(i, j), b[c].cov(i, j));
        }
    }
}

TEST(LibraryStatisticsMath, RefusesLabelsThatDoNotFitTheSpectra) {
    const Matrix x = test::LabelledFeatures();
    std::vector<int> negative = test::FeatureLabels();
    negative[4] = -1;
    std::vector<int> beyond = test::FeatureLabels();
    beyond[4] = 3;
    std::vector<int> short_list = test::FeatureLabels();
    short_list.pop_back();
    const struct {
        const char* what;
        std::vector<int> labels;
        int classes;
        const char* message;
    } cases[] = {
        {"negative label", negative, 3, "Class label -1 is outside 0 to 2"},
        {"label past the classes", beyond, 3, "Class label 3 is outside 0 to 2"},
        {"one label short", short_list, 3, "13 class labels for 14 spectra"},
        {"a class without spectra", test::FeatureLabels(), 4, "Class 4 has no spectra"},
    };
    for (const auto& c : cases)
        EXPECT_TRUE(test::Refuses([&] { LibraryStatistics(x, c.labels, c.classes); },
                                  c.message))
            << c.what;
}

// Values of three probes for every class, from numpy: Mahalanobis ln det C + d'C^-1 d,
// Modified |ln det C * d'C^-1 d|, Gen. Squared Dist d'P^-1 d with P = sum (n_c - 1) C_c / N,
// SAM the angle in radians. The third class (3 spectra in 3 features) has no estimable
// covariance: the classifiers that need one give it no value. Mahalanobis's winners are
// scikit-learn's QuadraticDiscriminantAnalysis with equal priors on the other two classes.
TEST(ClassifierMath, ValuesAndWinnersOfEveryClassifierAsNumpy) {
    const double kNone = INFINITY;
    const struct {
        Classifier classifier;
        double values[3][3];
        int winners[3];
        double relative;
    } cases[] = {
        {Classifier::kMahalanobis,
         {{-24.12833129808688, 53.71723695233858, kNone},
          {6268.636769373091, -22.449351723374974, kNone},
          {1556.672339842862, -2.8786706496522676, kNone}},
         {0, 1, 1},
         1e-9},
        {Classifier::kModifiedMahalanobis,
         {{12.657266465075272, 1728.8408416514362, kNone},
          {155078.83536990793, 4.342337257050503, kNone},
          {38966.71235919995, 447.44489480110013, kNone}},
         {0, 1, 1},
         1e-9},
        {Classifier::kGeneralSquaredDistance,
         {{0.3297402840996373, 251.44046507122698, 375.7694195830979},
          {237.90784670443867, 0.16524591720936055, 188.07202267188933},
          {58.99280334852082, 65.67686534846982, 221.79473098174532}},
         {0, 1, 0},
         1e-8},
        {Classifier::kSpectralAngle,
         {{0.0027103283336718264, 0.22156700197514778, 0.5099932003728269},
          {0.21487582294078872, 0.007333591640538134, 0.47139807483962165},
          {0.0977715856979735, 0.12166131534987201, 0.48148292305155843}},
         {0, 1, 0},
         1e-9},
    };
    const double probes[3][3] = {{0.14, 0.42, 1.08}, {0.30, 0.24, 0.92}, {0.22, 0.33, 1.00}};
    const std::vector<ClassStatistics> classes =
        LibraryStatistics(test::LabelledFeatures(), test::FeatureLabels(), 3);
    for (const auto& c : cases) {
        SCOPED_TRACE(static_cast<int>(c.classifier));
        const ClassModels models(c.classifier, classes);
        for (int p = 0; p < 3; ++p) {
            const Classification r = Classify(models, probes[p]);
            ASSERT_EQ(r.values.size(), 3u);
            for (int k = 0; k < 3; ++k) {
                const double value = r.values[static_cast<size_t>(k)];
                if (std::isinf(c.values[p][k]))
                    EXPECT_TRUE(std::isinf(value) && value > 0) << value;
                else
                    EXPECT_TRUE(Close(value, c.values[p][k], c.relative));
            }
            EXPECT_EQ(r.winner, c.winners[p]) << "probe " << p;
        }
    }
}

// Bit for bit, as a copy that was never classified with.
bool SameBits(const Matrix& a, const Matrix& b) {
    return a.Nrows() == b.Nrows() && a.Ncols() == b.Ncols() &&
           std::memcmp(a.Store(), b.Store(), sizeof(double) * static_cast<size_t>(a.Storage())) ==
               0;
}

// Two threads classifying the same spectra with one shared const model must each get, bit for
// bit, what one thread alone gets, and leave the classes the models were fitted from as they
// were. Every classifier, as each reads other parts of the fit.
TEST(ClassifyThreads, TwoThreadsSharingOneModelGetWhatOneGets) {
    const Matrix x = test::LabelledFeatures();
    const std::vector<ClassStatistics> classes = LibraryStatistics(x, test::FeatureLabels(), 3);
    std::vector<std::vector<double>> spectra;
    for (int j = 1; j <= x.Ncols(); ++j) {
        std::vector<double> v;
        for (int i = 1; i <= x.Nrows(); ++i) v.push_back(x(i, j));
        spectra.push_back(v);
    }
    for (const ClassifierEntry& entry : ClassifierRegistry()) {
        SCOPED_TRACE(entry.label);
        const ClassModels models(entry.kind, classes);
        std::vector<Classification> alone;
        for (const std::vector<double>& s : spectra) alone.push_back(Classify(models, s.data()));
        // Many rounds, so that the two threads' calls overlap.
        const auto run = [&](int& differing) {
            for (int round = 0; round < 300; ++round)
                for (size_t j = 0; j < spectra.size(); ++j) {
                    const Classification c = Classify(models, spectra[j].data());
                    if (c.winner != alone[j].winner || c.values != alone[j].values) ++differing;
                }
        };
        int first = 0;
        int second = 0;
        std::thread a(run, std::ref(first));
        std::thread b(run, std::ref(second));
        a.join();
        b.join();
        EXPECT_EQ(first, 0);
        EXPECT_EQ(second, 0);
        for (int c = 0; c < models.Count(); ++c) {
            const ClassStatistics& now = models.Statistics(c);
            const ClassStatistics& fitted = classes[static_cast<size_t>(c)];
            EXPECT_EQ(now.n, fitted.n) << c;
            EXPECT_TRUE(SameBits(now.mean, fitted.mean)) << c;
            EXPECT_TRUE(SameBits(now.cov, fitted.cov)) << c;
            EXPECT_EQ(std::memcmp(&now.shrinkage, &fitted.shrinkage, sizeof(double)), 0) << c;
        }
    }
}

// Features in rows, observations in columns; values worked out by hand.
TEST(MatrixStatsMath, RowMeansAndSampleCovariance) {
    Matrix data(2, 3);
    data << 1.0 << 2.0 << 3.0   // feature 1
         << 2.0 << 4.0 << 7.0;  // feature 2
    const Matrix mean = RowMeans(data);
    ASSERT_EQ(mean.Nrows(), 2);
    ASSERT_EQ(mean.Ncols(), 1);
    EXPECT_DOUBLE_EQ(mean(1, 1), 2.0);
    EXPECT_DOUBLE_EQ(mean(2, 1), 13.0 / 3.0);
    const Matrix cov = CovarianceOfColumns(data);
    ASSERT_EQ(cov.Nrows(), 2);
    ASSERT_EQ(cov.Ncols(), 2);
    EXPECT_DOUBLE_EQ(cov(1, 1), 1.0);  // divisor n - 1 = 2
    EXPECT_DOUBLE_EQ(cov(2, 2), 19.0 / 3.0);
    EXPECT_DOUBLE_EQ(cov(1, 2), 2.5);
    EXPECT_DOUBLE_EQ(cov(2, 1), 2.5);
}

TEST(MatrixStatsMath, SingleObservationHasZeroCovariance) {
    Matrix data(3, 1);
    data << 1.0 << -2.0 << 5.0;
    const Matrix cov = CovarianceOfColumns(data);
    for (int i = 1; i <= 3; ++i)
        for (int j = 1; j <= 3; ++j) EXPECT_EQ(cov(i, j), 0.0);
    EXPECT_EQ(RowMeans(data)(2, 1), -2.0);
}

// The 14 spectra of tests/stats/matrix_statistics_reference.py: eigenvalues and components
// as scikit-learn's PCA gives them (explained_variance_, components_ with the sign that
// makes each one's largest entry positive, as an eigenvector's sign is arbitrary).
TEST(PcaMath, EigenvaluesAndComponentsAsScikitLearn) {
    const double eigenvalues[3] = {0.05463601550965599, 0.01670634675581245,
                                   0.0007521432290370634};
    const double components[3][3] = {
        {-0.627341662357171, -0.39375303385312865, 0.6718638158156739},
        {-0.24755323475906701, 0.9188345592910578, 0.30734418591008017},
        {0.7383493987478174, -0.026487751581900976, 0.6738980370834095}};
    const PcaDecomposition pca = DecomposeCovariance(test::LabelledFeatures());
    ASSERT_EQ(pca.eigenvalues.size(), 3u);
    ASSERT_EQ(pca.components.Nrows(), 3);
    for (int k = 0; k < 3; ++k) {
        SCOPED_TRACE(k);
        EXPECT_TRUE(test::Close(pca.eigenvalues[static_cast<size_t>(k)], eigenvalues[k], 1e-11));
        // The stored order is ascending, column by column.
        EXPECT_EQ(pca.values(3 - k), pca.eigenvalues[static_cast<size_t>(k)]);
        int largest = 1;
        for (int j = 2; j <= 3; ++j)
            if (std::fabs(pca.components(k + 1, j)) > std::fabs(pca.components(k + 1, largest)))
                largest = j;
        const double sign = pca.components(k + 1, largest) > 0 ? 1.0 : -1.0;
        for (int j = 0; j < 3; ++j) {
            EXPECT_TRUE(test::Close(sign * pca.components(k + 1, j + 1), components[k][j], 1e-9));
            EXPECT_EQ(pca.vectors(j + 1, 3 - k), pca.components(k + 1, j + 1));
        }
    }
    EXPECT_TRUE(test::Refuses(
        [] { DecomposeCovariance(Matrix(test::LabelledFeatures().Columns(1, 1))); },
        "needs at least two spectra; 1 were given"));
}

struct Model {
    Matrix mean;
    Matrix cov;
    GaussianClass View() const { return {&mean, &cov, LogDeterminant(cov)}; }
};

Model Diagonal(std::initializer_list<double> mean, std::initializer_list<double> variances) {
    Model m;
    m.mean.ReSize(static_cast<int>(mean.size()), 1);
    m.cov.ReSize(static_cast<int>(mean.size()), static_cast<int>(mean.size()));
    m.cov = 0.0;
    int i = 1;
    for (double v : mean) m.mean(i++, 1) = v;
    i = 1;
    for (double v : variances) m.cov(i, i) = v, ++i;
    return m;
}

// Fourteen features of the size second derivatives of reflectance have: the determinants are
// near 1e-193 and 1e-190, so their product underflows to 0. Expected values from numpy
// (slogdet and solve on the same matrices).
TEST(SeparabilityMath, LogDeterminantsKeepTinyDeterminantsApart) {
    const int n = 14;
    Model i, j;
    for (Model* m : {&i, &j}) {
        m->mean.ReSize(n, 1);
        m->cov.ReSize(n, n);
        m->cov = 0.0;
    }
    for (int k = 0; k < n; ++k) {
        i.cov(k + 1, k + 1) = 1e-14 * (1 + k / 10.0);
        j.cov(k + 1, k + 1) = 2e-14 * (1 + k / 20.0);
        if (k + 1 < n) {
            i.cov(k + 1, k + 2) = i.cov(k + 2, k + 1) = 2e-15;
            j.cov(k + 1, k + 2) = j.cov(k + 2, k + 1) = -3e-15;
        }
        i.mean(k + 1, 1) = 1e-7 * k;
        j.mean(k + 1, 1) = 1e-7 * k + 3e-7 * (k % 2 ? 1 : -1);
    }
    ASSERT_EQ(i.cov.Determinant() * j.cov.Determinant(), 0.0);
    const double b = BhattacharyyaDistance(i.View(), j.View());
    EXPECT_NEAR(b, 7.587550505399755, 1e-9);
    EXPECT_NEAR(JeffriesMatusita(b), 1.998986558510471, 1e-12);
    EXPECT_DOUBLE_EQ(BhattacharyyaDistance(j.View(), i.View()), b);
}

TEST(SeparabilityMath, IdenticalSingularAndUnmodelledPairs) {
    const Model regular = Diagonal({1.0, 2.0}, {0.5, 0.25});
    const Model singular = Diagonal({0.0, 1.0}, {0.5, 0.0});
    // Its determinant is positive, but with `regular`'s negative it averages to 0.
    const Model indefinite = Diagonal({3.0, 1.0}, {-0.5, -0.25});
    const struct {
        const char* name;
        const Model& a;
        const Model& b;
        double expected_b;
    } cases[] = {
        {"identical classes", regular, regular, 0.0},
        {"a singular class", regular, singular, INFINITY},
        {"a singular class first", singular, regular, INFINITY},
        {"an averaged covariance that cannot be inverted", regular, indefinite, INFINITY}};
    for (const auto& c : cases) {
        const double b = BhattacharyyaDistance(c.a.View(), c.b.View());
        EXPECT_EQ(b, c.expected_b) << c.name;
        EXPECT_EQ(JeffriesMatusita(b), std::isinf(c.expected_b) ? 2.0 : 0.0) << c.name;
    }
    // Far apart classes come close to 2 but never pass it.
    const double far =
        BhattacharyyaDistance(regular.View(), Diagonal({60.0, 2.0}, {0.5, 0.25}).View());
    EXPECT_NEAR(far, 59.0 * 59.0 / 0.5 / 8.0, 1e-9);
    EXPECT_LE(JeffriesMatusita(far), 2.0);
    EXPECT_GT(JeffriesMatusita(far), 1.999999);
    // Newmat's own exceptions are no std::exception; both faces would miss them.
    const Model wider = Diagonal({1.0, 2.0, 3.0}, {0.5, 0.25, 0.1});
    EXPECT_THROW(BhattacharyyaDistance(regular.View(), wider.View()), OrvaneError);
    EXPECT_THROW(LogDeterminant(wider.mean), OrvaneError);
}

// The classes of tests/stats/matrix_statistics_reference.py: B of the first two from numpy's
// slogdet and solve; the third (3 spectra in 3 features) is unmodelled and has no distance.
TEST(SeparabilityMath, PairwiseDistancesOfClassStatisticsAsNumpy) {
    const Matrix b = PairwiseBhattacharyya(
        LibraryStatistics(test::LabelledFeatures(), test::FeatureLabels(), 3));
    ASSERT_EQ(b.Nrows(), 3);
    ASSERT_EQ(b.Ncols(), 3);
    for (int i = 1; i <= 3; ++i) EXPECT_EQ(b(i, i), 0.0);
    EXPECT_TRUE(test::Close(b(1, 2), 19.1073910268788, 1e-11));
    EXPECT_EQ(b(1, 2), b(2, 1));
    EXPECT_TRUE(test::Close(JeffriesMatusita(b(1, 2)), 1.9999999899354235, 1e-15));
    for (const auto& [r, c] : {std::pair{1, 3}, {3, 1}, {2, 3}, {3, 2}})
        EXPECT_TRUE(std::isnan(b(r, c))) << r << "," << c << ": " << b(r, c);
}

}  // namespace
}  // namespace orvane
