// SPDX-License-Identifier: GPL-3.0-or-later
// Writes the SQL that fills an existing study with generated spectra, for the mariadb client:
//
//   make_bench_study --study NAME --species S --sites N --spectra M [--seed K] | mariadb ... DB
//
// The study must exist (created by `orvane-cli study create`, so that it has the chain rows a
// new study gets; for an unknown name the first INSERT fails on its NULL study). S species of
// N sites of M spectra each are added to it, one transaction per species, each site's spectra
// in one multi-row INSERT. It talks to no server itself, so it keeps working whatever the core's
// database classes become.
#include <cctype>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

#include "base/band_grid.h"
#include "store/array_codec.h"

namespace {

struct Options {
    std::string study;
    int species = 0;
    int sites = 0;
    int spectra = 0;
    unsigned long long seed = 12345;
};

[[noreturn]] void Usage(const char* why) {
    std::fprintf(stderr,
                 "make_bench_study: %s\nusage: make_bench_study --study NAME --species S "
                 "--sites N --spectra M [--seed K]\n",
                 why);
    std::exit(2);
}

int Count(const char* text, const char* what) {
    char* end = nullptr;
    const long n = std::strtol(text, &end, 10);
    if (*text == '\0' || *end != '\0' || n < 1 || n > 10000000)
        Usage((std::string(what) + " must be a whole number from 1 to 10000000").c_str());
    return static_cast<int>(n);
}

Options Parse(int argc, char** argv) {
    Options o;
    for (int i = 1; i < argc; ++i) {
        const std::string name = argv[i];
        if (i + 1 >= argc) Usage(("option " + name + " needs a value").c_str());
        const char* value = argv[++i];
        if (name == "--study")
            o.study = value;
        else if (name == "--species")
            o.species = Count(value, "--species");
        else if (name == "--sites")
            o.sites = Count(value, "--sites");
        else if (name == "--spectra")
            o.spectra = Count(value, "--spectra");
        else if (name == "--seed")
            o.seed = static_cast<unsigned long long>(Count(value, "--seed"));
        else
            Usage(("unknown option " + name).c_str());
    }
    if (o.study.empty() || !o.species || !o.sites || !o.spectra)
        Usage("--study, --species, --sites and --spectra are required");
    // The name goes into a quoted SQL literal; a bench study never needs more than this.
    for (char c : o.study)
        if (!std::isalnum(static_cast<unsigned char>(c)) && c != '-' && c != '_' && c != ' ')
            Usage("--study may hold letters, digits, blanks, '-' and '_' only");
    return o;
}

void AppendHex(std::string& out, const std::string& bytes) {
    static const char digits[] = "0123456789ABCDEF";
    for (unsigned char c : bytes) {
        out += digits[c >> 4];
        out += digits[c & 15];
    }
}

// Four ripples per spectrum, as sin(i / period + phase) split by the angle-sum rule so that
// 100,000 spectra cost table look-ups instead of a billion sin calls.
constexpr int kRipples = 4;

struct RippleTables {
    std::vector<double> sine[kRipples];
    std::vector<double> cosine[kRipples];
    RippleTables() {
        for (int r = 0; r < kRipples; ++r) {
            for (int i = 0; i < orvane::kSpectrumBands; ++i) {
                const double angle = i / (25.0 + 30.0 * r);
                sine[r].push_back(std::sin(angle));
                cosine[r].push_back(std::cos(angle));
            }
        }
    }
};

}  // namespace

int main(int argc, char** argv) {
    const Options o = Parse(argc, argv);
    const RippleTables ripples;
    const size_t bands = static_cast<size_t>(orvane::kSpectrumBands);
    std::vector<double> base(bands);
    std::vector<float> values(bands);
    unsigned long long seed = o.seed;
    std::string sql;
    std::printf("SET @study = (SELECT study_id FROM study WHERE name = '%s');\n",
                o.study.c_str());
    for (int sp = 0; sp < o.species; ++sp) {
        // Each species its own curve shape, so that classes differ.
        const double shape = 1.0 + 0.1 * (sp % 13);
        for (size_t i = 0; i < bands; ++i)
            base[i] = 0.05 + 0.4 * static_cast<double>(i) / static_cast<double>(bands) +
                      0.05 * std::sin(shape * static_cast<double>(i) / 300.0);
        std::printf(
            "START TRANSACTION;\nINSERT INTO species (study_id, folder_name, common_name) VALUES "
            "(@study, 'species_%05i', 'Species %i');\nSET @species = LAST_INSERT_ID();\n",
            sp, sp);
        for (int si = 1; si <= o.sites; ++si) {
            std::printf(
                "INSERT INTO site (site_no, species_id, study_id) VALUES (%i, @species, @study);\n"
                "SET @site = LAST_INSERT_ID();\n",
                si);
            sql.assign(
                "INSERT INTO spectrum (species_id, site_id, study_id, spectrum_no, latitude, "
                "longitude, altitude, asd_comment, pathname, reflectances) VALUES ");
            for (int k = 1; k <= o.spectra; ++k) {
                double amplitude[kRipples];
                double cos_phase[kRipples];
                double sin_phase[kRipples];
                for (int r = 0; r < kRipples; ++r) {
                    seed = seed * 6364136223846793005ULL + 1442695040888963407ULL;
                    amplitude[r] = 0.004 * static_cast<double>(seed >> 40) / 16777216.0;
                    const double phase =
                        6.28 * static_cast<double>((seed >> 16) & 0xffffff) / 16777216.0;
                    cos_phase[r] = std::cos(phase);
                    sin_phase[r] = std::sin(phase);
                }
                for (size_t i = 0; i < bands; ++i) {
                    double v = base[i];
                    for (int r = 0; r < kRipples; ++r)
                        v += amplitude[r] * (ripples.sine[r][i] * cos_phase[r] +
                                             ripples.cosine[r][i] * sin_phase[r]);
                    values[i] = static_cast<float>(v);
                }
                char head[96];
                std::snprintf(head, sizeof head,
                              "%s(@species, @site, @study, %i, -36.9, 174.7, 12.0, '', '', X'",
                              k > 1 ? ", " : "", k);
                sql += head;
                AppendHex(sql, orvane::EncodeFloats(values.data(), values.size()));
                sql += "')";
            }
            sql += ";\n";
            std::fwrite(sql.data(), 1, sql.size(), stdout);
        }
        std::printf("COMMIT;\n");
    }
    // The study's spectra changed outside the program: results built before are out of date.
    std::printf("UPDATE study SET spectra_changed_at = CURRENT_TIMESTAMP(6) WHERE study_id = @study;\n");
    if (std::fflush(stdout) != 0 || std::ferror(stdout)) {
        std::perror("make_bench_study: writing the SQL");
        return 1;
    }
    return 0;
}
