// SPDX-License-Identifier: GPL-3.0-or-later
// Connections configured for TLS are encrypted or not made: never plain text, and the server's
// certificate and host name are checked unless ssl_verify false says otherwise. One private
// server is started without TLS, then with a certificate for 127.0.0.1, then with one for
// another host; the certificates are made here with openssl.
#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <optional>
#include <string>
#include <vector>

#include "base/config_file.h"
#include "store/database.h"
#include "support/cli_runner.h"
#include "support/private_server.h"
#include "support/refusal.h"
#include "support/scratch_database.h"

namespace orvane {
namespace {

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
