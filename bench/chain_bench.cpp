// SPDX-License-Identifier: GPL-3.0-or-later
// The whole chain for one spectrum held in memory, up to its DI feature vector: two excluded
// ranges, Savitzky-Golay smoothing (moving window or FFT, 31 bands, order 4), Gaussian
// synthesis onto 200 bands of FWHM 10 nm, the iterative first derivative and DI on 10 ranges;
// BM_ChainWithOptionalStages adds the splice correction and the continuum removal.
// The settings are read from a scratch database, as the program reads them; the timed loop
// does not touch the database. ORVANE_BENCH_CONFIG names a server's spectra_config.txt.
#include <benchmark/benchmark.h>
#include <unistd.h>

#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <memory>
#include <new>
#include <string>
#include <vector>

#include "base/config_file.h"
#include "base/frontend.h"
#include "chain/processing_chain.h"
#include "chain/processing_session.h"
#include "study/sensor_import.h"
#include "chain/feature_space.h"
#include "spectra/spectrum.h"
#include "store/database.h"
#include "support/allocation_counter.h"
#include "support/bench_database.h"

namespace orvane {
namespace {

constexpr int kSpectra = 64;
constexpr int kSensorBands = 200;
constexpr int kRanges = 10;

// A study with its chain settings in a scratch database, and spectra in memory.
class BenchChain {
  public:
    explicit BenchChain(const std::string& config_path) : database_(config_path, "chain_") {
        const int study = Fill(database_.Admin());
        session_ = std::make_unique<ProcessingSession>(
            std::make_unique<Database>(database_.Params()), nullptr);
        SilentFrontend quiet;
        const std::string sensor_file = WriteSensorFile();
        ImportSensor(*session_, quiet, sensor_file, 0);
        std::remove(sensor_file.c_str());
        session_->SetSensor(session_->Sensors().back()->SensorId());
        session_->SetStudy(study);
        session_->SetDerivativeOrder(1);
        session_->SetFeatureSpaceType(0);
        int fs = 0;
        database_.Admin().QueryInt("select max(feature_space_id) from feature_space", fs);
        session_->SetFeatureSpace(fs);
        for (int i = 0; i < kSpectra; ++i) spectra_.push_back(MakeSpectrum(i));
    }

    ~BenchChain() {
        spectra_.clear();
        session_.reset();
    }

    ProcessingSession& Session() { return *session_; }
    Spectrum& At(size_t i) { return *spectra_[i % spectra_.size()]; }

  private:
    static int Fill(Database& db) {
        db.Execute(
            "insert into study (name, datapath, min_no_of_spec_per_endmember) values "
            "('bench', '/bench', 3)");
        const int study = static_cast<int>(db.InsertId());
        db.Execute(Sql("insert into waveband_filter (study_id) values (%i)", study));
        const int filter = static_cast<int>(db.InsertId());
        db.Execute(
            Sql("insert into waveband_filter_range (study_id, waveband_filter_id, "
                "lower_wavelength, upper_wavelength) values (%i, %i, 1350, 1450), "
                "(%i, %i, 1800, 1950)",
                study, filter, study, filter));
        db.Execute(
            "insert into feature_space (name, dimension, fs_type_id) values ('di10', 10, "
            "(select fs_type_id from feature_space_type where type = 0))");
        const int fs = static_cast<int>(db.InsertId());
        for (int r = 0; r < kRanges; ++r) {
            const int w1 = 420 + r * 190;
            db.Execute(
                Sql("insert into band_range (feature_space_id, band1, band2) values "
                    "(%i, %i, %i)",
                    fs, w1, w1 + 120));
        }
        return study;
    }

    // 200 Gaussian bands of FWHM 10 nm from 400 to 2390 nm, some centres between grid points.
    static std::string WriteSensorFile() {
        const std::string path = "/tmp/orvane_bench_sensor_" + std::to_string(getpid()) + ".txt";
        std::ofstream out(path);
        out << "Bench 200\nMade-up sensor of 200 bands\nband,avg_wavelength,fwhm,calibrated\n";
        for (int i = 0; i < kSensorBands; ++i)
            out << i + 1 << ',' << 400.0 + 10.0 * i + (i % 3) * 0.3 << ",10,C\n";
        return path;
    }

    std::unique_ptr<Spectrum> MakeSpectrum(int seed) const {
        auto s = std::make_unique<Spectrum>();
        std::vector<float> v(kSpectrumBands);
        for (int i = 0; i < kSpectrumBands; ++i) {
            const double w = 350.0 + i;
            const double edge = 0.05 + 0.4 / (1.0 + std::exp(-(w - 720.0) / 15.0));
            v[static_cast<size_t>(i)] =
                static_cast<float>(edge + 0.002 * std::sin(w / (7.0 + seed)));
        }
        s->SetReflectances(v.data());
        return s;
    }

    bench::BenchDatabase database_;
    std::unique_ptr<ProcessingSession> session_;
    std::vector<std::unique_ptr<Spectrum>> spectra_;
};

BenchChain* g_chain = nullptr;

// The chain, with the splice correction and the continuum removal on or off.
void RunChain(benchmark::State& state, int optional_mode) {
    const int smoothing = static_cast<int>(state.range(0));
    const size_t rotation = static_cast<size_t>(state.range(1));
    g_chain->Session().SetSmoothingType(smoothing);
    g_chain->Session().SetDerivativeOrder(1);
    g_chain->Session().SetStageMode(Stage::kSpliced, optional_mode);
    g_chain->Session().SetStageMode(Stage::kContinuumRemoved, optional_mode);
    state.SetLabel(std::string(smoothing == 1 ? "moving window" : "FFT") +
                   (rotation == 1 ? ", one spectrum" : ", 64 spectra in turn") +
                   (optional_mode ? ", spliced and continuum removed" : ""));
    size_t i = 0;
    Chain chain(g_chain->Session().Compiled());
    // The first request sizes the chain's buffers; only the repeated ones are timed.
    for (int k = 0; k < kSpectra; ++k) chain.Features(g_chain->At(static_cast<size_t>(k)), kFeatureDI);
    const long before = bench::AllocationCount();
    for (auto _ : state) {
        const Matrix& f = chain.Features(g_chain->At(i++ % rotation), kFeatureDI);
        benchmark::DoNotOptimize(f.Store());
    }
    state.counters["spectra/s"] =
        benchmark::Counter(static_cast<double>(state.iterations()), benchmark::Counter::kIsRate);
    state.counters["allocs/spectrum"] = static_cast<double>(bench::AllocationCount() - before) /
                                        static_cast<double>(state.iterations());
    g_chain->Session().SetStageMode(Stage::kSpliced, 0);
    g_chain->Session().SetStageMode(Stage::kContinuumRemoved, 0);
}

void BM_Chain(benchmark::State& state) { RunChain(state, 0); }
void BM_ChainWithOptionalStages(benchmark::State& state) { RunChain(state, 1); }
// 64 spectra in turn, as a library build meets them (their stages no longer in the nearest
// caches), and one spectrum again and again, the chain's arithmetic alone.
BENCHMARK(BM_Chain)
    ->Args({1, kSpectra})
    ->Args({2, kSpectra})
    ->Args({1, 1})
    ->Args({2, 1})
    ->Unit(benchmark::kMicrosecond);
// The same with both optional stages on; the aim is at least half BM_Chain's throughput.
BENCHMARK(BM_ChainWithOptionalStages)
    ->Args({1, kSpectra})
    ->Args({2, kSpectra})
    ->Unit(benchmark::kMicrosecond);

// Every synthesized, derived and feature value of the benchmark's spectra, exactly, so that a
// faster chain can be shown to compute the same numbers as before.
void Dump(BenchChain& chain, const char* path) {
    std::FILE* out = std::fopen(path, "w");
    if (!out) throw OrvaneError(std::string("cannot write ") + path);
    for (int smoothing : {0, 1, 2}) {
        for (int order : {0, 1, 2}) {
            chain.Session().SetSmoothingType(smoothing);
            chain.Session().SetDerivativeOrder(order);
            Chain run(chain.Session().Compiled());
            for (size_t i = 0; i < kSpectra; ++i) {
                Spectrum& s = chain.At(i);
                for (Stage stage : {Stage::kSynthesized, Stage::kDerived, Stage::kInterpolated}) {
                    const BandVector& v = run.Run(s, stage);
                    std::fprintf(out, "%i %i %zu stage %i valid %i:", smoothing, order, i,
                                 static_cast<int>(stage), v.ValidCount());
                    // A band without value prints as the -1 that dumps of earlier builds
                    // carry, so that dumps compare across builds.
                    for (int k = v.First(); k <= v.Last(); ++k)
                        std::fprintf(out, " %a@%a", HasValue(v.Value(k)) ? v.Value(k) : -1.0,
                                     v.X(k));
                    std::fputc('\n', out);
                }
                const Matrix& f = run.Features(s, kFeatureDI);
                std::fprintf(out, "%i %i %zu features:", smoothing, order, i);
                for (int r = 1; r <= f.Nrows(); ++r) std::fprintf(out, " %a", f(r, 1));
                std::fputc('\n', out);
            }
        }
    }
    std::fclose(out);
}

}  // namespace
}  // namespace orvane

int main(int argc, char** argv) {
    benchmark::Initialize(&argc, argv);
    const std::string config = orvane::bench::BenchConfigPath("chain_bench");
    if (config.empty()) return 2;
    try {
        orvane::BenchChain chain(config);
        if (!chain.Session().CurrentFeatureSpace() ||
            chain.Session().CurrentSensor()->ElementCount() != orvane::kSensorBands) {
            std::fprintf(stderr, "the bench chain was not set up as expected\n");
            return 1;
        }
        if (const char* dump = std::getenv("ORVANE_BENCH_DUMP")) {
            orvane::Dump(chain, dump);
            return 0;
        }
        orvane::g_chain = &chain;
        benchmark::RunSpecifiedBenchmarks();
        orvane::g_chain = nullptr;
    } catch (const std::exception& e) {
        std::fprintf(stderr, "chain_bench: %s\n", e.what());
        return 1;
    }
    benchmark::Shutdown();
    return 0;
}
