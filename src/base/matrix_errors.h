// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <string>
#include <utility>

#include "base/matrix.h"
#include "base/orvane_error.h"

namespace orvane {

// Runs linear algebra and turns Newmat's exceptions, which are not std::exception, into the
// program's error: `context`, Newmat's own text, then `suffix`. Both faces catch OrvaneError
// at one point, so every matrix failure reaches the user. Work that treats a singular matrix
// or a failed convergence apart catches those itself.
template <class Work>
auto WithMatrixErrors(const std::string& context, Work&& work, const std::string& suffix = "")
    -> decltype(std::forward<Work>(work)()) {
    try {
        return std::forward<Work>(work)();
    } catch (const NEWMAT::BaseException&) {
        throw OrvaneError(context + NEWMAT::BaseException::what() + suffix);
    }
}

}  // namespace orvane
