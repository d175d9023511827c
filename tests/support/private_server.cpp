// SPDX-License-Identifier: GPL-3.0-or-later
#include "support/private_server.h"

#include <signal.h>

#include <chrono>
#include <cstdlib>
#include <string>
#include <thread>
#include <fstream>
#include <sstream>

namespace orvane::test {

PrivateServer::PrivateServer() { running_ = Script("init --port auto --no-seed") == 0; }

PrivateServer::~PrivateServer() {
    Thaw();
    if (running_) Stop();
}

bool PrivateServer::Freeze() {
    const int pid = std::atoi(FileText(home_.File("mariadb.pid")).c_str());
    if (pid <= 0 || kill(pid, SIGSTOP) != 0) return false;
    frozen_pid_ = pid;
    // The signal is delivered asynchronously: until the state reads "T" the server may still
    // answer a request or two.
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(10);
    while (std::chrono::steady_clock::now() < deadline) {
        const std::string stat = FileText("/proc/" + std::to_string(pid) + "/stat");
        const size_t name_end = stat.rfind(')');
        if (name_end != std::string::npos && name_end + 2 < stat.size() &&
            stat[name_end + 2] == 'T')
            return true;
        std::this_thread::sleep_for(std::chrono::milliseconds(5));
    }
    return false;
}

void PrivateServer::Thaw() {
    if (frozen_pid_ > 0) kill(frozen_pid_, SIGCONT);
    frozen_pid_ = 0;
}

std::string PrivateServer::Log() const {
    std::ifstream in(home_.File("script.log"));
    std::stringstream ss;
    ss << in.rdbuf();
    return ss.str();
}

bool PrivateServer::Stop() {
    running_ = false;
    return Script("stop") == 0;
}

bool PrivateServer::Start() {
    running_ = Script("start") == 0;
    return running_;
}

int PrivateServer::Script(const std::string& args) const {
    const std::string command = "ORVANE_HOME='" + home_.Path() + "' ORVANE_DB_SERVER_OPTS='" +
                                options_ + "' '" + SourcePath("scripts/orvane-db") + "' " + args +
                                " >>'" + home_.File("script.log") + "' 2>&1";
    return std::system(command.c_str());
}

}  // namespace orvane::test
