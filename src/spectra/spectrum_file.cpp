// SPDX-License-Identifier: GPL-3.0-or-later
#include "spectra/spectrum_file.h"

#include <strings.h>

#include <array>
#include <cstdio>
#include <cstring>
#include <string_view>

#include "base/orvane_error.h"
#include "base/regular_file.h"
#include "spectra/sed_spectrum_reader.h"
#include "spectra/sig_spectrum_reader.h"

namespace orvane {

namespace {

constexpr std::size_t kInspectedBytes = 4096;
constexpr std::string_view kZProfileFirstLine = "ENVI ASCII Plot File";

// The first bytes of a regular file; empty when it cannot be opened (its reader then says why).
std::string FirstBytes(const std::string& path) {
    std::string bytes;
    std::FILE* file = nullptr;
    try {
        file = OpenRegularFile(path);
    } catch (const OrvaneError&) {
        return bytes;
    }
    bytes.resize(kInspectedBytes);
    bytes.resize(std::fread(bytes.data(), 1, bytes.size(), file));
    std::fclose(file);
    return bytes;
}

bool HasExtension(const std::string& path, const char* extension) {
    const std::size_t n = std::strlen(extension);
    const std::size_t slash = path.find_last_of('/');
    const std::size_t name = slash == std::string::npos ? 0 : slash + 1;
    return path.size() > name + n && strcasecmp(path.c_str() + path.size() - n, extension) == 0;
}

}  // namespace

SpectrumFileKind SpectrumFileKindOf(const std::string& path) {
    std::string bytes = FirstBytes(path);
    if (!bytes.empty() && bytes.find('\0') == std::string::npos) {
        std::string_view text(bytes);
        if (text.substr(0, 3) == "\xEF\xBB\xBF") text.remove_prefix(3);
        const std::string_view first = text.substr(0, text.find('\n'));
        if (first.find(kSigFirstLine) != std::string_view::npos) return SpectrumFileKind::kSig;
        if (first.substr(0, kZProfileFirstLine.size()) == kZProfileFirstLine)
            return SpectrumFileKind::kZProfile;
        if (LooksLikeSedHeader(std::string(text))) return SpectrumFileKind::kSed;
    }
    if (HasExtension(path, ".sig")) return SpectrumFileKind::kSig;
    if (HasExtension(path, ".sed")) return SpectrumFileKind::kSed;
    if (HasExtension(path, ".txt")) return SpectrumFileKind::kZProfile;
    return SpectrumFileKind::kInstrumentBinary;
}

namespace {

FieldSpectrumContents ReadValuesOfKind(const std::string& path, SpectrumFileKind kind) {
    switch (kind) {
        case SpectrumFileKind::kSig:
            return ReadSigSpectrumValues(path);
        case SpectrumFileKind::kSed:
            return ReadSedSpectrumValues(path);
        case SpectrumFileKind::kZProfile:
            throw OrvaneError("Field spectrum file " + path +
                              " was not read: it is an ENVI Z profile, which lies on a sensor's "
                              "bands; load it as a Z profile on the current sensor.");
        case SpectrumFileKind::kInstrumentBinary:
            break;
    }
    return ReadFieldSpectrumValues(path);
}

}  // namespace

FieldSpectrumContents ReadSpectrumFileValues(const std::string& path) {
    return ReadValuesOfKind(path, SpectrumFileKindOf(path));
}

std::unique_ptr<Spectrum> ReadSpectrumFile(const std::string& path) {
    const SpectrumFileKind kind = SpectrumFileKindOf(path);
    // The binary reader makes its spectrum itself, as it always has.
    if (kind == SpectrumFileKind::kInstrumentBinary) return ReadFieldSpectrumFile(path);
    FieldSpectrumContents contents = ReadValuesOfKind(path, kind);
    auto spectrum = std::make_unique<Spectrum>();
    SetSpectrumFileIdentity(*spectrum, path);
    if (!contents.name.empty()) spectrum->name_ = contents.name;
    spectrum->comment_ = std::move(contents.comment);
    spectrum->capture_time_ = contents.capture_time;
    spectrum->latitude_ = contents.latitude;
    spectrum->longitude_ = contents.longitude;
    spectrum->altitude_ = contents.altitude;
    spectrum->read_notes_ = std::move(contents.notes);
    std::array<float, kSpectrumBands> narrowed{};
    for (std::size_t i = 0; i < kSpectrumBands; ++i)
        narrowed[i] = static_cast<float>(contents.reflectances[i]);
    spectrum->SetReflectances(narrowed.data());
    return spectrum;
}

}  // namespace orvane
