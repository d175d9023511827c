// SPDX-License-Identifier: GPL-3.0-or-later
#include "forms/stage_status.h"

namespace orvane {

namespace {

std::string ModeWord(const StageMenu& menu) {
    return menu.mode >= 0 && menu.mode < static_cast<int>(menu.modes.size())
               ? menu.modes[static_cast<size_t>(menu.mode)]
               : std::to_string(menu.mode);
}

}  // namespace

std::string StageStatusText(const std::vector<StageMenu>& menus) {
    std::string text;
    for (const StageMenu& menu : menus)
        text += (text.empty() ? "" : ", ") + menu.label + ": " + ModeWord(menu);
    return text;
}

std::string StageStatusTip(const std::vector<StageMenu>& menus) {
    std::string tip;
    for (const StageMenu& menu : menus) {
        const std::string pairs_word = menu.pairs.substr(0, menu.pairs.find(','));
        tip += menu.label + ": " + ModeWord(menu) + ", " + pairs_word + " " +
               (menu.pairs_text.empty() ? menu.default_pairs + " (default)" : menu.pairs_text) +
               "\n";
    }
    return tip + "Change them in Chain Settings.";
}

}  // namespace orvane
