// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <string>
#include <string_view>

namespace orvane {

// True when every byte of `text` belongs to a well-formed UTF-8 sequence: no stray
// continuation bytes, no overlong forms, no surrogates, nothing beyond U+10FFFF.
bool IsValidUtf8(std::string_view text);

// `text` with every byte that is not part of a well-formed UTF-8 sequence replaced by U+FFFD,
// so that it can be stored as utf8mb4 and the damage is visible rather than guessed at.
std::string ReplaceInvalidUtf8(std::string_view text);

// The length of the well-formed UTF-8 sequence that starts at `at` (1 for ASCII), or 0 when
// the byte there does not start one.
size_t Utf8SequenceLength(std::string_view text, size_t at);

}  // namespace orvane
