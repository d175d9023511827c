// SPDX-License-Identifier: GPL-3.0-or-later
#include "base/shown_text.h"

#include <fmt/format.h>

#include "base/utf8_text.h"

namespace orvane {

namespace {

std::string Escaped(std::string_view text, bool keep_layout) {
    std::string out;
    out.reserve(text.size());
    for (size_t i = 0; i < text.size(); ++i) {
        const char c = text[i];
        const unsigned char u = static_cast<unsigned char>(c);
        const size_t length = Utf8SequenceLength(text, i);
        if (length == 0) {
            // A byte that is not UTF-8: 0x9B alone is a sequence start to an 8-bit terminal.
            out += fmt::format("\\x{:02x}", u);
        } else if (length > 2 || (length == 2 && u != 0xC2)) {
            out.append(text.substr(i, length));
            i += length - 1;
        } else if (keep_layout && (c == '\n' || c == '\t')) {
            out += c;
        } else if (c == '\t') {
            out += "\\t";
        } else if (c == '\n') {
            out += "\\n";
        } else if (c == '\r') {
            out += "\\r";
        } else if (u < 0x20 || u == 0x7F) {
            out += fmt::format("\\x{:02x}", u);
        } else if (length == 2 && static_cast<unsigned char>(text[i + 1]) <= 0x9F) {
            // U+0080 to U+009F in UTF-8: some terminals take U+009B as the start of a sequence.
            out += fmt::format("\\u{:04X}", static_cast<unsigned char>(text[++i]));
        } else {
            out.append(text.substr(i, length));
            i += length - 1;
        }
    }
    return out;
}

}  // namespace

std::string EscapeControls(std::string_view text) { return Escaped(text, false); }

std::string EscapeEntryControls(std::string_view text) { return Escaped(text, true); }

size_t Utf8Chars(std::string_view text) {
    size_t n = 0;
    for (char c : text)
        if ((static_cast<unsigned char>(c) & 0xC0) != 0x80) ++n;
    return n;
}

size_t DisplayWidth(std::string_view text) { return Utf8Chars(text); }

std::string_view TrimBlanks(std::string_view text) {
    const size_t first = text.find_first_not_of(" \t\r\n");
    if (first == std::string_view::npos) return {};
    const size_t last = text.find_last_not_of(" \t\r\n");
    return text.substr(first, last - first + 1);
}

std::string TrimmedText(std::string_view text) { return std::string(TrimBlanks(text)); }

}  // namespace orvane
