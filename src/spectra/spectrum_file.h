// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <memory>
#include <string>
#include <string_view>
#include <vector>

#include "spectra/field_spectrum_reader.h"

namespace orvane {

class Sensor;
class WavebandFilter;

// Where a reader puts a file's values: onto the 1 nm grid of field spectra, or onto the bands
// of a sensor (an image pixel's profile).
enum class ReaderBands { kFieldGrid, kSensorBands };

// One reader of the files a spectrum is loaded from. The list in spectrum_file.cpp holds one
// row per reader; the import, the window's and the command line's loading, their help texts
// and the window's file dialogs all read it.
struct SpectrumReader {
    // How the help texts name the reader ("SIG") and, after the name, its files ("text files");
    // readers that share the noun are named together ("SIG and SED text files").
    std::string_view name;
    std::string_view files;
    // Its file-name extensions, lower case and without the dot, matched in any case.
    std::vector<std::string_view> extensions;
    // True when the start of a file (a text: no NUL byte in its first 4 KiB, a UTF-8
    // byte-order mark removed) is one of its files; null where the content tells nothing.
    bool (*recognises)(std::string_view start) = nullptr;
    // The reader of the files no other reader takes (the binary one, which names what is wrong
    // with a file that is none); exactly one reader is.
    bool takes_the_rest = false;
    // A field spectrum's values (kFieldGrid), or null.
    FieldSpectrumContents (*read_values)(const std::string& path) = nullptr;
    // A spectrum on a sensor's bands (kSensorBands), or null; the sensor is null when none is
    // selected, which the reader refuses naming the file.
    std::unique_ptr<Spectrum> (*read_on_sensor)(const std::string& path, const Sensor* sensor,
                                                const WavebandFilter* filter) = nullptr;
    // Why a field spectrum's reading refuses a file of a kSensorBands reader.
    std::string_view not_a_field_spectrum;

    ReaderBands Bands() const {
        return read_values ? ReaderBands::kFieldGrid : ReaderBands::kSensorBands;
    }
};

// Every reader, in the order of the list; the help texts name them in that order.
const std::vector<SpectrumReader>& SpectrumReaders();

// The reader of a file, by its first bytes: the first reader that recognises the start of a
// text. Where no reader does (or the file is binary or cannot be opened), the first reader
// with the file's extension (in any case) takes it, else the reader that takes the rest.
const SpectrumReader& ReaderOfFile(const std::string& path);

// The values of a field spectrum file (binary, SIG, SED, ... as ReaderOfFile chooses). Throws
// OrvaneError naming the file (and the line of a text file) when it cannot be read, and for a
// file of a kSensorBands reader, which lies on a sensor's bands rather than the 1 nm grid.
FieldSpectrumContents ReadSpectrumFileValues(const std::string& path);

// The same as a new spectrum: the name the header gives (else the file's name), the number the
// file's name carries, the path, the header fields and the reflectances, kStoredNoValue where
// the file measured nothing.
std::unique_ptr<Spectrum> ReadSpectrumFile(const std::string& path);
std::unique_ptr<Spectrum> ReadSpectrumFile(const std::string& path, const SpectrumReader& reader);

// The readers of the bands named for a help text, in the order of the list. `ReaderNames`
// joins the names ("binary, SIG or SED" with "or"); `ReaderFiles` the names with their files
// ("binary instrument files, SIG and SED text files"); `ReaderExtensions` the extensions
// (".asd, .sig or .sed" with "or").
std::string ReaderNames(ReaderBands bands, std::string_view conjunction);
std::string ReaderFiles(ReaderBands bands);
std::string ReaderExtensions(ReaderBands bands, std::string_view conjunction);

// The filter of a file dialog that opens the files of the bands' readers, then all files:
// "Field spectra (*.asd *.sig *.sed *.[0-9]*);;All files (*)" (field spectra also come
// numbered, "leaf.012"), "ENVI Z profiles (*.txt);;All files (*)".
std::string ReaderFileFilter(ReaderBands bands);

}  // namespace orvane
