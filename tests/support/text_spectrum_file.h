// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <string>
#include <vector>

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
std::vector<std::vector<TextChannel>> ThreeDetectors(int seed = 0);

// The detectors joined at the break points (nm): what the instrument's software writes when it
// matches the overlaps.
std::vector<TextChannel> Matched(const std::vector<std::vector<TextChannel>>& detectors,
                                 double first_break, double second_break);

// All detectors one after the other, overlaps included.
std::vector<TextChannel> Unmatched(const std::vector<std::vector<TextChannel>>& detectors);

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
std::string SigText(const SigFile& file);

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
std::string SedText(const SedFile& file);

// Writes text as it is (binary mode), creating the folders above it.
void WriteTextFile(const std::string& path, const std::string& text);

}  // namespace orvane::test
