// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <string>
#include <vector>

#include "forms/main_form.h"

namespace orvane {

// The optional stages' modes as the form shows them beside the other chain settings, so a user
// sees without opening a menu whether they are on: "Splice Correction: off, Continuum
// Removal: on".
std::string StageStatusText(const std::vector<StageMenu>& menus);
// The same with each stage's pairs, one stage a line, and where to change them.
std::string StageStatusTip(const std::vector<StageMenu>& menus);

}  // namespace orvane
