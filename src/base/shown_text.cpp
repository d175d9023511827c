// SPDX-License-Identifier: GPL-3.0-or-later
#include "base/shown_text.h"

#include <fmt/format.h>

namespace orvane {

namespace {

std::string Escaped(const std::string& text, bool keep_layout) {
    std::string out;
    out.reserve(text.size());
    for (size_t i = 0; i < text.size(); ++i) {
        const char c = text[i];
        const unsigned char u = static_cast<unsigned char>(c);
        if (keep_layout && (c == '\n' || c == '\t')) {
            out += c;
        } else if (c == '\t') {
            out += "\\t";
        } else if (c == '\n') {
            out += "\\n";
        } else if (c == '\r') {
            out += "\\r";
        } else if (u < 0x20 || u == 0x7F) {
            out += fmt::format("\\x{:02X}", u);
        } else if (u == 0xC2 && i + 1 < text.size() &&
                   static_cast<unsigned char>(text[i + 1]) >= 0x80 &&
                   static_cast<unsigned char>(text[i + 1]) <= 0x9F) {
            // U+0080 to U+009F in UTF-8: some terminals take U+009B as the start of a sequence.
            out += fmt::format("\\u{:04X}", static_cast<unsigned char>(text[++i]));
        } else {
            out += c;
        }
    }
    return out;
}

}  // namespace

std::string EscapeControls(const std::string& text) { return Escaped(text, false); }

std::string EscapeEntryControls(const std::string& text) { return Escaped(text, true); }

}  // namespace orvane
