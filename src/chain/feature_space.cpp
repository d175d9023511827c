// SPDX-License-Identifier: GPL-3.0-or-later
#include "chain/feature_space.h"

#include <limits>
#include <optional>
#include <vector>

#include "base/column_product.h"
#include "base/orvane_error.h"
#include "chain/chain_definition.h"
#include "spectra/sensor.h"
#include "spectra/spectrum.h"
#include "store/array_codec.h"
#include "store/database.h"
#include "store/feature_space_repository.h"

namespace orvane {

void FeatureSpace::Define(int type, int dimension, std::vector<BandRange> ranges) {
    type_ = type;
    dimension_ = dimension;
    ranges_ = std::move(ranges);
}

void FeatureSpace::DefineProjection(const Matrix& transform) {
    type_ = kFeaturePCT;
    dimension_ = transform.Nrows();
    ranges_.clear();
    SetTransform(transform);
}

void FeatureSpace::SetTransform(const Matrix& transform) {
    transform_ = transform;
    const int rows = transform.Nrows(), cols = transform.Ncols();
    const int stride = ColumnStride(rows);
    columns_.assign(static_cast<size_t>(stride) * static_cast<size_t>(cols), 0.0);
    for (int j = 1; j <= cols; ++j)
        for (int i = 1; i <= rows; ++i)
            columns_[static_cast<size_t>(j - 1) * stride + (i - 1)] = transform(i, j);
}

void FeatureSpace::Load(Database& db, const ChainSpec& chain, int feature_space_id) {
    const std::optional<StoredFeatureSpace> row = FeatureSpaceRepository(db).Find(feature_space_id);
    if (!row)
        throw OrvaneError("There is no feature space with id " + std::to_string(feature_space_id) +
                          ".");
    type_ = row->type;
    dimension_ = row->dimension;
    name_ = row->name;
    description_ = row->description;
    type_name_ = row->type_name;
    id_ = feature_space_id;
    row_version_ = row->row_version;
    if (type_ == 0 || type_ == 1)
        LoadBandRanges(db);
    else if (type_ == 2)
        LoadPcaTransform(db, chain);
}

void FeatureSpace::LoadBandRanges(Database& db) {
    std::vector<BandRange> loaded;
    for (const StoredBandRange& stored : FeatureSpaceRepository(db).BandRanges(id_)) {
        if (static_cast<int>(loaded.size()) >= kMaxRanges)
            throw OrvaneError("Feature space " + name_ + " has more than 100 band ranges.");
        BandRange r;
        r.wavelength1 = stored.wavelength1;
        r.wavelength2 = stored.wavelength2;
        r.band_range_id = stored.band_range_id;
        loaded.push_back(r);
    }
    ranges_ = std::move(loaded);
}

void FeatureSpace::LoadPcaTransform(Database& db, const ChainSpec& chain) {
    if (!chain.sensor) throw OrvaneError("A PCT feature space needs a current sensor.");
    FeatureSpaceRepository spaces(db);
    const auto [n, pca_id] = spaces.FindPca(chain.PcaKeyOf());
    if (pca_id == 0 || n <= 0)
        throw OrvaneError("Feature space " + name_ +
                          " needs principal component data of the current study and chain "
                          "settings; run the principal component analysis first.");
    if (dimension_ > n)
        throw OrvaneError("Feature space " + name_ + " asks for " + std::to_string(dimension_) +
                          " components but the analysis has only " + std::to_string(n) + ".");
    ColumnVector values(n);
    Matrix vectors(n, n);
    if (!spaces.ReadPca(pca_id, values, vectors))
        throw OrvaneError("PCA data " + std::to_string(pca_id) + " has vanished.");
    // The stored columns are in ascending eigenvalue order, so the components are taken from
    // the last column backwards.
    Matrix transform(dimension_, n);
    for (int i = 1; i <= dimension_; ++i)
        for (int j = 1; j <= n; ++j) transform(i, j) = vectors(j, n - i + 1);
    eigenvalues_ = values;
    eigenvectors_ = vectors;
    SetTransform(transform);
    pca_data_id_ = pca_id;
}

void FeatureSpace::MapToSensor(const Sensor& sensor) {
    for (BandRange& r : ranges_) {
        const SensorElement* e = sensor.NearestElement(r.wavelength1);
        r.start_band = e ? e->number : 0;
    }
}

namespace {

// The terms of a DI walk over bands that follow one another, each with a value: the slope of
// every pair of neighbours, then each step's curvature term. They are the walk's own
// expressions, computed side by side.
__attribute__((target_clones("avx2", "default"))) void ConsecutiveDiTerms(
    const double* v, const double* x, int steps, double* slopes, double* terms) {
    for (int j = 0; j <= steps; ++j) slopes[j] = (v[j + 1] - v[j]) / (x[j + 1] - x[j]);
    for (int j = 0; j < steps; ++j) terms[j] = (slopes[j] - slopes[j + 1]) / (x[j + 2] - x[j]);
}

// The sum DIFeatures' walk gives for range r when every band the walk meets has a value: each
// step then moves one band on, and the terms are added in step order, so the sum is the
// walk's to the bit. False when a band lacks a value or the range starts off the axis; the
// walk then decides.
bool ConsecutiveDiSum(const BandVector& d, const FeatureSpace::BandRange& r, double& sum) {
    const int s = r.start_band;
    const int last = d.Last();
    if (s < d.First() || s > last) return false;
    sum = 0.0;
    if (!(r.wavelength1 <= r.wavelength2)) return true;
    // Step j runs while its start's wavelength (the range's first one for step 0) is within
    // the range, and adds a term only when it has a third band.
    int steps = 0;
    while (s + steps + 2 <= last && (steps == 0 || d.X(s + steps) <= r.wavelength2)) ++steps;
    if (steps == 0) return true;
    const double* v = d.Values() + (s - d.First());
    for (int k = 0; k <= steps + 1; ++k)
        if (!HasValue(v[k])) return false;
    thread_local std::vector<double> scratch;
    scratch.resize(2 * static_cast<size_t>(steps) + 1);
    double* slopes = scratch.data();
    double* terms = slopes + steps + 1;
    ConsecutiveDiTerms(v, d.Xs() + (s - d.First()), steps, slopes, terms);
    for (int j = 0; j < steps; ++j) sum += terms[j];
    return true;
}

}  // namespace

void FeatureSpace::DIFeatures(const BandVector& d, Matrix& out) const {
    const int n = static_cast<int>(ranges_.size());
    if (out.Nrows() != n || out.Ncols() != 1) out.ReSize(n, 1);
    for (int i = 0; i < n; ++i) {
        const BandRange& r = ranges_[static_cast<size_t>(i)];
        double sum = 0.0;
        if (ConsecutiveDiSum(d, r, sum)) {
            out(i + 1, 1) = sum;
            continue;
        }
        double current = r.wavelength1;
        int start = r.start_band;
        // b1 and b2 are the first two bands with a value from `start` on; after a step they are
        // the previous step's b2 and b3, so each step searches only once.
        std::optional<int> b1 = d.NextValidUp(start, false);
        std::optional<int> b2 = b1 ? d.NextValidUp(*b1 + 1, false) : std::nullopt;
        // The slope from b1 to b2 when the previous step computed it (as its b2 to b3).
        std::optional<double> slope12;
        // Each step moves forward by at least one band, so the walk ends at the axis end.
        while (current <= r.wavelength2 && start <= d.Last()) {
            const std::optional<int> b3 = b2 ? d.NextValidUp(*b2 + 1, false) : std::nullopt;
            if (b1 && b2 && b3) {
                const double x1 = d.X(*b1), x2 = d.X(*b2), x3 = d.X(*b3);
                const double v1 = d.Value(*b1), v2 = d.Value(*b2), v3 = d.Value(*b3);
                const double s12 = slope12 ? *slope12 : (v2 - v1) / (x2 - x1);
                const double s23 = (v3 - v2) / (x3 - x2);
                sum += (s12 - s23) / (x3 - x1);
                start = *b2;
                current = x2;
                b1 = b2;
                b2 = b3;
                slope12 = s23;
            } else {
                slope12.reset();
                start += 1;
                if (!d.InRange(start)) break;
                current = d.X(start);
                b1 = d.NextValidUp(start, false);
                b2 = b1 ? d.NextValidUp(*b1 + 1, false) : std::nullopt;
            }
        }
        out(i + 1, 1) = sum;
    }
}

void FeatureSpace::NTBIFeatures(const BandVector& d, Matrix& out) const {
    const int n = static_cast<int>(ranges_.size());
    if (out.Nrows() != n || out.Ncols() != 1) out.ReSize(n, 1);
    for (int i = 0; i < n; ++i) {
        const BandRange& r = ranges_[static_cast<size_t>(i)];
        const double b1 = d.Value(r.start_band);
        const std::optional<int> band2 = d.Nearest(r.wavelength2, 0, false);
        const double b2 = band2 ? d.Value(*band2) : kNoValue;
        // A band without value has no number to enter the difference; the feature is then
        // no number either, which classification refuses by name.
        out(i + 1, 1) = HasValue(b1) && HasValue(b2) ? (b2 - b1) / (b1 + b2)
                                                     : std::numeric_limits<double>::quiet_NaN();
    }
}

void FeatureSpace::PCTFeatures(const BandVector& d, Matrix& out) const {
    const int rows = transform_.Nrows();
    const int cols = transform_.Ncols();
    // The bands with a value, gathered in the calling thread's scratch, since a map asks for
    // every pixel of an image.
    thread_local std::vector<double> x;
    x.clear();
    const double* values = d.Values();
    for (int i = 0; i < d.Count(); ++i)
        if (HasValue(values[i])) x.push_back(values[i]);
    const int k = static_cast<int>(x.size());
    if (k > d.ValidCount())
        throw OrvaneError("The derived stage has more valid bands than its valid count.");
    if (k != cols)
        throw OrvaneError("The PCT feature space expects " + std::to_string(cols) +
                          " bands but the spectrum has " + std::to_string(k) +
                          " valid bands; recompute the principal components.");
    if (out.Nrows() != rows || out.Ncols() != 1) out.ReSize(rows, 1);
    ColumnProduct(columns_.data(), rows, ColumnStride(rows), x.data(), k, out.Store(), false);
}

std::vector<FeatureSpaceSummary> AllFeatureSpaces(Database& db) {
    return FeatureSpaceRepository(db).All();
}

}  // namespace orvane
