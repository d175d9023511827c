// SPDX-License-Identifier: GPL-3.0-or-later
// The command line where it needs no server: usage, help, a missing configuration and a
// server that does not answer, and the progress line.
#include <gtest/gtest.h>
#include <netinet/in.h>
#include <sys/socket.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cstdio>
#include <fstream>
#include <sstream>
#include <string>
#include <vector>

#include "base/frontend.h"
#include "cli/cli_frontend.h"
#include "support/cli_fixture.h"

namespace orvane {
namespace {

using Outcome = test::CliOutcome;
using test::Contains;

Outcome RunOrvaneCli(const std::vector<std::string>& args) { return test::RunCliWords(args); }

// A TCP port on 127.0.0.1 that nothing listens on: bound once by us and released.
int ClosedPort() {
    const int fd = socket(AF_INET, SOCK_STREAM, 0);
    sockaddr_in addr{};
    addr.sin_family = AF_INET;
    addr.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    addr.sin_port = 0;
    bind(fd, reinterpret_cast<sockaddr*>(&addr), sizeof addr);
    socklen_t len = sizeof addr;
    getsockname(fd, reinterpret_cast<sockaddr*>(&addr), &len);
    close(fd);
    return ntohs(addr.sin_port);
}

// Runs the orvane-cli program with its working directory and $ORVANE_HOME set for it alone, so
// that this process's working directory and environment stay as they are.
Outcome RunProgramIn(const std::string& dir, const std::string& home, const std::string& words) {
    test::TempDir scratch;
    const std::string err = scratch.File("stderr.txt");
    const std::string line = "cd '" + dir + "' && ORVANE_HOME='" + home + "' '" +
                             std::string(ORVANE_CLI_PATH) + "' " + words + " 2>'" + err + "'";
    FILE* pipe = popen(line.c_str(), "r");
    if (!pipe) return {-1, "", "popen failed"};
    std::string out;
    char buffer[4096];
    for (size_t n; (n = std::fread(buffer, 1, sizeof buffer, pipe)) > 0;) out.append(buffer, n);
    const int status = pclose(pipe);
    return {WIFEXITED(status) ? WEXITSTATUS(status) : -1, out, test::FileText(err)};
}

TEST(Cli, MissingConfigurationEndsWithTheStartUpMessage) {
    test::TempDir dir;
    const std::string path = dir.File("spectra_config.txt");
    Outcome r = RunOrvaneCli({"--config", path, "studies"});
    EXPECT_EQ(r.rc, 1);
    EXPECT_EQ(r.out, "File " + path + "  not found! About to quit! \n");
    EXPECT_EQ(r.err, "");
    // Without --config the file is looked for in the working directory, then in
    // $ORVANE_HOME; stderr names both places when neither has it.
    test::TempDir home;
    r = RunProgramIn(dir.Path(), home.Path(), "sensors");
    EXPECT_EQ(r.rc, 1);
    EXPECT_EQ(r.out, "File spectra_config.txt  not found! About to quit! \n");
    EXPECT_TRUE(Contains(r.err, home.Path() + "/spectra_config.txt")) << r.err;
    // Found in $ORVANE_HOME, entries left out take their defaults and the server's own text
    // says why the connection failed (the port is one nothing listens on, so that a server on
    // the default port or socket cannot let it succeed).
    std::ofstream(home.File("spectra_config.txt"))
        << "server 127.0.0.1\nport " << ClosedPort() << "\n";
    // Readable by others, so standard error also names the file and the fix, before the
    // connection is tried.
    chmod(home.File("spectra_config.txt").c_str(), 0644);
    r = RunProgramIn(dir.Path(), home.Path(), "sensors");
    EXPECT_EQ(r.rc, 1);
    EXPECT_EQ(r.out, "");
    EXPECT_TRUE(Contains(r.err, "could not connect")) << r.err;
    EXPECT_TRUE(Contains(r.err, "Can't connect")) << r.err;
    EXPECT_TRUE(Contains(r.err, "chmod 600 " + home.Path() + "/spectra_config.txt")) << r.err;
}

TEST(Cli, HelpVersionAndUsageErrorsNeedNoConfiguration) {
    test::TempDir dir;
    for (const std::vector<std::string>& command :
         {std::vector<std::string>{"sensors"}, {"feature-space", "new"}}) {
        std::string usage = "usage: orvane-cli [--config FILE]";
        for (const std::string& word : command) usage += " " + word;
        for (bool help_first : {false, true}) {
            std::vector<std::string> args = {"--config", dir.File("none.txt")};
            if (help_first) args.push_back("--help");
            args.insert(args.end(), command.begin(), command.end());
            if (!help_first) args.push_back("--help");
            const Outcome r = RunOrvaneCli(args);
            EXPECT_EQ(r.rc, 0) << usage;
            EXPECT_EQ(r.out.rfind(usage, 0), 0u) << r.out;
        }
    }
    Outcome r = RunOrvaneCli({"--help"});
    EXPECT_EQ(r.rc, 0);
    for (const char* name : {"sensors", "sensor import FILE", "studies", "--config FILE",
                             "id:N       always the id N", "name:TEXT  always the name TEXT",
                             "4 cancelled"})
        EXPECT_TRUE(Contains(r.out, name)) << name;
    // Each command that takes a NAME|ID says how it is read; the others do not.
    EXPECT_TRUE(Contains(RunOrvaneCli({"study", "delete", "--help"}).out, "id:N"));
    EXPECT_FALSE(Contains(RunOrvaneCli({"sensors", "--help"}).out, "id:N"));
    // The third name type is "local" in every command; the older "maori" is named as its
    // synonym wherever --names is offered, and nowhere as a choice of its own.
    for (const std::vector<std::string>& command :
         {std::vector<std::string>{"--help"}, {"da", "--help"}, {"export", "--help"},
          {"separability", "--help"}, {"compare", "--help"}, {"da-independent", "--help"}}) {
        const std::string help = RunOrvaneCli(command).out;
        EXPECT_TRUE(Contains(help, "--names common|local|latin|folder")) << command[0];
        EXPECT_TRUE(Contains(help, "\"maori\" is accepted as a synonym")) << command[0];
        EXPECT_FALSE(Contains(help, "|maori|")) << command[0];
    }
    EXPECT_FALSE(Contains(RunOrvaneCli({"sensors", "--help"}).out, "maori"));
    r = RunOrvaneCli({"sensors", "--version"});
    EXPECT_EQ(r.rc, 0);
    EXPECT_EQ(r.out, std::string("orvane-cli ") + ORVANE_VERSION + "\n");

    // Usage errors exit with 2 before any configuration is read.
    const test::CliRefusal cases[] = {
        {{"frobnicate"}, 2, "unknown command \"frobnicate\""},
        {{}, 2, "usage: orvane-cli"},
        {{"sensors", "--config"}, 2, "--config needs a value"},
        {{"sensors", "--badflag"}, 2, "unknown option --badflag;"},
        {{"--colour=red", "sensors"}, 2, "unknown option --colour;"},
    };
    for (const auto& c : cases) {
        r = RunOrvaneCli(c.args);
        EXPECT_TRUE(test::Refused(r, c.rc, c.says));
        EXPECT_EQ(r.out, "") << c.says;
    }
}

// Progress is one line on a terminal, rewritten in place and wiped before any other text and
// at its end, so nothing of it stays; off a terminal nothing is written at all.
TEST(Cli, ProgressIsARewrittenLineOnATerminalAndNothingElsewhere) {
    for (bool terminal : {false, true}) {
        std::ostringstream out, err;
        {
            CliFrontend frontend(out, err, terminal);
            ProgressScope scope(frontend, "Building Library", 4);
            frontend.StepProgress(1);
            frontend.Report("halfway");
            frontend.StepProgress(2);
            frontend.StepProgress(4);
        }
        EXPECT_EQ(out.str(), "halfway\n") << terminal;
        const std::string shown = err.str();
        if (!terminal) {
            EXPECT_EQ(shown, "");
            continue;
        }
        EXPECT_TRUE(Contains(shown, "\rBuilding Library [#######                       ] 25%"))
            << shown;
        EXPECT_TRUE(Contains(shown, "] 100%")) << shown;
        EXPECT_EQ(shown.find('\n'), std::string::npos) << shown;
        // What is left on the terminal after the last carriage return is blank.
        const std::string last = shown.substr(shown.rfind('\r', shown.size() - 2) + 1);
        EXPECT_EQ(last.find_first_not_of(" \r"), std::string::npos) << shown;
    }
}

}  // namespace
}  // namespace orvane
