// SPDX-License-Identifier: GPL-3.0-or-later
// The test binaries' entry. In orvane_db_tests, without the throwaway server the tests that
// need it are skipped, and the run says once how to give it one; the others run as always.
#include <gtest/gtest.h>

#include <iostream>
#include <string>

#include "support/scratch_database.h"

namespace {

// Records the skip on the running test and leaves it: gtest takes an AssertionException as a
// result reported already, from a fixture's constructor, its SetUp or the test body alike.
[[maybe_unused]] void SkipWithoutDatabase(const std::string& how) {
    const std::string message = "needs the test database. " + how;
    [&] { GTEST_SKIP() << message; }();
    throw testing::AssertionException(testing::TestPartResult(testing::TestPartResult::kSkip,
                                                              __FILE__, __LINE__, message.c_str()));
}

}  // namespace

#if defined(__has_feature)
#if __has_feature(thread_sanitizer)
// GDAL is built without ThreadSanitizer: its own mutexes, taken in varying order while its
// drivers register, are reported as a potential deadlock inside the library. Reports about
// this project's code stay on.
extern "C" const char* __tsan_default_suppressions() {
    return "deadlock:libgdal.so\ncalled_from_lib:libgdal.so\n";
}
#endif
#endif

int main(int argc, char** argv) {
    testing::InitGoogleTest(&argc, argv);
#ifndef ORVANE_PURE_TESTS
    // (The pure tests have no server: one that asks for it fails, support/scratch_database.cpp.)
    orvane::test::SetNoDatabaseHandler(SkipWithoutDatabase);
    if (!GTEST_FLAG_GET(list_tests) && !orvane::test::TestServerAvailable())
        std::cerr << orvane::test::HowToRunDatabaseTests()
                  << "\nThe tests that need the database are skipped.\n";
#endif
    return RUN_ALL_TESTS();
}
