// SPDX-License-Identifier: GPL-3.0-or-later
#include "support/private_server.h"

#include <cstdlib>
#include <fstream>
#include <sstream>

namespace orvane::test {

PrivateServer::PrivateServer() { running_ = Script("init --port auto --no-seed") == 0; }

PrivateServer::~PrivateServer() {
    if (running_) Stop();
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
