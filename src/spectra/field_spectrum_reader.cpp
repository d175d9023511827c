// SPDX-License-Identifier: GPL-3.0-or-later
#include "spectra/field_spectrum_reader.h"

#include <cerrno>
#include <cmath>
#include <cstdint>
#include <cstdio>
#include <cstring>

#include <fmt/format.h>

#include "base/orvane_error.h"
#include "base/regular_file.h"
#include "base/shown_text.h"
#include "base/utf8_text.h"
#include "spectra/spectrum_file.h"

namespace orvane {

namespace {

constexpr std::size_t kHeaderBytes = 484;
constexpr std::size_t kCommentOffset = 3;
constexpr std::size_t kCommentMax = 157;
constexpr std::size_t kTimeOffset = 160;
constexpr std::size_t kDataTypeOffset = 186;
constexpr std::size_t kFirstWavelengthOffset = 191;
constexpr std::size_t kStepOffset = 195;
constexpr std::size_t kDataFormatOffset = 199;
constexpr std::size_t kChannelsOffset = 204;
constexpr std::size_t kLatitudeOffset = 350;
constexpr std::size_t kLongitudeOffset = 358;
constexpr std::size_t kAltitudeOffset = 366;
constexpr std::size_t kInstrumentNumberOffset = 400;
constexpr std::size_t kSpliceOffset = 444;  // two floats, -1 or 0 where a detector is absent
// Reference flag (2), reference time (8), spectrum time (8), description length (2).
constexpr std::size_t kReferenceHeaderBytes = 20;
constexpr int kReflectanceType = 1;
constexpr std::size_t kOldLayoutBytes = kHeaderBytes + kSpectrumBands * 4;
// The largest prefix any header can ask for: two blocks of 65535 doubles and the longest
// description; nothing after it is ever needed.
constexpr std::size_t kMaxUsefulBytes =
    kHeaderBytes + 2 * 65535 * 8 + kReferenceHeaderBytes + 65535;

[[noreturn]] void Refuse(const std::string& path, const std::string& reason) {
    throw OrvaneError("Field spectrum file " + path + " was not read: " + reason + ".");
}

std::string Number(double v) { return fmt::format("{:g}", v); }

// The file stores little-endian values; decoding byte by byte keeps the reader independent of
// the host's byte order and alignment.
class LittleEndian {
public:
    explicit LittleEndian(const std::vector<unsigned char>& bytes) : bytes_(bytes) {}
    std::uint16_t U16(std::size_t at) const {
        return static_cast<std::uint16_t>(bytes_[at] | (bytes_[at + 1] << 8));
    }
    std::int16_t I16(std::size_t at) const { return static_cast<std::int16_t>(U16(at)); }
    std::uint32_t U32(std::size_t at) const {
        std::uint32_t v = 0;
        for (int i = 3; i >= 0; --i) v = (v << 8) | bytes_[at + static_cast<std::size_t>(i)];
        return v;
    }
    float F32(std::size_t at) const {
        const std::uint32_t bits = U32(at);
        float v;
        std::memcpy(&v, &bits, sizeof v);
        return v;
    }
    double F64(std::size_t at) const {
        const std::uint64_t bits =
            static_cast<std::uint64_t>(U32(at)) | (static_cast<std::uint64_t>(U32(at + 4)) << 32);
        double v;
        std::memcpy(&v, &bits, sizeof v);
        return v;
    }

private:
    const std::vector<unsigned char>& bytes_;
};

std::vector<unsigned char> ReadPrefix(const std::string& path) {
    errno = 0;
    std::FILE* opened = nullptr;
    try {
        opened = OpenRegularFile(path);
    } catch (const NotRegularFileError& e) {
        Refuse(path, "it is " + e.Kind() + ", not a regular file");
    } catch (const FileNotFoundError&) {
        Refuse(path, std::string("it cannot be opened (") + std::strerror(errno) + ")");
    }
    std::unique_ptr<std::FILE, int (*)(std::FILE*)> file(opened, &std::fclose);
    // Sized to the file, so that an import of many small files allocates little.
    std::size_t length = kMaxUsefulBytes;
    if (std::fseek(file.get(), 0, SEEK_END) == 0) {
        const long end = std::ftell(file.get());
        if (end >= 0 && static_cast<unsigned long>(end) < length)
            length = static_cast<std::size_t>(end);
        std::rewind(file.get());
    }
    std::vector<unsigned char> bytes(length);
    const std::size_t got = std::fread(bytes.data(), 1, bytes.size(), file.get());
    if (std::ferror(file.get()))
        Refuse(path, std::string("it cannot be read (") + std::strerror(errno) + ")");
    bytes.resize(got);
    return bytes;
}

double DegreesFromDegreesMinutes(double v) {
    const double degrees = std::trunc(v / 100.0);
    return degrees + (v - 100.0 * degrees) / 60.0;
}

// A position the database can hold and a map can show, or NaN with a note naming the value.
double Position(double degrees_minutes, double limit, const char* what,
                std::vector<std::string>& notes) {
    const double v = DegreesFromDegreesMinutes(degrees_minutes);
    if (std::isfinite(v) && std::fabs(v) <= limit) return v;
    notes.push_back(std::string("its ") + what + " " + Number(degrees_minutes) +
                    " is not a position on the globe; no " + what + " is kept");
    return std::nan("");
}

void ReadHeaderFields(const LittleEndian& in, const std::vector<unsigned char>& bytes,
                      FieldSpectrumContents& out) {
    const char* comment = reinterpret_cast<const char*>(bytes.data() + kCommentOffset);
    const void* end = std::memchr(comment, '\0', kCommentMax);
    const char* comment_end = end ? static_cast<const char*>(end) : comment + kCommentMax;
    const std::string_view raw(comment, static_cast<std::size_t>(comment_end - comment));
    // The database holds UTF-8 only; the original bytes stay readable in the note.
    out.comment = ReplaceInvalidUtf8(raw);
    if (out.comment != raw)
        out.notes.push_back("its comment \"" + EscapeControls(raw) +
                            "\" is not valid UTF-8; each invalid byte is kept as U+FFFD");
    CaptureTime& t = out.capture_time;
    t.second = in.I16(kTimeOffset);
    t.minute = in.I16(kTimeOffset + 2);
    t.hour = in.I16(kTimeOffset + 4);
    t.day = in.I16(kTimeOffset + 6);
    t.month = in.I16(kTimeOffset + 8) + 1;
    t.year = in.I16(kTimeOffset + 10) + 1900;
    if (!ValidCaptureTime(t))
        out.notes.push_back("its capture time " + std::to_string(t.year) + "-" +
                            std::to_string(t.month) + "-" + std::to_string(t.day) + " " +
                            std::to_string(t.hour) + ":" + std::to_string(t.minute) + ":" +
                            std::to_string(t.second) + " is not a date and time; no date is kept");
    out.latitude = Position(in.F64(kLatitudeOffset), 90.0, "latitude", out.notes);
    out.longitude = Position(in.F64(kLongitudeOffset), 180.0, "longitude", out.notes);
    // Headers of the oldest layout leave the serial number and splices 0.
    if (const std::uint16_t serial = in.U16(kInstrumentNumberOffset)) {
        std::string version;
        for (std::size_t i = 0; i < 3; ++i)
            if (bytes[i] >= 0x21 && bytes[i] < 0x7F) version += static_cast<char>(bytes[i]);
        out.instrument = (version.size() == 3 ? version + " " : "") + "#" + std::to_string(serial);
    }
    for (std::size_t at : {kSpliceOffset, kSpliceOffset + 4}) {
        const double w = static_cast<double>(in.F32(at));
        if (w > kFirstWavelength && w < kLastWavelength &&
            (out.splice_points.empty() || w > out.splice_points.back()))
            out.splice_points.push_back(w);
    }
    out.altitude = in.F64(kAltitudeOffset);
    if (!std::isfinite(out.altitude)) {
        out.notes.push_back("its altitude " + Number(out.altitude) +
                            " is not a number; no altitude is kept");
        out.altitude = std::nan("");
    }
}

std::string EndsEarly(std::size_t size, std::size_t needed, const char* inside) {
    return "it ends after " + std::to_string(size) + " bytes, inside " + inside + " (" +
           std::to_string(needed) + " bytes needed)";
}

// A header written with nothing but the comment, time and position: 2150 floats follow it.
void ReadOldLayout(const std::string& path, const LittleEndian& in, std::size_t size,
                   std::vector<double>& values) {
    if (size < kOldLayoutBytes) Refuse(path, EndsEarly(size, kOldLayoutBytes, "its 2150 values"));
    for (std::size_t i = 0; i < kSpectrumBands; ++i)
        values[i] = static_cast<double>(in.F32(kHeaderBytes + 4 * i));
}

struct BlockFormat {
    std::size_t width = 0;
    double (*decode)(const LittleEndian&, std::size_t) = nullptr;
};

BlockFormat FormatOf(const std::string& path, int code) {
    switch (code) {
        case 0:
            return {4, [](const LittleEndian& in, std::size_t at) {
                        return static_cast<double>(in.F32(at));
                    }};
        case 1:
            // The maker's format description gives integer data two bytes per value.
            return {2, [](const LittleEndian& in, std::size_t at) {
                        return static_cast<double>(in.I16(at));
                    }};
        case 2:
            return {8, [](const LittleEndian& in, std::size_t at) { return in.F64(at); }};
        default:
            Refuse(path, "its data format code " + std::to_string(code) +
                             " is unknown (0 float, 1 integer, 2 double)");
    }
}

// Versions 6 and later (company field "as6", "as7", ...) store a white reference after the
// spectrum; earlier versions store the spectrum alone.
bool CarriesReference(const std::vector<unsigned char>& bytes) {
    return bytes[0] == 'a' && bytes[1] == 's' && bytes[2] >= '6' && bytes[2] <= '9';
}

void ReadDescribedLayout(const std::string& path, const LittleEndian& in,
                         const std::vector<unsigned char>& bytes, std::vector<double>& values) {
    const std::size_t size = bytes.size();
    const std::size_t channels = in.U16(kChannelsOffset);
    const BlockFormat format = FormatOf(path, bytes[kDataFormatOffset]);
    const double first_wavelength = static_cast<double>(in.F32(kFirstWavelengthOffset));
    const double step = static_cast<double>(in.F32(kStepOffset));

    // Channel k lies at first_wavelength + k * step; the grid needs 350..2499 nm at 1 nm.
    const double skip = kFirstWavelength - first_wavelength;
    const bool on_grid = std::isfinite(skip) && std::fabs(step - 1.0) <= 1e-4 && skip > -1e-3 &&
                         std::fabs(skip - std::round(skip)) <= 1e-3;
    const std::size_t first = on_grid ? static_cast<std::size_t>(std::llround(skip)) : 0;
    if (!on_grid || first + kSpectrumBands > channels)
        Refuse(path, "its " + std::to_string(channels) + " channels from " +
                         Number(first_wavelength) + " nm in steps of " + Number(step) +
                         " nm do not cover 350 to 2499 nm at 1 nm");

    const std::size_t block = channels * format.width;
    const std::size_t spectrum_end = kHeaderBytes + block;
    if (size < spectrum_end) Refuse(path, EndsEarly(size, spectrum_end, "its spectrum"));

    if (!CarriesReference(bytes)) {
        const int type = bytes[kDataTypeOffset];
        if (type != kReflectanceType)
            Refuse(path, "it holds data of type " + std::to_string(type) +
                             " (not reflectance) and no white reference to divide it by");
        for (std::size_t i = 0; i < kSpectrumBands; ++i)
            values[i] = format.decode(in, kHeaderBytes + (first + i) * format.width);
        return;
    }

    if (size < spectrum_end + kReferenceHeaderBytes)
        Refuse(path,
               EndsEarly(size, spectrum_end + kReferenceHeaderBytes, "its white reference header"));
    const std::size_t description = in.U16(spectrum_end + kReferenceHeaderBytes - 2);
    const std::size_t reference = spectrum_end + kReferenceHeaderBytes + description;
    if (size < reference + block)
        Refuse(path, EndsEarly(size, reference + block, "its white reference"));

    for (std::size_t i = 0; i < kSpectrumBands; ++i) {
        const std::size_t offset = (first + i) * format.width;
        const double white = format.decode(in, reference + offset);
        if (white == 0.0 || !std::isfinite(white))
            Refuse(path, "its white reference is " + Number(white) + " at " +
                             std::to_string(kFirstWavelength + static_cast<int>(i)) + " nm");
        values[i] = format.decode(in, kHeaderBytes + offset) / white;
    }
}

}  // namespace

FieldSpectrumContents ReadFieldSpectrumValues(const std::string& path) {
    const std::vector<unsigned char> bytes = ReadPrefix(path);
    if (bytes.size() < kHeaderBytes)
        Refuse(path, "it is " + std::to_string(bytes.size()) +
                         " bytes long, shorter than the 484-byte header");
    const LittleEndian in(bytes);
    FieldSpectrumContents out;
    ReadHeaderFields(in, bytes, out);
    out.reflectances.assign(kSpectrumBands, 0.0);
    if (in.U16(kChannelsOffset) == 0)
        ReadOldLayout(path, in, bytes.size(), out.reflectances);
    else
        ReadDescribedLayout(path, in, bytes, out.reflectances);

    // A value that is not a number, or that a stored float cannot hold, would poison every
    // mean and feature computed from the spectrum.
    for (std::size_t i = 0; i < kSpectrumBands; ++i) {
        const double v = out.reflectances[i];
        if (!std::isfinite(v) || !std::isfinite(static_cast<float>(v)))
            Refuse(path, "its value " + Number(v) + " at " +
                             std::to_string(kFirstWavelength + static_cast<int>(i)) +
                             " nm is not a finite single-precision number");
    }
    return out;
}

bool ValidCaptureTime(const CaptureTime& t) {
    static const int kDays[] = {31, 29, 31, 30, 31, 30, 31, 31, 30, 31, 30, 31};
    if (t.year < 1000 || t.year > 9999 || t.month < 1 || t.month > 12 || t.day < 1 ||
        t.day > kDays[t.month - 1] || t.hour < 0 || t.hour > 23 || t.minute < 0 || t.minute > 59 ||
        t.second < 0 || t.second > 59)
        return false;
    const bool leap = (t.year % 4 == 0 && t.year % 100 != 0) || t.year % 400 == 0;
    return !(t.month == 2 && t.day == 29 && !leap);
}

std::string FileNameOfPath(const std::string& path) {
    const std::size_t slash = path.find_last_of("/\\");
    return slash == std::string::npos ? path : path.substr(slash + 1);
}

namespace {
bool IsDigit(char c) { return c >= '0' && c <= '9'; }

// Numbers longer than nine digits keep their last nine, so that they fit an int32.
int DigitsValue(const std::string& digits) {
    const std::size_t start = digits.size() > 9 ? digits.size() - 9 : 0;
    int value = 0;
    for (std::size_t i = start; i < digits.size(); ++i) value = value * 10 + (digits[i] - '0');
    return value;
}
bool SameLetters(std::string_view a, std::string_view b) {
    if (a.size() != b.size()) return false;
    for (std::size_t i = 0; i < a.size(); ++i) {
        const char c = a[i] >= 'A' && a[i] <= 'Z' ? static_cast<char>(a[i] + 32) : a[i];
        if (c != b[i]) return false;
    }
    return true;
}

// The instrument's software writes an overlap-matched copy of "leaf_00012.sig" as
// "leaf_00012_moc.sig"; its number is the measurement's.
std::string_view WithoutMatchedSuffix(std::string_view base, std::string_view extension) {
    if (SameLetters(extension, "sig") && base.size() > 4 &&
        SameLetters(base.substr(base.size() - 4), "_moc"))
        base.remove_suffix(4);
    return base;
}
}  // namespace

int SpectrumNumberOfFileName(const std::string& file_name) {
    const std::size_t dot = file_name.rfind('.');
    const std::string extension = dot == std::string::npos ? "" : file_name.substr(dot + 1);
    if (!extension.empty() && IsDigit(extension[0])) {
        std::size_t end = 0;
        while (end < extension.size() && IsDigit(extension[end])) ++end;
        return DigitsValue(extension.substr(0, end));
    }
    const std::string base(WithoutMatchedSuffix(
        dot == std::string::npos ? std::string_view(file_name)
                                 : std::string_view(file_name).substr(0, dot),
        extension));
    std::size_t start = base.size();
    while (start > 0 && IsDigit(base[start - 1])) --start;
    return DigitsValue(base.substr(start));
}

bool InstrumentFileExtension(std::string_view extension) {
    for (const SpectrumReader& reader : SpectrumReaders())
        if (reader.Bands() == ReaderBands::kFieldGrid)
            for (std::string_view own : reader.extensions)
                if (SameLetters(extension, own)) return true;
    return false;
}

std::optional<int> InstrumentFileNumber(std::string_view file_name) {
    const std::size_t dot = file_name.rfind('.');
    if (dot == std::string_view::npos) return std::nullopt;
    const std::string_view extension = file_name.substr(dot + 1);
    if (!extension.empty() && IsDigit(extension[0])) {
        std::size_t end = 0;
        while (end < extension.size() && IsDigit(extension[end])) ++end;
        return DigitsValue(std::string(extension.substr(0, end)));
    }
    if (!InstrumentFileExtension(extension)) return std::nullopt;
    const std::string_view base = WithoutMatchedSuffix(file_name.substr(0, dot), extension);
    std::size_t start = base.size();
    while (start > 0 && IsDigit(base[start - 1])) --start;
    if (start == base.size()) return std::nullopt;
    return DigitsValue(std::string(base.substr(start)));
}

void SetSpectrumFileIdentity(Spectrum& spectrum, const std::string& path) {
    spectrum.dummy_ = 0;
    spectrum.path_ = path;
    spectrum.name_ = FileNameOfPath(path);
    spectrum.number_ = SpectrumNumberOfFileName(spectrum.name_);
}

}  // namespace orvane
