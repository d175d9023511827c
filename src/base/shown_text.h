// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <string>
#include <string_view>

namespace orvane {

// The one rule for showing text that came from the database, a file or a folder name: control
// characters are written as escapes (\t, \n, \r, \xhh; C1 controls as \u0080 to \u009F), and so
// are bytes that are not UTF-8 (\xhh), so a name printed on one line of a listing stays on it,
// cannot start a terminal sequence and shows the bytes it really has. Everything else,
// backslashes and UTF-8 included, is shown as it is.
std::string EscapeControls(std::string_view text);

// The same for a whole report entry or message, whose line ends and tabs are the program's own
// layout: those stay, every other control is escaped. The names inside such a text are escaped
// with EscapeControls where it is put together.
std::string EscapeEntryControls(std::string_view text);

// The text without the blanks, tabs and line ends around it (a view into `text`).
std::string_view TrimBlanks(std::string_view text);
// The same as a string of its own.
std::string TrimmedText(std::string_view text);

// The characters of UTF-8 text, as a database column's size counts them.
size_t Utf8Chars(std::string_view text);

// The columns `text` takes in a fixed-width table: its characters, not its bytes, so that
// names with accents still line up.
size_t DisplayWidth(std::string_view text);

}  // namespace orvane
