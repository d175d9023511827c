// SPDX-License-Identifier: GPL-3.0-or-later
#include "store/name_lookup.h"

#include <gtest/gtest.h>

#include <string>

#include "base/orvane_error.h"
#include "support/scratch_database.h"

namespace orvane {
namespace {

using test::Contains;

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

}  // namespace
}  // namespace orvane
