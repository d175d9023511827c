// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <string>

namespace orvane {

// Where and as whom to connect, as the configuration file gives it.
struct ConnectionParams {
    std::string host;
    std::string user;
    std::string password;
    std::string database;
    unsigned port = 3306;
};

}  // namespace orvane
