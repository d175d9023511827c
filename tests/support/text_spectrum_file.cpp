// SPDX-License-Identifier: GPL-3.0-or-later
#include "support/text_spectrum_file.h"

#include <filesystem>
#include <fstream>

#include <fmt/format.h>

namespace orvane::test {

namespace {

// "338.50", or "338,50" with a decimal comma.
std::string Hundredths(int v, const TextFileStyle& style) {
    const char* sign = v < 0 ? "-" : "";
    if (v < 0) v = -v;
    return fmt::format("{}{}{}{:02}", sign, v / 100, style.decimal_comma ? ',' : '.', v % 100);
}

// A fraction written with four decimals from hundredths of a percent.
std::string Fraction(int v, const TextFileStyle& style) {
    return fmt::format("{}{}{:04}", v / 10000, style.decimal_comma ? ',' : '.', v % 10000);
}

}  // namespace

std::vector<std::vector<TextChannel>> ThreeDetectors(int seed) {
    std::vector<std::vector<TextChannel>> d(3);
    for (int k = 0; k < 493; ++k) d[0].push_back({33850 + 137 * k, 2000 + (k * 53) % 700 + seed});
    for (int k = 0; k < 641; ++k) d[1].push_back({97525 + 145 * k, 2600 + (k * 29) % 500 + seed});
    for (int k = 0; k < 421; ++k) d[2].push_back({188010 + 151 * k, 1500 + (k * 41) % 600 + seed});
    return d;
}

std::vector<TextChannel> Matched(const std::vector<std::vector<TextChannel>>& detectors,
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

std::vector<TextChannel> Unmatched(const std::vector<std::vector<TextChannel>>& detectors) {
    std::vector<TextChannel> out;
    for (const auto& d : detectors) out.insert(out.end(), d.begin(), d.end());
    return out;
}

std::string SigText(const SigFile& f) {
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

std::string SedText(const SedFile& f) {
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

void WriteTextFile(const std::string& path, const std::string& text) {
    std::filesystem::create_directories(std::filesystem::path(path).parent_path());
    std::ofstream(path, std::ios::binary) << text;
}

}  // namespace orvane::test
