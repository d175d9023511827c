// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

#include <fmt/format.h>

namespace orvane::test {

// A measured channel in hundredths, so that the text written and the reference computation
// (tests/spectra/text_spectrum_reference.py) start from the same exact numbers.
struct TextChannel {
    int wavelength_hundredths = 0;  // 33850 is 338.50 nm
    int percent_hundredths = 0;     // 2053 is 20.53 %
};

// Three overlapping detectors as an instrument lists them without overlap matching:
// 338.50..1012.54 nm, 975.25..1903.25 nm and 1880.10..2514.30 nm, irregular steps, each with
// its own level so that a wrong break point shows. `seed` shifts every reflectance by that many
// hundredths of a percent, so that files of one study differ.
inline std::vector<std::vector<TextChannel>> ThreeDetectors(int seed = 0) {
    std::vector<std::vector<TextChannel>> d(3);
    for (int k = 0; k < 493; ++k) d[0].push_back({33850 + 137 * k, 2000 + (k * 53) % 700 + seed});
    for (int k = 0; k < 641; ++k) d[1].push_back({97525 + 145 * k, 2600 + (k * 29) % 500 + seed});
    for (int k = 0; k < 421; ++k) d[2].push_back({188010 + 151 * k, 1500 + (k * 41) % 600 + seed});
    return d;
}

// The detectors joined at the break points (nm): what the instrument's software writes when it
// matches the overlaps.
inline std::vector<TextChannel> Matched(const std::vector<std::vector<TextChannel>>& detectors,
                                        double first_break, double second_break) {
    std::vector<TextChannel> out;
    const double cuts[] = {-1e9, first_break, second_break, 1e9};
    for (std::size_t k = 0; k < detectors.size(); ++k)
        for (const TextChannel& c : detectors[k])
            if (c.wavelength_hundredths / 100.0 >= cuts[k] &&
                c.wavelength_hundredths / 100.0 < cuts[k + 1])
                out.push_back(c);
    return out;
}

// All detectors one after the other, overlaps included.
inline std::vector<TextChannel> Unmatched(const std::vector<std::vector<TextChannel>>& detectors) {
    std::vector<TextChannel> out;
    for (const auto& d : detectors) out.insert(out.end(), d.begin(), d.end());
    return out;
}

struct TextFileStyle {
    bool decimal_comma = false;
    bool crlf = false;
};

// A SIG file: header (name, comment, time, positions, and "factors= ... Remove @ ..." when
// `remove_at` is not empty), "data=", then four blank-separated columns.
struct SigFile {
    std::string name = "leaf_00012.sig";
    std::string comment = "sunlit leaf";
    std::string time = "1/18/2008 11:47:25 AM, 1/18/2008 11:51:57 AM";
    std::string latitude = "3729.9822S, 3729.9822S";
    std::string longitude = "05854.5707W, 05854.5707W";
    std::string remove_at;  // "990,1900"
    std::vector<TextChannel> channels;
    TextFileStyle style;
    std::vector<std::string> extra_rows;  // appended after the table, as written
};
// "338.50", or "338,50" with a decimal comma.
inline std::string Hundredths(int v, const TextFileStyle& style) {
    const char* sign = v < 0 ? "-" : "";
    if (v < 0) v = -v;
    return fmt::format("{}{}{}{:02}", sign, v / 100, style.decimal_comma ? ',' : '.', v % 100);
}

// A fraction written with four decimals from hundredths of a percent.
inline std::string Fraction(int v, const TextFileStyle& style) {
    return fmt::format("{}{}{:04}", v / 10000, style.decimal_comma ? ',' : '.', v % 10000);
}

inline std::string SigText(const SigFile& f) {
    const std::string eol = f.style.crlf ? "\r\n" : "\n";
    std::string text = "/*** Spectra Vista SIG Data ***/" + eol;
    text += "name= " + f.name + eol;
    text += "instrument= HI: 0000000 (test)" + eol;
    text += "integration= 10, 10, 10, 10, 10, 10" + eol;
    text += "units= Radiance, Radiance" + eol;
    text += "time= " + f.time + eol;
    text += "longitude= " + f.longitude + eol;
    text += "latitude= " + f.latitude + eol;
    text += "comm= " + f.comment + eol;
    if (!f.remove_at.empty())
        text += std::string(f.style.decimal_comma ? "factors= 1,000, 1,000, 1,000"
                                                  : "factors= 1.000, 1.000, 1.000") +
                " [Overlap: Remove @ " + f.remove_at + ", Matching Type: Type 2]" + eol;
    text += "data= " + eol;
    for (const TextChannel& c : f.channels)
        text += Hundredths(c.wavelength_hundredths, f.style) + "  " +
                Hundredths(100000 + c.percent_hundredths, f.style) + "  " +
                Hundredths(2000 + c.percent_hundredths, f.style) + "  " +
                Hundredths(c.percent_hundredths, f.style) + eol;
    for (const std::string& row : f.extra_rows) text += row + eol;
    return text;
}

// An SED file: header, "Data:", the row naming the columns, then tab-separated rows. The
// reflectance column is named `reflectance_column`; "[1.0]" in it writes fractions.
struct SedFile {
    std::string comment = "canopy";
    std::string date = "07/22/2016,07/22/2016";
    std::string time = "11:20:30.72,11:20:41.23";
    std::string latitude = "n/a";
    std::string longitude = "n/a";
    std::string altitude = "n/a";
    std::string reflectance_column = "Reflect. %";
    std::vector<TextChannel> channels;
    TextFileStyle style;
    std::vector<std::string> extra_rows;
};
inline std::string SedText(const SedFile& f) {
    const std::string eol = f.style.crlf ? "\r\n" : "\n";
    const bool fraction = f.reflectance_column.find("[1.0]") != std::string::npos;
    std::string text = "Comment: " + f.comment + eol;
    text += "Version: 2.3 [test]" + eol;
    text += "Instrument: test [3]" + eol;
    text += "Detectors: 512,256,256" + eol;
    text += "Measurement: REFLECTANCE" + eol;
    text += "Date: " + f.date + eol;
    text += "Time: " + f.time + eol;
    text += "Latitude: " + f.latitude + eol;
    text += "Longitude: " + f.longitude + eol;
    text += "Altitude: " + f.altitude + eol;
    text += "Channels: " + std::to_string(f.channels.size()) + eol;
    text += "Columns [4]:" + eol;
    text += "Data:" + eol;
    text += "Wvl\tRad. (Ref.)\tRad. (Target)\t" + f.reflectance_column + eol;
    for (const TextChannel& c : f.channels)
        text += Hundredths(c.wavelength_hundredths, f.style) + "\t" +
                Hundredths(100000 + c.percent_hundredths, f.style) + "\t" +
                Hundredths(2000 + c.percent_hundredths, f.style) + "\t" +
                (fraction ? Fraction(c.percent_hundredths, f.style)
                          : Hundredths(c.percent_hundredths, f.style)) +
                eol;
    for (const std::string& row : f.extra_rows) text += row + eol;
    return text;
}

// Writes text as it is (binary mode), creating the folders above it.
inline void WriteTextFile(const std::string& path, const std::string& text) {
    std::filesystem::create_directories(std::filesystem::path(path).parent_path());
    std::ofstream(path, std::ios::binary) << text;
}

}  // namespace orvane::test
