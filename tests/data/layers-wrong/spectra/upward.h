// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "stats/spectral_statistics.h"
