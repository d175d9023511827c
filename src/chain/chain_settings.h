// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <utility>
#include <vector>

namespace orvane {

// An optional stage's setting in a study: its mode (0 off) and the study's wavelength pairs for
// it (the splice joins, the continuum ranges; empty for the stage's default).
struct StageSetting {
    int mode = 0;
    std::vector<std::pair<int, int>> pairs;

    bool operator==(const StageSetting& o) const { return mode == o.mode && pairs == o.pairs; }
};

}  // namespace orvane
