#pragma once

#include <string>

namespace orvane {

class Database;
class Frontend;

// The server's named lock of one study, held for the length of an import, a library build
// or a study deletion, so that two of them never work on one study at once, whichever
// program runs them. A second one waits, telling the user why, and gives up with a message
// after `wait_seconds`. The lock goes with the object on every path (and with the
// connection, should the program die).
class StudyLock {
public:
    static constexpr int kWaitSeconds = 600;

    StudyLock(Database& db, Frontend& frontend, int study_id, int wait_seconds = kWaitSeconds);
    ~StudyLock();
    StudyLock(const StudyLock&) = delete;
    StudyLock& operator=(const StudyLock&) = delete;

private:
    Database& db_;
    std::string name_sql_;
};

}  // namespace orvane
