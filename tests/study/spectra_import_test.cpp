// SPDX-License-Identifier: GPL-3.0-or-later
#include "study/spectra_import.h"

#include <gtest/gtest.h>
#include <sys/stat.h>

#include <algorithm>
#include <cmath>
#include <limits>

#include <filesystem>
#include <fstream>
#include <iterator>
#include <map>
#include <string>
#include <tuple>
#include <utility>
#include <vector>

#include "base/config_file.h"
#include "chain/processing_session.h"
#include "store/database.h"
#include "support/instrument_file.h"
#include "support/private_server.h"
#include "support/recording_frontend.h"
#include "support/scratch_database.h"
#include "support/study_rows.h"
#include "support/text_spectrum_file.h"

namespace orvane {
namespace {

using test::InstrumentFile;
using test::WriteInstrumentFile;

using test::Contains;

const std::string kNotNamed =
    ": it is not named as an instrument file (a number as its extension, as in leaf.012, or a "
    "name ending in a number with the extension .asd, .sig or .sed, as in leaf00012.asd or "
    "leaf_00012.sig)\n";

std::vector<std::string> SkipLines(const test::RecordingFrontend& frontend) {
    std::vector<std::string> lines;
    for (const std::string& r : frontend.reports)
        if (r.compare(0, 8, "Skipped ") == 0) lines.push_back(r);
    return lines;
}

class Import : public ::testing::Test {
  protected:
    Import()
        : scratch_("import"),
          session_(scratch_.Connect(), nullptr),
          study_(test::InsertStudy(session_.Db(), "field", root_.Path())) {}

    ImportCounts Run() {
        frontend_ = test::RecordingFrontend();
        return SpectraImport(session_, frontend_).ImportStudySpectra(study_, root_.Path());
    }
    std::string Path(const std::string& relative) const { return root_.File(relative); }
    void File(const std::string& relative, const InstrumentFile& f = {}) {
        WriteInstrumentFile(Path(relative), f);
    }
    // A copy of a real instrument file, with its header's comment replaced when one is given.
    void Copy(const std::string& from, const std::string& relative,
              const std::string& comment = "") {
        std::filesystem::create_directories(std::filesystem::path(Path(relative)).parent_path());
        std::ifstream in(from, std::ios::binary);
        std::string bytes((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
        ASSERT_GT(bytes.size(), 160u) << from;
        if (!comment.empty()) {
            std::fill(bytes.begin() + 3, bytes.begin() + 160, '\0');
            bytes.replace(3, comment.size(), comment);
        }
        std::ofstream(Path(relative), std::ios::binary) << bytes;
    }
    int Count(const std::string& table, const std::string& where = "1") {
        return test::Count(session_.Db(), "select count(*) from " + table + " where " + where);
    }
    // Site numbers of a species with the number of spectra each holds.
    std::map<int, int> Sites(const std::string& folder) {
        std::map<int, int> sites;
        ResultSet rows = session_.Db().Query(
            "select site.site_no, count(s.spectrum_id) from species sp join site on "
            "site.species_id = sp.species_id left join spectrum s on s.site_id = site.site_id "
            "where binary sp.folder_name = '" +
            session_.Db().Escape(folder) + "' group by site.site_id");
        while (rows.Next()) sites[rows.Int(0)] += rows.Int(1);
        return sites;
    }

    test::TempDir root_;
    test::ScratchDatabase scratch_;
    ProcessingSession session_;
    int study_;
    test::RecordingFrontend frontend_;
};

TEST_F(Import, FolderTreeRules) {
    EXPECT_THROW(SpectraImport(session_, frontend_).ImportStudySpectra(study_, Path("absent")),
                 OrvaneError);
    int seed = 0;
    for (const char* f : {"Kauri/alpha/k.001", "Kauri/plot3/k.001", "Kauri/plot3/k.002",
                          "Kauri/site/k.001", "Kauri/site07/k.001", "Kauri/site12x/k.004",
                          "Kauri/sitex/k.001"})
        File(f, {++seed});
    std::filesystem::create_directories(Path("Kauri/zempty"));
    // Hidden ones (".hidden" would take position 1) are passed over; files straight in the
    // species folder or the data path are reported.
    for (const char* f : {"Kauri/.hidden/k.001", "Kauri/alpha/.k.009", ".cache/site1/k.001",
                          "Kauri/loose.001", "notes.001"})
        File(f);
    std::filesystem::create_directories(Path("Empty"));

    // A species folder without a readable file is reported and not stored.
    std::filesystem::create_directories(Path("Unread/site1"));
    std::ofstream(Path("Unread/site1/broken.001"), std::ios::binary) << "x";

    const ImportCounts added = Run();
    EXPECT_EQ(std::make_tuple(added.species, added.sites, added.spectra, added.skipped),
              std::make_tuple(1, 6, 7, 5));
    EXPECT_EQ(frontend_.reports,
              (std::vector<std::string>{
                  "Skipped " + Path("Empty") +
                      ": no site folder in it holds a readable spectrum file\n",
                  "Skipped " + Path("Kauri/loose.001") +
                      ": it is a file where only site folders belong; instrument files go "
                      "inside a site folder\n",
                  "Processing Kauri\n",
                  "Skipped " + Path("Unread/site1/broken.001") +
                      ": it is 1 bytes long, shorter than the 484-byte header\n",
                  "Skipped " + Path("Unread") +
                      ": no site folder in it holds a readable spectrum file\n",
                  "Skipped " + Path("notes.001") +
                      ": it is a file where only species folders belong\n"}));
    EXPECT_EQ(frontend_.steps, (std::vector<int>{1, 2, 3}));
    EXPECT_EQ(Sites("Kauri"), (std::map<int, int>{
                                  {1, 1}, {2, 2}, {3, 1}, {7, 1}, {12, 1}, {6, 1}}));
    EXPECT_EQ(Count("species", "folder_name in ('Empty', 'Unread')"), 0);
    EXPECT_EQ(Count("spectrum",
                    "pathname like '%loose%' or pathname like '%notes%' or "
                    "pathname like '%.k.009' or pathname like '%.hidden%'"),
              0);
}

TEST_F(Import, RepeatedImportAddsNothingAndANewFileJoinsItsSite) {
    File("Rimu/site1/r.001", {1, {2018, 11, 5, 9, 30, 0}, -3600.0, 17430.0, 100.0, "first"});
    File("Rimu/site1/r.002", {2, {2018, 11, 6, 9, 30, 0}, -3630.0, 17460.0, 200.0, "second"});
    File("Rimu/site2/r.001", {3});
    ASSERT_EQ(Run().spectra, 3);
    // The study's libraries go out of date when spectra come in, and only then.
    const std::string changed_sql =
        Sql("select spectra_changed_at from study where study_id = %i", study_);
    std::string first_change;
    ASSERT_TRUE(session_.Db().QueryText(changed_sql, first_change));

    const ImportCounts again = Run();
    EXPECT_EQ(again.species + again.sites + again.spectra + again.skipped, 0);
    std::string change;
    session_.Db().QueryText(changed_sql, change);
    EXPECT_EQ(change, first_change);
    EXPECT_EQ(std::make_tuple(Count("species"), Count("site"), Count("spectrum")),
              std::make_tuple(1, 2, 3));

    File("Rimu/site1/r.003", {4, {2020, 1, 1, 0, 0, 0}, -3700.0, 17500.0, 600.0, "third"});
    const ImportCounts added = Run();
    EXPECT_EQ(std::make_tuple(added.spectra, added.sites, Count("spectrum")),
              std::make_tuple(1, 0, 4));
    session_.Db().QueryText(changed_sql, change);
    EXPECT_GT(change, first_change);

    // The site keeps its capture date (its first file's) and its position is the mean of all
    // three spectra.
    ResultSet rows = session_.Db().Query(
        "select capture_date, latitude, longitude, altitude from site where site_no = 1");
    ASSERT_TRUE(rows.Next());
    EXPECT_EQ(rows.String(0), "2018-11-05 09:30:00");
    EXPECT_NEAR(rows.Real(1), -(36.0 + 36.5 + 37.0) / 3.0, 1e-9);
    EXPECT_NEAR(rows.Real(2), (174.5 + 175.0 + 175.0) / 3.0, 1e-9);
    EXPECT_NEAR(rows.Real(3), 300.0, 1e-9);

    // What was stored is what the file holds.
    ResultSet stored =
        session_.Db().Query("select reflectances, asd_comment from spectrum where spectrum_no = 3");
    ASSERT_TRUE(stored.Next());
    EXPECT_EQ(std::make_pair(stored.String(0), stored.String(1)),
              std::make_pair(test::Blob(test::DistinctReflectances(4)), std::string("third")));
}

TEST_F(Import, ClashingNumbersAndUnreadableFilesAreReportedAndTheRestIsStored) {
    // u.001 has t.001's number in the same folder, site1 is the alpha folder's site too, and
    // names without a number are not instrument files.
    int seed = 0;
    for (const char* f : {"alpha/t.001", "alpha/t.002", "alpha/u.001", "site1/t.002",
                          "site1/t.003", "site2/x.asd", "site2/y.asd", "site2/z.005"})
        File(std::string("Totara/") + f, {++seed});
    std::ofstream(Path("Totara/site2/broken.004"), std::ios::binary) << "too short";

    const ImportCounts added = Run();
    EXPECT_EQ(std::make_pair(added.spectra, added.skipped), std::make_pair(4, 5));
    const std::string taken = " is already taken by ";
    const std::vector<std::string> expected = {
        "Skipped " + Path("Totara/site2/broken.004") +
            ": it is 9 bytes long, shorter than the 484-byte header\n",
        "Skipped " + Path("Totara/site2/x.asd") + kNotNamed,
        "Skipped " + Path("Totara/site2/y.asd") + kNotNamed,
        "Skipped " + Path("Totara/alpha/u.001") + ": spectrum number 1 of site 1" + taken +
            Path("Totara/alpha/t.001") + ", which is the one stored\n",
        "Skipped " + Path("Totara/site1/t.002") + ": spectrum number 2 of site 1" + taken +
            Path("Totara/alpha/t.002") + ", which is the one stored\n"};
    EXPECT_EQ(SkipLines(frontend_), expected);
    EXPECT_EQ(Sites("Totara"), (std::map<int, int>{{1, 3}, {2, 1}}));

    // A second run still names the files it does not store, and stores nothing new.
    const ImportCounts again = Run();
    EXPECT_EQ(again.spectra, 0);
    EXPECT_EQ(SkipLines(frontend_), expected);
    EXPECT_EQ(Count("spectrum"), 4);
}

// One measurement under several names (the instrument's own, a numbered copy, a copy without
// an extension, an export beside it) is stored once, under the instrument's name; another
// measurement with the same number is refused in favour of the first in name order.
TEST_F(Import, OneMeasurementIsStoredOnceAndNumbersAreNotShared) {
    const std::string measurement = test::TestData("asd/vendor-export/ribb00001.asd");
    for (const char* copy : {"gs00011.asd", "gs00011.", "gs00011.001", "gs00011.asd.txt"})
        Copy(measurement, "GS/site1/" + std::string(copy));
    Copy(test::TestData("asd/vendor-export/ribb00001.asd.txt"), "GS/site1/notes.txt");
    Copy(test::TestData("asd/vendor-export/ribb00002.asd"), "GS/site1/gs00012.asd");
    Copy(test::TestData("asd/vendor-export/ribb00003.asd"), "GS/site1/hs00012.asd");
    std::ofstream(Path("GS/site1/readme"), std::ios::binary) << "field notes";

    const std::string site = Path("GS/site1/");
    const std::vector<std::string> expected = {
        "Skipped " + site + "gs00011." + kNotNamed,
        "Skipped " + site + "gs00011.asd.txt" + kNotNamed,
        "Skipped " + site + "notes.txt" + kNotNamed,
        "Skipped " + site + "readme" + kNotNamed,
        "Skipped " + site + "gs00011.001: it holds the same measurement as " + site +
            "gs00011.asd, so it is left out as a copy of it\n",
        "Skipped " + site + "hs00012.asd: spectrum number 12 of site 1 is already taken by " +
            site + "gs00012.asd, which is the one stored\n"};
    for (int run = 0; run < 2; ++run) {
        const ImportCounts added = Run();
        EXPECT_EQ(std::make_pair(added.spectra, added.skipped),
                  std::make_pair(run == 0 ? 2 : 0, 6));
        EXPECT_EQ(SkipLines(frontend_), expected);
    }
    std::string stored;
    session_.Db().QueryText("select group_concat(spectrum_no, ' ', substring_index(pathname, "
                            "'/', -1) order by spectrum_no) from spectrum",
                            stored);
    EXPECT_EQ(stored, "11 gs00011.asd,12 gs00012.asd");
}

// Binary, SIG and SED files of one study import together by the same folder and numbering
// rules; a text file with a broken table is skipped naming its line and the others are stored.
TEST_F(Import, MixedInstrumentFormatsIntoOneStudy) {
    File("Kauri/site1/k00001.asd", {1});
    test::SigFile sig;
    sig.channels = test::Unmatched(test::ThreeDetectors(1));
    sig.remove_at = "990,1900";
    test::WriteTextFile(Path("Kauri/site1/leaf_00002.sig"), test::SigText(sig));
    test::SedFile sed;
    sed.channels = test::ThreeDetectors(2)[0];  // one detector: no value above 1012 nm
    sed.style = {true, true};
    sed.latitude = "3729,9822S";
    sed.date = "22/07/2016,22/07/2016";
    test::WriteTextFile(Path("Kauri/site1/plot3.0003.sed"), test::SedText(sed));
    test::SigFile comma = sig;
    comma.channels = test::Unmatched(test::ThreeDetectors(3));
    comma.style = {true, true};
    test::WriteTextFile(Path("Kauri/site2/leaf_00004.SIG"), test::SigText(comma));
    test::SigFile broken = sig;
    broken.extra_rows = {"2515.00  12.5  13.5"};
    test::WriteTextFile(Path("Kauri/site2/leaf_00005.sig"), test::SigText(broken));
    // The overlap-matched copy carries its measurement's number; the first in name order stays.
    test::WriteTextFile(Path("Kauri/site2/leaf_00004_moc.sig"), test::SigText(sig));
    test::WriteTextFile(Path("Rimu/site1/r.007"), test::SedText(sed));

    const ImportCounts added = Run();
    EXPECT_EQ(std::make_tuple(added.species, added.sites, added.spectra, added.skipped),
              std::make_tuple(2, 3, 5, 2));
    // The first line, nine header lines with the factors, "data=", then the table.
    const int broken_line = 11 + static_cast<int>(broken.channels.size()) + 1;
    EXPECT_EQ(SkipLines(frontend_),
              (std::vector<std::string>{
                  "Skipped " + Path("Kauri/site2/leaf_00005.sig") + ": line " +
                      std::to_string(broken_line) +
                      " has 3 columns where the table has 4 (\"2515.00  12.5  13.5\")\n",
                  "Skipped " + Path("Kauri/site2/leaf_00004_moc.sig") +
                      ": spectrum number 4 of site 2 is already taken by " +
                      Path("Kauri/site2/leaf_00004.SIG") + ", which is the one stored\n"}));
    EXPECT_EQ(Sites("Kauri"), (std::map<int, int>{{1, 3}, {2, 1}}));
    EXPECT_EQ(Sites("Rimu"), (std::map<int, int>{{1, 1}}));

    // Each row: number, file, latitude, comment, and whether 2499 nm holds the stored marker of
    // no value (-1.0f), as only the one-detector SED files do.
    std::string stored;
    session_.Db().QueryText(
        "select group_concat(spectrum_no, ' ', substring_index(pathname, '/', -1), ' ', "
        "ifnull(round(latitude, 4), 'null'), ' ', asd_comment, ' ', "
        "hex(substring(reflectances, 4 * 2149 + 1, 4)) = '000080BF' order by spectrum_no "
        "separator '; ') from spectrum",
        stored);
    EXPECT_EQ(stored,
              "1 k00001.asd 0.0000 test 0; 2 leaf_00002.sig -37.4997 sunlit leaf 0; "
              "3 plot3.0003.sed -37.4997 canopy 1; 4 leaf_00004.SIG -37.4997 sunlit leaf 0; "
              "7 r.007 -37.4997 canopy 1");
    std::string dates;
    session_.Db().QueryText(
        "select group_concat(site_no, ' ', capture_date order by species_id, site_no "
        "separator '; ') from site",
        dates);
    EXPECT_EQ(dates, "1 2019-03-04 10:11:12; 2 2008-01-18 11:51:57; 1 2016-07-22 11:20:41");
}

// A folder or file name that is not UTF-8 would be stored altered and never found again by
// its name, so it is refused by name; a comment is kept with its invalid bytes marked.
TEST_F(Import, NamesThatAreNotUtf8AreRefusedAndCommentsRepaired) {
    const std::string measurement = test::TestData("asd/vendor-export/ribb00002.asd");
    Copy(measurement, "bad\xff\xfe/site1/b00001.asd");
    Copy(measurement, "Good/site1/g00001.asd", "caf\xE9 \xFF ok");
    Copy(measurement, "Good/site2/\xE9t\xE9.001");
    Copy(measurement, "Good/site\xFF/g00002.asd");

    const ImportCounts added = Run();
    EXPECT_EQ(std::make_tuple(added.species, added.spectra, added.skipped),
              std::make_tuple(1, 1, 3));
    EXPECT_EQ(SkipLines(frontend_),
              (std::vector<std::string>{
                  "Skipped " + Path("Good/site2/\\xe9t\\xe9.001") +
                      ": its name is not valid UTF-8; rename the file to import it\n",
                  "Skipped " + Path("Good/site\\xff") +
                      ": its name is not valid UTF-8; rename the folder to import it\n",
                  "Skipped " + Path("bad\\xff\\xfe") +
                      ": its name is not valid UTF-8; rename the folder to import it\n"}));
    EXPECT_EQ(std::count(frontend_.reports.begin(), frontend_.reports.end(),
                         "Note on " + Path("Good/site1/g00001.asd") +
                             ": its comment \"caf\\xe9 \\xff ok\" is not valid UTF-8; each "
                             "invalid byte is kept as U+FFFD\n"),
              1);
    std::string stored;
    session_.Db().QueryText("select concat(sp.folder_name, '|', s.asd_comment) from spectrum s "
                            "join species sp on sp.species_id = s.species_id",
                            stored);
    EXPECT_EQ(stored, "Good|caf\xEF\xBF\xBD \xEF\xBF\xBD ok");
}

// Links are not followed (a linked folder would be imported twice, a loop never ends), and
// what is neither a species nor a site folder is reported where it lies.
TEST_F(Import, LinksAndLooseFilesAreReportedAsSkipped) {
    File("Kauri/site1/k.001", {1});
    File("Kauri/site2/k.002", {2});
    File("Kauri/loose.001", {3});
    File("stray.asd", {4});
    namespace fs = std::filesystem;
    fs::create_directory_symlink(Path("Kauri"), Path("Linked"));
    fs::create_symlink("loop", Path("loop"));
    fs::create_directory_symlink("site1", Path("Kauri/site9"));
    fs::create_symlink("cycle", Path("Kauri/cycle"));

    const ImportCounts added = Run();
    EXPECT_EQ(std::make_tuple(added.species, added.sites, added.spectra, added.skipped),
              std::make_tuple(1, 2, 2, 6));
    const std::string not_followed = ", and links are not followed: a ";
    EXPECT_EQ(SkipLines(frontend_),
              (std::vector<std::string>{
                  "Skipped " + Path("Kauri/cycle") + ": it is a symbolic link loop" +
                      not_followed + "site folder must be a real folder\n",
                  "Skipped " + Path("Kauri/loose.001") +
                      ": it is a file where only site folders belong; instrument files go "
                      "inside a site folder\n",
                  "Skipped " + Path("Kauri/site9") + ": it is a symbolic link to a folder" +
                      not_followed + "site folder must be a real folder\n",
                  "Skipped " + Path("Linked") + ": it is a symbolic link to a folder" +
                      not_followed + "species folder must be a real folder\n",
                  "Skipped " + Path("loop") + ": it is a symbolic link loop" + not_followed +
                      "species folder must be a real folder\n",
                  "Skipped " + Path("stray.asd") +
                      ": it is a file where only species folders belong\n"}));
    EXPECT_EQ(Sites("Kauri"), (std::map<int, int>{{1, 1}, {2, 1}}));
}

TEST_F(Import, FolderNamesAreStoredAsTheyAre) {
    const std::vector<std::string> names = {"O'Brien's weed", "Grass",        "grass",
                                            "back\\slash",    "caf\xC3\xA9 ", "quote\"d"};
    for (const std::string& name : names) File(name + "/site1/a.001");
    // Longer than its column: reported, and the others still go in.
    const std::string long_name(81, 'x');
    File(long_name + "/site1/a.001");
    ASSERT_EQ(Run().species, static_cast<int>(names.size()));
    EXPECT_EQ(SkipLines(frontend_),
              std::vector<std::string>{"Skipped " + Path(long_name) +
                                       ": a species folder name holds at most 80 characters\n"});
    EXPECT_EQ(Run().species, 0);
    EXPECT_EQ(Count("species"), static_cast<int>(names.size()));
    for (const std::string& name : names) {
        EXPECT_EQ(Count("species", "binary folder_name = '" + session_.Db().Escape(name) + "'"), 1)
            << name;
        EXPECT_EQ(Sites(name), (std::map<int, int>{{1, 1}})) << name;
    }
}

// A header with no possible position or time, and a named pipe among the files, are reported
// for that file; the import stores what it can and goes on to the last species.
TEST_F(Import, ImpossibleHeadersAndPipesDoNotStopTheImport) {
    InstrumentFile impossible;
    impossible.longitude = std::numeric_limits<double>::infinity();
    impossible.latitude = 9999.0;  // 100.65 degrees
    impossible.altitude = std::nan("");
    impossible.time.month = 13;
    File("Akeake/site1/a.001", impossible);
    File("Akeake/site1/a.002");
    ASSERT_EQ(::mkfifo(Path("Akeake/site1/a.003").c_str(), 0600), 0);
    File("Beech/site1/b.001");

    const ImportCounts added = Run();
    EXPECT_EQ(std::make_tuple(added.species, added.spectra, added.skipped),
              std::make_tuple(2, 3, 1));
    EXPECT_EQ(Count("spectrum", "latitude is null and longitude is null and altitude is null"), 1);
    EXPECT_EQ(Count("spectrum", "pathname like '%a.001' and latitude is null"), 1);
    EXPECT_EQ(Count("site", "capture_date is null"), 1);
    std::string reports;
    for (const std::string& r : frontend_.reports) reports += r;
    for (const char* part : {"a.001: its longitude inf is not a position",
                             "its latitude 9999 is not a position", "capture time 2019-13-4",
                             "a.003: it is a named pipe, not a regular file"})
        EXPECT_TRUE(Contains(reports, part)) << part << "\n" << reports;
    EXPECT_EQ(Run().spectra, 0) << "a second import adds nothing and still finishes";
}

// Stops the server when the first clashing number of the species is reported: by then that
// species' site and first spectra have been written inside its transaction.
class StopServerOnClash : public test::RecordingFrontend {
  public:
    explicit StopServerOnClash(test::PrivateServer& server) : server_(server) {}
    void Report(const std::string& text) override {
        RecordingFrontend::Report(text);
        if (Contains(text, "already taken") && server_.Running()) stopped = server_.Stop();
    }
    bool stopped = false;

  private:
    test::PrivateServer& server_;
};

TEST(ImportServerGone, TheSpeciesBeingWrittenIsAbsentAfterwards) {
    test::PrivateServer server;
    ASSERT_TRUE(server.Running()) << server.Log();
    test::TempDir root;
    for (int i = 1; i <= 3; ++i)
        WriteInstrumentFile(root.File("Akeake/site1/a.00" + std::to_string(i)), {i});
    for (int i = 1; i <= 5; ++i)
        WriteInstrumentFile(root.File("Beech/alpha/b.00" + std::to_string(i)), {i});
    WriteInstrumentFile(root.File("Beech/site1/b.003"));  // clashes: the server goes here
    WriteInstrumentFile(root.File("Beech/site1/b.006"), {6});
    WriteInstrumentFile(root.File("Coprosma/site1/c.001"));

    ConfigFile config(server.Config());
    config.Open();
    int study = 0;
    {
        ProcessingSession session(config);
        study = test::InsertStudy(session.Db(), "lost", root.Path());
        StopServerOnClash frontend(server);
        try {
            SpectraImport(session, frontend).ImportStudySpectra(study, root.Path());
            ADD_FAILURE() << "the import went on without its server";
        } catch (const DbError& e) {
            EXPECT_TRUE(Contains(e.what(), "species folder 'Beech'")) << e.what();
            // "Server has gone away" or "Lost connection to server", by when it went.
            EXPECT_TRUE(Contains(e.what(), "erver")) << e.what();
        }
        ASSERT_TRUE(frontend.stopped) << server.Log();
    }
    ASSERT_TRUE(server.Start()) << server.Log();
    Database db(config.Connection());
    std::string stored;  // species folders, sites, spectra
    db.QueryText("select concat_ws(' ', (select group_concat(folder_name) from species), "
                 "(select count(*) from site), (select count(*) from spectrum))",
                 stored);
    EXPECT_EQ(stored, "Akeake 1 3");
}

}  // namespace
}  // namespace orvane
