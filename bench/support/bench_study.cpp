// SPDX-License-Identifier: GPL-3.0-or-later
#include "support/bench_study.h"

#include <benchmark/benchmark.h>

#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <filesystem>

#include "base/orvane_error.h"
#include "store/array_codec.h"

namespace orvane::bench {

namespace {

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

}  // namespace

BenchStudy::BenchStudy(const std::string& config_path, const std::string& output_dir,
                       BenchLayout layout)
    : database_(config_path, ""), output_("", output_dir), layout_(layout) {
    Fill(database_.Admin());
    session_ = std::make_unique<ProcessingSession>(std::make_unique<Database>(database_.Params()),
                                                   nullptr);
    session_->SetStudy(study_id_);
    loader_ = std::make_unique<StudyLoader>(*session_);
    loader_->SetStudy(study_id_);
    ResultSet rows = session_->Db().Query("select species_id from species order by species_id");
    while (rows.Next()) species_.push_back(rows.Int(0));
}

BenchStudy::~BenchStudy() {
    loader_.reset();
    session_.reset();
}

void BenchStudy::Fill(Database& db) {
    db.Execute(
        "insert into study (name, datapath, min_no_of_spec_per_endmember) values "
        "('bench', '/bench', 3)");
    study_id_ = static_cast<int>(db.InsertId());
    const int study = study_id_;
    db.Execute(
        Sql("insert into smoothing_filter (study_id, sf_type_id) values (%i, (select "
            "sf_type_id from smoothing_filter_type where type = 0))",
            study));
    db.Execute(
        Sql("insert into derivative (study_id, deriv_calc_method_id) values (%i, (select "
            "deriv_calc_method_id from derivative_calc_method where type = 2))",
            study));
    db.Execute(Sql("insert into waveband_filter (study_id) values (%i)", study));
    std::vector<float> values(kSpectrumBands);
    int spectrum_no = 0;
    unsigned long long seed = 12345;
    Transaction tx(db);
    for (int sp = 0; sp < layout_.species; ++sp) {
        db.Execute(
            Sql("insert into species (study_id, folder_name, common_name) values "
                "(%i, 'species_%03i', 'Species %i')",
                study, sp, sp));
        const int species = static_cast<int>(db.InsertId());
        for (int si = 1; si <= layout_.sites_per_species; ++si) {
            db.Execute(
                Sql("insert into site (site_no, species_id, study_id) values "
                    "(%i, %i, %i)",
                    si, species, study));
            const int site = static_cast<int>(db.InsertId());
            std::string sql =
                Sql("insert into spectrum (species_id, site_id, study_id, spectrum_no, "
                    "latitude, longitude, altitude, asd_comment, pathname, reflectances) "
                    "values ");
            for (int k = 0; k < layout_.spectra_per_site; ++k) {
                ++spectrum_no;
                const double shape = 1.0 + 0.1 * (sp % 13);
                // Four ripples of pseudo-random amplitude and phase per spectrum.
                double amplitude[4];
                double phase[4];
                for (int r = 0; r < 4; ++r) {
                    seed = seed * 6364136223846793005ULL + 1442695040888963407ULL;
                    amplitude[r] = 0.004 * static_cast<double>(seed >> 40) / 16777216.0;
                    phase[r] = 6.28 * static_cast<double>((seed >> 16) & 0xffffff) / 16777216.0;
                }
                for (int i = 0; i < kSpectrumBands; ++i) {
                    double v = 0.05 + 0.4 * i / kSpectrumBands + 0.05 * std::sin(shape * i / 300.0);
                    for (int r = 0; r < 4; ++r)
                        v += amplitude[r] * std::sin(i / (25.0 + 30.0 * r) + phase[r]);
                    values[static_cast<size_t>(i)] = static_cast<float>(v);
                }
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

int RunOnBenchStudy(int argc, char** argv, const char* program, const BenchLayout& layout,
                    const std::function<void(BenchStudy&)>& run) {
    benchmark::Initialize(&argc, argv);
    const std::string config = BenchConfigPath(program);
    if (config.empty()) return 2;
    const std::string out =
        (std::filesystem::temp_directory_path() / ("orvane_" + std::string(program))).string();
    try {
        BenchStudy study(config, out, layout);
        run(study);
    } catch (const std::exception& e) {
        std::fprintf(stderr, "%s: %s\n", program, e.what());
        return 1;
    }
    std::error_code ec;
    std::filesystem::remove_all(out, ec);
    benchmark::Shutdown();
    return 0;
}

}  // namespace orvane::bench
