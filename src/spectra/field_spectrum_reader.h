// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "spectra/spectrum.h"

namespace orvane {


// What one instrument file holds, before the reflectances are narrowed to the stored floats.
struct FieldSpectrumContents {
    // The name the file's header gives the measurement; empty where it gives none (the file's
    // name is then the spectrum's).
    std::string name;
    std::string comment;
    CaptureTime capture_time;
    // Decimal degrees and metres; NaN where the header holds no possible value (not finite,
    // or beyond 90 degrees of latitude or 180 of longitude), with a note saying so.
    double latitude = 0.0;
    double longitude = 0.0;
    double altitude = 0.0;
    std::vector<double> reflectances;  // kSpectrumBands values, 350..2499 nm
    std::vector<std::string> notes;
    // The instrument as the header names it: a binary file's format version and the
    // instrument's serial number ("as7 #6355"), a text file's "instrument" line; empty where
    // the header names none.
    std::string instrument;
    // Where one detector hands over to the next (nm, rising): a binary header's splice
    // wavelengths, a text file's break points between overlapping detectors; empty for a
    // single detector or a header that gives none.
    std::vector<double> splice_points;
};

// True when the time is a calendar date and time of day (years 1000..9999).
bool ValidCaptureTime(const CaptureTime& time);

// Reads a field spectroradiometer file. A header that describes its data (channel count set)
// is read by that description, and a white reference stored after the spectrum turns the
// counts into reflectance; a header without a channel count holds 2150 floats from 350 nm
// straight after it. Throws OrvaneError naming the file and the reason when the file cannot
// give 2150 values at 350..2499 nm, or when the path is not a regular file.
FieldSpectrumContents ReadFieldSpectrumValues(const std::string& path);

// The file name (base name and extension) of a path.
std::string FileNameOfPath(const std::string& path);

// The measurement number a file name carries: the leading digits of its extension ("x.012"
// gives 12), or, when the extension does not start with a digit, the trailing digits of the
// base name ("x00012.asd" gives 12; an overlap-matched SIG copy "x00012_moc.sig" too); 0 when
// neither has digits.
int SpectrumNumberOfFileName(const std::string& file_name);

// The measurement number of a file an import takes as an instrument file, or nothing when the
// name is not one. Where the extension begins with a digit the number is those digits
// ("leaf.012" gives 12); otherwise the base name must end in digits and the extension be one
// the instruments write, ".asd", ".sig" or ".sed" in any case ("at00012.asd",
// "leaf_00012.sig" give 12; "plot3.0005.sed" gives 5, the digits before the last extension).
// The overlap-matched copy the instrument's software writes beside a SIG file
// ("leaf_00012_moc.sig") carries its measurement's number, so that a site keeps one of the two.
// Copies and exports beside the measurements ("gs00011.", "gs00011.asd.txt", "notes.txt") and
// names without a number are not instrument files. Agrees with SpectrumNumberOfFileName
// wherever it gives a number.
std::optional<int> InstrumentFileNumber(std::string_view file_name);

// True for the extensions (without the dot) instruments give their own files, in any case:
// those of the field spectrum readers (spectra/spectrum_file.h), "asd", "sig", "sed".
bool InstrumentFileExtension(std::string_view extension);

// Sets path, name and number from the path and clears the dummy flag, as both readers do.
void SetSpectrumFileIdentity(Spectrum& spectrum, const std::string& path);

}  // namespace orvane
