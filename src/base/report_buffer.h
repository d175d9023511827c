// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <cstddef>
#include <ctime>
#include <string>

namespace orvane {

// The rolling text of the report window: every entry is followed by a separator line and the
// oldest text goes first when the buffer is full, so the newest output is always kept.
class ReportBuffer {
  public:
    static constexpr size_t kDefaultCapacity = 30000;
    static constexpr const char* kSeparator =
        "\n---------------------------------------------------\n";

    explicit ReportBuffer(size_t capacity = kDefaultCapacity);

    // Adds the text and the separator. An entry too long for an empty buffer keeps its end.
    void Append(const std::string& text);
    const std::string& Text() const { return text_; }
    size_t Capacity() const { return capacity_; }
    // The most the buffer holds: one character of the capacity is the C terminator's.
    size_t Limit() const { return capacity_ - 1; }
    void Clear() { text_.clear(); }

    // Writes the whole text to the file, replacing it; throws OrvaneError when the file
    // cannot be created or the text does not reach the disk.
    void Save(const std::string& path) const;

  private:
    size_t capacity_;
    std::string separator_;
    std::string text_;
};

// The entry with the local time of day it was made before its first line, "[14:03:12] Sensor:
// ...", so a saved report tells when each setting changed and each result was computed; the
// other lines stay as they are, so tables keep their columns.
std::string TimedEntry(const std::string& text, std::time_t when);

// The width of the time TimedEntry puts before an entry, for lines that continue it.
constexpr size_t kEntryTimeWidth = 11;

}  // namespace orvane
