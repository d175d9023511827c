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
    // TLS for a server reached over the network; empty paths leave the client's defaults.
    std::string ssl_ca;
    std::string ssl_cert;
    std::string ssl_key;
    bool ssl_verify = false;  // check the server's certificate and host name
};

}  // namespace orvane
