// SPDX-License-Identifier: GPL-3.0-or-later
#include "store/database.h"

#include <gtest/gtest.h>

#include <cmath>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <functional>
#include <limits>
#include <string>
#include <tuple>
#include <utility>
#include <vector>

#include "base/orvane_error.h"
#include "chain/processing_chain.h"
#include "chain/processing_session.h"
#include "store/array_codec.h"
#include "store/name_lookup.h"
#include "study/study_loader.h"
#include "support/refusal.h"
#include "support/scratch_database.h"
#include "support/study_rows.h"

namespace orvane {
namespace {

using test::Contains;

int CountRows(Database& db, const std::string& table) {
    return test::Count(db, "select count(*) from " + table);
}

TEST(Database, SingleValueVariants) {
    test::ScratchDatabase scratch("dbsingle");
    auto db = scratch.Connect();
    db->Execute(
        "insert into study (name, description, min_no_of_spec_per_endmember) values "
        "('a', 'x', 5), ('b', NULL, 9), ('c', 'z', -3)");
    const struct {
        const char* sql;
        bool found;
        int64_t value;
    } cases[] = {
        // The last row read is the one given.
        {"select min_no_of_spec_per_endmember from study order by study_id", true, -3},
        {"select count(*) from study where name = 'none'", true, 0},
        {"select study_id from study where name = 'none'", false, 1234},
        {"select 4294967296 + 5", true, 4294967301LL}};
    for (const auto& c : cases) {
        int64_t value = 1234;
        EXPECT_EQ(db->QueryInt64(c.sql, value), c.found) << c.sql;
        EXPECT_EQ(value, c.value) << c.sql;
        if (c.value == static_cast<int>(c.value)) {
            int small = 1234;
            EXPECT_EQ(db->QueryInt(c.sql, small), c.found) << c.sql;
            EXPECT_EQ(small, static_cast<int>(c.value)) << c.sql;
        }
    }
    // A NULL in the last row does not wipe the value of the row before it.
    std::string description = "unchanged";
    EXPECT_TRUE(
        db->QueryText("select description from study order by study_id limit 2", description));
    EXPECT_EQ(description, "x");
}

TEST(Database, TextsAreStoredVerbatim) {
    test::ScratchDatabase scratch("dbescape");
    auto db = scratch.Connect();
    const std::vector<std::string> texts = {
        "O'Neill's \"best\" site",
        "x'); DROP TABLE study; --",
        "C:\\data\\O'Brien\\site 1\\leaf.001",
        "ends with a backslash\\",
        "\\'",
        "K\xC5\x8Dwhai \xE2\x80\x94 M\xC4\x81nuka",  // UTF-8 with macrons and a dash
        "tab\tand\nline",
    };
    for (const std::string& text : texts) {
        db->Execute(Sql("insert into study (name, datapath) values ('%s', '%s')",
                        db->Escape(text).c_str(), db->Escape(text).c_str()));
        ResultSet rows = db->Query(Sql("select name, datapath from study where study_id = %i",
                                       static_cast<int>(db->InsertId())));
        ASSERT_TRUE(rows.Next());
        EXPECT_EQ(std::make_pair(rows.String(0), rows.String(1)), std::make_pair(text, text));
    }
    EXPECT_EQ(CountRows(*db, "study"), static_cast<int>(texts.size()));
}

TEST(Database, FailingStatementThrowsTheServersText) {
    test::ScratchDatabase scratch("dbfail");
    auto db = scratch.Connect();
    db->Execute("insert into study (name) values ('kept')");
    int value = 42;
    const char blob[4] = {1, 2, 3, 4};
    const struct {
        const char* name;
        std::function<void()> run;
        const char* server_text;
    } cases[] = {
        {"execute, unknown table", [&] { db->Execute("delete from no_such_table"); },
         "no_such_table' doesn't exist"},
        {"query, unknown column", [&] { db->Query("select nothing from study"); },
         "Unknown column 'nothing'"},
        {"single int", [&] { db->QueryInt("select count(*) from nowhere", value); },
         "nowhere' doesn't exist"},
        {"blob write",
         [&] {
             db->WriteBlob("UPDATE nowhere SET reflectances = ? WHERE spectrum_id = 1", blob, 4);
         },
         "nowhere' doesn't exist"},
        {"prepared statement", [&] { Statement s(*db, "SELECT x FROM nowhere where id = ?"); },
         "nowhere' doesn't exist"},
        {"insert if missing",
         [&] {
             db->FindOrInsert("select study_id from study where name = 'new'",
                              "insert into study (nam) values ('new')");
         },
         "Unknown column 'nam'"}};
    for (const auto& c : cases) EXPECT_TRUE(test::Refuses(c.run, c.server_text)) << c.name;
    EXPECT_EQ(value, 42);
    // The connection is still usable and nothing half-done was stored.
    EXPECT_EQ(CountRows(*db, "study"), 1);
}

TEST(Database, ConnectFailureCarriesTheServersText) {
    test::ScratchDatabase scratch("dbconnect");
    ConnectionParams wrong_password = scratch.Params();
    wrong_password.password += "-wrong";
    ConnectionParams no_database = scratch.Params();
    no_database.database = "orvane_no_such_database";
    for (const auto& c : {std::make_pair(wrong_password, "Access denied"),
                          std::make_pair(no_database, "orvane_no_such_database")})
        EXPECT_TRUE(test::Refuses([&] { Database db(c.first); }, c.second));
}

// The configured port is used whatever the host is called: the client library would otherwise
// take "localhost" to mean the default socket and ignore the port.
TEST(Database, LocalhostConnectsOnTheConfiguredPort) {
    test::ScratchDatabase scratch("dblocalhost");
    ConnectionParams params = scratch.Params();
    params.host = "localhost";
    std::unique_ptr<Database> db;
    ASSERT_NO_THROW(db = std::make_unique<Database>(params));
    int port = 0;
    db->QueryInt("select @@port", port);
    EXPECT_EQ(port, static_cast<int>(params.port));
}

TEST(Database, TransactionRollbackLeavesNothing) {
    test::ScratchDatabase scratch("dbtx");
    auto db = scratch.Connect();
    auto observer = scratch.Connect();
    {
        Transaction tx(*db);
        db->Execute("insert into study (name) values ('a')");
        db->Execute("insert into species (study_id, folder_name) values (1, 'f')");
        EXPECT_EQ(CountRows(*observer, "study"), 0);  // not visible before commit
    }
    EXPECT_EQ(CountRows(*db, "study"), 0);
    EXPECT_EQ(CountRows(*db, "species"), 0);

    // A unit interrupted by a failing statement is undone whole.
    try {
        Transaction tx(*db);
        db->Execute("insert into study (name) values ('b')");
        db->Execute("insert into no_such_table values (1)");
        tx.Commit();
        ADD_FAILURE() << "the bad statement ran";
    } catch (const DbError&) {
    }
    EXPECT_EQ(CountRows(*db, "study"), 0);

    {
        Transaction tx(*db);
        db->Execute("insert into study (name) values ('c')");
        tx.Commit();
    }
    EXPECT_EQ(CountRows(*observer, "study"), 1);

    // After a unit, statements commit on their own again.
    db->Execute("insert into study (name) values ('d')");
    EXPECT_EQ(CountRows(*observer, "study"), 2);
}

// Run directly without the throwaway server, the test binary skips the tests that need it,
// whether their database is made in a fixture's constructor or in the test body, says once how
// to run them, and ends as a success. (The tests that need no server are in the pure binary.)
TEST(TestBinary, WithoutTheServerSkipsDatabaseTestsAndSaysHow) {
    test::TempDir dir;
    const std::string log = dir.File("log");
    const std::string command =
        "ORVANE_TEST_POINTER='" + dir.File("missing") + "' '" +
        std::filesystem::read_symlink("/proc/self/exe").string() +
        "' --gtest_filter='Database.SingleValueVariants:NameLookup."
        "ExactNamesIdsAndRefusals' >'" +
        log + "' 2>&1";
    const int status = std::system(command.c_str());
    const std::string text = test::FileText(log);
    // The child's log as a failure shows it, without the skip marker ctest would take as ours.
    std::string shown = text;
    for (size_t at = shown.find("SKIPPED ]"); at != std::string::npos; at = shown.find("SKIPPED ]"))
        shown.replace(at, 9, "skipped:");
    ASSERT_TRUE(WIFEXITED(status)) << shown;
    EXPECT_EQ(WEXITSTATUS(status), 0) << shown;
    EXPECT_TRUE(test::Contains(text, "ctest --preset release")) << shown;
    // gtest's summary lines, built so that a failure message here never reads as one to ctest.
    const std::string skipped_two = std::string("[  SKIPPED") + " ] 2 tests";
    EXPECT_TRUE(test::Contains(text, skipped_two)) << shown;
    EXPECT_FALSE(test::Contains(text, "FAILED")) << shown;
}

// Names that the server's own comparison takes for one: case and trailing blanks apart, and
// one name held twice; and names made of digits, stored before such names were refused: "3"
// (id 6) is also another row's id, "9" (id 7) is nobody's.
class NameLookup : public ::testing::Test {
  protected:
    NameLookup() : scratch_("names") {
        for (const char* name :
             {"Field 2024", "field 2024 ", "Twice", "Twice", "caf\xC3\xA9", "3", "9"}) {
            for (const NamedTable* t : {&kStudyNames, &kSensorNames, &kFeatureSpaceNames}) {
                const std::string extra = t == &kSensorNames         ? ", sensor_response_type_id"
                                          : t == &kFeatureSpaceNames ? ", fs_type_id"
                                                                     : "";
                Db().Execute(Sql("insert into %s (name%s) values ('%s'%s)", t->table, extra.c_str(),
                                 name, extra.empty() ? "" : ", 1"));
            }
        }
    }
    Database& Db() { return scratch_.Admin(); }

    test::ScratchDatabase scratch_;
};

TEST_F(NameLookup, ExactNamesIdsAndRefusals) {
    const struct {
        std::string value;
        int id;  // 0: refused
        const char* says;
    } cases[] = {
        {"Field 2024", 1, ""},
        {"field 2024 ", 2, ""},
        {"5", 5, ""},
        {"005", 5, ""},
        {"6", 6, ""},  // id 6 is named "3", which no one else is called
        {"caf\xC3\xA9", 5, ""},
        {"id:5", 5, ""},
        {"name:Field 2024", 1, ""},
        {"name:3", 6, ""},
        {"name:9", 7, ""},
        {"field 2024", 0, "no %s \"field 2024\"; did you mean \"Field 2024\" (id 1)?"},
        {"Twice", 0,
         "The %s name \"Twice\" is ambiguous: %s 3 and 4 have it; give the id of the one you "
         "mean, as in id:3."},
        {"Absent", 0, "There is no %s \"Absent\"."},
        {"name:5", 0, "There is no %s \"5\"."},
        {"bad\xFF", 0, "There is no %s \"bad\\xff\"."},
        {"8", 0, "There is no %s with id 8."},
        {"id:9", 0, "There is no %s with id 9."},
        {"id:x", 0, "\"id:x\" is no %s id"},
        {"id: 5", 0, "\"id: 5\" is no %s id"},
        {"99999999999999999999", 0, "There is no %s with id 99999999999999999999."},
        // A digit name stored earlier never lets bare digits pick a row by a guess.
        {"3", 0, "\"3\" is ambiguous: it is the id of a %s, and "},
        {"3", 0, " 6 is named \"3\"; give id:3 for the id or name:3 for the name."},
        {"9", 0, "There is no %s with id 9, but "},
        {"9", 0, " 7 is named \"9\"; give name:9 to choose it by its name."}};
    for (const NamedTable* t : {&kStudyNames, &kSensorNames, &kFeatureSpaceNames}) {
        for (const auto& c : cases) {
            try {
                const int id = ResolveByNameOrId(Db(), *t, c.value);
                EXPECT_EQ(id, c.id) << t->table << " " << c.value;
            } catch (const OrvaneError& e) {
                EXPECT_EQ(c.id, 0) << t->table << " " << c.value << ": " << e.what();
                EXPECT_TRUE(Contains(e.what(), Sql(c.says, t->what, t->whats))) << e.what();
            }
        }
    }
}

TEST_F(NameLookup, SimilarNamesIgnoreCaseAndTrailingBlanksOnly) {
    const struct {
        const char* name;
        size_t found;
    } cases[] = {
        {"FIELD 2024", 2}, {"CAF\xC3\x89", 1}, {"cafe", 0}, {" Field 2024", 0}};
    for (const auto& c : cases)
        EXPECT_EQ(SimilarNames(Db(), kStudyNames, c.name).size(), c.found) << c.name;
    EXPECT_EQ(SimilarNames(Db(), kStudyNames, "twice", "study_id > 3").size(), 1u);
}

double DoubleAt(const std::string& block, size_t offset) {
    double v;
    std::memcpy(&v, block.data() + offset, sizeof v);
    return v;
}

std::string ReadColumn(Database& db, const std::string& sql) {
    ResultSet rows = db.Query(sql);
    std::string block;
    while (rows.Next()) block = rows.String(0);
    return block;
}

// The BLOB as the prepared-statement path reads it into the matrix's own storage.
void ReadInto(Database& db, const std::string& sql, NEWMAT::GeneralMatrix& m) {
    Statement stmt(db, sql);
    const unsigned long capacity = static_cast<unsigned long>(m.Storage()) * sizeof(double);
    stmt.BindResultBlob(0, m.Store(), capacity);
    stmt.Execute();
    ASSERT_TRUE(stmt.Fetch());
    EXPECT_EQ(stmt.Length(0), capacity);
}

class ArrayCodec : public ::testing::Test {
  protected:
    ArrayCodec() : scratch_("codec"), session_(scratch_.Connect(), nullptr) {}
    Database& Db() { return session_.Db(); }

    test::ScratchDatabase scratch_;
    ProcessingSession session_;
};

TEST_F(ArrayCodec, SpectrumRoundTripIsBitExact) {
    std::vector<float> values = test::DistinctReflectances(5);
    // Values whose bits a conversion through text or double arithmetic would change.
    values[0] = -0.0f;
    values[1] = std::numeric_limits<float>::denorm_min();
    values[2] = std::numeric_limits<float>::max();
    values[3] = -1.0f;
    values[4] = std::nextafter(0.1f, 1.0f);
    values[2149] = std::numeric_limits<float>::quiet_NaN();
    const int study = test::InsertStudy(Db(), "s");
    const int species = test::InsertSpecies(Db(), study, "sp");
    const int site = test::InsertSite(Db(), study, species, 1);
    const int id = test::InsertSpectrum(Db(), study, species, site, {}, test::Blob(values));

    const std::string stored =
        ReadColumn(Db(), Sql("select reflectances from spectrum where spectrum_id = %i", id));
    ASSERT_EQ(stored.size(), 8600u);
    EXPECT_EQ(std::memcmp(stored.data(), values.data(), 8600), 0);

    StudyLoader loader(session_);
    auto spectrum = loader.LoadSpectrum(id);
    EXPECT_EQ(std::memcmp(spectrum->reflectances_.data(), values.data(), 8600), 0);
    Chain chain{CompiledChain::Compile(ChainSpec{})};
    const BandVector& raw = chain.Run(*spectrum, Stage::kRaw);
    ASSERT_EQ(std::make_pair(raw.First(), raw.Last()), std::make_pair(350, 2499));
    for (int i = 0; i < 2149; ++i) {
        const int w = 350 + i;
        // The stored encoding of a band without value is read as no value.
        if (i == 3) {
            ASSERT_FALSE(HasValue(raw.Value(w)));
            continue;
        }
        const double expected = static_cast<double>(values[static_cast<size_t>(i)]);
        ASSERT_EQ(std::memcmp(&raw.Values()[w - raw.First()], &expected, sizeof expected), 0) << w;
        ASSERT_EQ(raw.X(w), static_cast<double>(w));
    }
    EXPECT_TRUE(std::isnan(raw.Value(2499)));
    EXPECT_TRUE(std::signbit(raw.Value(350)));
}

// Matrices are stored row by row (so the eigenvector columns come interleaved), a diagonal
// matrix as its diagonal only; both read back through either reader.
TEST_F(ArrayCodec, MatricesAreStoredRowByRow) {
    Matrix cov(3, 3);
    cov << 1.0 << 0.12 << 0.13   // row 1
        << 0.21 << 2.0 << 0.23   // row 2
        << 0.31 << 0.32 << 3.0;  // row 3
    const std::string block = EncodeMatrix(cov);
    ASSERT_EQ(block.size(), 72u);
    EXPECT_EQ(DoubleAt(block, 16), 0.13);  // element (0, 2)
    EXPECT_EQ(DoubleAt(block, 48), 0.31);  // element (2, 0)
    DiagonalMatrix values(2);
    values << 0.25 << 4.5;
    const std::string values_block = EncodeMatrix(values);
    ASSERT_EQ(values_block.size(), 16u);
    EXPECT_EQ(DoubleAt(values_block, 8), 4.5);

    Db().Execute("insert into statistic (library_id, species_id, no_of_samples) values (1, 1, 4)");
    const int id = static_cast<int>(Db().InsertId());
    Db().WriteBlob(Sql("UPDATE statistic SET cov = ? WHERE statistic_id = %i", id), block.data(),
                   block.size());
    const std::string stored =
        ReadColumn(Db(), Sql("select cov from statistic where statistic_id = %i", id));
    EXPECT_EQ(stored, block);
    Matrix back(3, 3);
    back = 0.0;
    ReadInto(Db(), Sql("SELECT cov FROM statistic where statistic_id = %i", id), back);
    Matrix decoded(3, 3);
    DecodeMatrix(stored, decoded, "covariance");
    for (int r = 1; r <= 3; ++r)
        for (int c = 1; c <= 3; ++c) {
            EXPECT_EQ(back(r, c), cov(r, c)) << r << "," << c;
            EXPECT_EQ(decoded(r, c), cov(r, c)) << r << "," << c;
        }
    DiagonalMatrix values_back(2);
    DecodeMatrix(values_block, values_back, "eigenvalues");
    EXPECT_EQ(values_back(2, 2), 4.5);
}

// A stored reflectance block of any length but 8600 bytes is refused by every reader.
TEST_F(ArrayCodec, SpectrumBlobOfTheWrongLengthIsRejected) {
    const int study = test::InsertStudy(Db(), "s");
    const int species = test::InsertSpecies(Db(), study, "sp");
    const std::vector<float> good = test::DistinctReflectances(1);
    // An empty block leaves the column NULL.
    const std::tuple<const char*, std::string, const char*> cases[] = {
        {"one float short", test::Blob(good).substr(0, 8596), "8596 bytes"},
        {"one float long", test::Blob(good) + std::string(4, '\x01'), "8604 bytes"},
        {"doubles instead of floats", std::string(17200, '\0'), "17200 bytes"},
        {"NULL", "", "0 bytes"}};
    StudyLoader loader(session_);
    int site_no = 0;
    for (const auto& [name, block, bytes_in_message] : cases) {
        const int site = test::InsertSite(Db(), study, species, ++site_no);
        test::InsertSpectrum(Db(), study, species, site, {1}, test::Blob(good));
        const int bad = test::InsertSpectrum(Db(), study, species, site, {2}, block);
        for (int reader = 0; reader < 2; ++reader) {
            const auto load = [&] {
                if (reader == 0)
                    loader.LoadSpectrum(bad);
                else
                    loader.LoadSite(site);
            };
            for (const std::string& part : {"Spectrum " + std::to_string(bad),
                                            std::string(bytes_in_message), std::string("8600")})
                EXPECT_TRUE(test::Refuses(load, part)) << name << ", reader " << reader;
        }
    }
    // A rejected row does not disturb the next load.
    const int site = test::InsertSite(Db(), study, species, 99);
    const int ok = test::InsertSpectrum(Db(), study, species, site, {7}, test::Blob(good));
    EXPECT_EQ(loader.LoadSpectrum(ok)->number_, 7);
    EXPECT_EQ(loader.LoadSite(site)->MemberCount(), 1);
}

}  // namespace
}  // namespace orvane
