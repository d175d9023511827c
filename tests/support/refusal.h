// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <gtest/gtest.h>

#include <functional>
#include <string>

#include "base/orvane_error.h"

namespace orvane::test {

// Success when `run` throws an OrvaneError whose message holds `part`; the failure says what
// happened instead.
inline ::testing::AssertionResult Refuses(const std::function<void()>& run,
                                          const std::string& part) {
    try {
        run();
    } catch (const OrvaneError& e) {
        if (std::string(e.what()).find(part) != std::string::npos)
            return ::testing::AssertionSuccess();
        return ::testing::AssertionFailure() << "the message lacks \"" << part << "\": " << e.what();
    }
    return ::testing::AssertionFailure() << "nothing was refused";
}

}  // namespace orvane::test
