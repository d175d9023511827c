// SPDX-License-Identifier: GPL-3.0-or-later
#include "store/database.h"

#include <errmsg.h>
#include <fcntl.h>
#include <mysql.h>
#include <mysqld_error.h>
#include <netdb.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

#include <atomic>
#include <cerrno>
#include <chrono>
#include <cstdarg>
#include <cstdlib>
#include <cstring>
#include <random>
#include <thread>

namespace orvane {

struct Database::Connection {
    MYSQL* mysql = nullptr;
    ConnectionParams params;
    std::atomic<std::thread::id> user{std::this_thread::get_id()};
    std::chrono::steady_clock::time_point sent;
};

struct ResultSet::Rows {
    explicit Rows(MYSQL_RES* stored) : result(stored) {}
    ~Rows() {
        if (result) mysql_free_result(result);
    }
    Rows(const Rows&) = delete;
    Rows& operator=(const Rows&) = delete;
    MYSQL_RES* result;
    MYSQL_ROW row = nullptr;
    unsigned long* lengths = nullptr;
    unsigned fields = 0;
};

struct Statement::Param {
    enum Kind { kUnset, kInt, kDouble, kText, kNull, kBlob } kind = kUnset;
    int int_value = 0;
    double double_value = 0.0;
    std::string text;
    const void* blob = nullptr;
    unsigned long length = 0;
    my_bool is_null = 0;
};

struct Statement::Binding {
    struct Column {
        unsigned long length = 0;
        my_bool is_null = 0;
        my_bool error = 0;
    };
    MYSQL_STMT* stmt = nullptr;
    std::vector<MYSQL_BIND> params;
    std::vector<Param> param_values;
    std::vector<MYSQL_BIND> results;
    std::vector<Column> columns;
    bool results_bound = false;
};

bool IsCollision(unsigned error_number) {
    // ER_LOCK_DEADLOCK (also Galera's certification failure), ER_LOCK_WAIT_TIMEOUT,
    // ER_UNKNOWN_COM_ERROR, which Galera returns while a node is not ready for use, and
    // ER_ERROR_DURING_COMMIT, which it returns for a transaction it could not replicate (the
    // node had just lost the rest of the cluster); each leaves nothing of the transaction.
    return error_number == 1213 || error_number == 1205 || error_number == 1047 ||
           error_number == 1180;
}

namespace {

// The pause before try `attempt` + 1, with some jitter so that two programs that collided do
// not meet again at once.
void PauseBeforeRetry(int attempt, const CollisionError& error) {
    static thread_local std::minstd_rand jitter{std::random_device{}()};
    const int base = (error.NodeNotReady() ? kFirstNodeRetryPauseMs : kFirstRetryPauseMs)
                     << (attempt - 1);
    std::this_thread::sleep_for(std::chrono::milliseconds(
        base + static_cast<int>(jitter() % static_cast<unsigned>(base / 2 + 1))));
}

std::string GaveUp(const CollisionError& error) {
    const std::string times = std::to_string(kTransactionAttempts) + " times";
    if (error.NodeNotReady())
        return "The database server refused the change " + times +
               " as its cluster node was not ready or had lost the rest of its cluster (" +
               error.what() + "); nothing of it was stored. Try again, or connect to another node.";
    return "The database server gave the change up " + times +
           " as it collided with other work at the same time (" + error.what() +
           "); nothing of it was stored. Try again.";
}

}  // namespace

void RunInTransaction(Database& db, const std::function<void()>& unit) {
    if (db.InTransaction()) {
        unit();
        return;
    }
    for (int attempt = 1;; ++attempt) {
        try {
            Transaction transaction(db);
            unit();
            transaction.Commit();
            return;
        } catch (const CollisionError& e) {
            if (attempt >= kTransactionAttempts) throw DbError(GaveUp(e));
            PauseBeforeRetry(attempt, e);
        }
    }
}

template <typename Attempt>
auto Database::Retrying(Attempt attempt) -> decltype(attempt()) {
    for (int tried = 1;; ++tried) {
        try {
            return attempt();
        } catch (const CollisionError& e) {
            if (in_transaction_) throw;
            if (tried >= kTransactionAttempts) throw DbError(GaveUp(e));
            PauseBeforeRetry(tried, e);
        }
    }
}

std::string Sql(const char* format, ...) {
    va_list args;
    va_start(args, format);
    va_list copy;
    va_copy(copy, args);
    const int needed = std::vsnprintf(nullptr, 0, format, copy);
    va_end(copy);
    std::string text(needed > 0 ? static_cast<size_t>(needed) : 0, '\0');
    if (needed > 0) std::vsnprintf(text.data(), text.size() + 1, format, args);
    va_end(args);
    return text;
}

namespace {

// The ssl_* keys a configuration gives, as its messages name them.
std::string TlsKeys(const ConnectionParams& params) {
    std::string keys;
    const auto add = [&keys](bool given, const char* key) {
        if (given) keys += (keys.empty() ? "" : ", ") + std::string(key);
    };
    add(!params.ssl_ca.empty(), "ssl_ca");
    add(!params.ssl_cert.empty(), "ssl_cert");
    add(!params.ssl_key.empty(), "ssl_key");
    add(params.ssl_verify.has_value(), "ssl_verify");
    return keys;
}

// Connects the socket within the timeout: a server that does not answer must not hold the
// program for the system's own TCP timeout of minutes.
bool ConnectWithin(int fd, const addrinfo* address, int timeout_ms) {
    const int flags = fcntl(fd, F_GETFL, 0);
    if (flags < 0 || fcntl(fd, F_SETFL, flags | O_NONBLOCK) < 0) return false;
    if (connect(fd, address->ai_addr, address->ai_addrlen) != 0) {
        if (errno != EINPROGRESS) return false;
        pollfd wait{fd, POLLOUT, 0};
        if (poll(&wait, 1, timeout_ms) != 1) return false;
        int error = 0;
        socklen_t length = sizeof error;
        if (getsockopt(fd, SOL_SOCKET, SO_ERROR, &error, &length) != 0 || error != 0) return false;
    }
    return true;
}

// Whether the server at host:port announces TLS in its greeting (the CLIENT_SSL capability),
// read before the client library logs in; empty when the greeting cannot be read, which the
// real connection then reports in its own words. The client library refuses a plain server
// before login only when it also checks the host name, so without that check this keeps the
// login exchange itself off a plain connection.
std::optional<bool> ServerOffersTls(const std::string& host, unsigned port, int timeout_ms) {
    addrinfo hints{};
    hints.ai_socktype = SOCK_STREAM;
    addrinfo* found = nullptr;
    if (getaddrinfo(host.c_str(), std::to_string(port).c_str(), &hints, &found) != 0)
        return std::nullopt;
    std::optional<bool> offers;
    for (addrinfo* a = found; a && !offers; a = a->ai_next) {
        const int fd = socket(a->ai_family, a->ai_socktype | SOCK_CLOEXEC, a->ai_protocol);
        if (fd < 0) continue;
        if (ConnectWithin(fd, a, timeout_ms)) {
            // Header (3 bytes length, 1 sequence), protocol 10, server version up to its NUL,
            // thread id (4), scramble (8), filler (1), then the low capability bytes.
            unsigned char packet[512];
            size_t have = 0;
            pollfd wait{fd, POLLIN, 0};
            while (have < sizeof packet && poll(&wait, 1, timeout_ms) == 1) {
                const ssize_t n = read(fd, packet + have, sizeof packet - have);
                if (n <= 0) break;
                have += static_cast<size_t>(n);
                const size_t length = packet[0] | packet[1] << 8 | packet[2] << 16;
                if (have >= 4 + length) break;
            }
            if (have > 5 && packet[4] == 10) {
                const void* nul = std::memchr(packet + 5, '\0', have - 5);
                if (nul) {
                    const size_t flags = static_cast<const unsigned char*>(nul) - packet + 1 + 13;
                    if (flags + 2 <= have) offers = (packet[flags + 1] & 0x08) != 0;  // 0x0800
                }
            }
        }
        close(fd);
    }
    freeaddrinfo(found);
    return offers;
}

}  // namespace

namespace {

// The quoted name after `after` in a server message ('bob'@'host', `db`.`table`, 'db.f'):
// the name after its last dot, without quotes; empty when the message has none.
std::string QuotedAfter(const std::string& text, const std::string& after) {
    const size_t at = text.find(after);
    if (at == std::string::npos) return "";
    size_t begin = at + after.size();
    std::string name;
    bool quoted = false;
    for (size_t i = begin; i < text.size(); ++i) {
        const char c = text[i];
        if (c == '\'' || c == '`') {
            quoted = !quoted;
            continue;
        }
        if (!quoted && (c == ' ' || c == ',' || c == ';')) break;
        if (!quoted && c == '@') break;
        if (c == '.' && !quoted) {
            name.clear();  // a database's name before the table's
            continue;
        }
        name += c;
    }
    // 'db.routine' is quoted whole.
    const size_t dot = name.rfind('.');
    return dot == std::string::npos ? name : name.substr(dot + 1);
}

}  // namespace

void ThrowIfDenied(unsigned server_error, const std::string& text) {
    switch (server_error) {
        case 1044:  // no access to the database
        case 1142:  // table (and the triggers' SIGNAL)
        case 1143:  // column
        case 1211:  // may not create users
        case 1227:  // a global privilege such as CREATE USER
        case 1370:  // routine
        case 1410:  // may not grant
            break;
        default:
            return;
    }
    // The schema's triggers: "The account X has the reader role and may not change data",
    // "The account X is not an editor of study N".
    const std::string lead = "The account ";
    if (text.rfind(lead, 0) == 0) {
        const size_t end = text.find(' ', lead.size());
        const std::string account = text.substr(lead.size(), end - lead.size());
        const std::string of_study = " is not an editor of study ";
        const size_t at = text.find(of_study);
        if (at != std::string::npos)
            throw AccessDenied(text + ".", server_error, account,
                               std::atoi(text.c_str() + at + of_study.size()), false);
        throw AccessDenied(text + ".", server_error, account, 0, true);
    }
    const std::string account = QuotedAfter(text, " user ");
    const std::string who = account.empty() ? "this account" : "the account " + account;
    std::string what;
    if (server_error == 1142 || server_error == 1143) {
        const bool reading = text.rfind("SELECT", 0) == 0;
        const std::string table = QuotedAfter(text, server_error == 1143 ? " in table " : " for table ");
        what = "The database server does not let " + who + (reading ? " read" : " change") +
               (table.empty() ? " this table" : " the table " + table) + ".";
    } else if (server_error == 1370) {
        const std::string routine = QuotedAfter(text, " for routine ");
        what = "The database server does not let " + who + " run the routine " + routine + ".";
    } else if (server_error == 1044) {
        const std::string database = QuotedAfter(text, " to database ");
        what = "The database server does not let " + who + " use the database " + database + ".";
    } else {
        what = "The database server refused " + who +
               " a privilege this needs (accounts and grants are an administrator's).";
    }
    throw AccessDenied(what, server_error, "", 0, false);
}

Database::Database(const ConnectionParams& params)
    : connection_(std::make_unique<Connection>()), host_(params.host), name_(params.database) {
    connection_->params = params;
    Open();
}

const ConnectionParams& Database::Params() const { return connection_->params; }

void Database::Reconnect() {
    CheckThread();
    in_transaction_ = false;
    if (connection_->mysql) mysql_close(connection_->mysql);
    connection_->mysql = nullptr;
    notices_.clear();
    Open();
    if (read_only_) SetReadOnly();
}

void Database::SetReadOnly() {
    Execute("SET SESSION TRANSACTION READ ONLY");
    read_only_ = true;
}

unsigned Database::Timeout() const { return connection_->params.timeout; }

void Database::Adopt() { connection_->user = std::this_thread::get_id(); }

void Database::Release() { connection_->user = std::thread::id(); }

void Database::CheckThread() const {
    if (connection_->user.load() != std::this_thread::get_id())
        throw DbError(
            "The database connection is in use by another task of Orvane; the request was not "
            "sent. Wait until the running job has ended.");
}

void Database::Sending() {
    CheckThread();
    if (!connection_->mysql)
        throw ConnectionLost("The connection to the database server was lost; reconnect first.");
    connection_->sent = std::chrono::steady_clock::now();
}

void Database::ThrowIfLost(unsigned error_number, const std::string& text) {
    if (error_number != CR_SERVER_LOST && error_number != CR_SERVER_GONE_ERROR) return;
    const auto waited = std::chrono::steady_clock::now() - connection_->sent;
    const unsigned timeout = connection_->params.timeout;
    // The client library closes the socket after a timeout: later requests must not use it.
    if (waited + std::chrono::milliseconds(500) >= std::chrono::seconds(timeout))
        throw ConnectionLost("The database server at " + host_ + " did not answer within " +
                             std::to_string(timeout) + " s (" + text + ").");
    throw ConnectionLost("The connection to the database server at " + host_ + " was lost (" +
                         text + ").");
}

void Database::Open() {
    const ConnectionParams& params = connection_->params;
    // Any ssl_* key means the connection is encrypted or not made at all; ssl_ca (or
    // ssl_verify true) also has the server prove it is the configured host, and only an
    // explicit ssl_verify false gives up the host name check.
    const std::string tls_keys = TlsKeys(params);
    const bool tls = !tls_keys.empty();
    const bool verify = params.ssl_verify.value_or(!params.ssl_ca.empty());
    const std::string server = params.host + ":" + std::to_string(params.port);
    if (params.ssl_cert.empty() != params.ssl_key.empty())
        throw ConnectError(
            std::string("The configuration gives ") +
            (params.ssl_cert.empty() ? "ssl_key without ssl_cert" : "ssl_cert without ssl_key") +
            "; a client certificate needs both its certificate and its key.");
    if (tls && !verify) {
        notices_.push_back(
            params.ssl_ca.empty()
                ? "Warning: the connection to " + server +
                      " is encrypted, but the server's certificate is not checked (no ssl_ca is "
                      "configured), so another server could stand in for it."
                : "Warning: ssl_verify false: the server's certificate is checked against " +
                      params.ssl_ca + ", but not that it was made for " + params.host + ".");
    }

    const std::string plain_refusal =
        "The server at " + server + " offers no encrypted connection, and the configuration (" +
        tls_keys + ") requires one; Orvane does not connect without encryption.";
    unsigned timeout = 10;
    if (tls && !verify && ServerOffersTls(params.host, params.port, timeout * 1000) == false)
        throw ConnectError(plain_refusal);

    connection_->mysql = mysql_init(nullptr);
    if (!connection_->mysql) throw DbError("Could not initialise the database client library");
    mysql_options(connection_->mysql, MYSQL_OPT_CONNECT_TIMEOUT, &timeout);
    // A server that stops answering in the middle of a statement ends the wait, not the program.
    unsigned io_timeout = params.timeout;
    mysql_options(connection_->mysql, MYSQL_OPT_READ_TIMEOUT, &io_timeout);
    mysql_options(connection_->mysql, MYSQL_OPT_WRITE_TIMEOUT, &io_timeout);
    mysql_options(connection_->mysql, MYSQL_SET_CHARSET_NAME, "utf8mb4");
    // The server is reached on its TCP port; without this "localhost" means the default socket
    // and the configured port is silently ignored.
    unsigned protocol = MYSQL_PROTOCOL_TCP;
    mysql_options(connection_->mysql, MYSQL_OPT_PROTOCOL, &protocol);
    if (!params.ssl_ca.empty())
        mysql_options(connection_->mysql, MYSQL_OPT_SSL_CA, params.ssl_ca.c_str());
    if (!params.ssl_cert.empty())
        mysql_options(connection_->mysql, MYSQL_OPT_SSL_CERT, params.ssl_cert.c_str());
    if (!params.ssl_key.empty())
        mysql_options(connection_->mysql, MYSQL_OPT_SSL_KEY, params.ssl_key.c_str());
    // With a CA the client library checks the certificate's chain by itself; this adds the
    // host name, and it is also the one setting that refuses a plain server before the
    // password is sent (SSL_ENFORCE alone still falls back to plain text).
    my_bool verify_flag = verify ? 1 : 0;
    mysql_options(connection_->mysql, MYSQL_OPT_SSL_VERIFY_SERVER_CERT, &verify_flag);
    my_bool enforce = tls ? 1 : 0;
    mysql_options(connection_->mysql, MYSQL_OPT_SSL_ENFORCE, &enforce);

    if (!mysql_real_connect(connection_->mysql, params.host.c_str(), params.user.c_str(),
                            params.password.c_str(), params.database.c_str(), params.port, nullptr,
                            0)) {
        std::string text = mysql_error(connection_->mysql);
        const unsigned error = mysql_errno(connection_->mysql);
        const bool tls_failed = error == CR_SSL_CONNECTION_ERROR;
        mysql_close(connection_->mysql);
        connection_->mysql = nullptr;
        // A server that requires encryption turns a plain login away as a wrong password would;
        // one that offers TLS is told apart, so that the message names the missing key too.
        if (!tls && error == ER_ACCESS_DENIED_ERROR &&
            ServerOffersTls(params.host, params.port, timeout * 1000) == true)
            throw ConnectError(
                "The server at " + server + " refused the account " + params.user + " (" + text +
                "). Check the user and password of the configuration; if it is a lab's server, "
                "it accepts encrypted connections only: add the line \"ssl_ca FILE\" with the "
                "lab's CA file (ca.pem, from its administrator) to the configuration.");
        if (tls_failed && text.find("does not support") != std::string::npos)
            throw ConnectError(plain_refusal);
        if (tls_failed && verify)
            throw ConnectError("The server at " + server +
                               " did not prove who it is: its certificate must be signed by " +
                               (params.ssl_ca.empty()
                                    ? std::string("an authority this system trusts")
                                    : "the authority in " + params.ssl_ca) +
                               " and made for " + params.host + " (" + text + ").");
        throw ConnectError(text);
    }
    // The client library's own enforcement does not cover every combination of keys, so the
    // finished connection is asked whether it is encrypted.
    if (tls && mysql_get_ssl_cipher(connection_->mysql) == nullptr) {
        mysql_close(connection_->mysql);
        connection_->mysql = nullptr;
        throw ConnectError(plain_refusal);
    }
}

Database::~Database() {
    if (connection_->mysql) mysql_close(connection_->mysql);
}

std::string Database::Cipher() {
    const char* cipher = mysql_get_ssl_cipher(connection_->mysql);
    return cipher ? cipher : "";
}

// The server's text names the value and the reason; the statement itself is not shown, since
// it may hold a user's data and says nothing a user can act on.
void Database::Fail(const std::string& /*statement*/) {
    if (!connection_->mysql) throw ConnectionLost("The connection to the database server was lost.");
    const char* text = mysql_error(connection_->mysql);
    const std::string said = text && *text ? text : "The database refused the request.";
    const unsigned number = mysql_errno(connection_->mysql);
    ThrowIfLost(number, said);
    ThrowIfDenied(number, said);
    if (IsCollision(number)) throw CollisionError(said, number);
    throw DbError(said);
}

std::string Database::Escape(std::string_view text) {
    std::string out(text.size() * 2 + 1, '\0');
    const unsigned long n = mysql_real_escape_string(connection_->mysql, out.data(), text.data(),
                                                     static_cast<unsigned long>(text.size()));
    out.resize(n);
    return out;
}

void Database::Execute(const std::string& sql) {
    Retrying([&] {
        Sending();
        if (mysql_real_query(connection_->mysql, sql.data(),
                             static_cast<unsigned long>(sql.size())) != 0)
            Fail(sql);
        // A statement that unexpectedly returns rows must still be drained before the next one.
        if (MYSQL_RES* result = mysql_store_result(connection_->mysql))
            mysql_free_result(result);
        else if (mysql_field_count(connection_->mysql) != 0)
            Fail(sql);
    });
}

ResultSet Database::Query(const std::string& sql) {
    return Retrying([&] {
        Sending();
        if (mysql_real_query(connection_->mysql, sql.data(),
                             static_cast<unsigned long>(sql.size())) != 0)
            Fail(sql);
        MYSQL_RES* result = mysql_store_result(connection_->mysql);
        if (!result) Fail(sql);
        return ResultSet(std::make_unique<ResultSet::Rows>(result));
    });
}

bool Database::QueryInt(const std::string& sql, int& value) {
    ResultSet rows = Query(sql);
    bool found = false;
    while (rows.Next()) {
        if (rows.IsNull(0)) continue;
        value = rows.Int(0);
        found = true;
    }
    return found;
}

bool Database::QueryInt64(const std::string& sql, int64_t& value) {
    ResultSet rows = Query(sql);
    bool found = false;
    while (rows.Next()) {
        if (rows.IsNull(0)) continue;
        value = std::strtoll(rows.Text(0), nullptr, 10);
        found = true;
    }
    return found;
}

bool Database::QueryText(const std::string& sql, std::string& value) {
    ResultSet rows = Query(sql);
    bool found = false;
    while (rows.Next()) {
        if (rows.IsNull(0)) continue;
        value = rows.String(0);
        found = true;
    }
    return found;
}

int64_t Database::InsertId() { return static_cast<int64_t>(mysql_insert_id(connection_->mysql)); }

uint64_t Database::AffectedRows() { return mysql_affected_rows(connection_->mysql); }

int64_t Database::FindOrInsert(const std::string& select_sql, const std::string& insert_sql) {
    int64_t id = 0;
    if (QueryInt64(select_sql, id)) return id;
    Execute(insert_sql);
    return InsertId();
}

void Database::WriteBlob(const std::string& sql, const void* data, size_t bytes) {
    Sending();
    MYSQL_STMT* stmt = mysql_stmt_init(connection_->mysql);
    if (!stmt) Fail(sql);
    auto fail = [&]() {
        std::string text = mysql_stmt_error(stmt);
        const unsigned number = mysql_stmt_errno(stmt);
        mysql_stmt_close(stmt);
        ThrowIfLost(number, text);
        ThrowIfDenied(number, text);
        if (IsCollision(number)) throw CollisionError(text, number);
        throw DbError(text);
    };
    if (mysql_stmt_prepare(stmt, sql.data(), static_cast<unsigned long>(sql.size())) != 0) fail();
    MYSQL_BIND bind;
    std::memset(&bind, 0, sizeof bind);
    bind.buffer_type = MYSQL_TYPE_BLOB;
    if (mysql_stmt_bind_param(stmt, &bind) != 0) fail();
    if (mysql_stmt_send_long_data(stmt, 0, static_cast<const char*>(data),
                                  static_cast<unsigned long>(bytes)) != 0)
        fail();
    if (mysql_stmt_execute(stmt) != 0) fail();
    mysql_stmt_close(stmt);
}

bool Database::Alive() {
    CheckThread();
    return connection_->mysql && mysql_ping(connection_->mysql) == 0;
}

void Database::Begin() {
    Sending();
    if (mysql_autocommit(connection_->mysql, 0) != 0) Fail("begin transaction");
    in_transaction_ = true;
}

void Database::Commit() {
    Sending();
    if (mysql_commit(connection_->mysql) != 0) Fail("commit");
    mysql_autocommit(connection_->mysql, 1);
    in_transaction_ = false;
}

void Database::Rollback() noexcept {
    in_transaction_ = false;
    if (!connection_->mysql) return;
    mysql_rollback(connection_->mysql);
    mysql_autocommit(connection_->mysql, 1);
}

ResultSet::ResultSet(std::unique_ptr<Rows> rows) : rows_(std::move(rows)) {}

ResultSet::~ResultSet() = default;

ResultSet::ResultSet(ResultSet&& other) noexcept : rows_(std::move(other.rows_)) {}

uint64_t ResultSet::RowCount() const { return rows_ ? mysql_num_rows(rows_->result) : 0; }

bool ResultSet::Next() {
    if (!rows_) return false;
    rows_->row = mysql_fetch_row(rows_->result);
    if (!rows_->row) return false;
    rows_->lengths = mysql_fetch_lengths(rows_->result);
    rows_->fields = mysql_num_fields(rows_->result);
    return true;
}

bool ResultSet::IsNull(unsigned column) const {
    return !rows_ || !rows_->row || column >= rows_->fields || rows_->row[column] == nullptr;
}

const char* ResultSet::Text(unsigned column) const {
    return IsNull(column) ? "" : rows_->row[column];
}

std::string ResultSet::String(unsigned column) const {
    if (IsNull(column)) return std::string();
    return std::string(rows_->row[column], rows_->lengths[column]);
}

int ResultSet::Int(unsigned column) const { return std::atoi(Text(column)); }

double ResultSet::Real(unsigned column) const { return std::atof(Text(column)); }

unsigned long ResultSet::Length(unsigned column) const {
    return IsNull(column) ? 0 : rows_->lengths[column];
}

Transaction::Transaction(Database& db) : db_(db) { db_.Begin(); }

Transaction::~Transaction() {
    if (!done_) db_.Rollback();
}

void Transaction::Commit() {
    db_.Commit();
    done_ = true;
}

Statement::Statement(Database& db, const std::string& sql)
    : db_(db), sql_(sql), binding_(std::make_unique<Binding>()) {
    db.Sending();
    binding_->stmt = mysql_stmt_init(db.connection_->mysql);
    if (!binding_->stmt) db.Fail(sql);
    if (mysql_stmt_prepare(binding_->stmt, sql.data(), static_cast<unsigned long>(sql.size())) !=
        0) {
        // The destructor does not run for a constructor that throws, so close it here.
        try {
            Fail("prepare");
        } catch (...) {
            mysql_stmt_close(binding_->stmt);
            binding_->stmt = nullptr;
            throw;
        }
    }
    binding_->params.resize(mysql_stmt_param_count(binding_->stmt));
    binding_->param_values.resize(binding_->params.size());
    const unsigned count = mysql_stmt_field_count(binding_->stmt);
    binding_->results.resize(count);
    binding_->columns.resize(count);
    for (auto& bind : binding_->results) std::memset(&bind, 0, sizeof bind);
}

Statement::~Statement() {
    if (binding_->stmt) mysql_stmt_close(binding_->stmt);
}

unsigned long Statement::Length(unsigned column) const { return binding_->columns[column].length; }

bool Statement::IsNull(unsigned column) const { return binding_->columns[column].is_null != 0; }

void Statement::Fail(const std::string& /*step*/) {
    const char* text = mysql_stmt_error(binding_->stmt);
    const std::string said = text && *text ? text : "The database refused the request.";
    const unsigned number = mysql_stmt_errno(binding_->stmt);
    db_.ThrowIfLost(number, said);
    ThrowIfDenied(number, said);
    if (IsCollision(number)) throw CollisionError(said, number);
    throw DbError(said);
}

void Statement::BindIntParams(const std::vector<int>& values) {
    for (size_t i = 0; i < values.size(); ++i) SetInt(static_cast<unsigned>(i), values[i]);
    BindParams();
}

Statement::Param& Statement::ParamAt(unsigned index) {
    if (index >= binding_->param_values.size())
        throw DbError("Parameter " + std::to_string(index + 1) + " of a statement with " +
                      std::to_string(binding_->param_values.size()) + " parameters.");
    return binding_->param_values[index];
}

void Statement::SetInt(unsigned index, int value) {
    Param& p = ParamAt(index);
    p.kind = Param::kInt;
    p.int_value = value;
}

void Statement::SetDouble(unsigned index, double value) {
    Param& p = ParamAt(index);
    p.kind = Param::kDouble;
    p.double_value = value;
}

void Statement::SetText(unsigned index, const std::string& text) {
    Param& p = ParamAt(index);
    p.kind = Param::kText;
    p.text = text;
}

void Statement::SetNull(unsigned index) { ParamAt(index).kind = Param::kNull; }

void Statement::SetBlob(unsigned index, const void* data, unsigned long bytes) {
    Param& p = ParamAt(index);
    p.kind = Param::kBlob;
    p.blob = data;
    p.length = bytes;
}

// The bind array points into the parameter values, so it is rebuilt just before each run: a
// text may have moved since it was set.
void Statement::BindParams() {
    for (size_t i = 0; i < binding_->param_values.size(); ++i) {
        Param& p = binding_->param_values[i];
        MYSQL_BIND& bind = binding_->params[i];
        std::memset(&bind, 0, sizeof bind);
        switch (p.kind) {
            case Param::kUnset:
                throw DbError("Parameter " + std::to_string(i + 1) +
                              " was not set.");
            case Param::kInt:
                bind.buffer_type = MYSQL_TYPE_LONG;
                bind.buffer = &p.int_value;
                break;
            case Param::kDouble:
                bind.buffer_type = MYSQL_TYPE_DOUBLE;
                bind.buffer = &p.double_value;
                break;
            case Param::kText:
                p.length = static_cast<unsigned long>(p.text.size());
                bind.buffer_type = MYSQL_TYPE_STRING;
                bind.buffer = p.text.data();
                bind.buffer_length = p.length;
                bind.length = &p.length;
                break;
            case Param::kNull:
                p.is_null = 1;
                bind.buffer_type = MYSQL_TYPE_NULL;
                bind.is_null = &p.is_null;
                break;
            case Param::kBlob:
                bind.buffer_type = MYSQL_TYPE_BLOB;
                bind.buffer = const_cast<void*>(p.blob);
                bind.buffer_length = p.length;
                bind.length = &p.length;
                break;
        }
    }
    if (!binding_->params.empty() &&
        mysql_stmt_bind_param(binding_->stmt, binding_->params.data()) != 0)
        Fail("bind parameters");
}

uint64_t Statement::AffectedRows() const { return mysql_stmt_affected_rows(binding_->stmt); }

int64_t Statement::InsertId() const {
    return static_cast<int64_t>(mysql_stmt_insert_id(binding_->stmt));
}

void Statement::BindResultBlob(unsigned column, void* buffer, unsigned long capacity) {
    MYSQL_BIND& bind = binding_->results.at(column);
    bind.buffer_type = MYSQL_TYPE_BLOB;
    bind.buffer = buffer;
    bind.buffer_length = capacity;
    bind.length = &binding_->columns[column].length;
    bind.is_null = &binding_->columns[column].is_null;
    bind.error = &binding_->columns[column].error;
    binding_->results_bound = false;
}

void Statement::BindResultInt(unsigned column, int* value) {
    MYSQL_BIND& bind = binding_->results.at(column);
    bind.buffer_type = MYSQL_TYPE_LONG;
    bind.buffer = value;
    bind.length = &binding_->columns[column].length;
    bind.is_null = &binding_->columns[column].is_null;
    bind.error = &binding_->columns[column].error;
    binding_->results_bound = false;
}

void Statement::BindResultDouble(unsigned column, double* value) {
    MYSQL_BIND& bind = binding_->results.at(column);
    bind.buffer_type = MYSQL_TYPE_DOUBLE;
    bind.buffer = value;
    bind.length = &binding_->columns[column].length;
    bind.is_null = &binding_->columns[column].is_null;
    bind.error = &binding_->columns[column].error;
    binding_->results_bound = false;
}

void Statement::Execute() {
    db_.Retrying([&] { Run(true); });
}

void Statement::ExecuteStreamed() { Run(false); }

void Statement::Run(bool stored) {
    db_.Sending();
    BindParams();
    mysql_stmt_free_result(binding_->stmt);
    if (mysql_stmt_execute(binding_->stmt) != 0) Fail("execute");
    if (!binding_->results.empty()) {
        if (mysql_stmt_bind_result(binding_->stmt, binding_->results.data()) != 0)
            Fail("bind results");
        binding_->results_bound = true;
        if (stored && mysql_stmt_store_result(binding_->stmt) != 0) Fail("store the result");
    }
}

void Statement::Discard() noexcept {
    // The client library reads the rest of an unbuffered result off the connection here.
    mysql_stmt_free_result(binding_->stmt);
}

bool Statement::Fetch() {
    for (auto& column : binding_->columns) column = Binding::Column{};
    const int rc = mysql_stmt_fetch(binding_->stmt);
    if (rc == MYSQL_NO_DATA) return false;
    if (rc == 1) Fail("fetch");
    // MYSQL_DATA_TRUNCATED: a value longer than its buffer; the caller sees it in Length().
    return true;
}

}  // namespace orvane
