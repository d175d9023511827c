// SPDX-License-Identifier: GPL-3.0-or-later
#include "base/report_buffer.h"

#include <algorithm>

#include "base/orvane_error.h"
#include "base/text_file.h"

namespace orvane {

ReportBuffer::ReportBuffer(size_t capacity) : capacity_(capacity), separator_(kSeparator) {
    if (capacity_ <= separator_.size() + 1)
        throw OrvaneError("The report buffer must hold more than one separator.");
    text_.reserve(capacity_);
}

void ReportBuffer::Append(const std::string& text) {
    std::string entry = text;
    // An entry that cannot fit even into an empty buffer keeps its newest part.
    const size_t room_for_text = Limit() - separator_.size();
    if (entry.size() > room_for_text) entry.erase(0, entry.size() - room_for_text);
    const size_t n = entry.size() + separator_.size();
    if (n > Limit() - text_.size()) text_.erase(0, std::min(n, text_.size()));
    text_ += entry;
    text_ += separator_;
}

std::string TimedEntry(const std::string& text, std::time_t when) {
    std::tm tm{};
    localtime_r(&when, &tm);
    char stamp[16];
    std::strftime(stamp, sizeof stamp, "[%H:%M:%S] ", &tm);
    return stamp + text;
}

void ReportBuffer::Save(const std::string& path) const {
    TextFile file(path, '#');
    if (!file.OpenForWriting())
        throw OrvaneError(CannotWriteMessage(path, file.FailureReason()));
    file.WriteString(text_);
    if (!file.Close())
        throw OrvaneError(CannotReplaceMessage(path, file.FailureReason()));
}

}  // namespace orvane
