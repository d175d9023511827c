// SPDX-License-Identifier: GPL-3.0-or-later
#include "imagery/spectral_image.h"

#include <cpl_conv.h>
#include <cpl_error.h>
#include <cpl_vsi.h>
#include <gdal.h>
#include <gdal_priv.h>
#include <sys/stat.h>

#include <algorithm>
#include <atomic>
#include <cctype>
#include <cmath>
#include <cstdio>
#include <limits>
#include <memory>
#include <mutex>
#include <optional>

#include <fmt/format.h>

#include "base/feedback.h"
#include "base/orvane_error.h"
#include "base/parallel.h"
#include "base/regular_file.h"
#include "imagery/envi_header.h"
#include "stats/gdal_session.h"

namespace orvane {

namespace {

constexpr double kNaN = std::numeric_limits<double>::quiet_NaN();

// Windows of the band scan.
constexpr double kScanMegabytes = 16.0;

std::string Lower(std::string text) {
    for (char& c : text) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
    return text;
}

bool EndsWith(const std::string& text, const std::string& tail) {
    return text.size() >= tail.size() &&
           Lower(text.substr(text.size() - tail.size())) == Lower(tail);
}

bool Exists(const std::string& path) {
    struct stat st = {};
    return ::stat(path.c_str(), &st) == 0;
}

// Reading a named pipe, a socket or a device would wait or never end; GDAL would try.
void RefuseSpecialFile(const std::string& path) {
    struct stat st = {};
    if (::stat(path.c_str(), &st) != 0) return;  // GDAL's virtual paths, or GDAL says why
    const char* kind = S_ISFIFO(st.st_mode)   ? "a named pipe"
                       : S_ISSOCK(st.st_mode) ? "a socket"
                       : (S_ISCHR(st.st_mode) || S_ISBLK(st.st_mode)) ? "a device"
                                                                        : nullptr;
    if (kind) throw OrvaneError("The image " + path + " is " + kind + ", not a file.");
}

GDALDataset* OpenDataset(const std::string& path, const std::string& driver) {
    GdalSession errors;
    const char* const drivers[] = {driver.c_str(), nullptr};
    GDALDataset* dataset = GDALDataset::Open(
        path.c_str(), GDAL_OF_RASTER | GDAL_OF_READONLY | GDAL_OF_VERBOSE_ERROR,
        driver.empty() ? nullptr : drivers, nullptr, nullptr);
    if (!dataset)
        throw OrvaneError("Cannot open the image " + path + ": " +
                          errors.Reason("GDAL does not read it as an image") + ".");
    return dataset;
}

// The ENVI data file a header describes, for a user who chose the header.
std::optional<std::string> DataFileOfHeader(const std::string& path) {
    if (!EndsWith(path, ".hdr")) return std::nullopt;
    const std::string stem = path.substr(0, path.size() - 4);
    for (const char* extension : {"", ".img", ".dat", ".raw", ".bsq", ".bil", ".bip", ".bin",
                                  ".tif", ".tiff", ".IMG", ".DAT", ".RAW", ".BSQ", ".BIL", ".BIP",
                                  ".BIN", ".TIF", ".TIFF"}) {
        const std::string candidate = stem + extension;
        struct stat st = {};
        if (::stat(candidate.c_str(), &st) == 0 && S_ISREG(st.st_mode)) return candidate;
    }
    return std::nullopt;
}

// A raw file (ENVI and its kin) shorter than its header says: GDAL reads the missing part as
// zeros without a word, so the size is checked here.
void CheckRawFileSize(GDALDataset& dataset, const std::string& path) {
    GDALDataset::RawBinaryLayout layout;
    if (!dataset.GetRawBinaryLayout(layout) || layout.osRawFilename.empty()) return;
    const GIntBig width = dataset.GetRasterXSize();
    const GIntBig height = dataset.GetRasterYSize();
    const GIntBig bands = dataset.GetRasterCount();
    const int sample = GDALGetDataTypeSizeBytes(layout.eDataType);
    GIntBig last = static_cast<GIntBig>(layout.nImageOffset) + sample;
    for (const auto& [count, step] : {std::make_pair(width, layout.nPixelOffset),
                                      std::make_pair(height, layout.nLineOffset),
                                      std::make_pair(bands, layout.nBandOffset)})
        if (step > 0) last += (count - 1) * step;
    VSIStatBufL st;
    if (VSIStatL(layout.osRawFilename.c_str(), &st) != 0) return;
    if (static_cast<GIntBig>(st.st_size) < last)
        throw OrvaneError(fmt::format(
            "Cannot read the image {}: the file {} holds {} bytes, but its header describes {} "
            "({} x {} pixels, {} bands of {}); it is truncated.",
            path, layout.osRawFilename, static_cast<long long>(st.st_size),
            static_cast<long long>(last), width, height, bands,
            GDALGetDataTypeName(layout.eDataType)));
}

// ---- wavelengths -------------------------------------------------------------------------

// What a unit's name says: the factor to nanometres, 0 for "no unit", -1 for a unit that is
// no length (band numbers, wavenumbers, frequencies).
double NanometresPer(const std::string& unit) {
    std::string u;
    for (char c : Lower(unit))
        if (c != ' ' && c != '_' && c != '-') u += c;
    if (u.empty() || u == "unknown") return 0.0;
    if (u == "nanometers" || u == "nanometer" || u == "nanometres" || u == "nanometre" ||
        u == "nm")
        return 1.0;
    if (u == "micrometers" || u == "micrometer" || u == "micrometres" || u == "micrometre" ||
        u == "microns" || u == "micron" || u == "um" || u == "\xc2\xb5m" || u == "\xce\xbcm")
        return 1000.0;
    if (u == "millimeters" || u == "millimeter" || u == "millimetres" || u == "mm")
        return 1e6;
    return -1.0;
}

// Centres and widths of every band as one source gives them, in its own unit.
struct WavelengthSource {
    std::string name;  // where they come from, for the notes
    std::vector<double> centres;
    std::vector<double> widths;  // empty when the source gives none
    std::string unit;
};

// Every item a number; nullopt otherwise, or when the count is not `n`.
std::optional<std::vector<double>> Numbers(const std::vector<std::string>& items, size_t n) {
    if (items.size() != n) return std::nullopt;
    std::vector<double> values;
    for (const std::string& item : items) {
        const std::optional<double> v = NumberIn(item);
        if (!v) return std::nullopt;
        values.push_back(*v);
    }
    return values;
}

std::string ReadWholeFile(const std::string& path, const std::string& what) {
    std::FILE* raw = nullptr;
    try {
        raw = OpenRegularFile(path);
    } catch (const FileNotFoundError&) {
        throw OrvaneError("The " + what + " " + path + " cannot be opened.");
    }
    std::unique_ptr<std::FILE, int (*)(std::FILE*)> file(raw, &std::fclose);
    std::string text;
    char buffer[65536];
    size_t got = 0;
    while ((got = std::fread(buffer, 1, sizeof buffer, file.get())) > 0) {
        text.append(buffer, got);
        if (text.size() > 16u * 1024 * 1024)
            throw OrvaneError("The " + what + " " + path + " is larger than 16 MB.");
    }
    if (std::ferror(file.get())) throw OrvaneError("The " + what + " " + path + " cannot be read.");
    return text;
}

// The user's file: one line per band, the centre and optionally the FWHM.
WavelengthSource ReadWavelengthsFile(const std::string& path, size_t bands) {
    const std::string text = ReadWholeFile(path, "wavelengths file");
    WavelengthSource source;
    source.name = "the wavelengths file " + path;
    int line_no = 0;
    int with_width = -1;  // line of the first line's kind, for a file that mixes both
    bool widths = false;
    size_t pos = 0;
    while (pos < text.size()) {
        const size_t end = text.find('\n', pos);
        std::string line = text.substr(pos, (end == std::string::npos ? text.size() : end) - pos);
        pos = end == std::string::npos ? text.size() : end + 1;
        ++line_no;
        if (const size_t hash = line.find('#'); hash != std::string::npos) line.erase(hash);
        for (char& c : line)
            if (c == ',' || c == '\t' || c == '\r' || c == ';') c = ' ';
        std::vector<std::string> tokens;
        for (size_t at = 0; at < line.size();) {
            const size_t start = line.find_first_not_of(' ', at);
            if (start == std::string::npos) break;
            const size_t stop = line.find(' ', start);
            tokens.push_back(line.substr(start, stop - start));
            at = stop == std::string::npos ? line.size() : stop;
        }
        if (tokens.empty()) continue;
        const auto bad = [&](const std::string& why) {
            throw OrvaneError(fmt::format("The wavelengths file {}, line {}: {}. Each line holds "
                                          "one band's centre wavelength, optionally followed "
                                          "by its FWHM.",
                                          path, line_no, why));
        };
        if (tokens.size() > 2) bad(fmt::format("{} values, expected 1 or 2", tokens.size()));
        const std::optional<double> centre = NumberIn(tokens[0]);
        if (!centre || !(*centre > 0.0))
            bad("\"" + tokens[0] + "\" is not a positive wavelength");
        std::optional<double> width;
        if (tokens.size() == 2) {
            width = NumberIn(tokens[1]);
            if (!width || !(*width > 0.0)) bad("\"" + tokens[1] + "\" is not a positive FWHM");
        }
        if (with_width < 0) {
            with_width = line_no;
            widths = tokens.size() == 2;
        } else if (widths != (tokens.size() == 2)) {
            bad(fmt::format("line {} {} a FWHM and this one {}; give it on every line or none",
                            with_width, widths ? "gives" : "gives no", widths ? "none" : "one"));
        }
        source.centres.push_back(*centre);
        if (width) source.widths.push_back(*width);
    }
    if (source.centres.size() != bands)
        throw OrvaneError(fmt::format("The wavelengths file {} gives {} wavelengths, but the "
                                      "image has {} bands; give one line per band.",
                                      path, source.centres.size(), bands));
    return source;
}

std::string BandList(const std::vector<int>& numbers, const std::vector<ImageBand>& bands) {
    std::string text;
    for (int n : numbers) {
        const ImageBand& b = bands[static_cast<size_t>(n - 1)];
        text += (text.empty() ? "" : ", ") + std::to_string(n);
        if (std::isfinite(b.wavelength)) text += fmt::format(" ({:g} nm)", b.wavelength);
    }
    return text;
}

}  // namespace

struct SpectralImage::Impl {
    std::string path;
    std::string driver;
    int width = 0;
    int height = 0;
    std::vector<ImageBand> bands;
    std::vector<GDALDataType> types;
    std::pair<int, int> block{1, 1};
    bool has_geo = false;
    std::array<double, 6> geo{0.0, 1.0, 0.0, 0.0, 0.0, 1.0};
    std::string wkt;
    bool has_wavelengths = false;
    std::string no_wavelengths_reason;
    std::vector<std::string> notes;
    std::vector<int> usable;
    std::optional<BandScan> scan;

    // Idle dataset handles; a read takes one (or opens one) and gives it back.
    mutable std::mutex pool_mutex;
    mutable std::vector<GDALDataset*> pool;

    ~Impl() {
        for (GDALDataset* d : pool) GDALClose(d);
    }

    class Lease {
      public:
        explicit Lease(const Impl& impl) : impl_(impl) {
            {
                std::lock_guard<std::mutex> lock(impl_.pool_mutex);
                if (!impl_.pool.empty()) {
                    dataset_ = impl_.pool.back();
                    impl_.pool.pop_back();
                }
            }
            if (!dataset_) dataset_ = OpenDataset(impl_.path, impl_.driver);
        }
        ~Lease() {
            std::lock_guard<std::mutex> lock(impl_.pool_mutex);
            impl_.pool.push_back(dataset_);
        }
        Lease(const Lease&) = delete;
        Lease& operator=(const Lease&) = delete;
        GDALDataset& operator*() const { return *dataset_; }

      private:
        const Impl& impl_;
        GDALDataset* dataset_ = nullptr;
    };

    void ReadMetadata(GDALDataset& dataset, const std::string& wavelengths_file);
    void ApplyWavelengths(const WavelengthSource& source);
    void OrderUsable();
    // Throws OrvaneError for a region that is empty or reaches outside the image.
    void CheckRegion(const ImageWindow& region) const;
    std::vector<ImageWindow> Windows(const ImageWindow& region, double megabytes,
                                     size_t band_count) const;
    void Read(const ImageWindow& window, const std::vector<int>& numbers, float* out) const;
};

void SpectralImage::Impl::ApplyWavelengths(const WavelengthSource& source) {
    double factor = NanometresPer(source.unit);
    if (factor < 0.0) {
        no_wavelengths_reason = source.name + " gives them in \"" + source.unit +
                                "\", which is not a unit of length";
        return;
    }
    for (size_t i = 0; i < source.centres.size(); ++i)
        if (!(source.centres[i] > 0.0)) {
            no_wavelengths_reason = fmt::format("{} gives band {} the wavelength {:g}", source.name,
                                                i + 1, source.centres[i]);
            return;
        }
    if (factor == 0.0) {
        const auto [low, high] = std::minmax_element(source.centres.begin(), source.centres.end());
        factor = *high < 100.0 ? 1000.0 : 1.0;
        notes.push_back(fmt::format(
            "The wavelengths of {} have no unit; read as {} since they {} ({:g} to {:g}).",
            source.name, factor == 1.0 ? "nanometres" : "micrometres",
            factor == 1.0 ? "reach 100 or more" : "all lie below 100", *low, *high));
    }
    for (size_t i = 0; i < bands.size(); ++i) {
        bands[i].wavelength = source.centres[i] * factor;
        bands[i].fwhm = kNaN;
        if (!source.widths.empty() && source.widths[i] > 0.0)
            bands[i].fwhm = source.widths[i] * factor;
    }
    has_wavelengths = true;
}

void SpectralImage::Impl::ReadMetadata(GDALDataset& dataset, const std::string& wavelengths_file) {
    const int count = dataset.GetRasterCount();
    const size_t n = static_cast<size_t>(count);
    // An ENVI dataset lists its header among its files; another format may have one beside.
    std::optional<EnviHeader> header;
    if (char** files = dataset.GetFileList()) {
        std::string listed;
        for (char** f = files; *f; ++f)
            if (listed.empty() && EndsWith(*f, ".hdr")) listed = *f;
        CSLDestroy(files);
        if (!listed.empty()) header = EnviHeader::Read(listed);
    }
    if (!header) header = EnviHeader::Beside(path);

    std::vector<std::string> band_bbl(n);
    for (int b = 1; b <= count; ++b) {
        GDALRasterBand* band = dataset.GetRasterBand(b);
        ImageBand info;
        info.number = b;
        info.description = band->GetDescription();
        int has = 0;
        const double nodata = band->GetNoDataValue(&has);
        info.has_nodata = has != 0;
        info.nodata = nodata;
        info.scale = band->GetScale();
        info.offset = band->GetOffset();
        if (!std::isfinite(info.scale) || info.scale == 0.0) info.scale = 1.0;
        if (!std::isfinite(info.offset)) info.offset = 0.0;
        const char* bbl = band->GetMetadataItem("bbl");
        if (bbl) band_bbl[static_cast<size_t>(b - 1)] = bbl;
        bands.push_back(info);
        types.push_back(band->GetRasterDataType());
    }

    // Nodata and scale a header beside a file of another format gives.
    if (header) {
        if (const std::optional<double> ignore = NumberIn(header->Value("data ignore value"))) {
            for (ImageBand& b : bands)
                if (!b.has_nodata) {
                    b.has_nodata = true;
                    b.nodata = *ignore;
                }
        }
        if (header->Has("reflectance scale factor")) {
            const std::optional<double> factor = NumberIn(header->Value("reflectance scale factor"));
            const bool own = std::any_of(bands.begin(), bands.end(), [](const ImageBand& b) {
                return b.scale != 1.0 || b.offset != 0.0;
            });
            if (!factor || !(*factor > 0.0)) {
                notes.push_back("The reflectance scale factor \"" +
                                header->Value("reflectance scale factor") + "\" of " +
                                header->Path() + " is not a positive number; it was ignored.");
            } else if (own) {
                notes.push_back(fmt::format(
                    "The reflectance scale factor {:g} of {} was ignored: the bands' own scale "
                    "and offset apply.",
                    *factor, header->Path()));
            } else if (*factor != 1.0) {
                for (ImageBand& b : bands) b.scale = 1.0 / *factor;
                notes.push_back(fmt::format(
                    "Values are divided by the reflectance scale factor {:g} of {}.", *factor,
                    header->Path()));
            }
        }
    }

    // Wavelengths: the user's file, else the bands' metadata, else the header.
    std::optional<WavelengthSource> chosen;
    {
        WavelengthSource meta;
        meta.name = "the band metadata of " + path;
        std::vector<std::string> centres(n), widths(n), units(n);
        for (int b = 1; b <= count; ++b) {
            GDALRasterBand* band = dataset.GetRasterBand(b);
            const char* c = band->GetMetadataItem("wavelength");
            const char* w = band->GetMetadataItem("fwhm");
            const char* u = band->GetMetadataItem("wavelength_units");
            if (!c) {  // GDAL's IMAGERY domain, in micrometres
                c = band->GetMetadataItem("CENTRAL_WAVELENGTH_UM", "IMAGERY");
                w = band->GetMetadataItem("FWHM_UM", "IMAGERY");
                if (c) u = "Micrometers";
            }
            centres[static_cast<size_t>(b - 1)] = c ? c : "";
            widths[static_cast<size_t>(b - 1)] = w ? w : "";
            units[static_cast<size_t>(b - 1)] = u ? u : "";
        }
        if (std::optional<std::vector<double>> c = Numbers(centres, n); c && n > 0) {
            meta.centres = *c;
            if (std::optional<std::vector<double>> w = Numbers(widths, n)) meta.widths = *w;
            meta.unit = units.front();
            if (std::any_of(units.begin(), units.end(),
                            [&](const std::string& u) { return u != units.front(); }))
                notes.push_back("The bands of " + path + " name different wavelength units; "
                                "all are read in those of band 1 (\"" + units.front() + "\").");
            chosen = meta;
        }
    }
    if (header) {
        WavelengthSource from_header;
        from_header.name = "the ENVI header " + header->Path();
        from_header.unit = header->Value("wavelength units");
        const std::optional<std::vector<double>> c = Numbers(header->List("wavelength"), n);
        const std::optional<std::vector<double>> w = Numbers(header->List("fwhm"), n);
        if (c) {
            from_header.centres = *c;
            if (w) from_header.widths = *w;
            if (!chosen) {
                chosen = from_header;
            } else if (chosen->widths.empty() && w &&
                       NanometresPer(chosen->unit) == NanometresPer(from_header.unit)) {
                chosen->widths = *w;  // the header completes what the band metadata leave out
            }
        } else if (header->Has("wavelength") && !chosen) {
            no_wavelengths_reason = fmt::format(
                "the wavelength list of {} holds {} values that are not all numbers, for {} "
                "bands",
                header->Path(), header->List("wavelength").size(), n);
        }
        if (header->Has("fwhm") && !w)
            notes.push_back(fmt::format("The FWHM list of {} ({} values for {} bands) was "
                                        "ignored.",
                                        header->Path(), header->List("fwhm").size(), n));
        // The bad-band list, where the bands' metadata give none.
        if (header->Has("bbl")) {
            const std::optional<std::vector<double>> bbl = Numbers(header->List("bbl"), n);
            if (!bbl) {
                notes.push_back(fmt::format("The bad-band list of {} ({} values for {} bands) "
                                            "was ignored.",
                                            header->Path(), header->List("bbl").size(), n));
            } else {
                for (size_t i = 0; i < n; ++i)
                    if (band_bbl[i].empty()) band_bbl[i] = (*bbl)[i] == 0.0 ? "0" : "1";
            }
        }
    }
    if (!wavelengths_file.empty()) {
        WavelengthSource user = ReadWavelengthsFile(wavelengths_file, n);
        if (chosen)
            notes.push_back("The wavelengths of " + wavelengths_file + " replace those of " +
                            chosen->name + ".");
        chosen = user;
    }
    if (chosen) {
        no_wavelengths_reason.clear();
        ApplyWavelengths(*chosen);
    }
    for (size_t i = 0; i < n; ++i) {
        const std::optional<double> flag = NumberIn(band_bbl[i]);
        bands[i].bad = flag && *flag == 0.0;
    }
    if (has_wavelengths) {
        int without = 0;
        for (const ImageBand& b : bands) without += std::isnan(b.fwhm) ? 1 : 0;
        if (without == count)
            notes.push_back("The image gives no FWHM of its bands.");
        else if (without > 0)
            notes.push_back(fmt::format("{} of {} bands have no FWHM.", without, count));
    }
    std::vector<int> bad;
    for (const ImageBand& b : bands)
        if (b.bad) bad.push_back(b.number);
    if (!bad.empty())
        notes.push_back(fmt::format("{} bands marked bad in the bad-band list are left out: {}.",
                                    bad.size(), BandList(bad, bands)));
    for (const ImageBand& b : bands)
        if (!b.bad) usable.push_back(b.number);
    OrderUsable();
}

void SpectralImage::Impl::OrderUsable() {
    if (!has_wavelengths) return;
    std::stable_sort(usable.begin(), usable.end(), [&](int a, int b) {
        return bands[static_cast<size_t>(a - 1)].wavelength <
               bands[static_cast<size_t>(b - 1)].wavelength;
    });
}

void SpectralImage::Impl::CheckRegion(const ImageWindow& region) const {
    if (region.width <= 0 || region.height <= 0)
        throw OrvaneError(fmt::format("The window {},{},{},{} of {} is empty.", region.x,
                                      region.y, region.width, region.height, path));
    if (region.x < 0 || region.y < 0 || region.x > width - region.width ||
        region.y > height - region.height)
        throw OrvaneError(fmt::format("The window {},{},{},{} reaches outside the image {} of "
                                      "{} x {} pixels.",
                                      region.x, region.y, region.width, region.height, path,
                                      width, height));
}

std::vector<ImageWindow> SpectralImage::Impl::Windows(const ImageWindow& region, double megabytes,
                                                      size_t band_count) const {
    CheckRegion(region);
    const double bytes_per_pixel = 4.0 * static_cast<double>(std::max<size_t>(band_count, 1));
    const double pixels = std::max(1.0, megabytes * 1024.0 * 1024.0 / bytes_per_pixel);
    const int bw = std::max(1, block.first);
    const int bh = std::max(1, block.second);
    // The block rows and columns the region touches, in the image's block grid.
    const int first_row = region.y / bh * bh;
    const int first_col = region.x / bw * bw;
    int rows_per = bh;
    int cols_per = region.x + region.width - first_col;  // whole rows of blocks
    const double row_pixels = static_cast<double>(cols_per) * bh;
    if (row_pixels <= pixels) {
        rows_per = bh * std::max(1, static_cast<int>(pixels / row_pixels));
    } else {
        cols_per = bw * std::max(1, static_cast<int>(pixels / (static_cast<double>(bw) * bh)));
    }
    std::vector<ImageWindow> windows;
    for (long long y = first_row; y < region.y + region.height; y += rows_per) {
        for (long long x = first_col; x < region.x + region.width; x += cols_per) {
            ImageWindow w;
            w.x = static_cast<int>(std::max<long long>(x, region.x));
            w.y = static_cast<int>(std::max<long long>(y, region.y));
            w.width = static_cast<int>(std::min<long long>(x + cols_per, region.x + region.width) - w.x);
            w.height =
                static_cast<int>(std::min<long long>(y + rows_per, region.y + region.height) - w.y);
            windows.push_back(w);
        }
    }
    return windows;
}

void SpectralImage::Impl::Read(const ImageWindow& window, const std::vector<int>& numbers,
                               float* out) const {
    CheckRegion(window);
    for (int n : numbers)
        if (n < 1 || n > static_cast<int>(bands.size()))
            throw OrvaneError(fmt::format("The image {} has no band {}.", path, n));
    if (numbers.empty()) return;
    const size_t nb = numbers.size();
    const size_t values = static_cast<size_t>(window.Pixels()) * nb;
    // Types a float cannot hold exactly (32-bit integers, doubles) are read as doubles, so
    // that the nodata value is compared with what the file holds.
    const bool wide = std::any_of(numbers.begin(), numbers.end(), [&](int n) {
        return GDALDataTypeIsConversionLossy(types[static_cast<size_t>(n - 1)], GDT_Float32);
    });
    std::vector<double> scratch;
    void* buffer = out;
    GDALDataType type = GDT_Float32;
    GSpacing sample = sizeof(float);
    if (wide) {
        scratch.resize(values);
        buffer = scratch.data();
        type = GDT_Float64;
        sample = sizeof(double);
    }
    std::vector<int> map(numbers);
    {
        Lease dataset(*this);
        GdalSession errors;
        const CPLErr result = (*dataset).RasterIO(
            GF_Read, window.x, window.y, window.width, window.height, buffer, window.width,
            window.height, type, static_cast<int>(nb), map.data(),
            sample * static_cast<GSpacing>(nb),
            sample * static_cast<GSpacing>(nb) * window.width, sample, nullptr);
        if (result != CE_None)
            throw OrvaneError(fmt::format("Cannot read the image {} (window {},{},{},{}): {}.",
                                          path, window.x, window.y, window.width, window.height,
                                          errors.Reason("GDAL gave no reason")));
    }
    // Per band: the scale, the offset and the nodata value as the buffer holds it (NaN when
    // there is none or no buffer value can equal it). The loops below have no branch, so the
    // compiler runs them on vectors.
    std::vector<double> scale(nb), offset(nb), nodata(nb);
    std::vector<float> nodata_float(nb);
    constexpr double kNone = std::numeric_limits<double>::quiet_NaN();
    for (size_t k = 0; k < nb; ++k) {
        const ImageBand& b = bands[static_cast<size_t>(numbers[k] - 1)];
        scale[k] = b.scale;
        offset[k] = b.offset;
        nodata[k] = b.has_nodata ? b.nodata : kNone;
        // A float buffer holds the nodata value as a float, as GDAL compares it.
        const bool fits = std::fabs(nodata[k]) <= std::numeric_limits<float>::max();
        nodata_float[k] = fits ? static_cast<float>(nodata[k]) : static_cast<float>(kNone);
    }
    constexpr float kNoValue = std::numeric_limits<float>::quiet_NaN();
    constexpr float kLargest = std::numeric_limits<float>::max();
    const size_t pixels = static_cast<size_t>(window.Pixels());
    if (wide) {
        for (size_t p = 0; p < pixels; ++p) {
            const double* raw = scratch.data() + p * nb;
            float* px = out + p * nb;
            for (size_t k = 0; k < nb; ++k) {
                const float v = static_cast<float>(raw[k] * scale[k] + offset[k]);
                // NaN and infinite values fail the second test.
                px[k] = raw[k] == nodata[k] || !(std::fabs(v) <= kLargest) ? kNoValue : v;
            }
        }
        return;
    }
    for (size_t p = 0; p < pixels; ++p) {
        float* px = out + p * nb;
        for (size_t k = 0; k < nb; ++k) {
            const float raw = px[k];
            const float v = static_cast<float>(static_cast<double>(raw) * scale[k] + offset[k]);
            px[k] = raw == nodata_float[k] || !(std::fabs(v) <= kLargest) ? kNoValue : v;
        }
    }
}

SpectralImage::SpectralImage(const std::string& path, const std::string& wavelengths_file)
    : impl_(std::make_unique<Impl>()) {
    // GDAL's warnings about a file's odd tags would reach the terminal; its failures become
    // the errors below.
    GdalSession quiet;
    impl_->path = path;
    std::string open_path = path;
    if (!Exists(path)) {
        // GDAL's own message for a missing local file is about formats.
        if (path.compare(0, 5, "/vsi") != 0 && path.find(':') == std::string::npos)
            throw OrvaneError("The image " + path + " does not exist.");
    }
    RefuseSpecialFile(path);
    if (const std::optional<std::string> data = DataFileOfHeader(path)) {
        impl_->notes.push_back("Read " + *data + ", the data file of the ENVI header " + path +
                               ".");
        open_path = *data;
        impl_->path = open_path;
    }
    GDALDataset* dataset = OpenDataset(open_path, "");
    impl_->pool.push_back(dataset);
    impl_->driver = dataset->GetDriver() ? dataset->GetDriver()->GetDescription() : "";
    impl_->width = dataset->GetRasterXSize();
    impl_->height = dataset->GetRasterYSize();
    if (dataset->GetRasterCount() == 0) {
        std::string subsets;
        if (char** list = dataset->GetMetadata("SUBDATASETS"))
            for (char** item = list; *item; ++item)
                if (std::string(*item).find("_NAME=") != std::string::npos)
                    subsets += std::string(subsets.empty() ? "" : ", ") +
                               (std::string(*item).substr(std::string(*item).find('=') + 1));
        throw OrvaneError("The image " + path + " holds no bands" +
                          (subsets.empty() ? "." : "; open one of its parts: " + subsets + "."));
    }
    CheckRawFileSize(*dataset, path);
    dataset->GetRasterBand(1)->GetBlockSize(&impl_->block.first, &impl_->block.second);
    impl_->has_geo = dataset->GetGeoTransform(impl_->geo.data()) == CE_None;
    if (const char* wkt = dataset->GetProjectionRef()) impl_->wkt = wkt;
    impl_->ReadMetadata(*dataset, wavelengths_file);
    if (!impl_->has_wavelengths && impl_->no_wavelengths_reason.empty())
        impl_->no_wavelengths_reason =
            "neither its bands' metadata (\"wavelength\") nor an ENVI header beside it "
            "(\"wavelength = {...}\") give them";
}

SpectralImage::~SpectralImage() = default;

const std::string& SpectralImage::Path() const { return impl_->path; }
const std::string& SpectralImage::Driver() const { return impl_->driver; }
int SpectralImage::Width() const { return impl_->width; }
int SpectralImage::Height() const { return impl_->height; }
int SpectralImage::BandCount() const { return static_cast<int>(impl_->bands.size()); }
const std::vector<ImageBand>& SpectralImage::Bands() const { return impl_->bands; }
const ImageBand& SpectralImage::Band(int number) const {
    return impl_->bands.at(static_cast<size_t>(number - 1));
}
std::pair<int, int> SpectralImage::BlockSize() const { return impl_->block; }
bool SpectralImage::HasGeoTransform() const { return impl_->has_geo; }
const std::array<double, 6>& SpectralImage::GeoTransform() const { return impl_->geo; }
const std::string& SpectralImage::Projection() const { return impl_->wkt; }
bool SpectralImage::HasWavelengths() const { return impl_->has_wavelengths; }
const std::vector<std::string>& SpectralImage::Notes() const { return impl_->notes; }
const std::vector<int>& SpectralImage::UsableBands() const { return impl_->usable; }
bool SpectralImage::Scanned() const { return impl_->scan.has_value(); }
const BandScan& SpectralImage::Scan() const {
    if (!impl_->scan) throw OrvaneError("The bands of " + impl_->path + " were not scanned yet.");
    return *impl_->scan;
}

void SpectralImage::RequireWavelengths() const {
    if (impl_->has_wavelengths) return;
    throw OrvaneError("The image " + impl_->path + " has no wavelengths: " +
                          impl_->no_wavelengths_reason +
                          ". Give them in a text file of one line per band: the centre "
                          "wavelength in nanometres, optionally followed by the FWHM.",
                      Remedy::kGiveWavelengths);
}

std::vector<double> SpectralImage::UsableWavelengths() const {
    std::vector<double> centres;
    for (int n : impl_->usable) centres.push_back(Band(n).wavelength);
    return centres;
}

std::vector<ImageWindow> SpectralImage::BlockWindows(double megabytes,
                                                     const ImageWindow* region) const {
    const ImageWindow whole{0, 0, impl_->width, impl_->height};
    return impl_->Windows(region ? *region : whole, megabytes, impl_->usable.size());
}

void SpectralImage::ReadWindow(const ImageWindow& window, float* out) const {
    impl_->Read(window, impl_->usable, out);
}

void SpectralImage::ReadWindow(const ImageWindow& window, const std::vector<int>& bands,
                               float* out) const {
    impl_->Read(window, bands, out);
}

const BandScan& SpectralImage::ScanBands(Feedback* feedback) {
    if (impl_->scan) return *impl_->scan;
    const size_t n = impl_->bands.size();
    std::vector<int> all(n);
    for (size_t i = 0; i < n; ++i) all[i] = static_cast<int>(i) + 1;
    const std::vector<ImageWindow> windows =
        impl_->Windows({0, 0, impl_->width, impl_->height}, kScanMegabytes, n);
    // Per window: each band's count, minimum, maximum and sum, combined in window order.
    struct Tally {
        std::vector<long long> valid;
        std::vector<double> minimum, maximum, sum;
    };
    std::vector<Tally> tallies(windows.size());
    std::vector<std::vector<float>> buffers(static_cast<size_t>(WorkersFor(windows.size())));
    std::atomic<size_t> done{0};
    ParallelFor(windows.size(), [&](size_t i, int worker) {
        if (feedback) feedback->ThrowIfCancelled();
        std::vector<float>& buffer = buffers[static_cast<size_t>(worker)];
        buffer.resize(static_cast<size_t>(windows[i].Pixels()) * n);
        impl_->Read(windows[i], all, buffer.data());
        Tally& t = tallies[i];
        t.valid.assign(n, 0);
        t.minimum.assign(n, std::numeric_limits<double>::infinity());
        t.maximum.assign(n, -std::numeric_limits<double>::infinity());
        t.sum.assign(n, 0.0);
        for (size_t p = 0; p < static_cast<size_t>(windows[i].Pixels()); ++p) {
            const float* px = buffer.data() + p * n;
            for (size_t k = 0; k < n; ++k) {
                const bool has = !std::isnan(px[k]);
                const double v = has ? px[k] : 0.0;
                t.valid[k] += has ? 1 : 0;
                t.minimum[k] = has && v < t.minimum[k] ? v : t.minimum[k];
                t.maximum[k] = has && v > t.maximum[k] ? v : t.maximum[k];
                t.sum[k] += v;
            }
        }
        const size_t finished = ++done;
        if (feedback && worker == 0)
            feedback->Step(static_cast<long long>(finished), static_cast<long long>(windows.size()));
    });
    BandScan scan;
    scan.valid.assign(n, 0);
    scan.minimum.assign(n, std::numeric_limits<double>::infinity());
    scan.maximum.assign(n, -std::numeric_limits<double>::infinity());
    scan.sum.assign(n, 0.0);
    for (const Tally& t : tallies)
        for (size_t k = 0; k < n; ++k) {
            scan.valid[k] += t.valid[k];
            scan.minimum[k] = std::min(scan.minimum[k], t.minimum[k]);
            scan.maximum[k] = std::max(scan.maximum[k], t.maximum[k]);
            scan.sum[k] += t.sum[k];
        }
    for (size_t k = 0; k < n; ++k)
        if (scan.valid[k] == 0) {
            scan.empty.push_back(static_cast<int>(k) + 1);
            scan.minimum[k] = scan.maximum[k] = kNaN;
        }
    if (!scan.empty.empty()) {
        impl_->notes.push_back(fmt::format("{} bands hold no value in any pixel{}: {}.",
                                           scan.empty.size(),
                                           std::all_of(scan.empty.begin(), scan.empty.end(),
                                                       [&](int b) { return Band(b).bad; })
                                               ? " (all of them marked bad as well)"
                                               : "; they are left out",
                                           BandList(scan.empty, impl_->bands)));
        std::vector<int>& usable = impl_->usable;
        usable.erase(std::remove_if(usable.begin(), usable.end(),
                                    [&](int b) { return scan.valid[static_cast<size_t>(b - 1)] == 0; }),
                     usable.end());
    }
    impl_->scan = std::move(scan);
    return *impl_->scan;
}

std::string ReflectanceWarning(const SpectralImage& image) {
    if (!image.Scanned()) return "";
    const BandScan& scan = image.Scan();
    double low = std::numeric_limits<double>::infinity();
    double high = -low;
    double sum = 0.0;
    long long count = 0;
    for (int b : image.UsableBands()) {
        const size_t k = static_cast<size_t>(b - 1);
        low = std::min(low, scan.minimum[k]);
        high = std::max(high, scan.maximum[k]);
        sum += scan.sum[k];
        count += scan.valid[k];
    }
    if (count == 0 || sum / static_cast<double>(count) <= 1.5) return "";
    return fmt::format(
        "The values of {} range from {:g} to {:g} (mean {:g}) in its usable bands; reflectance "
        "as a fraction lies between 0 and about 1. The image may hold radiance, percent or "
        "integers whose scale factor its metadata do not give.",
        image.Path(), low, high, sum / static_cast<double>(count));
}

}  // namespace orvane
