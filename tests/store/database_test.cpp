#include <gtest/gtest.h>

#include "support/scratch_database.h"

namespace orvane {
namespace {

TEST(Database, SingleValueQueryKeepsTheLastRow) {
    test::ScratchDatabase scratch("db");
    auto db = scratch.Connect();
    db->Execute("insert into study (name) values ('first'), ('second')");
    std::string name = "unchanged";
    EXPECT_TRUE(db->QueryText("select name from study order by study_id", name));
    EXPECT_EQ(name, "second");
    int id = 77;
    EXPECT_FALSE(db->QueryInt("select study_id from study where name = 'none'", id));
    EXPECT_EQ(id, 77);
}

}  // namespace
}  // namespace orvane
