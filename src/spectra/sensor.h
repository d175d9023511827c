// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <memory>
#include <string>
#include <utility>
#include <vector>

namespace orvane {

class Database;

struct SensorElement {
    int number = 0;  // 1-based position in the sensor
    int band_no = 0;
    double fwhm = 0.0;
    double avg_wavelength = 0.0;
    bool usable = true;
    bool calibrated = true;  // the file's mark; uncalibrated elements are stored, not loaded
    std::vector<std::pair<double, double>> ratios;  // {wavelength, ratio}, ratio sensors only
};

// Response types as stored in sensor_response_type.type.
enum SensorResponseType { kResponseGaussian = 0, kResponseRatio = 1, kResponseCentre = 2 };

// The bands of an instrument whose measurements are synthesised from field spectra.
class Sensor {
public:
    virtual ~Sensor() = default;

    // Loads the header and the elements of a stored sensor; throws OrvaneError when it has
    // no row.
    virtual void Load(Database& db, int sensor_id);
    // Reads and checks a definition file without storing it: a malformed file, or a value
    // out of range (wavelengths 300..2600 nm, band numbers 0..99999, finite positive widths
    // and responses, a name), throws OrvaneError naming the file and line.
    virtual void ReadFile(const std::string& /*path*/) {}
    // Stores what ReadFile read as a new sensor, inside the caller's transaction.
    virtual void Store(Database& /*db*/) {}
    // Both, in one transaction.
    virtual void Import(Database& db, const std::string& path);

    const std::string& Name() const { return name_; }
    const std::string& Description() const { return description_; }
    int ElementCount() const { return static_cast<int>(elements_.size()); }
    int SensorId() const { return sensor_id_; }
    int ResponseType() const { return response_type_; }
    bool Usable(int i) const { return elements_.at(static_cast<size_t>(i)).usable; }
    const SensorElement& Element(int i) const { return elements_.at(static_cast<size_t>(i)); }
    const std::vector<SensorElement>& Elements() const { return elements_; }

    // Nearest centre to w; ties go to the later element; none within 2150 nm gives the first.
    const SensorElement* NearestElement(double wavelength) const;
    // Position of the first element whose truncated centre equals w truncated; -1 when none.
    int ElementByWavelength(double wavelength) const;

    // Centre wavelengths round a fraction above .5 up and exactly .5 down.
    static int RoundCentre(double wavelength);

protected:
    void LoadHeader(Database& db, int sensor_id);
    int InsertSensorRow(Database& db, int type);

    std::vector<SensorElement> elements_;
    std::string name_;
    std::string description_;
    int sensor_id_ = 0;
    int response_type_ = 0;
};

class GaussianSensor : public Sensor {
public:
    void Load(Database& db, int sensor_id) override;
    void ReadFile(const std::string& path) override;
    // Takes the elements from elsewhere than a file (an image's bands), under the same rules
    // as ReadFile: a name, band numbers 0..99999, centres 300..2600 nm, widths above 0 up to
    // 1000 nm; a refusal throws OrvaneError naming the element's band. Store stores them.
    void Define(const std::string& name, const std::string& description,
                std::vector<SensorElement> elements);
    void Store(Database& db) override;
    // Leaves the elements a stored sensor loads: the calibrated ones in their order, numbered
    // from 1, those centred outside 350..2499 nm unusable. For a sensor read or defined
    // without a database that must compute as the stored one does.
    void KeepLoadedElements();
};

class RatioSensor : public Sensor {
public:
    struct Sample {
        int band = 0;
        double wavelength = 0.0;
        double ratio = 0.0;
    };

    void Load(Database& db, int sensor_id) override;
    // The response samples as read, in file order, and the elements made of them as Load
    // makes them of the stored samples.
    void ReadFile(const std::string& path) override;
    // Takes the samples from elsewhere than a file (a response table), under the same rules as
    // ReadFile: a name, band numbers 0..99999, wavelengths 300..2600 nm, finite responses not
    // below 0 adding up to more than 0 per band; a refusal throws OrvaneError naming the band.
    void Define(const std::string& name, const std::string& description,
                std::vector<Sample> samples);
    void Store(Database& db) override;
    const std::vector<Sample>& Samples() const { return samples_; }

private:
    // One element per band in the order the bands first appear, each with its samples in
    // their order at whole nanometres (truncated), centred between its lowest and highest.
    static std::vector<SensorElement> ElementsOf(const std::vector<Sample>& samples);

    std::vector<Sample> samples_;
};

// Creates the sensor object for a stored response type (0 and 2 Gaussian, 1 ratio); nullptr
// for an unknown type.
std::unique_ptr<Sensor> MakeSensor(int response_type);

}  // namespace orvane
