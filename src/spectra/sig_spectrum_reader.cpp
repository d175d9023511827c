// SPDX-License-Identifier: GPL-3.0-or-later
#include "spectra/sig_spectrum_reader.h"

#include <algorithm>
#include <cctype>
#include <cmath>
#include <optional>
#include <vector>

#include "base/utf8_text.h"
#include "base/shown_text.h"
#include "spectra/spectrum_text.h"

namespace orvane {

namespace {

constexpr std::size_t kColumns = 4;

std::string LowerCase(std::string_view text) {
    std::string out(text);
    for (char& c : out) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
    return out;
}

// The break points after "Remove @" in the factors line: whole or point-decimal numbers
// separated by commas ("990,1900").
std::vector<double> RemovePoints(std::string_view factors) {
    const std::string lower = LowerCase(factors);
    const std::size_t at = lower.find("remove @");
    std::vector<double> points;
    if (at == std::string::npos) return points;
    std::size_t pos = at + 8;
    while (true) {
        while (pos < factors.size() && factors[pos] == ' ') ++pos;
        const std::size_t start = pos;
        while (pos < factors.size() &&
               ((factors[pos] >= '0' && factors[pos] <= '9') || factors[pos] == '.'))
            ++pos;
        const std::optional<double> v = ParseDecimal(factors.substr(start, pos - start));
        if (!v) break;
        points.push_back(*v);
        if (pos >= factors.size() || factors[pos] != ',') break;
        ++pos;
    }
    return points;
}

// Splits a row at blanks (spaces and tabs) into at most kColumns + 1 fields.
std::size_t SplitRow(std::string_view row, std::string_view (&fields)[kColumns + 1]) {
    std::size_t n = 0;
    std::size_t pos = 0;
    while (n <= kColumns) {
        while (pos < row.size() && (row[pos] == ' ' || row[pos] == '\t')) ++pos;
        if (pos >= row.size()) break;
        const std::size_t start = pos;
        while (pos < row.size() && row[pos] != ' ' && row[pos] != '\t') ++pos;
        fields[n++] = row.substr(start, pos - start);
    }
    return n;
}

std::string ColumnCount(std::size_t n, std::string_view row) {
    // More than kColumns fields are counted as far as needed only.
    if (n > kColumns) {
        std::size_t all = 0;
        bool in_field = false;
        for (char c : row) {
            const bool blank = c == ' ' || c == '\t';
            if (!blank && !in_field) ++all;
            in_field = !blank;
        }
        n = all;
    }
    return std::to_string(n) + (n == 1 ? " column" : " columns");
}

}  // namespace

bool LooksLikeSigStart(std::string_view start) {
    return start.substr(0, start.find('\n')).find(kSigFirstLine) != std::string_view::npos;
}

FieldSpectrumContents ReadSigSpectrumValues(const std::string& path) {
    const std::vector<std::string> lines = ReadSpectrumTextLines(path);
    // A byte-order mark some editors write is no part of the first line.
    std::string_view first = lines.empty() ? std::string_view() : std::string_view(lines[0]);
    if (first.substr(0, 3) == "\xEF\xBB\xBF") first.remove_prefix(3);
    if (TrimBlanks(first) != kSigFirstLine)
        RefuseSpectrumFile(path, "line 1 is not \"" + std::string(kSigFirstLine) +
                                     "\", the first line of a SIG file");

    FieldSpectrumContents out;
    out.altitude = std::nan("");
    std::string time_text;
    std::string latitude_text;
    std::string longitude_text;
    std::vector<double> break_points;
    std::size_t row = 1;
    bool data = false;
    for (; row < lines.size() && !data; ++row) {
        const std::string_view line = TrimBlanks(lines[row]);
        if (line.empty()) continue;
        const std::size_t equals = line.find('=');
        if (equals == std::string_view::npos)
            RefuseSpectrumFile(path, "line " + std::to_string(row + 1) +
                                         " is neither a \"key= value\" header line nor "
                                         "\"data=\" (" +
                                         QuotedForRefusal(line) + ")");
        const std::string key = LowerCase(TrimBlanks(line.substr(0, equals)));
        const std::string_view value = TrimBlanks(line.substr(equals + 1));
        if (key == "data")
            data = true;
        else if (key == "name")
            out.name = std::string(value);
        else if (key == "comm")
            out.comment = std::string(value);
        else if (key == "time")
            time_text = std::string(value);
        else if (key == "latitude")
            latitude_text = std::string(value);
        else if (key == "longitude")
            longitude_text = std::string(value);
        else if (key == "factors")
            break_points = RemovePoints(value);
        else if (key == "instrument")
            out.instrument = std::string(value);
    }
    if (!data) RefuseSpectrumFile(path, "it has no \"data=\" line ending its header");

    std::vector<MeasuredChannel> channels;
    channels.reserve(lines.size() - row);
    bool decimal_comma = false;
    for (; row < lines.size(); ++row) {
        const std::string_view line = TrimBlanks(lines[row]);
        if (line.empty()) continue;
        std::string_view fields[kColumns + 1];
        const std::size_t n = SplitRow(line, fields);
        const int number = static_cast<int>(row + 1);
        if (n != kColumns)
            RefuseSpectrumFile(path, "line " + std::to_string(number) + " has " +
                                         ColumnCount(n, line) + " where the table has " +
                                         std::to_string(kColumns) + " (" +
                                         QuotedForRefusal(line) + ")");
        const std::optional<double> wavelength = ParseDecimal(fields[0]);
        if (!wavelength)
            RefuseSpectrumFile(path, "line " + std::to_string(number) + ": its wavelength " +
                                         QuotedForRefusal(fields[0]) + " is not a number");
        const std::optional<double> percent = ParseDecimal(fields[3]);
        if (!percent)
            RefuseSpectrumFile(path, "line " + std::to_string(number) + ": its reflectance " +
                                         QuotedForRefusal(fields[3]) + " is not a number");
        if (channels.empty()) decimal_comma = fields[0].find(',') != std::string_view::npos;
        channels.push_back({*wavelength, *percent / 100.0, number});
    }

    out.reflectances = ResampleOntoGrid(path, channels, break_points, &out.splice_points);
    out.capture_time = HeaderCaptureTime(HeaderDates(time_text, decimal_comma),
                                         HeaderTimes(time_text), time_text, out.notes);
    out.latitude = HeaderPosition(latitude_text, 90.0, "latitude", out.notes);
    out.longitude = HeaderPosition(longitude_text, 180.0, "longitude", out.notes);
    // The database holds UTF-8 only; the original bytes stay readable in the note.
    for (std::string* text : {&out.name, &out.comment, &out.instrument}) {
        const std::string repaired = ReplaceInvalidUtf8(*text);
        if (repaired == *text) continue;
        out.notes.push_back(std::string("its ") +
                            (text == &out.name      ? "name"
                             : text == &out.comment ? "comment"
                                                    : "instrument") +
                            " \"" + EscapeControls(*text) +
                            "\" is not valid UTF-8; each invalid byte is kept as U+FFFD");
        *text = repaired;
    }
    return out;
}

}  // namespace orvane
