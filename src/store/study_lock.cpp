// SPDX-License-Identifier: GPL-3.0-or-later
#include "store/study_lock.h"

#include <fmt/format.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <condition_variable>
#include <mutex>
#include <random>
#include <thread>

#include "base/frontend.h"
#include "base/orvane_error.h"
#include "base/shown_text.h"
#include "store/database.h"

namespace orvane {

namespace {

// Tells this holder's row from any other, also from another connection of the same process.
std::string NewToken() {
    std::random_device random;
    std::string token;
    for (int i = 0; i < 4; ++i) token += fmt::format("{:08x}", random());
    return token;
}

std::string HostName() {
    char name[256] = {};
    if (gethostname(name, sizeof name - 1) != 0) return "unknown host";
    return name;
}

struct Attempt {
    bool taken = false;
    std::string holder;      // who holds the study, when it is not taken
    std::string taken_over;  // whose lapsed lock was taken over
};

// One try at the study's row: a row whose lease ran out is removed first (and its owner
// named), then the row is inserted unless another one is there.
Attempt TryTake(Database& db, int study_id, const std::string& token, const std::string& host,
                int lease_seconds) {
    Attempt attempt;
    {
        ResultSet rows = db.Query(
            Sql("select token, account, host, pid, date_format(acquired_at, '%%Y-%%m-%%d "
                "%%H:%%i:%%s'), expires_at < now(6) from study_lock where study_id = %i",
                study_id));
        if (rows.Next()) {
            const std::string owner = fmt::format(
                "{} on {} (process {}) since {}", EscapeControls(rows.String(1)),
                EscapeControls(rows.String(2)), rows.Int(3), rows.String(4));
            if (rows.Int(5) == 0) {
                attempt.holder = owner;
                return attempt;
            }
            // Only the row seen lapsed goes: its owner may have renewed it in between.
            db.Execute(Sql("delete from study_lock where study_id = %i and token = '%s' and "
                           "expires_at < now(6)",
                           study_id, db.Escape(rows.String(0)).c_str()));
            if (db.AffectedRows() == 1) attempt.taken_over = owner;
        }
    }
    db.Execute(Sql("insert ignore into study_lock (study_id, token, account, host, pid, "
                   "acquired_at, expires_at) values (%i, '%s', substring_index(user(), '@', 1), "
                   "'%s', %i, now(6), now(6) + interval %i second)",
                   study_id, token.c_str(), db.Escape(host.substr(0, 255)).c_str(),
                   static_cast<int>(getpid()), lease_seconds));
    // Not taken: another program took it between the two statements, and the next try names it.
    attempt.taken = db.AffectedRows() == 1;
    return attempt;
}

}  // namespace

struct StudyLock::Holder {
    ConnectionParams params;
    // The lock's own connection, opened on the renewer's thread at the first renewal (or by
    // the constructor when the work's connection is inside a transaction), so that a short
    // unit of work pays for no second connection.
    std::unique_ptr<Database> db;
    int study_id = 0;
    std::string token;
    int lease_seconds = kLeaseSeconds;
    std::thread renewer;
    std::mutex mutex;
    std::condition_variable wake;
    bool stop = false;
    bool lost = false;      // the connection went; the next renewal opens it again
    bool released = false;  // the renewer deleted the row

    std::string ReleaseSql() const {
        return Sql("delete from study_lock where study_id = %i and token = '%s'", study_id,
                   token.c_str());
    }

    // Moves the lease ahead every third of it, until told to stop, then deletes the row if it
    // has a connection of its own by then.
    void Run() {
        if (db) db->Adopt();
        const auto every = std::chrono::milliseconds(std::max(lease_seconds * 1000 / 3, 100));
        std::unique_lock<std::mutex> lock(mutex);
        while (!wake.wait_for(lock, every, [this] { return stop; })) {
            lock.unlock();
            Try(Sql("update study_lock set expires_at = now(6) + interval %i second where "
                    "study_id = %i and token = '%s'",
                    lease_seconds, study_id, token.c_str()));
            lock.lock();
        }
        lock.unlock();
        if (!db) return;
        // A connection lost just before is opened again for this one statement; failing that,
        // the row lapses at the end of its lease.
        released = Try(ReleaseSql()) || Try(ReleaseSql());
    }

    bool Try(const std::string& sql) noexcept {
        try {
            if (!db) {
                db = std::make_unique<Database>(params);
                db->Adopt();
            } else if (lost) {
                db->Reconnect();
            }
            lost = false;
            db->Execute(sql);
            return true;
        } catch (...) {
            lost = true;
            return false;
        }
    }
};

StudyLock::StudyLock(Database& db, Frontend& frontend, int study_id, int wait_seconds,
                     int lease_seconds)
    : holder_(std::make_unique<Holder>()) {
    Holder& h = *holder_;
    h.study_id = study_id;
    h.token = NewToken();
    h.lease_seconds = std::max(lease_seconds, 1);
    h.params = db.Params();
    work_ = &db;
    // The row is taken through the work's connection unless it is inside a transaction, whose
    // writes nobody would see before it ends; then through the lock's own.
    if (db.InTransaction()) h.db = std::make_unique<Database>(h.params);
    Database& taker = h.db ? *h.db : db;
    const std::string host = HostName();
    const auto take = [&] {
        const Attempt attempt = TryTake(taker, study_id, h.token, host, h.lease_seconds);
        if (!attempt.taken_over.empty()) {
            std::string name;
            db.QueryText(Sql("select name from study where study_id = %i", study_id), name);
            frontend.Report(fmt::format(
                "Study '{}' was still locked by {}, whose lease ran out unrenewed (that "
                "program ended or lost its server without releasing it), so the lock is taken "
                "over.\n",
                EscapeControls(name), attempt.taken_over));
        }
        return attempt;
    };
    Attempt attempt = take();
    if (!attempt.taken) {
        if (attempt.holder.empty()) attempt.holder = "another program";
        std::string name;
        db.QueryText(Sql("select name from study where study_id = %i", study_id), name);
        frontend.Report(fmt::format(
            "Study '{}' is busy with another import, library build or deletion, by {}; "
            "waiting for it to end.\n",
            EscapeControls(name), attempt.holder));
        const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(wait_seconds);
        while (!attempt.taken) {
            const auto left = deadline - std::chrono::steady_clock::now();
            if (left <= std::chrono::steady_clock::duration::zero()) break;
            if (frontend.Cancelled())
                throw Cancelled(
                    fmt::format("cancelled while waiting for study '{}'; nothing was changed",
                                EscapeControls(name)));
            const std::chrono::steady_clock::duration poll = std::chrono::milliseconds(250);
            std::this_thread::sleep_for(std::min(left, poll));
            const std::string last_holder = attempt.holder;
            attempt = take();
            if (attempt.holder.empty()) attempt.holder = last_holder;
        }
        if (!attempt.taken)
            throw OrvaneError(fmt::format(
                "Study '{}' is still busy after waiting {} s for another import, library build "
                "or deletion, by {}; nothing was changed. Try again when it has ended.",
                EscapeControls(name), wait_seconds, attempt.holder));
    }
    if (h.db) h.db->Release();
    h.renewer = std::thread([&h] { h.Run(); });
}

StudyLock::~StudyLock() {
    Holder& h = *holder_;
    {
        std::lock_guard<std::mutex> lock(h.mutex);
        h.stop = true;
    }
    h.wake.notify_one();
    if (h.renewer.joinable()) h.renewer.join();
    if (h.released) return;
    // The renewer never needed a connection of its own: the row goes through the work's, when
    // it is free to send it at once, else through a new one; failing both, it lapses.
    try {
        if (!work_->InTransaction()) {
            work_->Execute(h.ReleaseSql());
            return;
        }
    } catch (...) {
    }
    try {
        Database(h.params).Execute(h.ReleaseSql());
    } catch (...) {
    }
}

}  // namespace orvane
