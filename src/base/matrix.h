// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

// The one place that includes Newmat, so its configuration macros are set the same way for
// every translation unit of the project.
#ifndef WANT_STREAM
#define WANT_STREAM
#endif
#ifndef WANT_MATH
#define WANT_MATH
#endif
#ifndef use_namespace
#define use_namespace
#endif

#include <newmat/newmatap.h>

namespace orvane {
using NEWMAT::ColumnVector;
using NEWMAT::DiagonalMatrix;
using NEWMAT::Matrix;
using NEWMAT::RowVector;
using NEWMAT::SymmetricMatrix;
}  // namespace orvane
