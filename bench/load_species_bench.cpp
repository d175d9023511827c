// LoadSpecies over a study of 10,000 stored spectra (100 species x 10 sites x 10 spectra).
// Needs a MariaDB server: ORVANE_BENCH_CONFIG names its spectra_config.txt (see README.md).
#include <benchmark/benchmark.h>
#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <memory>
#include <sstream>
#include <string>
#include <vector>

#include "app/config_file.h"
#include "app/processing_session.h"
#include "spectra/spectra_factory_class.h"
#include "store/array_codec.h"
#include "store/database.h"

namespace orvane {
namespace {

constexpr int kSpecies = 100;
constexpr int kSitesPerSpecies = 10;
constexpr int kSpectraPerSite = 10;

void RunSchema(Database& db, const std::string& path) {
    std::ifstream in(path);
    if (!in) throw OrvaneError("cannot read " + path);
    std::string line;
    std::string statement;
    while (std::getline(in, line)) {
        const size_t start = line.find_first_not_of(" \t\r");
        if (start == std::string::npos || line.compare(start, 2, "--") == 0) continue;
        statement += line + "\n";
        const size_t end = line.find_last_not_of(" \t\r");
        if (line[end] == ';') {
            db.Execute(statement);
            statement.clear();
        }
    }
}

std::string Hex(const std::string& bytes) {
    static const char digits[] = "0123456789ABCDEF";
    std::string out;
    out.reserve(bytes.size() * 2);
    for (unsigned char c : bytes) {
        out += digits[c >> 4];
        out += digits[c & 15];
    }
    return out;
}

// A scratch database with the study, dropped at the end of the run.
class BenchStudy {
  public:
    explicit BenchStudy(const std::string& config_path) {
        ConfigFile config(config_path);
        config.Open();
        ConnectionParams params = config.Connection();
        name_ = "orvane_bench_" + std::to_string(getpid());
        params.database = "";
        admin_ = std::make_unique<Database>(params);
        admin_->Execute("DROP DATABASE IF EXISTS `" + name_ + "`");
        admin_->Execute("CREATE DATABASE `" + name_ + "` CHARACTER SET utf8mb4");
        admin_->Execute("USE `" + name_ + "`");
        RunSchema(*admin_, std::string(ORVANE_SOURCE_DIR) + "/db/schema.sql");
        Fill(*admin_);
        params.database = name_;
        session_ = std::make_unique<ProcessingSession>(std::make_unique<Database>(params), nullptr);
        factory_ = std::make_unique<Spectra_factory_class>("", "", *session_);
        ResultSet rows = session_->Db().Query("select species_id from species order by species_id");
        while (rows.Next()) species_.push_back(rows.Int(0));
    }

    ~BenchStudy() {
        factory_.reset();
        session_.reset();
        try {
            admin_->Execute("DROP DATABASE IF EXISTS `" + name_ + "`");
        } catch (const std::exception& e) {
            std::fprintf(stderr, "could not drop %s: %s\n", name_.c_str(), e.what());
        }
    }

    Spectra_factory_class& Factory() { return *factory_; }
    const std::vector<int>& Species() const { return species_; }

  private:
    static void Fill(Database& db) {
        db.Execute(
            "insert into study (name, datapath, min_no_of_spec_per_endmember) values "
            "('bench', '/bench', 3)");
        const int study = static_cast<int>(db.InsertId());
        std::vector<float> values(kSpectrumBands);
        int spectrum_no = 0;
        Transaction tx(db);
        for (int sp = 0; sp < kSpecies; ++sp) {
            db.Execute(
                Sql("insert into species (study_id, folder_name, common_name) values "
                    "(%i, 'species_%03i', 'Species %i')",
                    study, sp, sp));
            const int species = static_cast<int>(db.InsertId());
            for (int si = 1; si <= kSitesPerSpecies; ++si) {
                db.Execute(
                    Sql("insert into site (site_no, species_id, study_id) values "
                        "(%i, %i, %i)",
                        si, species, study));
                const int site = static_cast<int>(db.InsertId());
                std::string sql =
                    Sql("insert into spectrum (species_id, site_id, study_id, spectrum_no, "
                        "latitude, longitude, altitude, asd_comment, pathname, reflectances) "
                        "values ");
                for (int k = 0; k < kSpectraPerSite; ++k) {
                    ++spectrum_no;
                    for (int i = 0; i < kSpectrumBands; ++i)
                        values[static_cast<size_t>(i)] =
                            0.05f + 0.4f * static_cast<float>(i) / kSpectrumBands +
                            0.001f * static_cast<float>(spectrum_no % 97);
                    sql += Sql("%s(%i, %i, %i, %i, -36.9, 174.7, 12.0, '', '', X'", k ? ", " : "",
                               species, site, study, spectrum_no);
                    sql += Hex(EncodeFloats(values.data(), values.size()));
                    sql += "')";
                }
                db.Execute(sql);
            }
        }
        tx.Commit();
    }

    std::string name_;
    std::unique_ptr<Database> admin_;
    std::unique_ptr<ProcessingSession> session_;
    std::unique_ptr<Spectra_factory_class> factory_;
    std::vector<int> species_;
};

BenchStudy* g_study = nullptr;

void BM_LoadSpecies(benchmark::State& state) {
    int64_t spectra = 0;
    for (auto _ : state) {
        for (int id : g_study->Species()) {
            std::unique_ptr<Species> species = g_study->Factory().LoadSpecies(id);
            spectra += species->MemberCount();
            benchmark::DoNotOptimize(species.get());
        }
    }
    state.counters["spectra_per_second"] =
        benchmark::Counter(static_cast<double>(spectra), benchmark::Counter::kIsRate);
    state.counters["spectra_per_pass"] =
        static_cast<double>(spectra) / static_cast<double>(state.iterations());
}
BENCHMARK(BM_LoadSpecies)->Unit(benchmark::kMillisecond)->UseRealTime()->MinTime(3.0);

}  // namespace
}  // namespace orvane

int main(int argc, char** argv) {
    benchmark::Initialize(&argc, argv);
    const char* config = std::getenv("ORVANE_BENCH_CONFIG");
    if (!config || !*config) {
        std::fprintf(stderr,
                     "ORVANE_BENCH_CONFIG must name the spectra_config.txt of a MariaDB server "
                     "(see bench/README.md).\n");
        return 2;
    }
    try {
        orvane::BenchStudy study(config);
        const std::vector<int>& species = study.Species();
        const int expected = orvane::kSitesPerSpecies * orvane::kSpectraPerSite;
        if (species.size() != static_cast<size_t>(orvane::kSpecies) ||
            study.Factory().LoadSpecies(species.front())->MemberCount() != expected) {
            std::fprintf(stderr, "the bench study was not built as expected\n");
            return 1;
        }
        orvane::g_study = &study;
        benchmark::RunSpecifiedBenchmarks();
        orvane::g_study = nullptr;
    } catch (const std::exception& e) {
        std::fprintf(stderr, "load_species_bench: %s\n", e.what());
        return 1;
    }
    benchmark::Shutdown();
    return 0;
}
