// SPDX-License-Identifier: GPL-3.0-or-later
#include "spectra/sed_spectrum_reader.h"

#include <cctype>
#include <cmath>
#include <optional>
#include <string_view>
#include <vector>

#include "base/shown_text.h"
#include "base/utf8_text.h"
#include "spectra/spectrum_text.h"

namespace orvane {

namespace {

constexpr int kMaxHeaderLines = 200;

std::string LowerCase(std::string_view text) {
    std::string out(text);
    for (char& c : out) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
    return out;
}

bool IsDataLine(std::string_view line) { return LowerCase(TrimBlanks(line)) == "data:"; }

std::vector<std::string_view> SplitTabs(std::string_view row) {
    std::vector<std::string_view> fields;
    std::size_t start = 0;
    while (true) {
        const std::size_t tab = row.find('\t', start);
        fields.push_back(TrimBlanks(row.substr(start, tab - start)));
        if (tab == std::string_view::npos) break;
        start = tab + 1;
    }
    return fields;
}

// Trailing blanks and tabs after the last column are no column of their own.
std::string_view TrimRowEnd(std::string_view row) {
    while (!row.empty() && (row.back() == ' ' || row.back() == '\t' || row.back() == '\r'))
        row.remove_suffix(1);
    return row;
}

// The altitude in metres: the first number of the value ("123.4", "123,4 m"); NaN when none.
double HeaderAltitude(std::string_view value, std::vector<std::string>& notes) {
    const std::string_view trimmed = TrimBlanks(value);
    std::size_t end = 0;
    while (end < trimmed.size() && trimmed[end] != ' ' && trimmed[end] != 'm') ++end;
    if (trimmed.empty() || LowerCase(trimmed) == "n/a") return std::nan("");
    if (const std::optional<double> v = ParseDecimal(trimmed.substr(0, end))) return *v;
    notes.push_back("its altitude " + QuotedForRefusal(trimmed) +
                    " is not a number; no altitude is kept");
    return std::nan("");
}

}  // namespace

bool LooksLikeSedHeader(std::string_view start) {
    std::size_t pos = 0;
    for (int line = 0; line < kMaxHeaderLines && pos < start.size(); ++line) {
        std::size_t end = start.find('\n', pos);
        if (end == std::string::npos) return false;  // the header goes on past what was read
        const std::string_view text(start.data() + pos, end - pos);
        pos = end + 1;
        if (TrimBlanks(text).empty()) continue;
        if (IsDataLine(text)) return line > 0;
        if (text.find(':') == std::string_view::npos) return false;
    }
    return false;
}

FieldSpectrumContents ReadSedSpectrumValues(const std::string& path) {
    const std::vector<std::string> lines = ReadSpectrumTextLines(path);
    FieldSpectrumContents out;
    out.altitude = std::nan("");
    std::string date_text;
    std::string time_text;
    std::string latitude_text;
    std::string longitude_text;
    std::string altitude_text;
    std::size_t row = 0;
    bool data = false;
    for (; row < lines.size() && !data; ++row) {
        std::string_view line = TrimBlanks(lines[row]);
        if (row == 0 && line.substr(0, 3) == "\xEF\xBB\xBF") line.remove_prefix(3);
        if (line.empty()) continue;
        if (IsDataLine(line)) {
            data = true;
            continue;
        }
        const std::size_t colon = line.find(':');
        if (colon == std::string_view::npos)
            RefuseSpectrumFile(path, "line " + std::to_string(row + 1) +
                                         " is neither a \"Key: value\" header line nor "
                                         "\"Data:\" (" +
                                         QuotedForRefusal(line) + ")");
        const std::string key = LowerCase(TrimBlanks(line.substr(0, colon)));
        const std::string value(TrimBlanks(line.substr(colon + 1)));
        if (key == "comment")
            out.comment = value;
        else if (key == "date")
            date_text = value;
        else if (key == "time")
            time_text = value;
        else if (key == "latitude")
            latitude_text = value;
        else if (key == "longitude")
            longitude_text = value;
        else if (key == "altitude")
            altitude_text = value;
        else if (key == "instrument")
            out.instrument = ReplaceInvalidUtf8(value);
    }
    if (!data) RefuseSpectrumFile(path, "it has no \"Data:\" line ending its header");

    while (row < lines.size() && TrimBlanks(lines[row]).empty()) ++row;
    if (row >= lines.size())
        RefuseSpectrumFile(path, "it has no row naming the columns after \"Data:\"");
    const int names_line = static_cast<int>(row + 1);
    const std::vector<std::string_view> names = SplitTabs(TrimRowEnd(lines[row]));
    std::optional<std::size_t> wavelength_column;
    std::optional<std::size_t> reflectance_column;
    bool percent = false;
    for (std::size_t c = 0; c < names.size(); ++c) {
        const std::string name = LowerCase(names[c]);
        if (name == "wvl") {
            if (!wavelength_column) wavelength_column = c;
        } else if (!reflectance_column &&
                   (name.rfind("reflect.", 0) == 0 || name.rfind("tgt./ref.", 0) == 0)) {
            if (name.find('%') != std::string::npos)
                percent = true;
            else if (name.find("[1.0]") == std::string::npos)
                RefuseSpectrumFile(path, "line " + std::to_string(names_line) +
                                             ": its reflectance column " +
                                             QuotedForRefusal(names[c]) +
                                             " names no unit (% or [1.0])");
            reflectance_column = c;
        }
    }
    if (!wavelength_column || !reflectance_column)
        RefuseSpectrumFile(path, "line " + std::to_string(names_line) + " names no " +
                                     (wavelength_column ? std::string("reflectance column "
                                                                      "(Reflect. %, Reflect. "
                                                                      "[1.0] or Tgt./Ref. %)")
                                                        : std::string("wavelength column (Wvl)")) +
                                     " (" + QuotedForRefusal(lines[row]) + ")");

    std::vector<MeasuredChannel> channels;
    channels.reserve(lines.size() - row);
    bool decimal_comma = false;
    for (++row; row < lines.size(); ++row) {
        const std::string_view line = TrimRowEnd(lines[row]);
        if (TrimBlanks(line).empty()) continue;
        const int number = static_cast<int>(row + 1);
        const std::vector<std::string_view> fields = SplitTabs(line);
        if (fields.size() != names.size())
            RefuseSpectrumFile(path, "line " + std::to_string(number) + " has " +
                                         std::to_string(fields.size()) +
                                         (fields.size() == 1 ? " column" : " columns") +
                                         " where line " + std::to_string(names_line) +
                                         " names " + std::to_string(names.size()) + " (" +
                                         QuotedForRefusal(line) + ")");
        const std::string_view w = fields[*wavelength_column];
        const std::string_view r = fields[*reflectance_column];
        const std::optional<double> wavelength = ParseDecimal(w);
        if (!wavelength)
            RefuseSpectrumFile(path, "line " + std::to_string(number) + ": its wavelength " +
                                         QuotedForRefusal(w) + " is not a number");
        const std::optional<double> reflectance = ParseDecimal(r);
        if (!reflectance)
            RefuseSpectrumFile(path, "line " + std::to_string(number) + ": its reflectance " +
                                         QuotedForRefusal(r) + " is not a number");
        if (channels.empty()) decimal_comma = w.find(',') != std::string_view::npos;
        channels.push_back({*wavelength, percent ? *reflectance / 100.0 : *reflectance, number});
    }

    out.reflectances = ResampleOntoGrid(path, channels, {}, &out.splice_points);
    out.capture_time = HeaderCaptureTime(HeaderDates(date_text, decimal_comma),
                                         HeaderTimes(time_text), date_text + " " + time_text,
                                         out.notes);
    out.latitude = HeaderPosition(latitude_text, 90.0, "latitude", out.notes);
    out.longitude = HeaderPosition(longitude_text, 180.0, "longitude", out.notes);
    out.altitude = HeaderAltitude(altitude_text, out.notes);
    const std::string repaired = ReplaceInvalidUtf8(out.comment);
    if (repaired != out.comment) {
        out.notes.push_back("its comment \"" + EscapeControls(out.comment) +
                            "\" is not valid UTF-8; each invalid byte is kept as U+FFFD");
        out.comment = repaired;
    }
    return out;
}

}  // namespace orvane
