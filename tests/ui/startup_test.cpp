// SPDX-License-Identifier: GPL-3.0-or-later
// Start-up without a configuration file: the user is asked (here by a scripted answer).
// Declining ends the program with status 1 before any window opens; taking the offered
// private database makes the server and the demo study in one step and opens the window on it.
#include <fcntl.h>
#include <unistd.h>

#include <QTimer>
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <iterator>
#include <string>

#include "base/run_program.h"
#include "support/cli_runner.h"
#include "support/scratch_database.h"
#include "ui/orvane_application.h"

namespace {
using orvane::OrvaneApplication;

int Fail(const std::string& what) {
    std::fprintf(stderr, "FAIL: %s\n", what.c_str());
    return 1;
}

// Stops the private server a test made, however the test ends.
struct ServerStop {
    std::string home;
    ~ServerStop() {
        orvane::RunProgram({orvane::test::SourcePath("scripts/orvane-db"), "stop"},
                           {{"ORVANE_HOME", home}});
    }
};
}  // namespace

int main(int argc, char** argv) {
    orvane::test::TempDir dir;
    setenv("ORVANE_HOME", dir.Path().c_str(), 1);
    if (chdir(dir.Path().c_str()) != 0) return 2;
    OrvaneApplication app(argc, argv);

    std::string asked;
    bool offered = false;
    // What the program printed by the time it asks: never that it is about to quit.
    const std::string printed = dir.Path() + "/printed.txt";
    std::string printed_while_asking;
    const auto read_printed = [&] {
        std::fflush(stdout);
        std::fflush(stderr);
        std::ifstream in(printed);
        return std::string(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
    };
    app.SetConfigAnswer([&](const std::string& message, bool can_create) {
        asked = message;
        offered = can_create;
        printed_while_asking = read_printed();
        return OrvaneApplication::StartChoice{};
    });
    std::fflush(stdout);
    std::fflush(stderr);
    const int saved_out = dup(1), saved_err = dup(2);
    const int sink = open(printed.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0600);
    dup2(sink, 1);
    dup2(sink, 2);
    int status = app.Run();
    const std::string printed_at_end = read_printed();
    dup2(saved_out, 1);
    dup2(saved_err, 2);
    close(sink);
    close(saved_out);
    close(saved_err);
    if (printed_while_asking.find("About to quit") != std::string::npos)
        return Fail("printed while the start-up question was open:\n" + printed_while_asking);
    if (printed_at_end.find("About to quit") == std::string::npos)
        return Fail("declining said nothing on the terminal:\n" + printed_at_end);
    // Run from the build folder, the question names the checkout's script.
    if (asked.find("scripts/orvane-db init") == std::string::npos)
        return Fail("the question does not name scripts/orvane-db:\n" + asked);
    const std::string searched = dir.Path() + "/spectra_config.txt";
    if (status != 1 || asked.find(searched) == std::string::npos)
        return Fail("declined: status " + std::to_string(status) + ", message:\n" + asked);
    if (!offered) return Fail("the private database with the demo study was not offered");
    std::printf("PASS: declined start-up exits with 1 after naming %s\n", searched.c_str());

    ServerStop stop{dir.Path()};
    app.SetPrivateSetupOptions({"--port", "auto"});
    app.SetConfigAnswer([](const std::string&, bool) {
        return OrvaneApplication::StartChoice{OrvaneApplication::StartChoice::kCreatePrivate, {}};
    });
    // The window is up once the event loop runs; that is all this start needs to show.
    QTimer quit;
    QObject::connect(&quit, &QTimer::timeout, &app, &QCoreApplication::quit);
    quit.start(200);
    status = app.Run();
    if (status != 0) return Fail("the start with a new private database ended with " +
                                 std::to_string(status));
    const orvane::test::CliOutcome spectra = orvane::test::RunCliWords(
        {"--config", searched, "--study", "Demo study", "spectra", "list"});
    int lines = -1;  // the first line names the columns
    for (const char c : spectra.out) lines += c == '\n';
    if (spectra.rc != 0 || lines != 149)
        return Fail("the demo study holds " + std::to_string(lines) + " spectra, not 149:\n" +
                    spectra.err);
    std::printf("PASS: the first start made the private database and imported the demo study\n");
    return 0;
}
