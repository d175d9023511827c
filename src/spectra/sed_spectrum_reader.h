// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <string>
#include <string_view>

#include "spectra/field_spectrum_reader.h"

namespace orvane {

// SED text files: "Key: value" header lines up to "Data:", then a tab-separated table whose
// first row names the columns. Lines end in LF or CR LF.
//
// - Columns: "Wvl" is the wavelength (nm); the reflectance is the column named "Reflect. %" or
//   "Tgt./Ref. %" (percent, divided by 100 here) or "Reflect. [1.0]" (a fraction); other columns
//   (radiances) are not needed. Every row has as many columns as the naming row.
// - Decimal separator: a point or a comma, as the recording computer's language writes it.
// - Header: "Comment:" gives the comment; "Date:" and "Time:" the reference's and the target's
//   (the target's, the last, is kept; "07/22/2016" is month first unless the file is written
//   with decimal commas or the first number cannot be a month); "Latitude:" / "Longitude:"
//   degrees and minutes with a hemisphere letter, "n/a" when there was no position;
//   "Altitude:" metres.
// - Detectors and resampling: as for every text file of field spectra (ResampleOntoGrid in
//   spectra/spectrum_text.h); the header names no break point, so each overlap breaks in its
//   middle.
// - Refused, naming the file and the line: a header line without ":", no "Data:" line, no
//   "Wvl" or reflectance column, a reflectance column without its unit, a row with another
//   number of columns, a wavelength or reflectance that is not a number.
FieldSpectrumContents ReadSedSpectrumValues(const std::string& path);

// True when the first lines of a text look like an SED header ("Key: value" lines, then
// "Data:" within the first 200 lines).
bool LooksLikeSedHeader(std::string_view start);

}  // namespace orvane
