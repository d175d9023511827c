// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <string>
#include <string_view>

#include "spectra/field_spectrum_reader.h"

namespace orvane {

// SIG text files of the hand-held and tripod spectroradiometers whose first line is
//   /*** Spectra Vista SIG Data ***/
// then "key= value" header lines up to "data=", then one row per channel of four columns
// separated by blanks: wavelength (nm), reference radiance, target radiance, reflectance in
// percent (divided by 100 here).
//
// - Decimal separator: a point or a comma, as the recording computer's language writes it
//   ("338,5  108408,25  996,85  0,92"); positions and times may use either too.
// - Header: "name=" gives the spectrum's name (the file's name when empty), "comm=" its comment;
//   "time=" the reference's and the target's date and time (12-hour "05:20:37 a.m." or 24-hour
//   forms; the target's is kept); "latitude=" / "longitude=" degrees and minutes with a
//   hemisphere letter ("3729.9822S", "05854.5707W"; the target's is kept). The file has no
//   altitude. A date whose day and month could be either is read day first in a file written
//   with decimal commas, month first otherwise.
// - Detectors: wavelengths run irregularly (about 1.3 to 1.5 nm). Where the instrument's
//   software has not matched the overlaps, they repeat or run back where one detector ends and
//   the next begins; the break points the header names ("factors= ... Remove @ 990,1900 ...")
//   divide each overlap they lie in, else the middle of the overlap does (see ResampleOntoGrid
//   in spectra/spectrum_text.h, which also gives the linear resampling onto the 1 nm grid).
// - Refused, naming the file and the line: a first line other than the one above, a header line
//   without "=", no "data=" line, a row without exactly four columns, a wavelength or a
//   reflectance that is not a number, channels that reach no band from 350 to 2499 nm.
FieldSpectrumContents ReadSigSpectrumValues(const std::string& path);

// The first line of every SIG file.
constexpr std::string_view kSigFirstLine = "/*** Spectra Vista SIG Data ***/";

// True when the first line of the start of a text holds that line.
bool LooksLikeSigStart(std::string_view start);

}  // namespace orvane
