// SPDX-License-Identifier: GPL-3.0-or-later
#include "study/library_import.h"

#include <fmt/format.h>
#include <sys/stat.h>

#include <algorithm>
#include <array>
#include <cctype>
#include <cerrno>
#include <cmath>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <limits>
#include <map>
#include <memory>
#include <numeric>
#include <optional>

#include "base/band_grid.h"
#include "base/csv_table.h"
#include "base/feedback.h"
#include "base/frontend.h"
#include "base/orvane_error.h"
#include "base/regular_file.h"
#include "base/shown_text.h"
#include "chain/processing_session.h"
#include "spectra/spectrum_text.h"
#include "store/database.h"
#include "store/spectra_repository.h"
#include "store/study_repository.h"
#include "study/spectra_import.h"
#include "study/study_management.h"
#include "study/study_spectra_changes.h"

namespace orvane {

namespace {

constexpr size_t kFolderNameChars = 80;
constexpr size_t kPathChars = 1024;
constexpr size_t kDataPathChars = 255;

std::string Lower(std::string text) {
    for (char& c : text) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
    return text;
}

std::string Number(double v) { return fmt::format("{:g}", v); }

[[noreturn]] void Refuse(const std::string& path, const std::string& reason) {
    throw OrvaneError("Spectral library " + path + " was not read: " + reason + ".");
}

// A whole number or a decimal with a point; nothing for anything else.
std::optional<double> NumberOf(const std::string& text) {
    if (text.empty()) return std::nullopt;
    char* end = nullptr;
    const double value = std::strtod(text.c_str(), &end);
    if (!end || *end != '\0') return std::nullopt;
    return value;
}

// A library value: a number, or no value (NaN) where the field is empty, "nan" or "NA".
std::optional<double> ValueOf(const std::string& text) {
    const std::string lower = Lower(text);
    if (lower.empty() || lower == "nan" || lower == "na" || lower == "-nan")
        return std::numeric_limits<double>::quiet_NaN();
    const std::optional<double> value = NumberOf(text);
    if (value && std::isinf(*value)) return std::nullopt;
    return value;
}

// Nanometres per unit of the wavelengths; wavenumbers (cm-1) are turned over by the caller.
// Empty and "unknown" give 0: inferred from the values.
double NanometresPer(const std::string& unit_text, const std::string& path) {
    const std::string unit = Lower(TrimmedText(unit_text));
    if (unit.empty() || unit == "unknown") return 0.0;
    if (unit == "nanometers" || unit == "nanometres" || unit == "nm") return 1.0;
    if (unit == "micrometers" || unit == "micrometres" || unit == "microns" || unit == "um" ||
        unit == "\xC2\xB5m" || unit == "micrometer")
        return 1000.0;
    if (unit == "millimeters" || unit == "millimetres" || unit == "mm") return 1.0e6;
    if (unit == "meters" || unit == "metres" || unit == "m") return 1.0e9;
    if (unit == "wavenumber") return -1.0;
    Refuse(path, "its wavelength unit \"" + EscapeControls(unit_text) +
                     "\" is none of nanometers, micrometers, millimeters, meters or wavenumber");
}

// Wavelengths in nanometres, rising, with the values reordered alike; repeats and values that
// are not positive refused, the unit inferred where the file gives none.
void NormaliseWavelengths(SpectralLibraryFile& lib, double nm_per_unit) {
    for (double w : lib.wavelengths)
        if (!(w > 0.0) || !std::isfinite(w))
            Refuse(lib.path, "its wavelength " + Number(w) + " is not a positive number");
    if (nm_per_unit == 0.0) {
        const double highest = *std::max_element(lib.wavelengths.begin(), lib.wavelengths.end());
        nm_per_unit = highest < 30.0 ? 1000.0 : 1.0;
        lib.notes.push_back(fmt::format(
            "The file names no wavelength unit; its wavelengths ({} to {}) are taken as {}.",
            Number(*std::min_element(lib.wavelengths.begin(), lib.wavelengths.end())),
            Number(highest), nm_per_unit == 1.0 ? "nanometres" : "micrometres (all below 30)"));
    }
    // A converted wavelength is kept to a millionth of a nanometre, so that 0.4 um is band
    // 400 and not a hair above it, which would leave band 400 without value.
    if (nm_per_unit != 1.0)
        for (double& w : lib.wavelengths)
            w = std::round((nm_per_unit < 0.0 ? 1.0e7 / w : w * nm_per_unit) * 1.0e6) / 1.0e6;
    std::vector<size_t> order(lib.wavelengths.size());
    std::iota(order.begin(), order.end(), 0);
    std::stable_sort(order.begin(), order.end(), [&lib](size_t a, size_t b) {
        return lib.wavelengths[a] < lib.wavelengths[b];
    });
    std::vector<double> sorted;
    for (size_t i : order) sorted.push_back(lib.wavelengths[i]);
    for (size_t i = 1; i < sorted.size(); ++i)
        if (sorted[i] == sorted[i - 1])
            Refuse(lib.path, "its wavelength " + Number(sorted[i]) +
                                 " nm appears twice; each value needs its own wavelength");
    lib.wavelengths = sorted;
    for (std::vector<double>& spectrum : lib.values) {
        std::vector<double> reordered;
        reordered.reserve(order.size());
        for (size_t i : order) reordered.push_back(spectrum[i]);
        spectrum = std::move(reordered);
    }
    const double low = lib.wavelengths.front();
    const double high = lib.wavelengths.back();
    if (std::ceil(std::max(low, static_cast<double>(kFirstWavelength))) >
        std::floor(std::min(high, static_cast<double>(kLastWavelength))))
        Refuse(lib.path, "its wavelengths from " + Number(low) + " to " + Number(high) +
                             " nm cover no band from 350 to 2499 nm");
}

void CheckNames(const SpectralLibraryFile& lib) {
    for (size_t s = 0; s < lib.names.size(); ++s)
        if (lib.names[s].empty()) Refuse(lib.path, fmt::format("spectrum {} has no name", s + 1));
}

// ---- ENVI ----

// The header's keys (in lower case, inner blanks single) and their values, braces removed.
std::map<std::string, std::string> ReadEnviHeader(const std::string& header_path,
                                                  const std::string& path) {
    const std::string text =
        ReadWholeTextFile(header_path, "Spectral library header", size_t{64} << 20);
    size_t at = text.find_first_not_of(" \t\r\n");
    if (at == std::string::npos || text.compare(at, 4, "ENVI") != 0)
        Refuse(path, "its header " + header_path + " does not begin with \"ENVI\"");
    at = text.find('\n', at);
    std::map<std::string, std::string> keys;
    while (at != std::string::npos && at < text.size()) {
        const size_t line_end = text.find('\n', at + 1);
        const std::string line =
            text.substr(at + 1, (line_end == std::string::npos ? text.size() : line_end) - at - 1);
        const size_t eq = line.find('=');
        if (eq == std::string::npos || TrimmedText(line).empty() || TrimmedText(line)[0] == ';') {
            at = line_end;
            continue;
        }
        std::string key;
        for (char c : Lower(TrimmedText(line.substr(0, eq))))
            if (c != ' ' || (!key.empty() && key.back() != ' ')) key += c == '\t' ? ' ' : c;
        std::string value = TrimmedText(line.substr(eq + 1));
        size_t next = line_end;
        if (!value.empty() && value[0] == '{') {
            // A list runs to its closing brace, over as many lines as it takes.
            const size_t open = text.find('{', at + 1 + eq);
            const size_t close = text.find('}', open);
            if (close == std::string::npos)
                Refuse(path, "the value of \"" + key + "\" in its header has no closing brace");
            value = text.substr(open + 1, close - open - 1);
            next = text.find('\n', close);
        }
        keys[key] = value;
        at = next;
    }
    return keys;
}

std::vector<std::string> ListItems(const std::string& value) {
    std::vector<std::string> items;
    size_t start = 0;
    while (true) {
        const size_t comma = value.find(',', start);
        items.push_back(TrimmedText(
            value.substr(start, comma == std::string::npos ? std::string::npos : comma - start)));
        if (comma == std::string::npos) break;
        start = comma + 1;
    }
    if (items.size() == 1 && items[0].empty()) items.clear();
    return items;
}

long long HeaderInt(const std::map<std::string, std::string>& keys, const std::string& key,
                    long long fallback, long long low, long long high, const std::string& path) {
    const auto it = keys.find(key);
    if (it == keys.end()) {
        if (fallback < low) Refuse(path, "its header has no \"" + key + "\"");
        return fallback;
    }
    char* end = nullptr;
    const std::string text = TrimmedText(it->second);
    const long long value = std::strtoll(text.c_str(), &end, 10);
    if (text.empty() || !end || *end != '\0' || value < low || value > high)
        Refuse(path, fmt::format("its header's \"{}\" is \"{}\", not a whole number from {} to {}",
                                 key, EscapeControls(text), low, high));
    return value;
}

template <typename T>
double Load(const unsigned char* bytes) {
    T value;
    std::memcpy(&value, bytes, sizeof value);
    return static_cast<double>(value);
}

// One value of an ENVI data type, its bytes already in this machine's order.
double ValueAt(long long type, const unsigned char* bytes) {
    switch (type) {
        case 1: return bytes[0];
        case 2: return Load<int16_t>(bytes);
        case 3: return Load<int32_t>(bytes);
        case 4: return Load<float>(bytes);
        case 5: return Load<double>(bytes);
        case 12: return Load<uint16_t>(bytes);
        case 13: return Load<uint32_t>(bytes);
        case 14: return Load<int64_t>(bytes);
        case 15: return Load<uint64_t>(bytes);
        default: return std::numeric_limits<double>::quiet_NaN();
    }
}

std::pair<std::string, std::string> EnviPaths(const std::string& path) {
    namespace fs = std::filesystem;
    const std::string extension = Lower(fs::path(path).extension().string());
    if (extension == ".hdr") {
        const fs::path stem = fs::path(path).replace_extension();
        for (const char* data : {".sli", ".lib", ".spl", ".esl", ""}) {
            fs::path candidate = stem;
            candidate += data;
            std::error_code ec;
            if (fs::is_regular_file(candidate, ec)) return {path, candidate.string()};
        }
        Refuse(path, "no data file lies beside the header (" + stem.string() + ".sli)");
    }
    const std::string replaced = fs::path(path).replace_extension(".hdr").string();
    std::error_code ec;
    if (fs::exists(replaced, ec)) return {replaced, path};
    const std::string appended = path + ".hdr";
    if (fs::exists(appended, ec)) return {appended, path};
    Refuse(path, "its header " + replaced + " is missing");
}

SpectralLibraryFile ReadEnviLibrary(const std::string& given) {
    const auto [header_path, data_path] = EnviPaths(given);
    SpectralLibraryFile lib;
    lib.path = data_path;
    lib.layout = "ENVI spectral library";
    const std::map<std::string, std::string> keys = ReadEnviHeader(header_path, data_path);
    const long long samples = HeaderInt(keys, "samples", -1, 1, 1000000, data_path);
    const long long lines = HeaderInt(keys, "lines", -1, 1, 100000000, data_path);
    const long long bands = HeaderInt(keys, "bands", 1, 1, 1000000, data_path);
    if (bands != 1)
        Refuse(data_path, fmt::format("its header describes {} bands; a spectral library has one "
                                      "(samples are its wavelengths, lines its spectra)",
                                      bands));
    const long long type = HeaderInt(keys, "data type", -1, 1, 15, data_path);
    const long long order = HeaderInt(keys, "byte order", 0, 0, 1, data_path);
    const long long offset = HeaderInt(keys, "header offset", 0, 0, (1LL << 40), data_path);
    static const std::map<long long, int> kSizes = {{1, 1},  {2, 2},  {3, 4},  {4, 4}, {5, 8},
                                                    {12, 2}, {13, 4}, {14, 8}, {15, 8}};
    const auto size_it = kSizes.find(type);
    if (size_it == kSizes.end())
        Refuse(data_path, fmt::format("its data type {} is not one of real numbers or whole "
                                      "numbers (1-5, 12-15)",
                                      type));
    const int size = size_it->second;

    const auto names_it = keys.find("spectra names");
    if (names_it == keys.end()) Refuse(data_path, "its header has no \"spectra names\"");
    lib.names = ListItems(names_it->second);
    if (static_cast<long long>(lib.names.size()) != lines)
        Refuse(data_path, fmt::format("its header names {} spectra but describes {} lines",
                                      lib.names.size(), lines));
    const auto wavelength_it = keys.find("wavelength");
    if (wavelength_it == keys.end()) Refuse(data_path, "its header has no \"wavelength\" list");
    for (const std::string& item : ListItems(wavelength_it->second)) {
        const std::optional<double> w = NumberOf(item);
        if (!w) Refuse(data_path, "its wavelength \"" + EscapeControls(item) + "\" is no number");
        lib.wavelengths.push_back(*w);
    }
    if (static_cast<long long>(lib.wavelengths.size()) != samples)
        Refuse(data_path, fmt::format("its header lists {} wavelengths for {} samples",
                                      lib.wavelengths.size(), samples));
    if (const auto it = keys.find("reflectance scale factor"); it != keys.end()) {
        const std::optional<double> scale = NumberOf(TrimmedText(it->second));
        if (!scale || !(*scale > 0.0) || !std::isfinite(*scale))
            Refuse(data_path, "its reflectance scale factor \"" + EscapeControls(it->second) +
                                  "\" is not a positive number");
        lib.scale = *scale;
    }
    std::optional<double> ignore;
    if (const auto it = keys.find("data ignore value"); it != keys.end()) {
        ignore = NumberOf(TrimmedText(it->second));
        if (!ignore)
            Refuse(data_path,
                   "its data ignore value \"" + EscapeControls(it->second) + "\" is no number");
    }
    const auto unit_it = keys.find("wavelength units");
    const double nm_per_unit =
        NanometresPer(unit_it == keys.end() ? std::string() : unit_it->second, data_path);

    // The size is checked before anything is read: a cut-off file would otherwise give the
    // last spectra made of whatever the reader finds.
    const unsigned long long needed =
        static_cast<unsigned long long>(offset) + static_cast<unsigned long long>(samples) *
                                                      static_cast<unsigned long long>(lines) *
                                                      static_cast<unsigned long long>(size);
    errno = 0;
    std::FILE* opened = nullptr;
    try {
        opened = OpenRegularFile(data_path);
    } catch (const NotRegularFileError& e) {
        Refuse(data_path, "it is " + e.Kind() + ", not a regular file");
    } catch (const FileNotFoundError&) {
        Refuse(data_path, std::string("it cannot be opened (") + std::strerror(errno) + ")");
    }
    std::unique_ptr<std::FILE, int (*)(std::FILE*)> file(opened, &std::fclose);
    struct stat status = {};
    if (fstat(fileno(file.get()), &status) != 0)
        Refuse(data_path, std::string("its size cannot be read (") + std::strerror(errno) + ")");
    const auto actual = static_cast<unsigned long long>(status.st_size);
    if (actual < needed)
        Refuse(data_path, fmt::format("it holds {} bytes, but its header describes {} spectra of "
                                      "{} values of {} bytes after {} bytes of header, {} bytes; "
                                      "the file is cut off",
                                      actual, lines, samples, size, offset, needed));
    if (actual > needed)
        lib.notes.push_back(
            fmt::format("The data file holds {} bytes after the {} its header "
                        "describes; they are not read.",
                        actual - needed, needed));
    if (std::fseek(file.get(), static_cast<long>(offset), SEEK_SET) != 0)
        Refuse(data_path, std::string("it cannot be read (") + std::strerror(errno) + ")");
    const bool swap = (order == 1) != [] {
        const uint16_t probe = 1;
        unsigned char first = 0;
        std::memcpy(&first, &probe, 1);
        return first == 0;
    }();
    std::vector<unsigned char> row(static_cast<size_t>(samples) * static_cast<size_t>(size));
    for (long long s = 0; s < lines; ++s) {
        if (std::fread(row.data(), 1, row.size(), file.get()) != row.size())
            Refuse(data_path,
                   fmt::format("spectrum {} cannot be read ({})", s + 1, std::strerror(errno)));
        std::vector<double> values(static_cast<size_t>(samples));
        for (size_t i = 0; i < values.size(); ++i) {
            unsigned char* b = row.data() + i * static_cast<size_t>(size);
            if (swap) std::reverse(b, b + size);
            double v = ValueAt(type, b);
            if (ignore && v == *ignore) v = std::numeric_limits<double>::quiet_NaN();
            if (std::isinf(v)) v = std::numeric_limits<double>::quiet_NaN();
            values[i] = v;
        }
        lib.values.push_back(std::move(values));
    }
    CheckNames(lib);
    NormaliseWavelengths(lib, nm_per_unit);
    return lib;
}

// ---- CSV ----

SpectralLibraryFile ReadCsvLibrary(const std::string& path) {
    SpectralLibraryFile lib;
    lib.path = path;
    const CsvTable table = ReadCsvTable(path, "Spectral library");
    if (table.records.size() < 2) Refuse(path, "it holds no spectrum below its header line");
    // A trailing separator on every line makes an empty last column; it holds nothing.
    size_t columns = table.records.front().fields.size();
    while (columns > 1) {
        bool empty = true;
        for (const CsvRecord& r : table.records)
            if (r.fields.size() >= columns && !r.fields[columns - 1].empty()) empty = false;
        if (!empty) break;
        --columns;
    }
    if (columns < 2) Refuse(path, "its header line has a single field");
    for (const CsvRecord& r : table.records) {
        bool extra = false;
        for (size_t c = columns; c < r.fields.size(); ++c) extra |= !r.fields[c].empty();
        if (r.fields.size() < columns || extra)
            Refuse(path, fmt::format("line {} has {} fields where the header has {}", r.line,
                                     r.fields.size(), columns));
    }
    const std::vector<std::string>& header = table.records.front().fields;
    bool across = true;  // the header's fields after the first are wavelengths
    for (size_t c = 1; c < columns && across; ++c) across = NumberOf(header[c]).has_value();
    if (across) {
        bool down = true;
        for (size_t r = 1; r < table.records.size() && down; ++r)
            down = NumberOf(table.records[r].fields[0]).has_value();
        if (down)
            Refuse(path,
                   "both its first line and its first column hold numbers, so neither "
                   "names the spectra; give the spectra names that are not numbers");
        lib.layout = "CSV, one row per spectrum";
        for (size_t c = 1; c < columns; ++c) lib.wavelengths.push_back(*NumberOf(header[c]));
        for (size_t r = 1; r < table.records.size(); ++r) {
            const CsvRecord& record = table.records[r];
            lib.names.push_back(TrimmedText(record.fields[0]));
            std::vector<double> values;
            for (size_t c = 1; c < columns; ++c) {
                const std::optional<double> v = ValueOf(record.fields[c]);
                if (!v)
                    Refuse(path, fmt::format("line {}, column {}: \"{}\" is no number", record.line,
                                             c + 1, EscapeControls(record.fields[c])));
                values.push_back(*v);
            }
            lib.values.push_back(std::move(values));
        }
    } else {
        lib.layout = "CSV, one column per spectrum";
        for (size_t c = 1; c < columns; ++c) lib.names.push_back(TrimmedText(header[c]));
        lib.values.assign(columns - 1, {});
        for (size_t r = 1; r < table.records.size(); ++r) {
            const CsvRecord& record = table.records[r];
            const std::optional<double> w = NumberOf(record.fields[0]);
            if (!w)
                Refuse(path, fmt::format("line {}: its wavelength \"{}\" is no number", record.line,
                                         EscapeControls(record.fields[0])));
            lib.wavelengths.push_back(*w);
            for (size_t c = 1; c < columns; ++c) {
                const std::optional<double> v = ValueOf(record.fields[c]);
                if (!v)
                    Refuse(path, fmt::format("line {}, column {}: \"{}\" is no number", record.line,
                                             c + 1, EscapeControls(record.fields[c])));
                lib.values[c - 1].push_back(*v);
            }
        }
    }
    CheckNames(lib);
    NormaliseWavelengths(lib, 0.0);
    return lib;
}

// "SPECIES site N spectrum M", as the library export names a spectrum.
struct ExportedName {
    std::string species;
    int site = 0;
    int number = 0;
};

std::optional<int> Positive(const std::string& digits) {
    if (digits.empty() || digits.size() > 9 ||
        !std::all_of(digits.begin(), digits.end(), [](char c) { return c >= '0' && c <= '9'; }))
        return std::nullopt;
    const int value = std::atoi(digits.c_str());
    if (value < 1) return std::nullopt;
    return value;
}

std::optional<ExportedName> ParseExportedName(const std::string& name) {
    const size_t spectrum = name.rfind(" spectrum ");
    if (spectrum == std::string::npos) return std::nullopt;
    const size_t site = name.rfind(" site ", spectrum);
    if (site == std::string::npos || site == 0) return std::nullopt;
    const std::optional<int> number = Positive(name.substr(spectrum + 10));
    const std::optional<int> site_no = Positive(name.substr(site + 6, spectrum - site - 6));
    if (!number || !site_no) return std::nullopt;
    return ExportedName{name.substr(0, site), *site_no, *number};
}

// The classes file: each spectrum name's class; an empty class leaves the spectrum out.
std::map<std::string, std::string> ReadClasses(const std::string& path) {
    const std::string what = "Classes file";
    const CsvTable table = ReadCsvTable(path, what);
    if (table.records.empty()) throw OrvaneError(what + " " + path + " is empty.");
    const std::vector<std::string>& header = table.records.front().fields;
    int spectrum = -1;
    int cls = -1;
    for (size_t c = 0; c < header.size(); ++c) {
        if (Lower(header[c]) == "spectrum") spectrum = static_cast<int>(c);
        if (Lower(header[c]) == "class") cls = static_cast<int>(c);
    }
    if (spectrum < 0 || cls < 0)
        throw OrvaneError(what + " " + path +
                          ": its first line must name the columns spectrum and class (a "
                          "spectrum's name in the library and the species it belongs to; an "
                          "empty class leaves the spectrum out).");
    std::map<std::string, std::pair<std::string, int>> entries;
    for (size_t r = 1; r < table.records.size(); ++r) {
        const CsvRecord& record = table.records[r];
        const auto field = [&record](int c) {
            return static_cast<size_t>(c) < record.fields.size()
                       ? TrimmedText(record.fields[static_cast<size_t>(c)])
                       : std::string();
        };
        const std::string name = field(spectrum);
        if (name.empty())
            throw OrvaneError(fmt::format("{} {}: line {}: the spectrum name is empty.", what, path,
                                          record.line));
        const auto [it, added] = entries.emplace(name, std::make_pair(field(cls), record.line));
        if (!added && it->second.first != field(cls))
            throw OrvaneError(fmt::format(
                "{} {}: line {}: spectrum \"{}\" is given the class \"{}\" here and \"{}\" on "
                "line {}; a spectrum belongs to one class.",
                what, path, record.line, EscapeControls(name), EscapeControls(field(cls)),
                EscapeControls(it->second.first), it->second.second));
    }
    std::map<std::string, std::string> classes;
    for (const auto& [name, entry] : entries) classes[name] = entry.first;
    return classes;
}

// Where one spectrum of the library goes in the new study.
struct Placement {
    size_t spectrum = 0;  // its index in the library
    int site = 1;
    int number = 0;
};

std::string StemOf(const std::string& path) { return std::filesystem::path(path).stem().string(); }

}  // namespace

SpectralLibraryFile ReadSpectralLibrary(const std::string& path) {
    const std::string extension = Lower(std::filesystem::path(path).extension().string());
    if (extension == ".csv" || extension == ".txt") return ReadCsvLibrary(path);
    return ReadEnviLibrary(path);
}

std::vector<double> LibrarySpectrumOnGrid(const SpectralLibraryFile& lib, size_t spectrum,
                                          double scale) {
    const std::vector<double>& values = lib.values.at(spectrum);
    const std::vector<double>& wl = lib.wavelengths;
    std::vector<double> grid(kSpectrumBands, static_cast<double>(kStoredNoValue));
    size_t i = 0;
    while (i < values.size()) {
        if (std::isnan(values[i])) {
            ++i;
            continue;
        }
        size_t end = i;
        while (end < values.size() && !std::isnan(values[end])) ++end;
        // The bands this run of values reaches: from its first wavelength up to its last.
        const int first = static_cast<int>(std::max<double>(kFirstWavelength, std::ceil(wl[i])));
        const int last =
            static_cast<int>(std::min<double>(kLastWavelength, std::floor(wl[end - 1])));
        if (first <= last) {
            std::vector<MeasuredChannel> channels;
            for (size_t c = i; c < end; ++c)
                channels.push_back({wl[c], values[c] / scale, static_cast<int>(c) + 1});
            std::vector<double> run;
            try {
                run = ResampleOntoGrid(lib.path, channels, {});
            } catch (const OrvaneError& e) {
                const std::string prefix = "Field spectrum file " + lib.path + " was not read: ";
                std::string reason = e.what();
                if (reason.compare(0, prefix.size(), prefix) == 0)
                    reason = reason.substr(prefix.size());
                if (!reason.empty() && reason.back() == '.') reason.pop_back();
                Refuse(lib.path, fmt::format("spectrum {} \"{}\": {}", spectrum + 1,
                                             EscapeControls(lib.names[spectrum]), reason));
            }
            for (int band = first; band <= last; ++band)
                grid[static_cast<size_t>(band - kFirstWavelength)] =
                    run[static_cast<size_t>(band - kFirstWavelength)];
        }
        i = end;
    }
    return grid;
}

LibraryImportResult ImportLibraryAsStudy(ProcessingSession& session, Frontend& frontend,
                                         const LibraryImportOptions& options) {
    SpectralLibraryFile lib = ReadSpectralLibrary(options.path);
    const size_t count = lib.names.size();

    // The scale: the user's, the file's, or read off the values, as reflectance is a fraction.
    double scale = options.scale > 0.0 ? options.scale : lib.scale;
    std::string scale_note;
    if (scale <= 0.0) {
        // The median, as noisy detector ends reach far beyond 1 even in a library of fractions.
        std::vector<double> all;
        for (const std::vector<double>& spectrum : lib.values)
            for (double v : spectrum)
                if (std::isfinite(v)) all.push_back(v);
        double median = 0.0;
        if (!all.empty()) {
            std::nth_element(all.begin(), all.begin() + static_cast<long>(all.size() / 2),
                             all.end());
            median = all[all.size() / 2];
        }
        scale = median <= 1.5 ? 1.0 : median <= 150.0 ? 100.0 : 10000.0;
        if (scale != 1.0)
            scale_note = fmt::format(
                "The file names no scale and its values' median is {}, more than a reflectance "
                "fraction's: they are divided by {} ({}); give --scale to choose otherwise.",
                Number(median), Number(scale), scale == 100.0 ? "percent" : "scaled integers");
    }

    // Each spectrum's species, site and number.
    std::map<std::string, std::string> classes;
    if (!options.classes_path.empty()) classes = ReadClasses(options.classes_path);
    std::map<std::string, std::vector<Placement>> species;
    std::vector<std::string> unmapped;
    int left_out = 0;
    for (size_t s = 0; s < count; ++s) {
        const std::string& name = lib.names[s];
        const std::optional<ExportedName> exported = ParseExportedName(name);
        std::string folder = exported ? exported->species : name;
        Placement placement;
        placement.spectrum = s;
        if (!options.classes_path.empty()) {
            auto it = classes.find(name);
            if (it == classes.end() && exported) it = classes.find(exported->species);
            if (it == classes.end()) {
                if (unmapped.size() < 10) unmapped.push_back("\"" + EscapeControls(name) + "\"");
                continue;
            }
            if (it->second.empty()) {
                ++left_out;
                continue;
            }
            folder = it->second;
        } else if (exported) {
            placement.site = exported->site;
            placement.number = exported->number;
        }
        species[AsUtf8(folder)].push_back(placement);
    }
    if (!unmapped.empty()) {
        std::string list;
        for (const std::string& n : unmapped) list += (list.empty() ? "" : ", ") + n;
        throw OrvaneError("Classes file " + options.classes_path +
                          " gives no class for the spectra " + list +
                          "; add a line for each (an empty class leaves a spectrum out).");
    }
    if (species.empty())
        throw OrvaneError("Classes file " + options.classes_path + " leaves every spectrum of " +
                          lib.path + " out.");
    for (auto& [folder, placements] : species) {
        if (Utf8Chars(folder) > kFolderNameChars)
            throw OrvaneError("Spectral library " + lib.path + ": the species \"" +
                              EscapeControls(folder) +
                              "\" has a name longer than a species' 80 characters; give it a "
                              "shorter class with --classes.");
        // Spectra without a number of their own are numbered in the library's order in site 1.
        int next = 0;
        for (Placement& p : placements)
            if (p.number == 0) p.number = ++next;
        std::map<std::pair<int, int>, size_t> seen;
        for (const Placement& p : placements) {
            const auto [it, added] = seen.emplace(std::make_pair(p.site, p.number), p.spectrum);
            if (!added)
                throw OrvaneError(fmt::format(
                    "Spectral library {}: spectra {} \"{}\" and {} \"{}\" would both be spectrum "
                    "{} of site {} of species \"{}\"; give them names of their own or classes "
                    "with --classes.",
                    lib.path, it->second + 1, EscapeControls(lib.names[it->second]), p.spectrum + 1,
                    EscapeControls(lib.names[p.spectrum]), p.number, p.site,
                    EscapeControls(folder)));
        }
    }

    // Every spectrum on the grid before anything is stored.
    std::vector<std::array<float, kSpectrumBands>> grid(count);
    {
        ProgressScope progress(frontend, "Reading the library's spectra", static_cast<int>(count));
        for (size_t s = 0; s < count; ++s) {
            if (frontend.Cancelled()) throw Cancelled("cancelled; no study was made");
            const std::vector<double> values = LibrarySpectrumOnGrid(lib, s, scale);
            for (size_t b = 0; b < values.size(); ++b) grid[s][b] = static_cast<float>(values[b]);
            frontend.StepProgress(static_cast<int>(s) + 1);
        }
    }

    StudyFields fields;
    fields.name = options.study_name.empty() ? StemOf(lib.path) : options.study_name;
    fields.description =
        options.description.empty() ? "Spectral library " + lib.path : options.description;
    const std::string library_path = AsUtf8(lib.path);
    // The data path names the library; a path longer than the column is left out rather than
    // cut, since a cut path would name another file.
    fields.data_path = Utf8Chars(library_path) <= kDataPathChars ? library_path : "";
    fields.min_samples = options.min_samples;
    if (frontend.Cancelled()) throw Cancelled("cancelled; no study was made");
    const int study_id = StudyManagement(session, frontend).CreateStudy(fields);

    LibraryImportResult result;
    result.study_id = study_id;
    result.study_name = fields.name;
    result.left_out = left_out;
    Database& db = session.Db();
    try {
        Transaction transaction(db);
        SpectraImportRepository rows(db);
        const std::string stored_path = Utf8Chars(library_path) <= kPathChars ? library_path : "";
        for (const auto& [folder, placements] : species) {
            const int64_t species_id = rows.InsertSpecies(folder, study_id);
            ++result.species;
            std::map<int, std::vector<const Placement*>> sites;
            for (const Placement& p : placements) sites[p.site].push_back(&p);
            for (const auto& [site_no, members] : sites) {
                const int64_t site_id = rows.InsertSite(site_no, species_id, "", study_id);
                ++result.sites;
                std::vector<NewSpectrumRow> batch;
                for (const Placement* p : members) {
                    NewSpectrumRow row;
                    row.spectrum_no = p->number;
                    row.latitude = row.longitude = row.altitude =
                        std::numeric_limits<double>::quiet_NaN();
                    row.comment = AsUtf8(lib.names[p->spectrum]);
                    row.path = stored_path;
                    row.reflectances = grid[p->spectrum].data();
                    batch.push_back(std::move(row));
                }
                rows.InsertSpectra(species_id, site_id, study_id, batch);
                result.spectra += static_cast<int>(batch.size());
            }
        }
        MarkStudySpectraChanged(db, study_id);
        transaction.Commit();
    } catch (const std::exception& e) {
        // The study was made for this import alone; without its spectra it goes again.
        std::string removed = "the new study was removed again";
        try {
            StudyRepository studies(db);
            studies.DeleteAll(study_id);
            session.SetStudy(studies.AnyStudy().value_or(0));
        } catch (const std::exception&) {
            removed = fmt::format("the new study \"{}\" (id {}) is left empty; delete it",
                                  EscapeControls(fields.name), study_id);
        }
        throw OrvaneError(std::string("The library's spectra could not be stored (") + e.what() +
                          "); " + removed + ".");
    }

    std::string report = fmt::format(
        "Study \"{}\" (id {}) made from {} ({}): {} species, {} "
        "sites and {} spectra",
        EscapeControls(fields.name), study_id, EscapeControls(lib.path), lib.layout, result.species,
        result.sites, result.spectra);
    if (left_out > 0) report += fmt::format("; {} left out by the classes file", left_out);
    frontend.Report(report);
    for (const std::string& note : lib.notes) frontend.Report(note);
    if (!scale_note.empty()) frontend.Report(scale_note);
    return result;
}

}  // namespace orvane
