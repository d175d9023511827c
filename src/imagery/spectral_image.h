// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <array>
#include <limits>
#include <memory>
#include <string>
#include <utility>
#include <vector>

namespace orvane {

class Feedback;

// One band of an image file, as its metadata describe it.
struct ImageBand {
    int number = 0;  // 1-based, as GDAL and the file count them
    std::string description;
    double wavelength = std::numeric_limits<double>::quiet_NaN();  // centre, nm
    double fwhm = std::numeric_limits<double>::quiet_NaN();        // nm; NaN when not given
    bool bad = false;                                              // bad-band list says 0
    // A stored value v means v * scale + offset.
    double scale = 1.0;
    double offset = 0.0;
    bool has_nodata = false;
    double nodata = 0.0;  // the stored value that means "no value"
};

// A rectangle of pixels: columns [x, x + width), rows [y, y + height).
struct ImageWindow {
    int x = 0;
    int y = 0;
    int width = 0;
    int height = 0;
    long long Pixels() const { return static_cast<long long>(width) * height; }
    bool operator==(const ImageWindow& o) const {
        return x == o.x && y == o.y && width == o.width && height == o.height;
    }
};

// What the scan of every pixel found, per band of the file (index = band number - 1).
struct BandScan {
    std::vector<long long> valid;  // pixels holding a value
    std::vector<int> empty;        // numbers of the bands where no pixel holds one
    // The smallest and largest value and the sum of the values (scaled and offset), NaN and
    // 0 for a band without values.
    std::vector<double> minimum;
    std::vector<double> maximum;
    std::vector<double> sum;
};

// An image opened through GDAL: ENVI (BSQ, BIL, BIP, any data type and byte order), GeoTIFF
// (any interleave, tiled or striped) and every other raster format GDAL reads.
//
// Wavelengths and FWHM come from the first of: a wavelengths file the user names (it replaces
// the image's own), the bands' metadata ("wavelength", "fwhm", "wavelength_units", "bbl" in
// the default domain; GDAL's IMAGERY domain), an ENVI header beside the file ("wavelength",
// "fwhm", "wavelength units", "bbl"). Units are Nanometers or Micrometers; without a unit (or
// "Unknown") values all below 100 are read as micrometres, others as nanometres, and Notes()
// says which. Each band's scale and offset are GDAL's (ENVI's "data gain values" and "data
// offset values"); a header's "reflectance scale factor" F divides the values by F where GDAL
// gives no scale or offset of its own. Nodata is GDAL's (ENVI's "data ignore value"), else
// that of a header beside a file of another format.
//
// Reading is safe from any number of threads at once: each read borrows a GDAL dataset handle
// of its own from a pool (a GDAL dataset is not thread-safe), so reads never wait for each
// other; GDAL's block cache, shared by the handles, is bounded (256 MB unless GDAL_CACHEMAX
// says otherwise), so memory is bounded by the windows in flight, not by the scene.
class SpectralImage {
  public:
    // Opens `path`; `wavelengths_file` (may be empty) gives one line per band: the centre
    // wavelength, optionally followed by the FWHM, separated by blanks, tabs or a comma, in
    // nanometres (micrometres when every centre lies below 100); "#" begins a comment. Throws
    // OrvaneError naming the file when GDAL cannot open it (with GDAL's reason), when a raw
    // file holds fewer bytes than its header describes, or when the wavelengths file is
    // malformed. An image without wavelengths opens; RequireWavelengths refuses it.
    explicit SpectralImage(const std::string& path, const std::string& wavelengths_file = "");
    ~SpectralImage();
    SpectralImage(const SpectralImage&) = delete;
    SpectralImage& operator=(const SpectralImage&) = delete;

    const std::string& Path() const;
    const std::string& Driver() const;  // GDAL's short name: "GTiff", "ENVI", ...
    int Width() const;
    int Height() const;
    int BandCount() const;
    const std::vector<ImageBand>& Bands() const;
    // Band `number` (1-based).
    const ImageBand& Band(int number) const;
    // GDAL's natural block of the first band: the read unit of its driver.
    std::pair<int, int> BlockSize() const;

    // Georeferencing for a map of the image: GDAL's affine transform (x = t[0] + col * t[1] +
    // row * t[2], y = t[3] + col * t[4] + row * t[5]) and the projection as WKT ("" when none).
    bool HasGeoTransform() const;
    const std::array<double, 6>& GeoTransform() const;
    const std::string& Projection() const;

    bool HasWavelengths() const;
    // Throws OrvaneError (Remedy::kGiveWavelengths) saying why there are none and how a
    // wavelengths file is written.
    void RequireWavelengths() const;

    // What was inferred or left out while reading the metadata and scanning: units inferred
    // from the values, FWHM missing, a header field ignored, bands excluded.
    const std::vector<std::string>& Notes() const;

    // The bands a pixel is read in: not marked bad, and, once ScanBands ran, holding a value
    // in some pixel; ordered by wavelength (the chain runs along wavelength), file order for
    // equal ones and for an image without wavelengths.
    const std::vector<int>& UsableBands() const;
    // Their centres (nm), in the same order.
    std::vector<double> UsableWavelengths() const;

    // Reads every pixel of every band once, window by window on the worker threads (memory:
    // a window of about 16 MB per thread), counts the pixels that hold a value in each band,
    // drops the bands without any from UsableBands and says which in Notes(). The result is
    // kept: later calls return it at once. `feedback`, when given, gets the progress and may
    // cancel (throws Cancelled). Not to be called while other threads read the image.
    const BandScan& ScanBands(Feedback* feedback = nullptr);
    bool Scanned() const;
    // The scan's result; ScanBands must have run.
    const BandScan& Scan() const;

    // Windows that cover `region` (the whole image when null) row by row, each of about
    // `megabytes` of UsableBands() values as floats and aligned to the image's blocks, so that
    // every block is read once: whole rows of blocks where they fit, else runs of blocks along
    // a row. Throws OrvaneError for a region that is empty or reaches outside the image.
    std::vector<ImageWindow> BlockWindows(double megabytes,
                                          const ImageWindow* region = nullptr) const;

    // Reads `window` of UsableBands() into `out`, which holds window.Pixels() *
    // UsableBands().size() floats: pixel-major (one pixel's bands side by side, pixels row by
    // row), scaled and offset, NaN where a band holds the nodata value or no finite number.
    // Throws OrvaneError naming the file with GDAL's reason when the file cannot be read (a
    // truncated or corrupt image), and for a window outside the image.
    void ReadWindow(const ImageWindow& window, float* out) const;
    // The same for the given bands (numbers, in the order wanted).
    void ReadWindow(const ImageWindow& window, const std::vector<int>& bands, float* out) const;

  private:
    struct Impl;
    std::unique_ptr<Impl> impl_;
};

// Reflectance as a fraction averages well below 1.5 over an image's usable bands; an image
// whose values average more holds radiance, percent or integers without their scale factor,
// which a library of reflectance spectra cannot classify. "" for an image that looks like
// reflectance (or has not been scanned), else a warning naming the range of its values.
std::string ReflectanceWarning(const SpectralImage& image);

}  // namespace orvane
