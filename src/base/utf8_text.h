// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <string>
#include <string_view>

namespace orvane {

// True when `text` is well-formed UTF-8: no stray continuation bytes, no cut sequences, no
// overlong forms, no surrogates and nothing above U+10FFFF, so the database stores it as given.
bool IsValidUtf8(std::string_view text);

// `text` with every byte that is not part of a well-formed UTF-8 sequence written as \xNN,
// for messages that must show a name the database cannot hold.
std::string EscapeInvalidUtf8(std::string_view text);

}  // namespace orvane
