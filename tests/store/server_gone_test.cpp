// SPDX-License-Identifier: GPL-3.0-or-later
// The server stopping or stalling under the program: every kind of statement reports a clear
// DbError and nothing crashes. These run their own private servers, never the shared throwaway
// one.
#include <gtest/gtest.h>

#include <algorithm>
#include <cctype>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <functional>
#include <future>
#include <optional>
#include <sstream>
#include <string>
#include <thread>
#include <utility>
#include <vector>

#include "base/config_file.h"
#include "base/frontend.h"
#include "chain/processing_session.h"
#include "cli/cli.h"
#include "store/database.h"
#include "store/spectra_repository.h"
#include "study/sensor_import.h"
#include "study/study_loader.h"
#include "support/cli_runner.h"
#include "support/private_server.h"
#include "support/refusal.h"
#include "support/scratch_database.h"
#include "support/study_rows.h"

namespace orvane {
namespace {

using test::PrivateServer;

bool SaysServerOrConnection(std::string text) {
    std::transform(text.begin(), text.end(), text.begin(),
                   [](unsigned char c) { return static_cast<char>(std::tolower(c)); });
    return text.find("server") != std::string::npos || text.find("connection") != std::string::npos;
}

TEST(ServerGone, StatementsFailWithAClearErrorAndNothingCrashes) {
    PrivateServer server;
    ASSERT_TRUE(server.Running()) << server.Log();

    ConfigFile config(server.Config());
    config.Open();
    ProcessingSession session(config);
    Database& db = session.Db();
    const int study = test::InsertStudy(db, "before the stop");
    const int species = test::InsertSpecies(db, study, "Kauri");
    const int site = test::InsertSite(db, study, species, 1);
    const int spectrum = test::InsertSpectrum(db, study, species, site, {1},
                                              test::Blob(test::DistinctReflectances(1)));
    StudyLoader loader(session);
    ASSERT_EQ(loader.LoadSpecies(species)->MemberCount(), 1);  // prepares its statements
    int batched = 0;
    loader.ForEachSpectrum({spectrum}, [&](Spectrum&, const SpectrumRecord&) { ++batched; }, 2);
    ASSERT_EQ(batched, 1);

    // A command that is running when the server goes: a query the server is still working on.
    const ConnectionParams params = config.Connection();
    auto running = std::async(std::launch::async, [&params]() -> std::string {
        Database busy(params);
        int value = 0;
        try {
            busy.QueryInt("select sleep(60)", value);
        } catch (const DbError& e) {
            return e.what();
        }
        return "the query finished without an error";
    });
    // The stop must come while the query runs: wait until the server lists it as running.
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(30);
    int listed = 0;
    while (listed == 0 && std::chrono::steady_clock::now() < deadline) {
        db.QueryInt("select count(*) from information_schema.processlist where info = "
                    "'select sleep(60)'",
                    listed);
        if (listed == 0) std::this_thread::sleep_for(std::chrono::milliseconds(5));
    }
    ASSERT_EQ(listed, 1) << "the query never started";
    ASSERT_TRUE(server.Stop()) << server.Log();
    ASSERT_EQ(running.wait_for(std::chrono::seconds(30)), std::future_status::ready);
    const std::string interrupted = running.get();
    EXPECT_TRUE(SaysServerOrConnection(interrupted)) << interrupted;

    // Statements on the connection opened before the stop, of every kind the program sends:
    // plain, queried, binary, prepared (new and held), and within a transaction.
    const float blob[4] = {};
    SilentFrontend frontend;
    const std::pair<const char*, std::function<void()>> cases[] = {
        {"execute", [&] { db.Execute("insert into study (name) values ('after')"); }},
        {"list", [&] { db.Query("select study_id from study"); }},
        {"blob write",
         [&] {
             db.WriteBlob("UPDATE spectrum SET reflectances = ? WHERE spectrum_id = 1", blob,
                          sizeof blob);
         }},
        {"new prepared statement", [&] { Statement s(db, "SELECT 1 FROM study where 1 = ?"); }},
        {"load spectrum with a prepared statement", [&] { loader.LoadSpectrum(spectrum); }},
        {"streamed site rows", [&] { loader.LoadSpecies(species); }},
        {"spectra in batches",
         [&] { loader.ForEachSpectrum({spectrum}, [](Spectrum&, const SpectrumRecord&) {}, 2); }},
        {"session study", [&] { session.SetStudy(study); }},
        {"sensor import",
         [&] { ImportSensor(session, frontend, test::TestData("sensors/landsat5_tm.txt"), 0); }},
        {"transaction",
         [&] {
             Transaction tx(db);
             db.Execute("insert into study (name) values ('in a unit')");
             tx.Commit();
         }}};
    for (const auto& [name, run] : cases) {
        try {
            run();
            ADD_FAILURE() << name << ": no error";
        } catch (const DbError& e) {
            EXPECT_TRUE(SaysServerOrConnection(e.what())) << name << ": " << e.what();
        }
    }

    // A program started now cannot connect and says so.
    const std::string path = server.Config();
    const char* argv[] = {"orvane-cli", "--config", path.c_str(), "sensors"};
    std::ostringstream out;
    std::ostringstream err;
    EXPECT_EQ(RunCli(4, argv, out, err), 1);
    EXPECT_TRUE(SaysServerOrConnection(err.str())) << err.str();
}

// One connection, one thread at a time: a request from a thread that does not hold the
// connection is refused before anything is sent, and a server that stops answering ends the
// wait after the configured time instead of holding the program for ever.

// What a request made on another thread came to: "answered", or the error's text.
std::string OnAnotherThread(const std::function<void()>& request) {
    std::string outcome = "answered";
    std::thread([&] {
        try {
            request();
        } catch (const DbError& e) {
            outcome = e.what();
        }
    }).join();
    return outcome;
}

TEST(ConnectionThread, OnlyTheThreadHoldingTheConnectionMayUseIt) {
    test::ScratchDatabase scratch("connthread");
    const std::unique_ptr<Database> db = scratch.Connect();
    int one = 0;

    // Every kind of request from another thread is refused with a message a user can act on,
    // and nothing was sent: the connection goes on answering its own thread.
    const std::pair<const char*, std::function<void()>> requests[] = {
        {"query", [&] { db->QueryInt("select 1", one); }},
        {"statement", [&] { Statement prepared(*db, "select ?"); }},
        {"transaction", [&] { Transaction unit(*db); }},
        {"blob", [&] { db->WriteBlob("do ?", "x", 1); }},
    };
    for (const auto& [name, request] : requests) {
        const std::string refused = OnAnotherThread(request);
        EXPECT_NE(refused.find("in use by another task"), std::string::npos) << name << ": " << refused;
        ASSERT_TRUE(db->QueryInt("select 1", one)) << name;
        EXPECT_EQ(one, 1);
    }

    // Handed over, the other thread may use it, and then the first one may not until it
    // takes it back.
    EXPECT_EQ(OnAnotherThread([&] {
                  db->Adopt();
                  db->Execute("do 1");
              }),
              "answered");
    EXPECT_THROW(db->Execute("do 1"), DbError);
    db->Adopt();
    EXPECT_NO_THROW(db->Execute("do 1"));
    // Given up, it serves no thread until one adopts it.
    db->Release();
    EXPECT_THROW(db->Execute("do 1"), DbError);
    db->Adopt();
    EXPECT_NO_THROW(db->Execute("do 1"));
}

TEST(ConnectionTimeout, AServerThatStopsAnsweringEndsTheWaitAndCanBeReconnected) {
    test::PrivateServer server;
    ASSERT_TRUE(server.Running()) << server.Log();
    {
        std::ofstream config(server.Config(), std::ios::app);
        config << "timeout 2\n";
    }
    ConfigFile config(server.Config());
    config.Open();
    ConnectionParams params = config.Connection();
    ASSERT_EQ(params.timeout, 2u);
    Database db(params);

    ASSERT_TRUE(server.Freeze());
    const auto start = std::chrono::steady_clock::now();
    std::string said;
    try {
        db.Execute("do 1");
    } catch (const ConnectionLost& e) {
        said = e.what();
    }
    const double waited =
        std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
    server.Thaw();
    EXPECT_NE(said.find("did not answer within 2 s"), std::string::npos) << said;
    EXPECT_GE(waited, 1.5);
    EXPECT_LT(waited, 2 + 5.0);

    // The connection is given up: the next request says so at once, without waiting again.
    const auto again = std::chrono::steady_clock::now();
    EXPECT_THROW(db.Execute("do 1"), ConnectionLost);
    EXPECT_LT(std::chrono::duration<double>(std::chrono::steady_clock::now() - again).count(),
              1.0);
    db.Reconnect();
    int one = 0;
    ASSERT_TRUE(db.QueryInt("select 1", one));
    EXPECT_EQ(one, 1);
}

// Connections configured for TLS are encrypted or not made: never plain text, and the server's
// certificate and host name are checked unless ssl_verify false says otherwise. One private
// server is started without TLS, then with a certificate for 127.0.0.1, then with one for
// another host; the certificates are made here with openssl.
// A CA, an unrelated second CA, server certificates for 127.0.0.1/localhost and for another
// host name (both signed by the first CA, names in subjectAltName) and a client certificate.
bool MakeCertificates(const test::TempDir& dir) {
    const char* script =
        "set -e\n"
        "key() { openssl genpkey -algorithm EC -pkeyopt ec_paramgen_curve:P-256 -out $1.key; }\n"
        "ca() {\n"
        "  key $1; openssl req -x509 -new -key $1.key -subj \"/CN=$2\" -days 2 -out $1.pem\n"
        "}\n"
        "leaf() {\n"
        "  key $1; printf 'subjectAltName=%s\\n' \"$3\" >$1.ext\n"
        "  openssl req -new -key $1.key -subj \"/CN=$2\" -out $1.csr\n"
        "  openssl x509 -req -in $1.csr -CA ca.pem -CAkey ca.key -CAcreateserial -days 2 \\\n"
        "    -extfile $1.ext -out $1.pem\n"
        "}\n"
        "ca ca 'Orvane test CA'; ca stranger 'Another CA'\n"
        "leaf server localhost 'IP:127.0.0.1,DNS:localhost'\n"
        "leaf elsewhere db.elsewhere.example 'DNS:db.elsewhere.example'\n"
        "leaf client orvane 'DNS:orvane'\n";
    const std::string command =
        "(cd '" + dir.Path() + "' && " + script + ") >'" + dir.File("openssl.log") + "' 2>&1";
    return std::system(command.c_str()) == 0;
}

std::string ServerOptions(const test::TempDir& certs, const std::string& leaf) {
    return "--ssl-ca=" + certs.File("ca.pem") + " --ssl-cert=" + certs.File(leaf + ".pem") +
           " --ssl-key=" + certs.File(leaf + ".key");
}

// One configuration's TLS keys and what connecting with them must give.
struct TlsCase {
    const char* what;
    const char* ca;    // a file in the certificate folder, or "" for none
    bool client_cert;  // ssl_cert and ssl_key
    std::optional<bool> verify;
    bool encrypted;    // connects, encrypted; otherwise refused
    const char* says;  // part of the refusal, or of the notice when connected ("" for none)
};

void Check(const ConnectionParams& server, const test::TempDir& certs, const TlsCase& c) {
    ConnectionParams params = server;
    if (*c.ca) params.ssl_ca = certs.File(c.ca);
    if (c.client_cert) {
        params.ssl_cert = certs.File("client.pem");
        params.ssl_key = certs.File("client.key");
    }
    params.ssl_verify = c.verify;
    try {
        Database db(params);
        ASSERT_TRUE(c.encrypted) << c.what << ": connected";
        EXPECT_NE(db.Cipher(), "") << c.what;
        std::string notices;
        for (const std::string& n : db.Notices()) notices += n;
        if (*c.says)
            EXPECT_NE(notices.find(c.says), std::string::npos) << c.what << ": " << notices;
        else
            EXPECT_EQ(notices, "") << c.what;
    } catch (const ConnectError& e) {
        EXPECT_FALSE(c.encrypted) << c.what << ": " << e.what();
        EXPECT_NE(std::string(e.what()).find(c.says), std::string::npos)
            << c.what << ": " << e.what();
    }
}

TEST(TlsConnection, EncryptedOrRefusedAndTheServerMustBeTheConfiguredHost) {
    test::TempDir certs;
    ASSERT_TRUE(MakeCertificates(certs)) << std::ifstream(certs.File("openssl.log")).rdbuf();
    test::PrivateServer server;
    ASSERT_TRUE(server.Running()) << server.Log();
    ConfigFile config(server.Config());
    config.Open();
    const ConnectionParams plain = config.Connection();

    const char* no_tls = "offers no encrypted connection";
    const char* unproven = "did not prove who it is";
    const TlsCase without_tls[] = {
        {"ssl_ca alone", "ca.pem", false, std::nullopt, false, no_tls},
        {"ssl_cert and ssl_key", "", true, std::nullopt, false, no_tls},
        {"ssl_ca, ssl_verify false", "ca.pem", false, false, false, no_tls},
        {"ssl_verify true alone", "", false, true, false, no_tls},
    };
    for (const TlsCase& c : without_tls) Check(plain, certs, c);
    {
        // Refused before logging in: a wrong password would otherwise be answered "Access
        // denied" after the login exchange went over the plain connection.
        ConnectionParams wrong = plain;
        wrong.password += "x";
        wrong.ssl_ca = certs.File("ca.pem");
        for (const std::optional<bool> verify : {std::optional<bool>(false), std::optional<bool>()}) {
            wrong.ssl_verify = verify;
            EXPECT_TRUE(test::Refuses([&] { Database db(wrong); }, no_tls));
        }
    }
    {
        // No ssl_* key at all keeps today's plain connection to a private server.
        Database db(plain);
        EXPECT_EQ(db.Cipher(), "");
        EXPECT_TRUE(db.Notices().empty());
    }

    ASSERT_TRUE(server.Stop()) << server.Log();
    server.SetServerOptions(ServerOptions(certs, "server"));
    ASSERT_TRUE(server.Start()) << server.Log();
    const TlsCase for_this_host[] = {
        {"ssl_ca alone", "ca.pem", false, std::nullopt, true, ""},
        {"ssl_ca, ssl_verify true", "ca.pem", false, true, true, ""},
        {"ssl_ca, ssl_verify false", "ca.pem", false, false, true, "not that it was made for"},
        {"client certificate, no ssl_ca", "", true, std::nullopt, true, "is not checked"},
        {"another CA", "stranger.pem", false, std::nullopt, false, unproven},
        // ssl_verify false gives up the host name only, never the signature.
        {"another CA, ssl_verify false", "stranger.pem", false, false, false, ""},
        {"ssl_verify true, no ssl_ca", "", false, true, false, unproven},
    };
    for (const TlsCase& c : for_this_host) Check(plain, certs, c);
    ConnectionParams half = plain;
    half.ssl_cert = certs.File("client.pem");
    EXPECT_THROW(Database{half}, ConnectError);

    ASSERT_TRUE(server.Stop()) << server.Log();
    server.SetServerOptions(ServerOptions(certs, "elsewhere"));
    ASSERT_TRUE(server.Start()) << server.Log();
    const TlsCase for_another_host[] = {
        {"ssl_ca alone", "ca.pem", false, std::nullopt, false, unproven},
        {"ssl_ca, ssl_verify false", "ca.pem", false, false, true, "not that it was made for"},
    };
    for (const TlsCase& c : for_another_host) Check(plain, certs, c);

    // The program says it on standard error: refused without, connected with ssl_verify false.
    std::stringstream text;
    text << std::ifstream(server.Config()).rdbuf() << "ssl_ca " << certs.File("ca.pem") << "\n";
    const std::string path = certs.File("spectra_config.txt");
    for (const bool skip_host : {false, true}) {
        std::ofstream(path) << text.str() << (skip_host ? "ssl_verify false\n" : "");
        std::filesystem::permissions(
            path, std::filesystem::perms::owner_read | std::filesystem::perms::owner_write);
        const test::CliOutcome r = test::RunCliWords({"--config", path, "sensors"});
        EXPECT_EQ(r.rc, skip_host ? 0 : 1) << r.err;
        EXPECT_NE(r.err.find(skip_host ? "ssl_verify false" : unproven), std::string::npos)
            << r.err;
    }
}

}  // namespace
}  // namespace orvane
