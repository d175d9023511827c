// SPDX-License-Identifier: GPL-3.0-or-later
#include "store/schema_version.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>
#include <regex>
#include <string>
#include <tuple>

#include "support/refusal.h"
#include "support/scratch_database.h"

namespace orvane {
namespace {

using test::Contains;

class SchemaVersion : public ::testing::Test {
  protected:
    SchemaVersion() : scratch_("schema") {}
    Database& Db() { return scratch_.Admin(); }
    int Count(const std::string& sql) { return test::Count(Db(), sql); }

    // The database before study locks were rows.
    void MakeVersion5() {
        for (const char* sql :
             {"drop table study_lock", "delete from schema_version where version > 5",
              "insert ignore into schema_version (version) values (5)"})
            Db().Execute(sql);
    }
    // The database before a lab's accounts, records' histories and versions were stored.
    void MakeVersion4() {
        MakeVersion5();
        std::vector<std::string> triggers;
        {
            ResultSet rows = Db().Query(
                "select trigger_name from information_schema.triggers where trigger_schema = "
                "database()");
            while (rows.Next()) triggers.push_back(rows.String(0));
        }
        for (const std::string& trigger : triggers) Db().Execute("drop trigger " + trigger);
        Db().Execute("drop function orvane_may_change");
        for (const char* table : {"study", "species", "feature_space", "library", "mixture"})
            Db().Execute(std::string("alter table ") + table +
                         " drop column created_by, drop column created_at, drop column "
                         "changed_by, drop column changed_at, drop column row_version");
        for (const char* sql : {"drop table lab_account", "drop table study_member",
                                "delete from schema_version where version > 4",
                                "insert ignore into schema_version (version) values (4)"})
            Db().Execute(sql);
    }
    // The database before the optional stages' settings were stored.
    void MakeVersion3() {
        MakeVersion4();
        for (const char* sql : {"drop table stage_option", "drop table stage_pair",
                                "alter table library drop column stage_options",
                                "alter table pca_data drop column stage_options",
                                "delete from schema_version where version > 3",
                                "insert ignore into schema_version (version) values (3)"})
            Db().Execute(sql);
    }
    // The database before shrinkage intensities were stored.
    void MakeVersion2() {
        MakeVersion3();
        Db().Execute("alter table statistic drop column shrinkage");
        Db().Execute("delete from schema_version where version > 2");
        Db().Execute("insert ignore into schema_version (version) values (2)");
    }
    // The database as the program left it before versions were recorded.
    void MakeVersion1() {
        MakeVersion2();
        for (const char* sql : {
                 "drop table schema_version",
                 "alter table study drop column spectra_changed_at",
                 "alter table species drop index species_study_folder, modify folder_name "
                 "varchar(80) not null, add key species_study_folder (study_id, folder_name)",
                 "alter table site drop index site_species_no, add key site_species_no "
                 "(species_id, site_no, study_id)",
                 "alter table spectrum drop index spectrum_site_no",
             })
            Db().Execute(sql);
    }
    void Migrate() {
        test::RunSqlScript(Db(), test::SourcePath("db/migrations/002-natural-keys.sql"));
        test::RunSqlScript(Db(), test::SourcePath("db/migrations/003-shrinkage.sql"));
        test::RunSqlScript(Db(), test::SourcePath("db/migrations/004-stage-options.sql"));
        test::RunSqlScript(Db(), test::SourcePath("db/migrations/005-lab.sql"));
        test::RunSqlScript(Db(), test::SourcePath("db/migrations/006-study-locks.sql"));
    }
    // The tables a Galera cluster cannot replicate safely: every table must be InnoDB (the one
    // engine it replicates) and have a primary key (without one, a row changed on one node
    // is found on the others by a scan, or not found the same). One line each; "" when none.
    std::string TablesUnfitForACluster() {
        std::string unfit;
        ResultSet rows = Db().Query(
            "select t.table_name, coalesce(t.engine, ''), (select count(*) from "
            "information_schema.table_constraints c where c.table_schema = t.table_schema and "
            "c.table_name = t.table_name and c.constraint_type = 'PRIMARY KEY') from "
            "information_schema.tables t where t.table_schema = database() and t.table_type "
            "<> 'VIEW' order by t.table_name");
        while (rows.Next()) {
            if (rows.String(1) != "InnoDB")
                unfit += rows.String(0) + ": engine " + rows.String(1) + "\n";
            if (rows.Int(2) != 1) unfit += rows.String(0) + ": no primary key\n";
        }
        return unfit;
    }
    // Every table's definition, without the counters that rows move on.
    std::string Definitions() {
        std::vector<std::string> tables;
        {
            ResultSet rows = Db().Query(
                "select table_name from information_schema.tables where table_schema = "
                "database() order by table_name");
            while (rows.Next()) tables.push_back(rows.String(0));
        }
        std::string all;
        for (const std::string& table : tables) {
            ResultSet rows = Db().Query("show create table `" + table + "`");
            while (rows.Next()) all += rows.String(1) + "\n";
        }
        // The triggers that hold accounts to their rights and record who changed what.
        ResultSet rows = Db().Query(
            "select trigger_name, action_timing, event_manipulation, event_object_table, "
            "action_statement from information_schema.triggers where trigger_schema = "
            "database() order by trigger_name");
        while (rows.Next())
            for (int i = 0; i < 5; ++i) all += rows.String(i) + (i < 4 ? " " : "\n");
        return std::regex_replace(all, std::regex(" AUTO_INCREMENT=[0-9]+"), "");
    }
    void Spectrum(int id, int species, int site, int no, const char* path, const char* bytes,
                  int study = 1, double latitude = 0.0) {
        Db().Execute(
            Sql("insert into spectrum (spectrum_id, study_id, species_id, site_id, "
                "spectrum_no, pathname, reflectances, latitude) values (%i, %i, %i, %i, "
                "%i, '%s', '%s', %f)",
                id, study, species, site, no, path, bytes, latitude));
    }

    test::ScratchDatabase scratch_;
};

TEST_F(SchemaVersion, TheProgramRefusesADatabaseOfAnotherVersion) {
    EXPECT_EQ(StoredSchemaVersion(Db()), kSchemaVersion);
    EXPECT_NO_THROW(RequireSchemaVersion(Db()));
    const std::pair<const char*, const char*> cases[] = {
        {"update schema_version set version = 3",
         "has schema version 3, older than this program needs (6); bring it up to date with "
         "\"scripts/orvane-db migrate\" (private server) or by applying db/migrations/004-*.sql"},
        {"update schema_version set version = 2",
         "has schema version 2, older than this program needs (6); bring it up to date with "
         "\"scripts/orvane-db migrate\" (private server) or by applying db/migrations/003-*.sql"},
        {"insert into schema_version (version) values (7)",
         "has schema version 7, newer than this program knows (6)"},
        {"drop table schema_version",
         "has schema version 1, older than this program needs (6); bring it up to date with "
         "\"scripts/orvane-db migrate\" (private server) or by applying db/migrations/002-*.sql"}};
    for (const auto& [change, says] : cases) {
        Db().Execute(change);
        const auto require = [&] { RequireSchemaVersion(Db()); };
        EXPECT_TRUE(test::Refuses(require, says));
        EXPECT_TRUE(test::Refuses(require, "\"" + scratch_.Name() + "\""));
    }
}

TEST_F(SchemaVersion, NaturalKeysRefuseCopiesAndFolderNamesMatchExactly) {
    Db().Execute(
        "insert into species (species_id, study_id, folder_name) values (1, 1, 'Grass'), "
        "(2, 1, 'grass'), (3, 1, 'grass '), (4, 2, 'Grass')");
    Db().Execute(
        "insert into site (site_id, species_id, study_id, site_no) values (1, 1, 1, 1), "
        "(2, 2, 1, 1)");
    Spectrum(1, 1, 1, 1, "a", "x");
    Spectrum(2, 2, 2, 1, "a", "x");
    const char* copies[] = {
        "insert into species (study_id, folder_name) values (1, 'grass ')",
        "insert into site (species_id, study_id, site_no) values (1, 1, 1)",
        "insert into spectrum (study_id, species_id, site_id, spectrum_no) values (1, 1, 1, 1)",
    };
    for (const char* sql : copies) EXPECT_THROW(Db().Execute(sql), DbError) << sql;
    EXPECT_EQ(Count("select count(*) from species where folder_name = 'grass'"), 1);
}

TEST_F(SchemaVersion, MigrationMergesCopiesAndRecordsTheVersion) {
    MakeVersion1();
    EXPECT_EQ(StoredSchemaVersion(Db()), 1);
    Db().Execute("insert into study (study_id, name) values (1, 'A'), (2, 'B')");
    // Species 2 is a second copy of species 1 from imports that ran at once, with a spectrum
    // the first lacks; "kauri" and study 2's "Kauri" are species of their own.
    Db().Execute(
        "insert into species (species_id, study_id, folder_name, common_name) values "
        "(1, 1, 'Kauri', NULL), (2, 1, 'Kauri', 'Kauri tree'), (3, 1, 'kauri', NULL), "
        "(4, 2, 'Kauri', NULL)");
    Db().Execute(
        "insert into site (site_id, species_id, study_id, site_no) values (1, 1, 1, 1), "
        "(2, 2, 1, 1), (3, 3, 1, 1), (4, 4, 2, 1), (5, 1, 1, 1)");
    Spectrum(1, 1, 1, 1, "/d/Kauri/site1/k.001", "r1", 1, 10.0);
    Spectrum(2, 1, 1, 2, "/d/Kauri/site1/k.002", "r2", 1, 20.0);
    Spectrum(3, 2, 2, 1, "/d/Kauri/site1/k.001", "r1", 1, 10.0);
    Spectrum(4, 2, 2, 2, "/moved/Kauri/site1/k.002", "r2", 1, 20.0);  // same reflectances
    Spectrum(5, 2, 2, 3, "/d/Kauri/site1/k.003", "r3", 1, 60.0);
    Spectrum(6, 3, 3, 1, "/d/kauri/site1/k.001", "r1");
    Spectrum(7, 4, 4, 1, "/d/Kauri/site1/k.001", "r1", 2);
    Spectrum(8, 1, 5, 1, "/d/Kauri/site1/k.001", "r1", 1, 10.0);  // a third copy of site 1
    Db().Execute("insert into statistic (library_id, species_id) values (1, 1), (1, 2), (1, 3)");
    Db().Execute("insert into mixture (species_id, endmember_id) values (3, 2)");

    Migrate();
    EXPECT_EQ(StoredSchemaVersion(Db()), kSchemaVersion);
    EXPECT_NO_THROW(RequireSchemaVersion(Db()));
    const std::pair<const char*, int> checks[] = {
        {"select count(*) from species where species_id = 1 and common_name = 'Kauri tree'", 1},
        {"select count(*) from site", 3},
        {"select count(*) from spectrum where species_id = 1 and site_id = 1", 3},
        {"select count(*) from spectrum", 5},
        {"select count(*) from statistic where species_id = 2", 0},
        {"select count(*) from statistic", 2},
        {"select endmember_id from mixture", 1},
        {"select count(*) from site where site_id = 1 and latitude = 30", 1},
        {"select count(*) from study where spectra_changed_at is not null", 1},
        {"select count(*) from study where study_id = 1 and spectra_changed_at is not null", 1}};
    std::string ids;
    Db().QueryText("select group_concat(species_id order by species_id) from species", ids);
    EXPECT_EQ(ids, "1,3,4");
    for (const auto& [sql, expected] : checks) EXPECT_EQ(Count(sql), expected) << sql;
    EXPECT_THROW(Db().Execute("insert into species (study_id, folder_name) values (1, 'Kauri')"),
                 DbError);
}

// A migrated database must be the one a fresh install creates, or statements written for the
// fresh schema would meet another one; every step can run again.
TEST_F(SchemaVersion, MigratedDatabasesEqualAFreshOne) {
    const std::string fresh = Definitions();
    MakeVersion5();
    EXPECT_EQ(StoredSchemaVersion(Db()), 5);
    for (int run = 0; run < 2; ++run)
        test::RunSqlScript(Db(), test::SourcePath("db/migrations/006-study-locks.sql"));
    EXPECT_EQ(StoredSchemaVersion(Db()), kSchemaVersion);
    EXPECT_EQ(Definitions(), fresh);

    Db().Execute("insert into study (study_id, name) values (1, 'A')");
    MakeVersion4();
    EXPECT_EQ(StoredSchemaVersion(Db()), 4);
    for (int run = 0; run < 2; ++run) {
        test::RunSqlScript(Db(), test::SourcePath("db/migrations/005-lab.sql"));
        test::RunSqlScript(Db(), test::SourcePath("db/migrations/006-study-locks.sql"));
    }
    EXPECT_EQ(StoredSchemaVersion(Db()), kSchemaVersion);
    EXPECT_EQ(Definitions(), fresh);
    // A record from before has no known author and is at its first version.
    EXPECT_EQ(Count("select count(*) from study where created_by = '' and row_version = 1"), 1);

    Db().Execute("insert into library (study_id, feature_space_id, smoothing_filter_id, "
                 "derivative_id, sensor_id) values (1, 1, 1, 1, 1)");
    MakeVersion3();
    EXPECT_EQ(StoredSchemaVersion(Db()), 3);
    for (int run = 0; run < 2; ++run) {
        test::RunSqlScript(Db(), test::SourcePath("db/migrations/004-stage-options.sql"));
        test::RunSqlScript(Db(), test::SourcePath("db/migrations/005-lab.sql"));
        test::RunSqlScript(Db(), test::SourcePath("db/migrations/006-study-locks.sql"));
    }
    EXPECT_EQ(StoredSchemaVersion(Db()), kSchemaVersion);
    EXPECT_EQ(Definitions(), fresh);
    // A library from before was built with every optional stage off.
    EXPECT_EQ(Count("select count(*) from library where stage_options = ''"), 1);

    Db().Execute("insert into statistic (library_id, species_id) values (1, 1)");
    MakeVersion2();
    EXPECT_EQ(StoredSchemaVersion(Db()), 2);
    for (int run = 0; run < 2; ++run) {
        test::RunSqlScript(Db(), test::SourcePath("db/migrations/003-shrinkage.sql"));
        test::RunSqlScript(Db(), test::SourcePath("db/migrations/004-stage-options.sql"));
        test::RunSqlScript(Db(), test::SourcePath("db/migrations/005-lab.sql"));
        test::RunSqlScript(Db(), test::SourcePath("db/migrations/006-study-locks.sql"));
    }
    EXPECT_EQ(StoredSchemaVersion(Db()), kSchemaVersion);
    EXPECT_EQ(Definitions(), fresh);
    EXPECT_EQ(Count("select count(*) from statistic where shrinkage is null"), 1);

    MakeVersion1();
    Migrate();
    EXPECT_EQ(Definitions(), fresh);
}

// A Galera cluster replicates InnoDB tables alone, and a row change by its primary key: the
// fresh schema and the database after each migration in db/migrations, from the oldest,
// must have nothing else.
TEST_F(SchemaVersion, EveryTableIsInnoDbWithAPrimaryKeyAfterEachMigration) {
    EXPECT_EQ(TablesUnfitForACluster(), "") << "db/schema.sql";
    MakeVersion1();
    EXPECT_EQ(TablesUnfitForACluster(), "") << "version 1";
    std::vector<std::string> migrations;
    for (const auto& entry : std::filesystem::directory_iterator(test::SourcePath("db/migrations")))
        if (entry.path().extension() == ".sql") migrations.push_back(entry.path().string());
    std::sort(migrations.begin(), migrations.end());
    ASSERT_GE(migrations.size(), 5u);
    for (const std::string& migration : migrations) {
        test::RunSqlScript(Db(), migration);
        EXPECT_EQ(TablesUnfitForACluster(), "") << migration;
    }
    EXPECT_EQ(StoredSchemaVersion(Db()), kSchemaVersion);

    // The check itself sees both faults.
    Db().Execute("create table loose (a int) engine=MyISAM");
    EXPECT_EQ(TablesUnfitForACluster(), "loose: engine MyISAM\nloose: no primary key\n");
}

TEST_F(SchemaVersion, MigrationStopsOnTwoFilesWithOneNumberAndCanRunAgain) {
    MakeVersion1();
    Db().Execute("insert into study (study_id, name) values (1, 'A')");
    Db().Execute("insert into species (species_id, study_id, folder_name) values (1, 1, 'Rimu')");
    Db().Execute("insert into site (site_id, species_id, study_id, site_no) values (1, 1, 1, 1)");
    Spectrum(1, 1, 1, 7, "/d/Rimu/site1/r.007", "r1");
    Spectrum(2, 1, 1, 7, "/d/Rimu/site1/s.007", "r2");
    EXPECT_THROW(Migrate(), DbError);
    EXPECT_EQ(StoredSchemaVersion(Db()), 1);
    EXPECT_EQ(Count("select count(*) from spectrum"), 2);

    Db().Execute("update spectrum set spectrum_no = 8 where spectrum_id = 2");
    Migrate();
    EXPECT_EQ(StoredSchemaVersion(Db()), kSchemaVersion);
}

}  // namespace
}  // namespace orvane
