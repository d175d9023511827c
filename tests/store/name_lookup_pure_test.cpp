// SPDX-License-Identifier: GPL-3.0-or-later
// The check every new name passes, without a database.
#include "store/name_lookup.h"

#include <gtest/gtest.h>

#include <string>

#include "base/orvane_error.h"
#include "store/database.h"
#include "support/scratch_database.h"

namespace orvane {
namespace {

using test::Contains;

// Every new name and rename passes this check, so none can later be read as an id or fail in
// the server with an error about a column.
TEST(NewNames, ThoseThatReadAsIdsOrAreNotUtf8AreRefused) {
    const struct {
        std::string name;
        const char* says;  // nullptr: accepted
    } cases[] = {
        {"Field 2024", nullptr},
        {"5a", nullptr},
        {"A 5", nullptr},
        {"1e3", nullptr},
        {"-5", nullptr},
        {"ID:5", nullptr},
        {"caf\xC3\xA9 \xE2\x82\xAC \xF0\x9F\x98\x80", nullptr},
        {"5", "The %s name \"5\" is made of digits only"},
        {"0042", "made of digits only"},
        {" 12\t", "made of digits only"},
        {"12345678901234567890", "made of digits only"},
        {"id:5", "begins with \"id:\""},
        {"name:x", "begins with \"name:\""},
        {"bad\xFF\xFE", "The %s name \"bad\\xff\\xfe\" is not valid UTF-8"},
        {"\xC3", "\"\\xc3\" is not valid UTF-8"},                      // cut short
        {"a\xC3\x28", "not valid UTF-8"},                              // bad continuation
        {"\xC0\xAF", "\"\\xc0\\xaf\" is not valid UTF-8"},             // overlong "/"
        {"\xE0\x80\xAF", "not valid UTF-8"},                           // overlong, 3 bytes
        {"\xED\xA0\x80", "\"\\xed\\xa0\\x80\" is not valid UTF-8"},   // a surrogate
        {"\xF4\x90\x80\x80", "not valid UTF-8"},                       // beyond U+10FFFF
        {"\xF8\x88\x80\x80\x80", "not valid UTF-8"},                   // five bytes
        {"\x80", "not valid UTF-8"},                                   // stray continuation
    };
    for (const NamedTable* t : {&kStudyNames, &kSensorNames, &kFeatureSpaceNames}) {
        for (const auto& c : cases) {
            try {
                CheckNewName(*t, c.name);
                EXPECT_EQ(c.says, nullptr) << t->table << " " << c.name << ": not refused";
            } catch (const OrvaneError& e) {
                ASSERT_NE(c.says, nullptr) << t->table << " " << c.name << ": " << e.what();
                EXPECT_TRUE(Contains(e.what(), Sql(c.says, t->what))) << e.what();
            }
        }
    }
}

}  // namespace
}  // namespace orvane
