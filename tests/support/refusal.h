// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <gtest/gtest.h>

#include <functional>
#include <string>

#include "base/feedback.h"
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

// The message of the OrvaneError `run` throws; empty when it throws none.
inline std::string RefusalMessage(const std::function<void()>& run) {
    try {
        run();
    } catch (const OrvaneError& e) {
        return e.what();
    }
    return "";
}

// Success when `run` ends with Cancelled, the outcome that is no failure; an OrvaneError in
// its place is a failure, as the faces would show it as one.
inline ::testing::AssertionResult EndsCancelled(const std::function<void()>& run) {
    try {
        run();
    } catch (const Cancelled& e) {
        if (std::string(e.what()).rfind("cancelled", 0) == 0) return ::testing::AssertionSuccess();
        return ::testing::AssertionFailure() << "the message does not begin \"cancelled\": "
                                             << e.what();
    } catch (const std::exception& e) {
        return ::testing::AssertionFailure() << "failed instead of cancelling: " << e.what();
    }
    return ::testing::AssertionFailure() << "ran to the end";
}

}  // namespace orvane::test
