// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <memory>
#include <string>

namespace orvane {

class Database;
class Frontend;

// The lock of one study, held for the length of an import, a library build or a study
// deletion, so that two of them never work on one study at once, whichever program runs them
// and whichever server of a cluster it talks to. A second one waits, telling the user who
// holds the study, and gives up with a message after `wait_seconds`.
//
// The lock is a row of study_lock naming its owner (account, host, process) with a lease: a
// thread of the lock's own moves the lease ahead while the work runs, through a connection of
// its own opened at the first renewal (the work's connection may be inside a long transaction,
// whose writes nobody sees before it ends), and the row is deleted when the object goes, on
// every path. A row whose lease ran out was left by a program that died, and the next one
// takes it over. The object is made and destroyed on the thread that uses `db`.
class StudyLock {
public:
    static constexpr int kWaitSeconds = 600;
    static constexpr int kLeaseSeconds = 60;

    StudyLock(Database& db, Frontend& frontend, int study_id, int wait_seconds = kWaitSeconds,
              int lease_seconds = kLeaseSeconds);
    ~StudyLock();
    StudyLock(const StudyLock&) = delete;
    StudyLock& operator=(const StudyLock&) = delete;

private:
    struct Holder;
    std::unique_ptr<Holder> holder_;
    Database* work_ = nullptr;
};

}  // namespace orvane
