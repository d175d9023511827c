// SPDX-License-Identifier: GPL-3.0-or-later
// The demo session, examples/demo-session, run end to end through orvane-cli on a database set up
// as `orvane-db init` and scripts/run set up a user's: every file it writes, and its report, must
// equal what tests/data/demo-results/ keeps, so that a change in what the program computes or
// writes shows as the file and line it changes. ORVANE_UPDATE_DEMO_RESULTS=1 rewrites the kept
// results from the run instead (see tests/data/demo-results/README.md).
#include <gtest/gtest.h>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <map>
#include <regex>
#include <sstream>
#include <string>
#include <vector>

#include "support/cli_runner.h"
#include "support/scratch_database.h"

namespace orvane {
namespace {

namespace fs = std::filesystem;

// Larger files are kept as their SHA-256 and one short digest per line, which still names the
// first line that changed; the copies of the smaller ones show the lines themselves.
constexpr size_t kKeptWhole = 64 * 1024;
constexpr size_t kShown = 240;

std::string Quote(const std::string& word) {
    std::string quoted = "'";
    for (char c : word) quoted += c == '\'' ? std::string("'\\''") : std::string(1, c);
    return quoted + "'";
}

std::string ReplaceAll(std::string text, const std::string& from, const std::string& to) {
    for (size_t at = text.find(from); at != std::string::npos; at = text.find(from, at + to.size()))
        text.replace(at, from.size(), to);
    return text;
}

bool IsBinary(const std::string& name) { return name.size() > 4 && name.substr(name.size() - 4) == ".sli"; }

// What differs between two runs of the same program on the same data: the temporary folder, the
// checkout's path, the times of the run and of the library's build, the program's version.
std::string Normalised(const std::string& name, const std::string& text, const std::string& tmp) {
    if (IsBinary(name)) return text;
    std::string out = ReplaceAll(ReplaceAll(text, tmp, "$TMP"), ORVANE_SOURCE_DIR, "$REPO");
    if (name.size() > 5 && name.substr(name.size() - 5) == ".json") {
        static const std::regex varying(R"re(("(?:run_at|build_date|version)": )"[^"]*")re");
        out = std::regex_replace(out, varying, "$1\"(varies)\"");
    }
    return out;
}

std::vector<std::string> Lines(const std::string& text) {
    std::vector<std::string> lines;
    std::istringstream in(text);
    for (std::string line; std::getline(in, line);) lines.push_back(line);
    return lines;
}

// FNV-1a: a locator of the changed line, not a check of the file (SHA-256 is that).
std::string LineDigest(const std::string& line) {
    uint64_t h = 14695981039346656037ull;
    for (unsigned char c : line) h = (h ^ c) * 1099511628211ull;
    char hex[17];
    std::snprintf(hex, sizeof hex, "%016llx", static_cast<unsigned long long>(h));
    return std::string(hex) + " " + std::to_string(line.size());
}

std::string LineDigests(const std::string& text) {
    std::string out;
    for (const std::string& line : Lines(text)) out += LineDigest(line) + "\n";
    return out;
}

std::string Shown(const std::string& line) {
    return line.size() > kShown ? line.substr(0, kShown) + "..." : line;
}

// "NAME: line N differs" with both lines, or the first differing byte of a binary file; empty
// when equal.
std::string FirstDifference(const std::string& name, const std::string& expected,
                            const std::string& actual) {
    if (expected == actual) return "";
    if (IsBinary(name)) {
        size_t at = 0;
        while (at < expected.size() && at < actual.size() && expected[at] == actual[at]) ++at;
        return name + ": byte " + std::to_string(at) + " differs (expected " +
               std::to_string(expected.size()) + " bytes, got " + std::to_string(actual.size()) +
               ")";
    }
    const std::vector<std::string> want = Lines(expected), got = Lines(actual);
    size_t i = 0;
    while (i < want.size() && i < got.size() && want[i] == got[i]) ++i;
    return name + ": line " + std::to_string(i + 1) + " differs\n  expected: " +
           (i < want.size() ? Shown(want[i]) : "(end of file)") +
           "\n  actual:   " + (i < got.size() ? Shown(got[i]) : "(end of file)");
}

// As FirstDifference, for a file kept as line digests.
std::string FirstDigestDifference(const std::string& name, const std::string& digests,
                                  const std::string& actual) {
    const std::vector<std::string> want = Lines(digests), got = Lines(actual);
    size_t i = 0;
    while (i < want.size() && i < got.size() && want[i] == LineDigest(got[i])) ++i;
    if (i == want.size() && i == got.size()) return "";
    return name + ": line " + std::to_string(i + 1) + " differs (kept as line digests)" +
           "\n  actual:   " + (i < got.size() ? Shown(got[i]) : "(end of file)") +
           (i < want.size() ? "" : "\n  expected: (end of file)");
}

void WriteFile(const fs::path& path, const std::string& text) {
    fs::create_directories(path.parent_path());
    std::ofstream(path, std::ios::binary) << text;
}

// "DIGEST  NAME" lines as sha256sum writes them, for the files under `dir`.
std::string Sha256Sums(const std::string& dir) {
    const std::string command = "cd " + Quote(dir) +
                                " && find . -type f -printf '%P\\0' | LC_ALL=C sort -z | "
                                "xargs -0 sha256sum --";
    std::string out;
    if (FILE* pipe = popen(command.c_str(), "r")) {
        char buffer[4096];
        for (size_t n; (n = fread(buffer, 1, sizeof buffer, pipe)) > 0;) out.append(buffer, n);
        pclose(pipe);
    }
    return out;
}

// Runs the session on a scratch database with the sensors and feature spaces `orvane-db init`
// gives and the demo study as scripts/run imports it, each command's files moved to a folder
// of its own (tests/support/demo-step); returns the folder of the results.
std::string RunDemoSession(test::ScratchDatabase& scratch, const test::TempDir& dir) {
    const std::string config = scratch.WriteConfig(dir.Path());
    auto cli = [&](std::vector<std::string> words) {
        words.insert(words.begin(), {"--config", config});
        const test::CliOutcome r = test::RunCliWords(words);
        EXPECT_EQ(r.rc, 0) << r.err;
    };
    // In scripts/orvane-db's order, which gives the sensors their ids and the current sensor.
    for (const char* s :
         {"landsat8_oli", "sentinel2a_msi", "landsat5_tm", "modis_land", "enmap", "aviris_2011"})
        cli({"sensor", "import", test::SourcePath("data/sensors/") + s + ".txt", "--type",
             "gaussian"});
    for (const char* s : {"landsat8_oli_ratio", "sentinel2a_msi_ratio"})
        cli({"sensor", "import", test::SourcePath("data/sensors/") + s + ".txt", "--type", "ratio"});
    test::RunSqlScript(scratch.Admin(), test::SourcePath("db/seed.sql"));
    cli({"study", "create", "--name", "Demo study", "--path",
         test::SourcePath("examples/demo-study"), "--description",
         "149 field spectra of four vegetation classes (examples/demo-study)", "--min-samples",
         "15"});
    cli({"--study", "Demo study", "import"});

    const std::string results = dir.File("results");
    fs::create_directories(results);
    fs::create_directories(dir.File("work"));
    const std::string command =
        "cd " + Quote(dir.File("work")) + " && DEMO_CLI=" + Quote(ORVANE_CLI_PATH) +
        " DEMO_OUTPUT=" + Quote(dir.File("output")) + " DEMO_RESULTS=" + Quote(results) +
        " ORVANE_CLI=" + Quote(test::SourcePath("tests/support/demo-step")) + " " +
        Quote(test::SourcePath("examples/demo-session")) + " --config " + Quote(config) + " >" +
        Quote(dir.File("session.log")) + " 2>&1";
    const int status = std::system(command.c_str());
    EXPECT_EQ(status, 0) << "examples/demo-session failed:\n" << test::FileText(dir.File("session.log"));
    fs::remove(results + "/.count");
    return results;
}

TEST(DemoSession, EveryResultFileIsAsKept) {
    test::ScratchDatabase scratch("demo");
    test::TempDir dir;
    const std::string results = RunDemoSession(scratch, dir);
    ASSERT_FALSE(HasFailure());

    // The normalised results, as they are kept.
    std::map<std::string, std::string> actual;
    const std::string normalised = dir.File("normalised");
    for (const fs::directory_entry& e : fs::recursive_directory_iterator(results)) {
        if (!e.is_regular_file()) continue;
        const std::string name = fs::relative(e.path(), results).string();
        actual[name] = Normalised(name, test::FileText(e.path().string()), dir.Path());
        WriteFile(fs::path(normalised) / name, actual[name]);
    }
    const std::string sums = Sha256Sums(normalised);
    ASSERT_FALSE(sums.empty());

    const fs::path kept = test::TestData("demo-results");
    if (const char* update = std::getenv("ORVANE_UPDATE_DEMO_RESULTS"); update && *update) {
        for (const fs::directory_entry& e : fs::directory_iterator(kept))
            if (e.path().filename() != "README.md") fs::remove_all(e.path());
        for (const auto& [name, text] : actual) {
            if (text.size() <= kKeptWhole)
                WriteFile(kept / name, text);
            else
                WriteFile(kept / (name + ".lines"), LineDigests(text));
        }
        WriteFile(kept / "SHA256SUMS", sums);
        GTEST_SKIP() << "kept the results of this run in " << kept.string();
    }

    std::map<std::string, std::string> kept_sums;  // name -> digest
    for (const std::string& line : Lines(test::FileText((kept / "SHA256SUMS").string())))
        if (line.size() > 66) kept_sums[line.substr(66)] = line.substr(0, 64);
    ASSERT_FALSE(kept_sums.empty()) << "nothing kept in " << kept.string();
    std::map<std::string, std::string> run_sums;
    for (const std::string& line : Lines(sums))
        if (line.size() > 66) run_sums[line.substr(66)] = line.substr(0, 64);

    for (const auto& [name, digest] : kept_sums) {
        if (!actual.count(name)) {
            ADD_FAILURE() << name << ": kept, but the session did not write it";
            continue;
        }
        const fs::path whole = kept / name;
        std::string difference;
        if (fs::exists(whole))
            difference = FirstDifference(name, test::FileText(whole.string()), actual[name]);
        else
            difference = FirstDigestDifference(
                name, test::FileText((kept / (name + ".lines")).string()), actual[name]);
        if (difference.empty() && run_sums[name] != digest)
            difference = name + ": its SHA-256 differs from the one kept";
        if (!difference.empty()) ADD_FAILURE() << difference;
    }
    for (const auto& [name, text] : actual)
        if (!kept_sums.count(name)) ADD_FAILURE() << name << ": written by the session, not kept";
    if (HasFailure())
        std::cerr << "If the change is meant, ORVANE_UPDATE_DEMO_RESULTS=1 keeps this run's "
                     "results (tests/data/demo-results/README.md).\n";
}

}  // namespace
}  // namespace orvane
