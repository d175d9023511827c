// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <memory>
#include <string>
#include <vector>

#include "spectra/band_vector.h"
#include "base/matrix.h"
#include "store/feature_space_repository.h"

namespace orvane {

class Database;
struct ChainSpec;
class Sensor;

// A stored feature-space definition: DI (curvature over wavelength ranges), NTBI (normalised
// differences of band pairs) or PCT (principal components of the derived stage).
class FeatureSpace {
  public:
    static constexpr int kMaxRanges = 100;

    struct BandRange {
        int wavelength1 = 0;
        int wavelength2 = 0;
        int start_band = 0;  // element number of the sensor element nearest to wavelength 1
        int band_range_id = 0;
        int state = -4;  // working copies: -4 stored, -1 to insert, -3 to update
    };

    // Loads the definition; a PCT space also loads the stored PCA transform of the chain
    // `chain` (its sensor, study, smoothing, derivative and optional stages). Throws
    // OrvaneError when the id has no row.
    void Load(Database& db, const ChainSpec& chain, int feature_space_id);
    void LoadBandRanges(Database& db);
    void LoadPcaTransform(Database& db, const ChainSpec& chain);
    void MapToSensor(const Sensor& sensor);

    // Feature vectors (dimension x 1, or one row per range) from a derived stage. An NTBI
    // feature whose bands lack a value is NaN.
    void DIFeatures(const BandVector& derived, Matrix& out) const;
    void NTBIFeatures(const BandVector& derived, Matrix& out) const;
    void PCTFeatures(const BandVector& derived, Matrix& out) const;

    int Id() const { return id_; }
    // The stored row's version when it was loaded, which an edit of it carries.
    int RowVersion() const { return row_version_; }
    int Type() const { return type_; }
    int Dimension() const { return dimension_; }
    int PcaDataId() const { return pca_data_id_; }
    const std::string& Name() const { return name_; }
    const std::string& TypeName() const { return type_name_; }
    const std::string& Description() const { return description_; }
    const std::vector<BandRange>& Ranges() const { return ranges_; }
    const Matrix& Transform() const { return transform_; }

    // For definitions built in memory.
    void Define(int type, int dimension, std::vector<BandRange> ranges);
    // A PCT space built in memory: its projection (dimension x the derived stage's bands with a
    // value), as a principal component analysis gives it.
    void DefineProjection(const Matrix& transform);

  private:
    // The PCT projection, kept also in the layout its products are computed from.
    void SetTransform(const Matrix& transform);

    std::vector<BandRange> ranges_;
    int dimension_ = 0;
    int id_ = 0;
    int row_version_ = 0;
    int pca_data_id_ = 0;
    std::string name_;
    std::string type_name_;
    std::string description_;
    int type_ = 0;
    ColumnVector eigenvalues_;
    Matrix eigenvectors_;
    Matrix transform_;
    // transform_ column after column (ColumnProduct's layout), for the features of a spectrum.
    std::vector<double> columns_;
};

// Every stored feature space, by type, then dimension, then id.
std::vector<FeatureSpaceSummary> AllFeatureSpaces(Database& db);

}  // namespace orvane
