// SPDX-License-Identifier: GPL-3.0-or-later
// The compiled chain without a database: a definition made in memory, run by several threads
// at once, and entered from a sensor's bands as an image pixel would be.
#include "chain/compiled_chain.h"

#include <gtest/gtest.h>

#include <cmath>
#include <cstring>
#include <memory>
#include <random>
#include <thread>
#include <vector>

#include "base/band_grid.h"
#include "base/matrix_stats.h"
#include "chain/feature_space.h"
#include "chain/processing_chain.h"
#include "spectra/sensor.h"
#include "spectra/spectrum.h"
#include "stats/class_models.h"
#include "support/refusal.h"

namespace orvane {
namespace {

std::shared_ptr<const Sensor> Enmap() {
    auto sensor = std::make_shared<GaussianSensor>();
    sensor->ReadFile(ORVANE_SOURCE_DIR "/data/sensors/enmap.txt");
    return sensor;
}

// A vegetation-like spectrum with a red edge, water bands and noise; kStoredNoValue at a few
// bands, as instruments leave them.
std::vector<float> FieldSpectrum(std::mt19937& random, double shift) {
    std::normal_distribution<double> noise(0.0, 0.003);
    std::vector<float> values(kSpectrumBands);
    for (int k = 0; k < kSpectrumBands; ++k) {
        const double w = kFirstWavelength + k;
        const double edge = 0.45 / (1.0 + std::exp(-(w - 715.0 - shift) / 12.0));
        const double water = 0.2 * std::exp(-std::pow((w - 1450.0) / 60.0, 2)) +
                             0.25 * std::exp(-std::pow((w - 1940.0) / 70.0, 2));
        values[static_cast<size_t>(k)] =
            static_cast<float>(0.05 + edge - water * (0.5 + edge) + noise(random));
    }
    values[400] = kStoredNoValue;
    values[1811] = kStoredNoValue;
    return values;
}

// The study filter over the water bands, Savitzky-Golay smoothing of the given type, EnMAP,
// the first derivative by the given method and a DI feature space of three ranges.
ChainSpec FieldSpec(int smoothing_type, int derivative_method) {
    ChainSpec definition;
    definition.study_filter.AddRange(1340, 1460);
    definition.study_filter.AddRange(1790, 1960);
    definition.smoothing.type = smoothing_type;
    definition.smoothing.size = 15;
    definition.smoothing.polynomial_order = 3;
    definition.sensor = Enmap();
    definition.derivative.order = 1;
    definition.derivative.method = derivative_method;
    definition.derivative.size = 5;
    definition.derivative.polynomial_order = 2;
    auto fs = std::make_shared<FeatureSpace>();
    std::vector<FeatureSpace::BandRange> ranges(3);
    ranges[0].wavelength1 = 500, ranges[0].wavelength2 = 600;
    ranges[1].wavelength1 = 680, ranges[1].wavelength2 = 760;
    ranges[2].wavelength1 = 1100, ranges[2].wavelength2 = 1300;
    fs->Define(kFeatureDI, 3, ranges);
    fs->MapToSensor(*definition.sensor);
    definition.feature_space = fs;
    return definition;
}

bool SameBits(const std::vector<double>& a, const std::vector<double>& b) {
    return a.size() == b.size() && std::memcmp(a.data(), b.data(), a.size() * sizeof(double)) == 0;
}

std::vector<double> Values(const BandVector& v) {
    return std::vector<double>(v.Values(), v.Values() + v.Count());
}

// Two threads, each with its own Chain over one compiled chain, compute every stage and the
// classification of every spectrum bit for bit as one thread alone does.
TEST(CompiledChainThreads, ThreadsSharingOneChainComputeWhatOneComputes) {
    std::mt19937 random(7);
    std::vector<std::vector<float>> spectra;
    for (int i = 0; i < 48; ++i) spectra.push_back(FieldSpectrum(random, i % 2 ? 25.0 : 0.0));
    const Stage stages[] = {Stage::kSmoothed, Stage::kSynthesized, Stage::kInterpolated,
                            Stage::kDerived};
    for (int smoothing : {1, 2}) {
        for (int method : {kDerivativeIterative, kDerivativeSavGol}) {
            const auto compiled = CompiledChain::Compile(FieldSpec(smoothing, method));
            // The features of each group make a Mahalanobis model both threads classify by.
            Chain alone(compiled);
            std::vector<std::vector<double>> expected;
            Matrix features(3, static_cast<int>(spectra.size()));
            for (size_t i = 0; i < spectra.size(); ++i) {
                for (Stage stage : stages)
                    expected.push_back(Values(alone.RunGrid(spectra[i].data(), stage)));
                Spectrum s;
                std::copy(spectra[i].begin(), spectra[i].end(), s.reflectances_.begin());
                features.Column(static_cast<int>(i) + 1) = alone.Features(s, kFeatureDI);
            }
            std::vector<ClassStatistics> classes(2);
            for (int c = 0; c < 2; ++c) {
                Matrix group(3, 24);
                for (int j = 0; j < 24; ++j) group.Column(j + 1) = features.Column(2 * j + c + 1);
                ClassStatistics& statistics = classes[static_cast<size_t>(c)];
                statistics.n = 24;
                statistics.mean = RowMeans(group);
                statistics.cov = CovarianceOfColumns(group);
            }
            const ClassModels models(Classifier::kMahalanobis, classes);
            std::vector<int> winners;
            for (size_t i = 0; i < spectra.size(); ++i) {
                const ColumnVector x = features.Column(static_cast<int>(i) + 1);
                winners.push_back(Classify(models, x.Store()).winner);
            }

            std::vector<std::vector<double>> got[2];
            std::vector<int> got_winners[2];
            std::vector<std::thread> threads;
            for (int t = 0; t < 2; ++t) {
                threads.emplace_back([&, t] {
                    Chain own(compiled);
                    for (size_t i = 0; i < spectra.size(); ++i) {
                        for (Stage stage : stages)
                            got[t].push_back(Values(own.RunGrid(spectra[i].data(), stage)));
                        Spectrum s;
                        std::copy(spectra[i].begin(), spectra[i].end(), s.reflectances_.begin());
                        const ColumnVector x = own.Features(s, kFeatureDI);
                        got_winners[t].push_back(Classify(models, x.Store()).winner);
                    }
                });
            }
            for (std::thread& t : threads) t.join();
            for (int t = 0; t < 2; ++t) {
                ASSERT_EQ(got[t].size(), expected.size());
                for (size_t i = 0; i < expected.size(); ++i)
                    EXPECT_TRUE(SameBits(got[t][i], expected[i]))
                        << "thread " << t << ", vector " << i << ", smoothing " << smoothing
                        << ", method " << method;
                EXPECT_EQ(got_winners[t], winners);
            }
            // Both groups are told apart: the classification is not a constant.
            EXPECT_NE(std::count(winners.begin(), winners.end(), 0), 0);
            EXPECT_NE(std::count(winners.begin(), winners.end(), 1), 0);
        }
    }
}

// A vector on the sensor's bands (an image pixel) goes through the derivative and the features
// exactly as the synthesis of a field spectrum does; where the synthesis gives no value the
// pixel's value is not used either.
TEST(CompiledChainMath, SensorBandsRunAsTheirSynthesis) {
    std::mt19937 random(11);
    const std::vector<float> field = FieldSpectrum(random, 10.0);
    for (int method : {kDerivativeIterative, kDerivativeSavGol}) {
        const auto compiled = CompiledChain::Compile(FieldSpec(1, method));
        Chain chain(compiled);
        std::vector<double> pixel = Values(chain.RunGrid(field.data(), Stage::kSynthesized));
        const std::vector<double> derived = Values(chain.RunGrid(field.data(), Stage::kDerived));
        Spectrum s;
        std::copy(field.begin(), field.end(), s.reflectances_.begin());
        const ColumnVector features = chain.Features(s, kFeatureDI);
        // An image holds numbers where the chain keeps none (the water bands the filter
        // excludes, and their smoothing margins): those are not used.
        const BandVector& mask = *compiled->SensorMask();
        int masked = 0;
        for (size_t k = 0; k < pixel.size(); ++k) {
            if (std::isnan(mask.Values()[k])) {
                pixel[k] = 0.123;
                ++masked;
            }
        }
        EXPECT_GT(masked, 10);
        const int n = static_cast<int>(pixel.size());
        EXPECT_TRUE(SameBits(Values(chain.RunSensorBands(pixel.data(), n, Stage::kDerived)),
                             derived))
            << "method " << method;
        const ColumnVector from_pixel = chain.FeaturesFromSensorBands(pixel.data(), n);
        for (int i = 1; i <= 3; ++i) EXPECT_EQ(from_pixel(i), features(i)) << i;
    }
    Chain chain(CompiledChain::Compile(FieldSpec(1, kDerivativeIterative)));
    std::vector<double> short_pixel(10, 0.2);
    EXPECT_TRUE(test::Refuses([&] { chain.RunSensorBands(short_pixel.data(), 10, Stage::kDerived); },
                              "10 values"));
    std::vector<double> pixel(static_cast<size_t>(Enmap()->ElementCount()), 0.2);
    EXPECT_TRUE(test::Refuses(
        [&] {
            chain.RunSensorBands(pixel.data(), static_cast<int>(pixel.size()), Stage::kSmoothed);
        },
        "before the sensor's bands"));
}

// Equal settings make equal definitions and keys; each setting a chain computes from changes them,
// and the stored libraries' keys come from the definition's rows.
TEST(ChainSpecMath, KeysFollowEverySetting) {
    const ChainSpec base = FieldSpec(1, kDerivativeIterative);
    EXPECT_EQ(base, FieldSpec(1, kDerivativeIterative));
    std::vector<ChainSpec> changed(6, base);
    changed[0].study_filter.AddBand(2400);
    changed[1].smoothing.size = 17;
    changed[2].derivative.method = kDerivativeSavGol;
    changed[3].stages.resize(9);
    changed[3].stages[static_cast<size_t>(Stage::kContinuumRemoved)].mode = 1;
    changed[4].sensor = nullptr;
    auto other = std::make_shared<FeatureSpace>(*base.feature_space);
    other->Define(kFeatureDI, 2, {other->Ranges()[0], other->Ranges()[1]});
    changed[5].feature_space = other;
    for (size_t i = 0; i < changed.size(); ++i) {
        EXPECT_NE(changed[i], base) << i;
        EXPECT_NE(changed[i].Key(), base.Key()) << i;
    }
    ChainSpec stored = base;
    stored.study_id = 3;
    stored.smoothing.filter_id = 5;
    stored.derivative.id = 8;
    stored.stage_option_ids = {0, 0, 0, 0, 0, 0, 0, 12, 4};
    const LibraryKey key = stored.LibraryKeyOf();
    EXPECT_EQ(key.study, 3);
    EXPECT_EQ(key.smoothing_filter, 5);
    EXPECT_EQ(key.derivative, 8);
    EXPECT_EQ(key.stage_options, "4,12");
    EXPECT_EQ(stored.PcaKeyOf().stage_options, "4,12");
}

}  // namespace
}  // namespace orvane
