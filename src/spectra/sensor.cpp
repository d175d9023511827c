// SPDX-License-Identifier: GPL-3.0-or-later
#include "spectra/sensor.h"

#include <cmath>
#include <cstdlib>
#include <cstring>
#include <limits>
#include <map>
#include <optional>

#include <fmt/format.h>

#include "base/number_text.h"
#include "base/orvane_error.h"
#include "base/regular_file.h"
#include "base/shown_text.h"
#include "base/text_file.h"
#include "store/name_lookup.h"
#include "store/database.h"
#include "store/sensor_repository.h"

namespace orvane {

namespace {

struct DefinitionLine {
    int line_no = 0;
    std::vector<std::string> tokens;
};

struct Definition {
    std::string name;
    std::string description;
    std::vector<DefinitionLine> lines;
};

std::vector<std::string> Tokenize(const std::string& line) {
    std::vector<std::string> tokens;
    size_t pos = 0;
    while (pos < line.size()) {
        const size_t end = line.find_first_of(",\t\n\r", pos);
        const size_t stop = end == std::string::npos ? line.size() : end;
        if (stop > pos) tokens.push_back(line.substr(pos, stop - pos));
        pos = stop + 1;
    }
    return tokens;
}

[[noreturn]] void Malformed(const std::string& path, int line_no, const std::string& why) {
    throw OrvaneError("Sensor file " + path + ", line " + std::to_string(line_no) + ": " + why +
                      ". Nothing was stored.");
}

// The name, description and element lines of a definition file: three header lines, then
// one element per line; blank lines and "#" comments after the header do not count.
Definition ReadDefinition(const std::string& path) {
    TextFile file(path, '#');
    // The start-up text of a missing file says the program quits, which an import does not.
    try {
        file.OpenForReading();
    } catch (const NotRegularFileError& e) {
        throw OrvaneError("Sensor file " + path + " is " + e.Kind() +
                          ", not a regular file. Nothing was stored.");
    } catch (const FileNotFoundError&) {
        throw OrvaneError("Sensor file " + path + " not found. Nothing was stored.");
    }
    file.MeasureLines();
    Definition def;
    std::string raw;
    int line_no = 0;
    int header = 0;
    while (file.ReadLine(raw)) {
        ++line_no;
        TextFile::StripLineEnd(raw);
        if (!raw.empty() && raw[0] == '#') continue;
        if (header < 3) {
            if (header == 0) def.name = raw;
            if (header == 1) def.description = raw;
            ++header;
            continue;
        }
        if (raw.find_first_not_of(" \t") == std::string::npos) continue;
        DefinitionLine dl;
        dl.line_no = line_no;
        dl.tokens = Tokenize(raw);
        def.lines.push_back(std::move(dl));
    }
    if (header < 3)
        throw OrvaneError("Sensor file " + path +
                          " is too short: it needs a name, a description and a column header "
                          "line before the bands. Nothing was stored.");
    if (def.lines.empty())
        throw OrvaneError("Sensor file " + path + " defines no bands. Nothing was stored.");
    return def;
}

// Band numbers and wavelengths a sensor file may give; anything else is a typing error or a
// file of another kind, and would overflow or mislead synthesis after it was stored.
constexpr int kMaxBandNumber = 99999;
constexpr double kLowestWavelength = 300.0;
constexpr double kHighestWavelength = 2600.0;
constexpr double kMaxFwhm = 1000.0;
// Column sizes of the sensor table, in characters.
constexpr size_t kNameChars = 255;
constexpr size_t kDescriptionChars = 1024;

int BandNumber(const std::string& path, int line_no, const std::string& token) {
    try {
        return ParseInt(token, 0, kMaxBandNumber, "the band number");
    } catch (const OrvaneError& e) {
        Malformed(path, line_no, e.what());
    }
}

double Real(const std::string& path, int line_no, const std::string& token, double low,
            double high, const char* what) {
    try {
        return ParseReal(token, low, high, what);
    } catch (const OrvaneError& e) {
        Malformed(path, line_no, e.what());
    }
}

void CheckHeader(const std::string& path, const Definition& def) {
    if (def.name.find_first_not_of(" \t") == std::string::npos)
        throw OrvaneError("Sensor file " + path +
                          ": its first line, the sensor's name, is empty. Nothing was stored.");
    if (Utf8Chars(def.name) > kNameChars)
        throw OrvaneError("Sensor file " + path + ": the sensor's name holds more than " +
                          std::to_string(kNameChars) + " characters. Nothing was stored.");
    if (Utf8Chars(def.description) > kDescriptionChars)
        throw OrvaneError("Sensor file " + path + ": the description holds more than " +
                          std::to_string(kDescriptionChars) + " characters. Nothing was stored.");
}

// Whole nanometres of a stored wavelength, kept within what an int holds whatever the row says.
int TruncatedNm(double wavelength) {
    if (!(wavelength > -1e9)) return -1000000000;
    if (!(wavelength < 1e9)) return 1000000000;
    return static_cast<int>(wavelength);
}

}  // namespace

int Sensor::RoundCentre(double wavelength) {
    return TruncatedNm(std::ceil(wavelength - 0.5));
}

void Sensor::LoadHeader(Database& db, int sensor_id) {
    const std::optional<StoredSensor> row = SensorRepository(db).Find(sensor_id);
    if (!row) throw OrvaneError("There is no sensor with id " + std::to_string(sensor_id) + ".");
    name_ = row->name;
    description_ = row->description;
    response_type_ = row->response_type;
    sensor_id_ = sensor_id;
}

void Sensor::Load(Database& db, int sensor_id) { LoadHeader(db, sensor_id); }

int Sensor::InsertSensorRow(Database& db, int type) {
    CheckNewName(kSensorNames, name_);
    SensorRepository sensors(db);
    const std::optional<int> type_id = sensors.ResponseTypeId(type);
    if (!type_id)
        throw OrvaneError("The database has no sensor response type " + std::to_string(type) +
                          "; was the schema loaded?");
    // Sensors are chosen by name, so a second one that only case or trailing blanks set apart
    // could never be told apart.
    const auto similar = sensors.SimilarNames(name_);
    if (!similar.empty())
        throw OrvaneError(fmt::format("There is already a sensor named \"{}\" (id {}); nothing "
                                      "was imported. Delete that sensor first, or rename the new "
                                      "one in the first line of its file.",
                                      similar.front().second, similar.front().first));
    sensor_id_ = sensors.Insert(name_, description_, *type_id);
    response_type_ = type;
    return sensor_id_;
}

void Sensor::Import(Database& db, const std::string& path) {
    ReadFile(path);
    Transaction tx(db);
    Store(db);
    tx.Commit();
}

const SensorElement* Sensor::NearestElement(double wavelength) const {
    if (elements_.empty()) return nullptr;
    const SensorElement* best = &elements_.front();
    double best_distance = 2150.0;
    bool found = false;
    for (const SensorElement& e : elements_) {
        const double d = std::fabs(e.avg_wavelength - wavelength);
        if (d < best_distance || (found && d == best_distance)) {
            best_distance = d;
            best = &e;
            found = true;
        }
    }
    return best;
}

int Sensor::ElementByWavelength(double wavelength) const {
    const int w = TruncatedNm(wavelength);
    for (size_t i = 0; i < elements_.size(); ++i)
        if (TruncatedNm(elements_[i].avg_wavelength) == w) return static_cast<int>(i);
    return -1;
}

namespace {

// An element as a stored sensor loads it, the n-th (from 1) it loads.
SensorElement LoadedElement(int n, int band_no, double avg_wavelength, double fwhm,
                            bool calibrated) {
    SensorElement e;
    e.number = n;
    e.band_no = band_no;
    e.avg_wavelength = avg_wavelength;
    e.fwhm = fwhm;
    e.calibrated = calibrated;
    e.usable = e.calibrated;
    const int centre = Sensor::RoundCentre(e.avg_wavelength);
    if (centre < 350 || centre > 2499) e.usable = false;
    return e;
}

}  // namespace

void GaussianSensor::Load(Database& db, int sensor_id) {
    LoadHeader(db, sensor_id);
    std::vector<SensorElement> loaded;
    for (const StoredGaussianElement& stored :
         SensorRepository(db).CalibratedGaussianElements(sensor_id))
        loaded.push_back(LoadedElement(static_cast<int>(loaded.size()) + 1, stored.band_no,
                                       stored.avg_wavelength, stored.fwhm, stored.calibrated));
    elements_ = std::move(loaded);
}

void GaussianSensor::KeepLoadedElements() {
    std::vector<SensorElement> loaded;
    for (const SensorElement& e : elements_)
        if (e.calibrated)
            loaded.push_back(LoadedElement(static_cast<int>(loaded.size()) + 1, e.band_no,
                                           e.avg_wavelength, e.fwhm, e.calibrated));
    elements_ = std::move(loaded);
}

void GaussianSensor::ReadFile(const std::string& path) {
    Definition def = ReadDefinition(path);
    CheckHeader(path, def);
    std::vector<SensorElement> read;
    for (const DefinitionLine& line : def.lines) {
        if (line.tokens.size() < 4)
            Malformed(path, line.line_no,
                      "expected band, centre wavelength, FWHM and mark, found " +
                          std::to_string(line.tokens.size()) + " value(s)");
        SensorElement e;
        e.number = static_cast<int>(read.size()) + 1;
        e.band_no = BandNumber(path, line.line_no, line.tokens[0]);
        e.avg_wavelength = Real(path, line.line_no, line.tokens[1], kLowestWavelength,
                                kHighestWavelength, "the centre wavelength");
        e.fwhm = Real(path, line.line_no, line.tokens[2], 0.0, kMaxFwhm, "the FWHM");
        if (!(e.fwhm > 0.0)) Malformed(path, line.line_no, "the FWHM must be more than 0");
        e.calibrated = line.tokens[3][0] != 'X';
        e.usable = e.calibrated;
        read.push_back(std::move(e));
    }
    name_ = def.name;
    description_ = def.description;
    elements_ = std::move(read);
    response_type_ = kResponseGaussian;
}

namespace {

// The name and description a sensor defined in memory is stored with: the columns' sizes.
void CheckNaming(const std::string& name, const std::string& description) {
    if (name.find_first_not_of(" \t") == std::string::npos)
        throw OrvaneError("A sensor needs a name. Nothing was stored.");
    if (Utf8Chars(name) > kNameChars || Utf8Chars(description) > kDescriptionChars)
        throw OrvaneError(fmt::format("A sensor's name holds at most {} characters and its "
                                      "description {}. Nothing was stored.",
                                      kNameChars, kDescriptionChars));
}

}  // namespace

void GaussianSensor::Define(const std::string& name, const std::string& description,
                            std::vector<SensorElement> elements) {
    CheckNaming(name, description);
    if (elements.empty()) throw OrvaneError("A sensor needs bands. Nothing was stored.");
    for (size_t i = 0; i < elements.size(); ++i) {
        SensorElement& e = elements[i];
        const auto refuse = [&](const std::string& why) {
            throw OrvaneError(fmt::format("Band {} {}. Nothing was stored.", e.band_no, why));
        };
        if (e.band_no < 0 || e.band_no > kMaxBandNumber)
            refuse(fmt::format("has a number outside 0 to {}", kMaxBandNumber));
        if (!(e.avg_wavelength >= kLowestWavelength && e.avg_wavelength <= kHighestWavelength))
            refuse(fmt::format("lies at {:g} nm, outside the {:g} to {:g} nm a sensor's bands may "
                               "have",
                               e.avg_wavelength, kLowestWavelength, kHighestWavelength));
        if (!(e.fwhm > 0.0 && e.fwhm <= kMaxFwhm))
            refuse(fmt::format("has the FWHM {:g} nm; it must be above 0 and at most {:g} nm",
                               e.fwhm, kMaxFwhm));
        e.number = static_cast<int>(i) + 1;
        e.calibrated = true;
        e.usable = true;
    }
    name_ = name;
    description_ = description;
    elements_ = std::move(elements);
    response_type_ = kResponseGaussian;
}

// Numbers are bound as they are, so a stored value is the file's value to the last bit.
void GaussianSensor::Store(Database& db) {
    const int id = InsertSensorRow(db, kResponseGaussian);
    std::vector<StoredGaussianElement> rows;
    for (const SensorElement& e : elements_)
        rows.push_back({e.band_no, e.avg_wavelength, e.fwhm, e.calibrated});
    SensorRepository(db).InsertGaussianElements(id, rows);
}

void RatioSensor::Load(Database& db, int sensor_id) {
    LoadHeader(db, sensor_id);
    SensorRepository sensors(db);
    std::vector<Sample> stored;
    for (const std::string& band : sensors.RatioBands(sensor_id))
        for (const auto& [wavelength, ratio] : sensors.RatioSamples(sensor_id, band))
            stored.push_back({std::atoi(band.c_str()), wavelength, ratio});
    elements_ = ElementsOf(stored);
}

std::vector<SensorElement> RatioSensor::ElementsOf(const std::vector<Sample>& samples) {
    std::vector<SensorElement> elements;
    std::map<int, size_t> position;  // band -> element
    std::vector<std::pair<int, int>> bounds;  // lowest and highest wavelength per element
    for (const Sample& s : samples) {
        auto [it, added] = position.emplace(s.band, elements.size());
        if (added) {
            SensorElement e;
            e.number = static_cast<int>(elements.size()) + 1;
            e.band_no = s.band;
            e.usable = true;
            elements.push_back(std::move(e));
            bounds.emplace_back(0, 0);
        }
        SensorElement& e = elements[it->second];
        auto& [lowest, highest] = bounds[it->second];
        // Wavelengths are whole nanometres; responses keep their fractions, since
        // truncating responses below 1 would zero the band's weights.
        const int w = TruncatedNm(s.wavelength);
        if (e.ratios.empty() || w < lowest) lowest = w;
        if (e.ratios.empty() || w > highest) highest = w;
        e.ratios.emplace_back(static_cast<double>(w), s.ratio);
    }
    for (size_t i = 0; i < elements.size(); ++i) {
        SensorElement& e = elements[i];
        e.avg_wavelength =
            static_cast<double>((static_cast<long long>(bounds[i].first) + bounds[i].second) / 2);
        if (e.avg_wavelength < 350.0 || !(e.avg_wavelength < 2500.0)) e.usable = false;
    }
    return elements;
}

void RatioSensor::Define(const std::string& name, const std::string& description,
                         std::vector<Sample> samples) {
    CheckNaming(name, description);
    if (samples.empty()) throw OrvaneError("A sensor needs bands. Nothing was stored.");
    std::map<int, double> sums;
    for (const Sample& s : samples) {
        const auto refuse = [&](const std::string& why) {
            throw OrvaneError(fmt::format("Band {} {}. Nothing was stored.", s.band, why));
        };
        if (s.band < 0 || s.band > kMaxBandNumber)
            refuse(fmt::format("has a number outside 0 to {}", kMaxBandNumber));
        if (!(s.wavelength >= kLowestWavelength && s.wavelength <= kHighestWavelength))
            refuse(fmt::format("has a response at {:g} nm, outside the {:g} to {:g} nm a "
                               "sensor's bands may have",
                               s.wavelength, kLowestWavelength, kHighestWavelength));
        if (!(s.ratio >= 0.0) || !std::isfinite(s.ratio))
            refuse(fmt::format("has the response {:g} at {:g} nm; responses are finite and not "
                               "below 0",
                               s.ratio, s.wavelength));
        sums[s.band] += s.ratio;
    }
    // Synthesis divides by a band's total response.
    for (const auto& [band, sum] : sums)
        if (!(sum > 0.0) || !std::isfinite(sum))
            throw OrvaneError(fmt::format("The responses of band {} must add up to a finite "
                                          "number above 0. Nothing was stored.",
                                          band));
    name_ = name;
    description_ = description;
    samples_ = std::move(samples);
    elements_ = ElementsOf(samples_);
    response_type_ = kResponseRatio;
}

void RatioSensor::ReadFile(const std::string& path) {
    Definition def = ReadDefinition(path);
    CheckHeader(path, def);
    std::vector<Sample> samples;
    std::map<int, std::pair<double, int>> band_sums;  // band -> sum of ratios, first line
    for (const DefinitionLine& line : def.lines) {
        if (line.tokens.size() < 3)
            Malformed(path, line.line_no,
                      "expected band, wavelength and ratio, found " +
                          std::to_string(line.tokens.size()) + " value(s)");
        Sample s;
        s.band = BandNumber(path, line.line_no, line.tokens[0]);
        s.wavelength = Real(path, line.line_no, line.tokens[1], kLowestWavelength,
                            kHighestWavelength, "the wavelength");
        s.ratio = Real(path, line.line_no, line.tokens[2], 0.0,
                       std::numeric_limits<double>::max(), "the ratio");
        auto& sum = band_sums.emplace(s.band, std::make_pair(0.0, line.line_no)).first->second;
        sum.first += s.ratio;
        samples.push_back(s);
    }
    // Synthesis divides by a band's total response.
    for (const auto& [band, sum] : band_sums)
        if (!(sum.first > 0.0) || !std::isfinite(sum.first))
            Malformed(path, sum.second,
                      "the ratios of band " + std::to_string(band) +
                          " must add up to a finite number above 0");
    name_ = def.name;
    description_ = def.description;
    samples_ = std::move(samples);
    elements_ = ElementsOf(samples_);
    response_type_ = kResponseRatio;
}

void RatioSensor::Store(Database& db) {
    const int id = InsertSensorRow(db, kResponseRatio);
    std::vector<StoredRatioSample> rows;
    for (const Sample& s : samples_) rows.push_back({s.band, s.wavelength, s.ratio});
    SensorRepository(db).InsertRatioSamples(id, rows);
}

std::unique_ptr<Sensor> MakeSensor(int response_type) {
    switch (response_type) {
        case kResponseGaussian:
        case kResponseCentre:
            return std::make_unique<GaussianSensor>();
        case kResponseRatio:
            return std::make_unique<RatioSensor>();
        default:
            return nullptr;
    }
}

}  // namespace orvane
