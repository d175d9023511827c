# SPDX-License-Identifier: GPL-3.0-or-later
# Run by ctest after it has added the tests of orvane_pure_tests: those whose name contains
# "Thread" get the label "threads" too, which the ThreadSanitizer build runs.
foreach(test IN LISTS orvane_pure_tests_TESTS)
    if(test MATCHES "Thread")
        set_tests_properties("${test}" PROPERTIES LABELS "pure;threads")
    endif()
endforeach()
