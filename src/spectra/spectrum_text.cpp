// SPDX-License-Identifier: GPL-3.0-or-later
#include "spectra/spectrum_text.h"

#include <cctype>
#include <cerrno>
#include <charconv>
#include <cmath>
#include <cstdio>
#include <cstring>
#include <memory>

#include <fmt/format.h>

#include "base/band_grid.h"
#include "base/orvane_error.h"
#include "base/regular_file.h"
#include "base/shown_text.h"
#include "spectra/field_spectrum_reader.h"

namespace orvane {

namespace {

// Far above any spectrum file (a few hundred kilobytes), so that a wrong file is not read whole.
constexpr long kMaxTextBytes = 64L << 20;

bool IsDigit(char c) { return c >= '0' && c <= '9'; }

char Lower(char c) { return c >= 'A' && c <= 'Z' ? static_cast<char>(c + 32) : c; }

std::string Number(double v) { return fmt::format("{:g}", v); }

// The digits starting at `at`: their value and count (at most nine are taken as a value).
int Digits(std::string_view text, std::size_t& at, int& count) {
    int value = 0;
    count = 0;
    while (at < text.size() && IsDigit(text[at])) {
        if (count < 9) value = value * 10 + (text[at] - '0');
        ++count;
        ++at;
    }
    return value;
}

}  // namespace

void RefuseSpectrumFile(const std::string& path, const std::string& reason) {
    throw OrvaneError("Field spectrum file " + path + " was not read: " + reason + ".");
}

std::vector<std::string> ReadSpectrumTextLines(const std::string& path) {
    errno = 0;
    std::FILE* opened = nullptr;
    try {
        opened = OpenRegularFile(path);
    } catch (const NotRegularFileError& e) {
        RefuseSpectrumFile(path, "it is " + e.Kind() + ", not a regular file");
    } catch (const FileNotFoundError&) {
        RefuseSpectrumFile(path, std::string("it cannot be opened (") + std::strerror(errno) + ")");
    }
    std::unique_ptr<std::FILE, int (*)(std::FILE*)> file(opened, &std::fclose);
    std::string text;
    if (std::fseek(file.get(), 0, SEEK_END) == 0) {
        const long end = std::ftell(file.get());
        if (end > kMaxTextBytes)
            RefuseSpectrumFile(path, "it is " + std::to_string(end) +
                                         " bytes long, more than any spectrum file");
        if (end > 0) text.reserve(static_cast<std::size_t>(end));
        std::rewind(file.get());
    }
    char buffer[65536];
    std::size_t got = 0;
    while ((got = std::fread(buffer, 1, sizeof buffer, file.get())) > 0) {
        text.append(buffer, got);
        if (text.size() > static_cast<std::size_t>(kMaxTextBytes))
            RefuseSpectrumFile(path, "it is more than " + std::to_string(kMaxTextBytes) +
                                         " bytes long, more than any spectrum file");
    }
    if (std::ferror(file.get()))
        RefuseSpectrumFile(path, std::string("it cannot be read (") + std::strerror(errno) + ")");

    std::vector<std::string> lines;
    std::size_t start = 0;
    while (start < text.size()) {
        std::size_t end = text.find('\n', start);
        if (end == std::string::npos) end = text.size();
        std::size_t stop = end;
        if (stop > start && text[stop - 1] == '\r') --stop;
        lines.emplace_back(text, start, stop - start);
        start = end + 1;
    }
    return lines;
}

std::optional<double> ParseDecimal(std::string_view text) {
    if (text.empty() || text.size() > 64) return std::nullopt;
    char copy[65];
    std::size_t n = 0;
    for (char c : text) {
        // Only digits, signs, one separator and an exponent make a number; "nan" and "inf"
        // are no measurement.
        if (!(IsDigit(c) || c == '-' || c == '+' || c == '.' || c == ',' || c == 'e' ||
              c == 'E'))
            return std::nullopt;
        copy[n++] = c == ',' ? '.' : c;
    }
    // A leading plus sign is a plain number too, which from_chars does not take.
    const char* first = copy;
    if (*first == '+') ++first;
    double value = 0.0;
    const auto [end, error] = std::from_chars(first, copy + n, value);
    if (error != std::errc() || end != copy + n || !std::isfinite(value)) return std::nullopt;
    return value;
}

std::string QuotedForRefusal(std::string_view text) {
    std::string shown(text.substr(0, 60));
    if (text.size() > 60) shown += "...";
    return "\"" + EscapeControls(shown) + "\"";
}

double HeaderPosition(std::string_view value, double limit, const char* what,
                      std::vector<std::string>& notes) {
    // Each position is a number (with either decimal separator) and perhaps a hemisphere letter;
    // the last one is the target's.
    std::optional<std::string_view> last;
    std::size_t at = 0;
    while (at < value.size()) {
        const char c = value[at];
        if (IsDigit(c) || ((c == '-' || c == '+') && at + 1 < value.size() &&
                           IsDigit(value[at + 1]))) {
            const std::size_t start = at;
            ++at;
            while (at < value.size() && IsDigit(value[at])) ++at;
            // A separator followed by digits is a decimal one; a comma followed by a blank
            // separates two positions.
            if (at + 1 < value.size() && (value[at] == '.' || value[at] == ',') &&
                IsDigit(value[at + 1])) {
                ++at;
                while (at < value.size() && IsDigit(value[at])) ++at;
            }
            std::size_t end = at;
            while (end < value.size() && value[end] == ' ') ++end;
            if (end < value.size() && std::strchr("NSEWnsew", value[end]) && value[end] != '\0')
                at = end + 1;
            last = value.substr(start, at - start);
            continue;
        }
        ++at;
    }
    if (!last) {
        // "n/a", "", "none": the instrument had no position.
        const std::string_view trimmed = TrimBlanks(value);
        bool letters_only = true;
        for (char c : trimmed) letters_only = letters_only && !IsDigit(c);
        if (!letters_only)
            notes.push_back(std::string("its ") + what + " " + QuotedForRefusal(trimmed) +
                            " is not a position; no " + what + " is kept");
        return std::nan("");
    }
    std::string_view text = *last;
    double sign = 1.0;
    const char hemisphere = Lower(text.back());
    if (hemisphere == 'n' || hemisphere == 's' || hemisphere == 'e' || hemisphere == 'w') {
        if (hemisphere == 's' || hemisphere == 'w') sign = -1.0;
        text = TrimBlanks(text.substr(0, text.size() - 1));
    }
    const std::optional<double> number = ParseDecimal(text);
    double degrees = std::nan("");
    if (number) {
        const double whole = std::trunc(*number / 100.0);
        degrees = sign * (whole + (*number - 100.0 * whole) / 60.0);
    }
    if (std::isfinite(degrees) && std::fabs(degrees) <= limit) return degrees;
    notes.push_back(std::string("its ") + what + " " + QuotedForRefusal(*last) +
                    " is not a position on the globe; no " + what + " is kept");
    return std::nan("");
}

std::vector<HeaderDate> HeaderDates(std::string_view value, bool day_first) {
    std::vector<HeaderDate> dates;
    std::size_t at = 0;
    while (at < value.size()) {
        if (!IsDigit(value[at]) || (at > 0 && IsDigit(value[at - 1]))) {
            ++at;
            continue;
        }
        std::size_t pos = at;
        int parts[3] = {0, 0, 0};
        int widths[3] = {0, 0, 0};
        char separator = 0;
        bool date = true;
        for (int k = 0; k < 3 && date; ++k) {
            parts[k] = Digits(value, pos, widths[k]);
            if (widths[k] == 0 || widths[k] > 4) date = false;
            if (k < 2 && date) {
                const char c = pos < value.size() ? value[pos] : '\0';
                if ((c != '/' && c != '-' && c != '.') || (separator && c != separator))
                    date = false;
                separator = c;
                ++pos;
            }
        }
        if (!date) {
            at = pos > at ? pos : at + 1;
            continue;
        }
        HeaderDate d;
        if (widths[0] == 4) {
            d = {parts[0], parts[1], parts[2]};
        } else {
            d.year = widths[2] <= 2 ? 2000 + parts[2] : parts[2];
            const bool first_is_day = parts[0] > 12 ? true : parts[1] > 12 ? false : day_first;
            d.day = first_is_day ? parts[0] : parts[1];
            d.month = first_is_day ? parts[1] : parts[0];
        }
        dates.push_back(d);
        at = pos;
    }
    return dates;
}

std::vector<HeaderTime> HeaderTimes(std::string_view value) {
    std::vector<HeaderTime> times;
    std::size_t at = 0;
    while (at < value.size()) {
        if (!IsDigit(value[at]) || (at > 0 && IsDigit(value[at - 1]))) {
            ++at;
            continue;
        }
        std::size_t pos = at;
        int width = 0;
        HeaderTime t;
        t.hour = Digits(value, pos, width);
        if (width > 2 || pos >= value.size() || value[pos] != ':') {
            at = pos;
            continue;
        }
        ++pos;
        t.minute = Digits(value, pos, width);
        if (width != 2) {
            at = pos;
            continue;
        }
        if (pos + 1 < value.size() && value[pos] == ':' && IsDigit(value[pos + 1])) {
            ++pos;
            t.second = Digits(value, pos, width);
            if (width != 2) {
                at = pos;
                continue;
            }
            // Fractions of a second, unless the digits after the separator begin the next time.
            if (pos + 1 < value.size() && (value[pos] == '.' || value[pos] == ',') &&
                IsDigit(value[pos + 1])) {
                std::size_t end = pos + 1;
                int digits = 0;
                Digits(value, end, digits);
                if (end >= value.size() || value[end] != ':') pos = end;
            }
        }
        // "am", "a.m.", "A. M." after the time.
        std::size_t end = pos;
        while (end < value.size() && value[end] == ' ') ++end;
        if (end < value.size() && (Lower(value[end]) == 'a' || Lower(value[end]) == 'p')) {
            const bool pm = Lower(value[end]) == 'p';
            std::size_t m = end + 1;
            if (m < value.size() && value[m] == '.') ++m;
            while (m < value.size() && value[m] == ' ') ++m;
            if (m < value.size() && Lower(value[m]) == 'm' &&
                (m + 1 >= value.size() || !std::isalpha(static_cast<unsigned char>(value[m + 1])))) {
                ++m;
                if (m < value.size() && value[m] == '.') ++m;
                if (t.hour >= 1 && t.hour <= 12) {
                    if (t.hour == 12) t.hour = 0;
                    if (pm) t.hour += 12;
                } else {
                    t.hour = -1;  // "13:00 pm" is no time
                }
                pos = m;
            }
        }
        times.push_back(t);
        at = pos;
    }
    return times;
}

CaptureTime HeaderCaptureTime(const std::vector<HeaderDate>& dates,
                              const std::vector<HeaderTime>& times, std::string_view written,
                              std::vector<std::string>& notes) {
    CaptureTime t;
    const std::string_view trimmed = TrimBlanks(written);
    if (dates.empty() || times.empty()) {
        if (!trimmed.empty())
            notes.push_back("its capture time " + QuotedForRefusal(trimmed) +
                            " is not a date and a time; no date is kept");
        return t;
    }
    const HeaderDate& d = dates.back();
    const HeaderTime& h = times.back();
    t = CaptureTime{d.year, d.month, d.day, h.hour, h.minute, h.second};
    if (!ValidCaptureTime(t)) {
        notes.push_back("its capture time " + QuotedForRefusal(trimmed) +
                        " is not a date and time; no date is kept");
        t = CaptureTime{};
    }
    return t;
}

std::vector<double> ResampleOntoGrid(const std::string& path,
                                     const std::vector<MeasuredChannel>& channels,
                                     const std::vector<double>& break_points,
                                     std::vector<double>* cuts) {
    if (channels.empty()) RefuseSpectrumFile(path, "its table holds no measured channel");

    // Each detector as the range of its channels [begin, end).
    struct Detector {
        std::size_t begin = 0;
        std::size_t end = 0;
    };
    std::vector<Detector> detectors{{0, 1}};
    for (std::size_t i = 1; i < channels.size(); ++i) {
        if (channels[i].wavelength > channels[i - 1].wavelength)
            detectors.back().end = i + 1;
        else
            detectors.push_back({i, i + 1});
    }

    std::vector<const MeasuredChannel*> kept;
    kept.reserve(channels.size());
    for (std::size_t i = detectors[0].begin; i < detectors[0].end; ++i) kept.push_back(&channels[i]);
    for (std::size_t k = 1; k < detectors.size(); ++k) {
        const MeasuredChannel& earlier_first = channels[detectors[k - 1].begin];
        const MeasuredChannel& earlier_last = channels[detectors[k - 1].end - 1];
        const MeasuredChannel& first = channels[detectors[k].begin];
        const MeasuredChannel& last = channels[detectors[k].end - 1];
        if (first.wavelength <= earlier_first.wavelength)
            RefuseSpectrumFile(
                path, fmt::format("line {}: its wavelength {} nm runs back past the start of the "
                                  "detector before it ({} nm on line {})",
                                  first.line, Number(first.wavelength),
                                  Number(earlier_first.wavelength), earlier_first.line));
        if (last.wavelength <= earlier_last.wavelength)
            RefuseSpectrumFile(
                path, fmt::format("line {}: the detector that begins on line {} ends at {} nm, "
                                  "inside the detector before it (up to {} nm)",
                                  last.line, first.line, Number(last.wavelength),
                                  Number(earlier_last.wavelength)));
        const double low = first.wavelength;
        const double high = earlier_last.wavelength;
        double cut = (low + high) / 2.0;
        for (double named : break_points)
            if (named >= low && named <= high) {
                cut = named;
                break;
            }
        if (cuts) cuts->push_back(cut);
        while (!kept.empty() && kept.back()->wavelength >= cut) kept.pop_back();
        for (std::size_t i = detectors[k].begin; i < detectors[k].end; ++i)
            if (channels[i].wavelength >= cut) kept.push_back(&channels[i]);
    }

    const double lowest = kept.front()->wavelength;
    const double highest = kept.back()->wavelength;
    if (highest < kFirstWavelength || lowest > kLastWavelength)
        RefuseSpectrumFile(path, "its wavelengths from " + Number(lowest) + " to " +
                                     Number(highest) + " nm reach no band from 350 to 2499 nm");

    std::vector<double> values(kSpectrumBands, static_cast<double>(kStoredNoValue));
    std::size_t j = 0;
    for (int band = 0; band < kSpectrumBands; ++band) {
        const double x = kFirstWavelength + band;
        if (x < lowest || x > highest) continue;
        while (j + 1 < kept.size() && kept[j + 1]->wavelength <= x) ++j;
        const MeasuredChannel& a = *kept[j];
        double v = a.reflectance;
        if (x > a.wavelength) {
            const MeasuredChannel& b = *kept[j + 1];
            const double slope = (b.reflectance - a.reflectance) / (b.wavelength - a.wavelength);
            v = slope * (x - a.wavelength) + a.reflectance;
        }
        // A value that is not a number, or that a stored float cannot hold, would poison every
        // mean and feature computed from the spectrum.
        if (!std::isfinite(v) || !std::isfinite(static_cast<float>(v)))
            RefuseSpectrumFile(path, "its value " + Number(v) + " at " +
                                         std::to_string(kFirstWavelength + band) +
                                         " nm is not a finite single-precision number");
        values[static_cast<std::size_t>(band)] = v;
    }
    return values;
}

}  // namespace orvane
