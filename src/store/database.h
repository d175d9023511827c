// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <cstdint>
#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "base/connection_params.h"
#include "base/orvane_error.h"

namespace orvane {

// A statement or connection failed; the text is the server's own message.
class DbError : public OrvaneError {
public:
    using OrvaneError::OrvaneError;
};

// printf-style formatting of a statement text; every text value must come through
// Database::Escape first.
std::string Sql(const char* format, ...) __attribute__((format(printf, 1, 2)));

// The server could not be reached or refused the login.
class ConnectError : public DbError {
public:
    using DbError::DbError;
};

// The server gave a transaction up because it met another one at the same time: a deadlock, a
// Galera node's certification failure (both error 1213), a lock wait timeout (1205); or
// because the cluster node is not ready (1047) or could not replicate it, having just lost the
// rest of the cluster (1180). Nothing of the transaction is kept, and running the whole unit
// of work again may well succeed; RunInTransaction does that.
class CollisionError : public DbError {
public:
    CollisionError(const std::string& what, unsigned number) : DbError(what), number_(number) {}
    unsigned Number() const { return number_; }
    // The node is out of its cluster for the moment rather than in a collision: the pauses
    // before the next tries are longer, so that the cluster has seconds to settle.
    bool NodeNotReady() const { return number_ == 1047 || number_ == 1180; }

private:
    unsigned number_;
};

// The server refused a statement for want of a right: its own privilege errors (a table,
// column, routine or database the account may not use) or the refusal the schema's triggers
// raise for an account that may not change a study. The text names what was refused, never the
// statement; each face turns it into a message naming the command and the role it needs.
class AccessDenied : public DbError {
public:
    AccessDenied(const std::string& what, unsigned server_error, std::string account,
                 int study_id, bool reader)
        : DbError(what), server_error_(server_error), account_(std::move(account)),
          study_id_(study_id), reader_(reader) {}
    unsigned ServerError() const { return server_error_; }
    // The account the triggers named; empty for the server's own privilege errors.
    const std::string& Account() const { return account_; }
    // The study the triggers refused (the account is no editor of it); 0 otherwise.
    int StudyId() const { return study_id_; }
    // The triggers refused because the account has the reader role.
    bool Reader() const { return reader_; }

private:
    unsigned server_error_;
    std::string account_;
    int study_id_;
    bool reader_;
};

// Throws AccessDenied when `server_error` is one of the server's refusals for want of a right;
// returns otherwise. `text` is the server's message.
void ThrowIfDenied(unsigned server_error, const std::string& text);

// The connection was lost while a statement waited: the server did not answer within the
// configured time, or went away. The connection is closed; Database::Reconnect opens it again.
class ConnectionLost : public DbError {
public:
    using DbError::DbError;
};

class ResultSet;
class Statement;

// The one connection of a run. Every statement is checked: a failure throws DbError with the
// server's text, so no caller ever walks a result that could not be obtained.
//
// A connection belongs to one thread at a time: the thread that opened it, until another one
// calls Adopt(). A request from any other thread is refused with a DbError before anything is
// sent, because two threads on one client connection interleave their packets ("Commands out
// of sync") or wait on each other's answers for ever.
class Database {
public:
    explicit Database(const ConnectionParams& params);
    ~Database();
    Database(const Database&) = delete;
    Database& operator=(const Database&) = delete;

    // The cipher protecting the connection, or "" when it is not encrypted.
    std::string Cipher();
    // What the user should know about how this connection is protected (for example that
    // the server's host name is not checked), for each face to show at start-up.
    const std::vector<std::string>& Notices() const { return notices_; }
    const std::string& Host() const { return host_; }
    // What this connection was opened with, for a second connection of the same account.
    const ConnectionParams& Params() const;
    const std::string& Name() const { return name_; }

    std::string Escape(std::string_view text);

    // Outside a transaction a statement is a transaction of its own, so one the server gave up
    // as a collision (CollisionError) is run again, a few times, before it fails.
    void Execute(const std::string& sql);
    ResultSet Query(const std::string& sql);

    // Single-value queries: the last row wins; no row (or a NULL) leaves the value unchanged.
    bool QueryInt(const std::string& sql, int& value);
    bool QueryInt64(const std::string& sql, int64_t& value);
    bool QueryText(const std::string& sql, std::string& value);

    int64_t InsertId();
    uint64_t AffectedRows();

    // Insert-if-missing: the id of the last row `select_sql` returns (its first column), or
    // else runs `insert_sql` and returns the new row's id.
    int64_t FindOrInsert(const std::string& select_sql, const std::string& insert_sql);

    // One binary value into an existing row: the statement holds a single "?".
    void WriteBlob(const std::string& sql, const void* data, size_t bytes);

    // False when the server can no longer be reached on this connection.
    bool Alive();
    // Opens the connection again with the same parameters, after a ConnectionLost; throws
    // ConnectError when the server still cannot be reached. Server-side state (locks, an open
    // transaction) is gone: the caller takes back what it needs.
    void Reconnect();
    // The seconds a statement waits for the server before ConnectionLost.
    unsigned Timeout() const;
    // From now on the server refuses every write on this connection, also after a Reconnect:
    // for a client that only reads (the Python module's).
    void SetReadOnly();

    // Makes the calling thread the connection's one user (see the class comment).
    void Adopt();
    // Gives the connection up until a thread adopts it: the thread handing it to another one
    // calls this first, so that it can send nothing in between.
    void Release();
    // Throws DbError when the calling thread is not the connection's user.
    void CheckThread() const;

    void Begin();
    void Commit();
    void Rollback() noexcept;
    // True between Begin and Commit or Rollback.
    bool InTransaction() const { return in_transaction_; }

    [[noreturn]] void Fail(const std::string& what);

private:
    friend class Statement;
    void Open();
    // Notes when a request is sent, so that a lost connection can say whether it timed out.
    void Sending();
    // ConnectionLost for the client library's "server gone" errors, else nothing.
    void ThrowIfLost(unsigned error_number, const std::string& text);
    // Runs `attempt` again after a CollisionError when no transaction is open, with a short
    // growing pause, up to kTransactionAttempts times.
    template <typename Attempt>
    auto Retrying(Attempt attempt) -> decltype(attempt());
    // The client library's handle, kept out of this header so that no face sees its types.
    struct Connection;
    std::unique_ptr<Connection> connection_;
    std::vector<std::string> notices_;
    std::string host_;
    std::string name_;
    bool read_only_ = false;
    bool in_transaction_ = false;
};

// A stored result, freed when it goes out of scope.
class ResultSet {
public:
    struct Rows;
    explicit ResultSet(std::unique_ptr<Rows> rows);
    ~ResultSet();
    ResultSet(ResultSet&& other) noexcept;
    ResultSet& operator=(ResultSet&&) = delete;
    ResultSet(const ResultSet&) = delete;

    uint64_t RowCount() const;
    bool Next();
    bool IsNull(unsigned column) const;
    const char* Text(unsigned column) const;  // "" for NULL
    std::string String(unsigned column) const;
    int Int(unsigned column) const;
    double Real(unsigned column) const;
    unsigned long Length(unsigned column) const;

private:
    std::unique_ptr<Rows> rows_;
};

// Undoes everything since its construction unless committed, so a unit of writes either
// lands whole or not at all.
class Transaction {
public:
    explicit Transaction(Database& db);
    ~Transaction();
    void Commit();

private:
    Database& db_;
    bool done_ = false;
};

// How often a unit of work (or a statement outside one) is tried when the server gives it up
// as a collision with other work, and the pause before the second try (doubled before each
// further one): 50 ms after a collision, 500 ms when the node was not ready (7.5 s in all,
// about the time a cluster takes to notice a lost node and go on without it).
constexpr int kTransactionAttempts = 5;
constexpr int kFirstRetryPauseMs = 50;
constexpr int kFirstNodeRetryPauseMs = 500;

// Runs `unit` in a transaction and commits it; when the server gives the transaction up as a
// collision (CollisionError), everything is rolled back and the whole unit runs again, up to
// kTransactionAttempts times with a short growing pause, after which it fails with a DbError
// saying so. `unit` must therefore start from scratch on each call: it may run more than once,
// and what it keeps outside the database is reset by it. Inside an open transaction the unit
// runs once, within it, and the outer unit's owner retries.
void RunInTransaction(Database& db, const std::function<void()>& unit);

// The server error numbers that make a CollisionError.
bool IsCollision(unsigned error_number);

// A server-side prepared statement with parameters and results bound straight into the
// caller's storage. Text and binary parameters travel apart from the statement text, so they
// need no escaping. Binary results report their stored length so the caller can reject a row
// whose length does not match what it expects.
class Statement {
public:
    Statement(Database& db, const std::string& sql);
    ~Statement();
    Statement(const Statement&) = delete;
    Statement& operator=(const Statement&) = delete;

    void BindIntParams(const std::vector<int>& values);
    // One parameter at a time (0-based), kept until it is set again. A NULL text leaves the
    // column NULL. The blob's bytes are not copied: they must stay in place until Execute.
    void SetInt(unsigned index, int value);
    void SetDouble(unsigned index, double value);
    void SetText(unsigned index, const std::string& text);
    void SetNull(unsigned index);
    void SetBlob(unsigned index, const void* data, unsigned long bytes);
    // Rows changed by the last execution, and the id it generated.
    uint64_t AffectedRows() const;
    int64_t InsertId() const;
    void BindResultBlob(unsigned column, void* buffer, unsigned long capacity);
    void BindResultInt(unsigned column, int* value);
    void BindResultDouble(unsigned column, double* value);

    void Execute();
    // Runs the statement but leaves its rows on the server: each Fetch() reads the next one,
    // so a large result is never held whole. Until Fetch() returns false or Discard() runs,
    // the connection serves nothing else.
    void ExecuteStreamed();
    // Reads and drops what a streamed run has not fetched yet, so that the connection serves
    // again after a caller stopped half way (an error, a cancel).
    void Discard() noexcept;
    bool Fetch();  // false at the end of the data
    unsigned long Length(unsigned column) const;
    bool IsNull(unsigned column) const;

private:
    struct Param;
    // The statement handle and its bind arrays, in the client library's own types.
    struct Binding;
    Param& ParamAt(unsigned index);
    void BindParams();
    void Run(bool stored);
    [[noreturn]] void Fail(const std::string& what);

    Database& db_;
    std::string sql_;
    std::unique_ptr<Binding> binding_;
};

}  // namespace orvane
