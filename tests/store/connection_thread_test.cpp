// SPDX-License-Identifier: GPL-3.0-or-later
// One connection, one thread at a time: a request from a thread that does not hold the
// connection is refused before anything is sent, and a server that stops answering ends the
// wait after the configured time instead of holding the program for ever.
#include <gtest/gtest.h>

#include <functional>
#include <utility>
#include <fstream>
#include <string>
#include <thread>

#include "base/config_file.h"
#include "store/database.h"
#include "support/private_server.h"
#include "support/scratch_database.h"

namespace orvane {
namespace {

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

}  // namespace
}  // namespace orvane
