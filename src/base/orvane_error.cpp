// SPDX-License-Identifier: GPL-3.0-or-later
#include "base/orvane_error.h"

namespace orvane {

FileNotFoundError::FileNotFoundError(const std::string& path)
    : OrvaneError("File " + path + "  not found! About to quit! \n"), path_(path) {}

}  // namespace orvane
