// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <string>

namespace orvane {

// The one rule for showing text that came from the database, a file or a folder name: control
// characters are written as escapes (\t, \n, \r, \xHH; C1 controls as \u0080 to \u009F), so a
// name printed on one line of a listing stays on it and cannot start a terminal sequence.
// Everything else, backslashes and UTF-8 included, is shown as it is.
std::string EscapeControls(const std::string& text);

// The same for a whole report entry or message, whose line ends and tabs are the program's own
// layout: those stay, every other control is escaped. The names inside such a text are escaped
// with EscapeControls where it is put together.
std::string EscapeEntryControls(const std::string& text);

}  // namespace orvane
