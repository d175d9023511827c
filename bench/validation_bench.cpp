// SPDX-License-Identifier: GPL-3.0-or-later
// Leave-one-out and 5-fold discriminant analysis of 10,000 spectra in 50 synthetic Gaussian
// classes of 10 features: the core alone, no database. Leave-one-out down-dates the held-out
// spectrum's class by one rank and refits only it; the target is under 2 s.
#include <benchmark/benchmark.h>

#include <random>
#include <vector>

#include "stats/cross_validation.h"

namespace orvane::bench {
namespace {

constexpr int kClasses = 50;
constexpr int kPerClass = 200;
constexpr int kDimension = 10;

// Each class has its own mean and a random correlated covariance (L z with L lower triangular).
const std::vector<orvane::Matrix>& Classes() {
    static const std::vector<orvane::Matrix> classes = [] {
        std::mt19937 random(20240518);
        std::normal_distribution<double> normal;
        std::vector<orvane::Matrix> out;
        for (int c = 0; c < kClasses; ++c) {
            std::vector<double> mean(kDimension);
            for (double& m : mean) m = 1.5 * normal(random);
            std::vector<double> l(kDimension * kDimension, 0.0);
            for (int i = 0; i < kDimension; ++i)
                for (int j = 0; j <= i; ++j) l[i * kDimension + j] = (i == j ? 1.0 : 0.3) * normal(random);
            orvane::Matrix x(kDimension, kPerClass);
            for (int s = 1; s <= kPerClass; ++s) {
                std::vector<double> z(kDimension);
                for (double& v : z) v = normal(random);
                for (int i = 0; i < kDimension; ++i) {
                    double v = mean[i];
                    for (int j = 0; j <= i; ++j) v += l[i * kDimension + j] * z[j];
                    x(i + 1, s) = v;
                }
            }
            out.push_back(std::move(x));
        }
        return out;
    }();
    return classes;
}

void Run(benchmark::State& state, Classifier classifier, const Validation& validation) {
    const std::vector<orvane::Matrix>& classes = Classes();
    double correct = 0.0;
    for (auto _ : state) {
        const ValidationCounts counts = CrossValidate(classifier, classes, validation);
        correct = 0.0;
        for (int c = 1; c <= kClasses; ++c) correct += counts.counts(c, c);
    }
    state.counters["accuracy_percent"] = 100.0 * correct / (kClasses * kPerClass);
    state.counters["spectra"] = kClasses * kPerClass;
}

void BM_LeaveOneOutMahalanobis(benchmark::State& state) {
    Run(state, Classifier::kMahalanobis, {Validation::Kind::kLeaveOneOut, 5});
}
BENCHMARK(BM_LeaveOneOutMahalanobis)->Unit(benchmark::kMillisecond)->UseRealTime();

void BM_LeaveOneOutGenSquaredDist(benchmark::State& state) {
    Run(state, Classifier::kGeneralSquaredDistance, {Validation::Kind::kLeaveOneOut, 5});
}
BENCHMARK(BM_LeaveOneOutGenSquaredDist)->Unit(benchmark::kMillisecond)->UseRealTime();

void BM_FiveFoldMahalanobis(benchmark::State& state) {
    Run(state, Classifier::kMahalanobis, {Validation::Kind::kKFold, 5});
}
BENCHMARK(BM_FiveFoldMahalanobis)->Unit(benchmark::kMillisecond)->UseRealTime();

}  // namespace
}  // namespace orvane::bench

BENCHMARK_MAIN();
