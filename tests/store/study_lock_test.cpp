// SPDX-License-Identifier: GPL-3.0-or-later
#include "store/study_lock.h"

#include <gtest/gtest.h>

#include <optional>

#include "support/recording_frontend.h"
#include "support/refusal.h"
#include "support/scratch_database.h"
#include "support/study_rows.h"

namespace orvane {
namespace {

TEST(StudyLock, ASecondHolderWaitsThenGivesUpAndOtherStudiesAreFree) {
    test::ScratchDatabase scratch("lock");
    const int study = test::InsertStudy(scratch.Admin(), "Busy");
    const int other = test::InsertStudy(scratch.Admin(), "Other");
    // Another database on the server with a study of the same id is another study.
    test::ScratchDatabase elsewhere("lock2");
    test::InsertStudy(elsewhere.Admin(), "Busy");
    std::unique_ptr<Database> first = scratch.Connect();
    std::unique_ptr<Database> second = scratch.Connect();
    std::unique_ptr<Database> third = elsewhere.Connect();
    test::RecordingFrontend frontend;

    std::optional<StudyLock> held(std::in_place, *first, frontend, study);
    EXPECT_TRUE(frontend.reports.empty());
    EXPECT_TRUE(test::Refuses(
        [&] { StudyLock waiting(*second, frontend, study, 1); },
        "Study 'Busy' is still busy after waiting 1 s for another import, library build "
        "or deletion; nothing was changed. Try again when it has ended."));
    EXPECT_EQ(frontend.reports,
              std::vector<std::string>{"Study 'Busy' is busy with another import, library "
                                       "build or deletion; waiting for it to end.\n"});
    { StudyLock free_study(*second, frontend, other, 0); }
    { StudyLock same_id_elsewhere(*third, frontend, study, 0); }

    held.reset();
    frontend.reports.clear();
    { StudyLock after(*second, frontend, study, 0); }
    EXPECT_TRUE(frontend.reports.empty());
}

}  // namespace
}  // namespace orvane
