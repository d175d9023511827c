// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "base/shown_text.h"

#include "spectra/spectrum.h"

namespace orvane {

// What the text readers of field spectra (SIG, SED) share: reading the lines, numbers with
// either decimal separator, header dates and positions, and the resampling of the measured
// channels onto the 1 nm grid.

// Throws the refusal every field spectrum reader gives, so that the import names the file once
// and the reason after it.
[[noreturn]] void RefuseSpectrumFile(const std::string& path, const std::string& reason);

// The file's lines without their line ends (LF or CR LF); the line numbers an editor shows are
// the positions plus one. Refuses what is not a regular file, cannot be read, or is larger than
// any spectrum file (64 MiB).
std::vector<std::string> ReadSpectrumTextLines(const std::string& path);

// A finite number written with a decimal point or, as computers set to many languages write
// it, a decimal comma ("338,5"); the whole text must be the number. Nothing otherwise.
std::optional<double> ParseDecimal(std::string_view text);

// The text quoted for a refusal, cut to 60 characters and with control characters escaped.
std::string QuotedForRefusal(std::string_view text);

// The last position written as degrees and minutes, "ddmm.mmmm" or "dddmm.mmmm" with an
// optional hemisphere letter ("3729.9822S", "05854,5707W"; S and W are negative), in a header
// value that may hold one per measurement. Decimal degrees within 90 (latitude) or 180
// (longitude); NaN when the value holds no position ("", "n/a"), and NaN with a note naming the
// text when it holds one that is not a place on the globe.
double HeaderPosition(std::string_view value, double limit, const char* what,
                      std::vector<std::string>& notes);

// The dates ("02/11/2022", "2022-11-02") in a header value, in order. Year-first dates are
// read as year, month, day. Otherwise the last part is the year (two digits are 2000..2099)
// and the order of day and month follows the number that cannot be a month; where both could
// be, `day_first` decides.
struct HeaderDate {
    int year = 0;
    int month = 0;
    int day = 0;
};
std::vector<HeaderDate> HeaderDates(std::string_view value, bool day_first);

// The times of day ("05:12:23 a.m.", "17:20:37", "11:20:30.72", "11:20:30,72") in a header
// value, in order, fractions of a second dropped. A 12-hour time takes "am", "pm", "a.m.",
// "p.m." after it in any case.
struct HeaderTime {
    int hour = 0;
    int minute = 0;
    int second = 0;
};
std::vector<HeaderTime> HeaderTimes(std::string_view value);

// The capture time from the last date and the last time (a file of a reflectance names the
// reference's and then the target's); a note when a date or time is written but none can be
// read, or the pair is no calendar time.
CaptureTime HeaderCaptureTime(const std::vector<HeaderDate>& dates,
                              const std::vector<HeaderTime>& times, std::string_view written,
                              std::vector<std::string>& notes);

// One measured channel of a text file: its wavelength (nm), reflectance as a fraction, and the
// line of the file it came from.
struct MeasuredChannel {
    double wavelength = 0.0;
    double reflectance = 0.0;
    int line = 0;
};

// The channels on the 1 nm grid, 350..2499 nm (kSpectrumBands values).
//
// Detectors: the channels are listed detector by detector, each in rising wavelength; where a
// wavelength is not above the one before it (it repeats or runs back), the next detector begins.
// Two detectors overlap from the later one's first wavelength to the earlier one's last. The
// break point of an overlap is the first of `break_points` (the file header's, in nm) that lies
// inside it, else the middle of the overlap: the earlier detector keeps its channels below the
// break point, the later one those at and above it. A detector that starts before the start of
// the one before it, or ends before its end, is no detector order and refuses the file, naming
// the line.
//
// Resampling: each band's value is the linear interpolation between the two nearest kept
// channels around it (a channel on the band gives its own value); bands outside the range the
// kept channels cover have no value (kStoredNoValue), never an extrapolated one. Refuses a file
// whose channels reach no band of the grid, or give a value a stored float cannot hold.
// `cuts`, when given, receives the break point of each overlap in detector order.
std::vector<double> ResampleOntoGrid(const std::string& path,
                                     const std::vector<MeasuredChannel>& channels,
                                     const std::vector<double>& break_points,
                                     std::vector<double>* cuts = nullptr);

}  // namespace orvane
