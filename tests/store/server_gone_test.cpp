// SPDX-License-Identifier: GPL-3.0-or-later
// The server stopping under the program: every kind of statement reports a clear DbError and
// nothing crashes. This runs its own private server, never the shared throwaway one.
#include <gtest/gtest.h>

#include <algorithm>
#include <cctype>
#include <functional>
#include <future>
#include <sstream>
#include <string>
#include <utility>
#include <thread>

#include "base/config_file.h"
#include "base/frontend.h"
#include "chain/processing_session.h"
#include "study/sensor_import.h"
#include "cli/cli.h"
#include "store/spectra_repository.h"
#include "study/study_loader.h"
#include "store/database.h"
#include "support/private_server.h"
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

}  // namespace
}  // namespace orvane
