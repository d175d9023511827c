#pragma once

#include <memory>
#include <string>
#include <vector>

#include "spectra/spectrum.h"

namespace orvane {


// What one instrument file holds, before the reflectances are narrowed to the stored floats.
struct FieldSpectrumContents {
    std::string comment;
    CaptureTime capture_time;
    double latitude = 0.0;  // decimal degrees
    double longitude = 0.0;
    double altitude = 0.0;
    std::vector<double> reflectances;  // kSpectrumBands values, 350..2499 nm
};

// Reads a field spectroradiometer file. A header that describes its data (channel count set)
// is read by that description, and a white reference stored after the spectrum turns the
// counts into reflectance; a header without a channel count holds 2150 floats from 350 nm
// straight after it. Throws OrvaneError naming the file and the reason when the file cannot
// give 2150 values at 350..2499 nm.
FieldSpectrumContents ReadFieldSpectrumValues(const std::string& path);

// The same file as a new spectrum with its name, number, path, header fields and raw stage.
std::unique_ptr<Spectrum> ReadFieldSpectrumFile(const std::string& path);

// The file name (base name and extension) of a path.
std::string FileNameOfPath(const std::string& path);

// The measurement number a file name carries: the leading digits of its extension ("x.012"
// gives 12), or, when the extension does not start with a digit, the trailing digits of the
// base name ("x00012.asd" gives 12); 0 when neither has digits.
int SpectrumNumberOfFileName(const std::string& file_name);

// Sets path, name and number from the path and clears the dummy flag, as both readers do.
void SetSpectrumFileIdentity(Spectrum& spectrum, const std::string& path);

}  // namespace orvane
