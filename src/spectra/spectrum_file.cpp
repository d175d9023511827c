// SPDX-License-Identifier: GPL-3.0-or-later
#include "spectra/spectrum_file.h"

#include <strings.h>

#include <array>
#include <cstdio>

#include "base/orvane_error.h"
#include "base/regular_file.h"
#include "spectra/sed_spectrum_reader.h"
#include "spectra/sig_spectrum_reader.h"
#include "spectra/z_profile_reader.h"

namespace orvane {

// The readers. A new reader adds its row here. The order is the order of recognition by
// content (an ENVI Z profile's first line would pass for an SED header line, so the profile
// comes first) and the order the help texts name the readers in.
const std::vector<SpectrumReader>& SpectrumReaders() {
    static const std::vector<SpectrumReader> readers = [] {
        std::vector<SpectrumReader> list(4);
        SpectrumReader& binary = list[0];
        binary.name = "binary";
        binary.files = "instrument files";
        binary.extensions = {"asd"};
        binary.takes_the_rest = true;
        binary.read_values = ReadFieldSpectrumValues;

        SpectrumReader& sig = list[1];
        sig.name = "SIG";
        sig.files = "text files";
        sig.extensions = {"sig"};
        sig.recognises = LooksLikeSigStart;
        sig.read_values = ReadSigSpectrumValues;

        SpectrumReader& z_profile = list[2];
        z_profile.name = "ENVI Z";
        z_profile.files = "profiles";
        z_profile.extensions = {"txt"};
        z_profile.recognises = LooksLikeZProfileStart;
        z_profile.read_on_sensor = ReadZProfileOnSensor;
        z_profile.not_a_field_spectrum =
            "it is an ENVI Z profile, which lies on a sensor's bands; load it as a Z profile "
            "on the current sensor";

        SpectrumReader& sed = list[3];
        sed.name = "SED";
        sed.files = "text files";
        sed.extensions = {"sed"};
        sed.recognises = LooksLikeSedHeader;
        sed.read_values = ReadSedSpectrumValues;
        return list;
    }();
    return readers;
}

namespace {

constexpr std::size_t kInspectedBytes = 4096;

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

bool HasExtension(const std::string& path, std::string_view extension) {
    const std::size_t n = extension.size() + 1;
    const std::size_t slash = path.find_last_of('/');
    const std::size_t name = slash == std::string::npos ? 0 : slash + 1;
    return path.size() > name + n && path[path.size() - n] == '.' &&
           strncasecmp(path.c_str() + path.size() - n + 1, extension.data(), n - 1) == 0;
}

std::vector<const SpectrumReader*> ReadersOf(ReaderBands bands) {
    std::vector<const SpectrumReader*> readers;
    for (const SpectrumReader& reader : SpectrumReaders())
        if (reader.Bands() == bands) readers.push_back(&reader);
    return readers;
}

// "a", "a or b", "a, b or c".
std::string Joined(const std::vector<std::string>& words, std::string_view conjunction) {
    std::string text;
    for (std::size_t i = 0; i < words.size(); ++i) {
        if (i > 0) text += i + 1 == words.size() ? " " + std::string(conjunction) + " " : ", ";
        text += words[i];
    }
    return text;
}

}  // namespace

const SpectrumReader& ReaderOfFile(const std::string& path) {
    const std::vector<SpectrumReader>& readers = SpectrumReaders();
    const std::string bytes = FirstBytes(path);
    if (!bytes.empty() && bytes.find('\0') == std::string::npos) {
        std::string_view text(bytes);
        if (text.substr(0, 3) == "\xEF\xBB\xBF") text.remove_prefix(3);
        for (const SpectrumReader& reader : readers)
            if (reader.recognises && reader.recognises(text)) return reader;
    }
    for (const SpectrumReader& reader : readers)
        for (std::string_view extension : reader.extensions)
            if (HasExtension(path, extension)) return reader;
    for (const SpectrumReader& reader : readers)
        if (reader.takes_the_rest) return reader;
    throw OrvaneError("Field spectrum file " + path + " was not read: no reader takes it.");
}

FieldSpectrumContents ReadSpectrumFileValues(const std::string& path) {
    const SpectrumReader& reader = ReaderOfFile(path);
    if (!reader.read_values)
        throw OrvaneError("Field spectrum file " + path + " was not read: " +
                          std::string(reader.not_a_field_spectrum) + ".");
    return reader.read_values(path);
}

std::unique_ptr<Spectrum> ReadSpectrumFile(const std::string& path) {
    return ReadSpectrumFile(path, ReaderOfFile(path));
}

std::unique_ptr<Spectrum> ReadSpectrumFile(const std::string& path, const SpectrumReader& reader) {
    if (!reader.read_values)
        throw OrvaneError("Field spectrum file " + path + " was not read: " +
                          std::string(reader.not_a_field_spectrum) + ".");
    FieldSpectrumContents contents = reader.read_values(path);
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

std::string ReaderNames(ReaderBands bands, std::string_view conjunction) {
    std::vector<std::string> names;
    for (const SpectrumReader* reader : ReadersOf(bands)) names.emplace_back(reader->name);
    return Joined(names, conjunction);
}

std::string ReaderFiles(ReaderBands bands) {
    const std::vector<const SpectrumReader*> readers = ReadersOf(bands);
    std::string text;
    for (std::size_t i = 0; i < readers.size();) {
        std::vector<std::string> names;
        std::size_t j = i;
        for (; j < readers.size() && readers[j]->files == readers[i]->files; ++j)
            names.emplace_back(readers[j]->name);
        if (!text.empty()) text += ", ";
        text += Joined(names, "and") + " " + std::string(readers[i]->files);
        i = j;
    }
    return text;
}

std::string ReaderExtensions(ReaderBands bands, std::string_view conjunction) {
    std::vector<std::string> extensions;
    for (const SpectrumReader* reader : ReadersOf(bands))
        for (std::string_view extension : reader->extensions)
            extensions.push_back("." + std::string(extension));
    return Joined(extensions, conjunction);
}

std::string ReaderFileFilter(ReaderBands bands) {
    std::string patterns;
    for (const SpectrumReader* reader : ReadersOf(bands))
        for (std::string_view extension : reader->extensions)
            patterns += "*." + std::string(extension) + " ";
    if (bands == ReaderBands::kFieldGrid)
        return "Field spectra (" + patterns + "*.[0-9]*);;All files (*)";
    if (!patterns.empty()) patterns.pop_back();
    return ReaderFiles(bands) + " (" + patterns + ");;All files (*)";
}

}  // namespace orvane
