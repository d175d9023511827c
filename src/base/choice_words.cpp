// SPDX-License-Identifier: GPL-3.0-or-later
#include "base/choice_words.h"

#include "base/orvane_error.h"

namespace orvane {

std::string AsciiLower(std::string_view text) {
    std::string out(text);
    for (char& c : out)
        if (c >= 'A' && c <= 'Z') c = static_cast<char>(c - 'A' + 'a');
    return out;
}

bool SameWord(std::string_view typed, std::string_view word) {
    return typed.size() == word.size() && AsciiLower(typed) == AsciiLower(word);
}

void ThrowUnknownChoice(std::string_view what, std::string_view word, const std::string& choices) {
    throw OrvaneError("Unknown " + std::string(what) + " \"" + std::string(word) +
                      "\"; choose one of " + choices + ".");
}

}  // namespace orvane
