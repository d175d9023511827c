// SPDX-License-Identifier: GPL-3.0-or-later
#include "study/study_history.h"

#include <algorithm>
#include <array>
#include <vector>

#include "base/shown_text.h"
#include "store/record_history.h"

namespace orvane {

namespace {

size_t Characters(const std::string& text) {
    return static_cast<size_t>(std::count_if(text.begin(), text.end(), [](char c) {
        return (static_cast<unsigned char>(c) & 0xC0) != 0x80;
    }));
}

}  // namespace

std::string StudyHistoryText(Database& db, int study_id) {
    using Row = std::array<std::string, 7>;
    std::vector<Row> rows = {
        {"record", "name", "created by", "created at", "changed by", "changed at", "version"}};
    // Records older than the history columns name nobody.
    const auto who = [](const std::string& account) {
        return account.empty() ? std::string("unknown") : EscapeControls(account);
    };
    for (const RecordHistory& h : StudyHistory(db, study_id))
        rows.push_back({h.kind, EscapeControls(h.name), who(h.created_by),
                        HistoryTime(h.created_at), who(h.changed_by), HistoryTime(h.changed_at),
                        std::to_string(h.version)});
    std::array<size_t, 7> width{};
    for (const Row& r : rows)
        for (size_t c = 0; c < r.size(); ++c) width[c] = std::max(width[c], Characters(r[c]));
    std::string text;
    for (const Row& r : rows) {
        std::string line;
        for (size_t c = 0; c < r.size(); ++c) {
            line += r[c];
            if (c + 1 < r.size()) line += std::string(width[c] - Characters(r[c]) + 2, ' ');
        }
        text += line + "\n";
    }
    return text;
}

}  // namespace orvane
