// SPDX-License-Identifier: GPL-3.0-or-later
#include "base/orvane_error.h"

namespace orvane {

std::string WithHint(const std::string& message, const std::string& hint) {
    if (hint.empty()) return message;
    if (!message.empty() && message.back() == '.')
        return message.substr(0, message.size() - 1) + " (" + hint + ").";
    return message + " (" + hint + ")";
}

FileNotFoundError::FileNotFoundError(const std::string& path)
    : OrvaneError("File " + path + "  not found! About to quit! \n"), path_(path) {}

}  // namespace orvane
