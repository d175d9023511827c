// SPDX-License-Identifier: GPL-3.0-or-later
#include "store/study_lock.h"

#include <gtest/gtest.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <memory>
#include <optional>
#include <string>
#include <thread>
#include <vector>

#include "base/frontend.h"
#include "store/database.h"
#include "support/recording_frontend.h"
#include "support/refusal.h"
#include "support/scratch_database.h"
#include "support/study_rows.h"

namespace orvane {
namespace {

using test::Contains;

class StudyLocks : public ::testing::Test {
  protected:
    StudyLocks() : scratch_("lock"), study_(test::InsertStudy(scratch_.Admin(), "Busy")) {}
    int Rows() { return test::Count(scratch_.Admin(), "select count(*) from study_lock"); }
    // Who this process is, as a waiter names the holder.
    std::string Me() {
        char host[256] = {};
        gethostname(host, sizeof host - 1);
        std::string account;
        scratch_.Admin().QueryText("select substring_index(user(), '@', 1)", account);
        return account + " on " + host + " (process " + std::to_string(getpid()) + ") since ";
    }
    double Seconds(std::chrono::steady_clock::time_point since) {
        return std::chrono::duration<double>(std::chrono::steady_clock::now() - since).count();
    }

    test::ScratchDatabase scratch_;
    int study_;
    test::RecordingFrontend frontend_;
};

TEST_F(StudyLocks, ASecondHolderWaitsThenGivesUpAndOtherStudiesAreFree) {
    const int other = test::InsertStudy(scratch_.Admin(), "Other");
    // Another database on the server with a study of the same id is another study.
    test::ScratchDatabase elsewhere("lock2");
    test::InsertStudy(elsewhere.Admin(), "Busy");
    std::unique_ptr<Database> first = scratch_.Connect();
    std::unique_ptr<Database> second = scratch_.Connect();
    std::unique_ptr<Database> third = elsewhere.Connect();

    std::optional<StudyLock> held(std::in_place, *first, frontend_, study_);
    EXPECT_TRUE(frontend_.reports.empty());
    EXPECT_EQ(Rows(), 1);
    const std::string refusal =
        test::RefusalMessage([&] { StudyLock waiting(*second, frontend_, study_, 1); });
    EXPECT_TRUE(Contains(refusal,
                         "Study 'Busy' is still busy after waiting 1 s for another import, "
                         "library build or deletion, by " +
                             Me()))
        << refusal;
    EXPECT_TRUE(Contains(refusal, "; nothing was changed. Try again when it has ended."))
        << refusal;
    ASSERT_EQ(frontend_.reports.size(), 1u);
    EXPECT_TRUE(Contains(frontend_.reports[0],
                         "Study 'Busy' is busy with another import, library build or deletion, "
                         "by " +
                             Me()))
        << frontend_.reports[0];
    { StudyLock free_study(*second, frontend_, other, 0); }
    { StudyLock same_id_elsewhere(*third, frontend_, study_, 0); }
    EXPECT_EQ(Rows(), 1);

    held.reset();
    EXPECT_EQ(Rows(), 0);
    frontend_.reports.clear();
    { StudyLock after(*second, frontend_, study_, 0); }
    EXPECT_TRUE(frontend_.reports.empty());
}

// A waiter gets the study as soon as the holder lets it go; a holder working longer than its
// lease keeps renewing it, so it is not taken from it; and the row goes on every way out.
TEST_F(StudyLocks, AWaiterGetsTheStudyOnReleaseAndALiveHolderKeepsIt) {
    std::unique_ptr<Database> first = scratch_.Connect();
    std::unique_ptr<Database> second = scratch_.Connect();
    const auto start = std::chrono::steady_clock::now();
    std::thread holder([&] {
        first->Adopt();
        test::RecordingFrontend quiet;
        StudyLock held(*first, quiet, study_, 0, 1);
        // Three leases of one second: only renewal keeps it.
        std::this_thread::sleep_for(std::chrono::milliseconds(3000));
    });
    while (Rows() == 0 && Seconds(start) < 10)
        std::this_thread::sleep_for(std::chrono::milliseconds(20));
    std::this_thread::sleep_for(std::chrono::milliseconds(1500));
    EXPECT_TRUE(
        test::Refuses([&] { StudyLock waiting(*second, frontend_, study_, 0); }, "is still busy"));
    { StudyLock after(*second, frontend_, study_, 30); }
    holder.join();
    first->Adopt();
    EXPECT_GE(Seconds(start), 3.0);
    EXPECT_LT(Seconds(start), 6.0);
    EXPECT_EQ(Rows(), 0);

    // An error, a cancelled wait: no row is left behind.
    EXPECT_THROW(
        {
            StudyLock held(*first, frontend_, study_, 0);
            throw OrvaneError("the work failed");
        },
        OrvaneError);
    EXPECT_EQ(Rows(), 0);
    {
        StudyLock held(*first, frontend_, study_, 0);
        frontend_.Progress().RequestCancel();
        EXPECT_TRUE(
            test::EndsCancelled([&] { StudyLock waiting(*second, frontend_, study_, 30); }));
    }
    EXPECT_EQ(Rows(), 0);
}

// A program that dies holding a study stops renewing its lease: the next one waits, naming it,
// until the lease runs out and then takes the study over; a row already lapsed is taken over
// at once.
TEST_F(StudyLocks, ALapsedLockOfADeadHolderIsTakenOver) {
    const ConnectionParams params = scratch_.Params();
    const int study = study_;
    const pid_t child = fork();
    ASSERT_GE(child, 0);
    if (child == 0) {
        // The child takes the study with a lease of 2 s and dies without a word.
        Database db(params);
        test::RecordingFrontend quiet;
        StudyLock held(db, quiet, study, 0, 2);
        kill(getpid(), SIGKILL);
    }
    int status = 0;
    ASSERT_EQ(waitpid(child, &status, 0), child);
    ASSERT_TRUE(WIFSIGNALED(status));
    ASSERT_EQ(Rows(), 1);

    std::unique_ptr<Database> db = scratch_.Connect();
    const auto start = std::chrono::steady_clock::now();
    { StudyLock after(*db, frontend_, study_, 30); }
    EXPECT_LT(Seconds(start), 5.0);
    ASSERT_EQ(frontend_.reports.size(), 2u);
    const std::string dead = "(process " + std::to_string(child) + ")";
    EXPECT_TRUE(Contains(frontend_.reports[0], "is busy with another import"))
        << frontend_.reports[0];
    EXPECT_TRUE(Contains(frontend_.reports[0], dead)) << frontend_.reports[0];
    EXPECT_TRUE(Contains(frontend_.reports[1], "Study 'Busy' was still locked by "))
        << frontend_.reports[1];
    EXPECT_TRUE(Contains(frontend_.reports[1], dead + " since ")) << frontend_.reports[1];
    EXPECT_TRUE(Contains(frontend_.reports[1], "so the lock is taken over"))
        << frontend_.reports[1];
    EXPECT_EQ(Rows(), 0);

    frontend_.reports.clear();
    scratch_.Admin().Execute(
        Sql("insert into study_lock (study_id, token, account, host, pid, acquired_at, "
            "expires_at) values (%i, 'gone', 'ana', 'field-laptop', 4242, now(6) - interval 2 "
            "hour, now(6) - interval 1 hour)",
            study_));
    { StudyLock at_once(*db, frontend_, study_, 0); }
    ASSERT_EQ(frontend_.reports.size(), 1u);
    EXPECT_TRUE(Contains(frontend_.reports[0],
                         "Study 'Busy' was still locked by ana on field-laptop (process 4242)"))
        << frontend_.reports[0];
}

}  // namespace
}  // namespace orvane
