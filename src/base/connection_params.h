// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <optional>
#include <string>

namespace orvane {

// Where and as whom to connect, as the configuration file gives it.
struct ConnectionParams {
    std::string host;
    std::string user;
    std::string password;
    std::string database;
    unsigned port = 3306;
    // Seconds a statement may wait for the server's answer (reading or sending) before the
    // connection is given up, so that a server that stops answering never freezes a face.
    unsigned timeout = 60;
    // TLS for a server reached over the network. Any of these requires an encrypted
    // connection; ssl_ca (or ssl_verify true) also checks the server's certificate and host
    // name, and an explicit ssl_verify false skips only the host name check.
    std::string ssl_ca;
    std::string ssl_cert;
    std::string ssl_key;
    std::optional<bool> ssl_verify;  // empty when the configuration does not say
};

}  // namespace orvane
