// SPDX-License-Identifier: GPL-3.0-or-later
#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <memory>
#include <string>
#include <thread>

#include "store/database.h"
#include "support/refusal.h"
#include "support/scratch_database.h"

namespace orvane {
namespace {

using test::Contains;

class TransactionRetry : public ::testing::Test {
  protected:
    TransactionRetry() : scratch_("retry") {
        Db().Execute("create table counter (id int primary key, v int not null) engine=InnoDB");
        Db().Execute(
            "insert into counter with recursive n(i) as (select 1 union all select i + 1 from "
            "n where i < 50) select i, 0 from n");
    }
    Database& Db() { return scratch_.Admin(); }
    int Value(int id) {
        return test::Count(Db(), "select v from counter where id = " + std::to_string(id));
    }

    test::ScratchDatabase scratch_;
};

// Two connections lock two rows in opposite order: the server gives up the lighter transaction
// (ours, one row against the other's 49), and the whole unit runs again once the other has
// committed, so both changes land once each.
TEST_F(TransactionRetry, ADeadlockVictimRunsItsWholeUnitAgain) {
    std::unique_ptr<Database> ours = scratch_.Connect();
    std::unique_ptr<Database> theirs = scratch_.Connect();
    int their_id = 0;
    theirs->QueryInt("select connection_id()", their_id);
    theirs->Release();
    std::atomic<int> stage{0};
    std::string their_error;
    std::thread other([&] {
        theirs->Adopt();
        try {
            Transaction transaction(*theirs);
            theirs->Execute("update counter set v = v + 1 where id >= 2");
            stage = 1;
            while (stage < 2) std::this_thread::sleep_for(std::chrono::milliseconds(5));
            theirs->Execute("update counter set v = v + 1 where id = 1");
            transaction.Commit();
        } catch (const std::exception& e) {
            their_error = e.what();
            stage = 2;
        }
    });
    while (stage < 1) std::this_thread::sleep_for(std::chrono::milliseconds(5));

    int runs = 0;
    RunInTransaction(*ours, [&] {
        ++runs;
        ours->Execute("update counter set v = v + 10 where id = 1");
        if (runs == 1) {
            stage = 2;
            // Their statement is running only while it waits for our row.
            for (int tries = 0; tries < 500; ++tries) {
                if (test::Count(Db(),
                                "select count(*) from information_schema.processlist "
                                "where info like 'update counter%' and id = " +
                                    std::to_string(their_id)) == 1)
                    break;
                std::this_thread::sleep_for(std::chrono::milliseconds(10));
            }
        }
        ours->Execute("update counter set v = v + 10 where id = 2");
    });
    other.join();
    EXPECT_EQ(their_error, "");
    EXPECT_EQ(runs, 2);
    EXPECT_EQ(Value(1), 11);
    EXPECT_EQ(Value(2), 11);
    EXPECT_EQ(Value(3), 1);
}

// A unit the server keeps giving up is tried a bounded number of times, with short pauses, and
// then fails saying so with nothing stored; a refusal that is no collision is not tried again.
TEST_F(TransactionRetry, AUnitThatKeepsCollidingGivesUpAfterTheBound) {
    const std::string collide =
        "begin not atomic signal sqlstate '40001' set mysql_errno = 1213, message_text = "
        "'Deadlock found when trying to get lock; try restarting transaction'; end";
    int runs = 0;
    const auto start = std::chrono::steady_clock::now();
    const std::string refusal = test::RefusalMessage([&] {
        RunInTransaction(Db(), [&] {
            ++runs;
            Db().Execute("update counter set v = v + 1 where id = 1");
            Db().Execute(collide);
        });
    });
    const double seconds =
        std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
    EXPECT_EQ(runs, kTransactionAttempts);
    EXPECT_EQ(refusal,
              "The database server gave the change up 5 times as it collided with other work "
              "at the same time (Deadlock found when trying to get lock; try restarting "
              "transaction); nothing of it was stored. Try again.");
    EXPECT_EQ(Value(1), 0);
    EXPECT_LT(seconds, 3.0);
    EXPECT_FALSE(Db().InTransaction());

    // Outside a transaction a statement is its own unit.
    EXPECT_TRUE(test::Refuses([&] { Db().Execute(collide); }, "gave the change up 5 times"));

    runs = 0;
    EXPECT_TRUE(test::Refuses(
        [&] {
            RunInTransaction(Db(), [&] {
                ++runs;
                Db().Execute("insert into counter (id, v) values (1, 0)");
            });
        },
        "Duplicate entry '1'"));
    EXPECT_EQ(runs, 1);
}

}  // namespace
}  // namespace orvane
