// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <string>
#include <string_view>

namespace orvane {

// The one case rule for the words a user types to choose something (a stage, a classifier,
// a format, a details level, a name type, ...): any case is accepted. Only ASCII letters fold,
// since every choice word is ASCII.
std::string AsciiLower(std::string_view text);
bool SameWord(std::string_view typed, std::string_view word);

}  // namespace orvane
