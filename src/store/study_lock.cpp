// SPDX-License-Identifier: GPL-3.0-or-later
#include "store/study_lock.h"

#include <fmt/format.h>

#include "base/frontend.h"
#include "base/orvane_error.h"
#include "base/shown_text.h"
#include "store/database.h"

namespace orvane {

namespace {

// 0 when another connection holds the lock after `seconds`; throws when the server cannot
// take it at all.
int TryLock(Database& db, const std::string& name_sql, int seconds) {
    int got = -1;
    db.QueryInt("select get_lock(" + name_sql + Sql(", %i)", seconds), got);
    if (got < 0) throw DbError("The server could not take the study's lock.");
    return got;
}

}  // namespace

StudyLock::StudyLock(Database& db, Frontend& frontend, int study_id, int wait_seconds)
    : db_(db),
      // Lock names are server-wide: the database's name keeps studies of different databases
      // apart, its digest keeps the name within the server's 64 characters.
      name_sql_(Sql("concat('orvane-study-', %i, '-', md5(database()))", study_id)) {
    if (TryLock(db_, name_sql_, 0) == 1) return;
    std::string name;
    db_.QueryText(Sql("select name from study where study_id = %i", study_id), name);
    frontend.Report(
        fmt::format("Study '{}' is busy with another import, library build or "
                    "deletion; waiting for it to end.\n",
                    EscapeControls(name)));
    for (int waited = 0; waited < wait_seconds; ++waited) {
        if (frontend.Cancelled())
            throw Cancelled(
                fmt::format("cancelled while waiting for study '{}'; nothing was changed",
                            EscapeControls(name)));
        if (TryLock(db_, name_sql_, 1) == 1) return;
    }
    throw OrvaneError(fmt::format("Study '{}' is still busy after waiting {} s for another "
                                  "import, library build or deletion; nothing was changed. Try "
                                  "again when it has ended.",
                                  name, wait_seconds));
}

StudyLock::~StudyLock() {
    try {
        db_.Execute("do release_lock(" + name_sql_ + ")");
    } catch (...) {
        // A lost connection has released the lock with it.
    }
}

}  // namespace orvane
