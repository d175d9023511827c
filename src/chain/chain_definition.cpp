// SPDX-License-Identifier: GPL-3.0-or-later
#include "chain/chain_definition.h"

#include <fmt/format.h>

#include <algorithm>
#include <cstdint>
#include <cstring>

#include "chain/chain_stage.h"
#include "chain/feature_space.h"
#include "spectra/sensor.h"

namespace orvane {

namespace {

// FNV-1a over the bytes of the values: a short, stable name for long lists of numbers in a key.
class Digest {
  public:
    void Add(double v) {
        unsigned char bytes[sizeof v];
        std::memcpy(bytes, &v, sizeof v);
        for (unsigned char b : bytes) hash_ = (hash_ ^ b) * 1099511628211ull;
    }
    void Add(int v) { Add(static_cast<double>(v)); }
    std::string Text() const { return fmt::format("{:016x}", hash_); }

  private:
    std::uint64_t hash_ = 14695981039346656037ull;
};

}  // namespace

bool SmoothingSettings::operator==(const SmoothingSettings& o) const {
    return type == o.type && filter_id == o.filter_id && size == o.size &&
           polynomial_order == o.polynomial_order;
}

bool DerivativeSettings::operator==(const DerivativeSettings& o) const {
    return id == o.id && order == o.order && method == o.method && size == o.size &&
           polynomial_order == o.polynomial_order;
}

DerivativeSettings DefaultDerivative(int order) {
    DerivativeSettings derivative;
    derivative.order = order;
    derivative.polynomial_order = std::max(4, order);
    derivative.size = derivative.polynomial_order + 1;
    derivative.method = kDerivativeIterative;
    return derivative;
}

const StageSetting& ChainSpec::Setting(Stage stage) const {
    static const StageSetting kOff;
    const size_t at = static_cast<size_t>(stage);
    return at < stages.size() ? stages[at] : kOff;
}

int ChainSpec::SensorId() const { return sensor ? sensor->SensorId() : 0; }

int ChainSpec::FeatureSpaceId() const { return feature_space ? feature_space->Id() : 0; }

std::string ChainSpec::StageOptionKey() const {
    std::vector<int> ids;
    for (int id : stage_option_ids)
        if (id != 0) ids.push_back(id);
    std::sort(ids.begin(), ids.end());
    std::string key;
    for (int id : ids) key += (key.empty() ? "" : ",") + std::to_string(id);
    return key;
}

LibraryKey ChainSpec::LibraryKeyOf() const {
    LibraryKey key;
    key.study = study_id;
    key.sensor = SensorId();
    key.feature_space = FeatureSpaceId();
    key.smoothing_filter = smoothing.filter_id;
    key.derivative = derivative.id;
    key.waveband_filter = study_filter.FilterId();
    key.stage_options = StageOptionKey();
    return key;
}

PcaKey ChainSpec::PcaKeyOf() const {
    PcaKey key;
    key.sensor = SensorId();
    key.study = study_id;
    key.smoothing_filter = smoothing.filter_id;
    key.derivative = derivative.id;
    key.waveband_filter = study_filter.FilterId();
    key.stage_options = StageOptionKey();
    return key;
}

std::string ChainSpec::Key() const {
    std::string key = fmt::format("study={};filter={}:", study_id, study_filter.FilterId());
    for (int i = 0; i < study_filter.Count(); ++i) {
        const WavebandFilter::Entry& e = study_filter.At(i);
        key += e.kind == 1 ? fmt::format("{}-{},", e.lower, e.upper) : fmt::format("{},", e.band);
    }
    key += fmt::format(";smoothing={}:{}:{}:{}", smoothing.type, smoothing.filter_id,
                       smoothing.size, smoothing.polynomial_order);
    for (size_t s = 0; s < stages.size(); ++s) {
        if (stages[s].mode == 0) continue;
        key += fmt::format(";stage{}={}:{}", s, stages[s].mode,
                           s < stage_option_ids.size() ? stage_option_ids[s] : 0);
        for (const auto& [a, b] : stages[s].pairs) key += fmt::format(":{}-{}", a, b);
    }
    if (sensor) {
        Digest elements;
        for (const SensorElement& e : sensor->Elements()) {
            elements.Add(e.number);
            elements.Add(e.avg_wavelength);
            elements.Add(e.fwhm);
            elements.Add(e.usable ? 1 : 0);
            for (const auto& [w, r] : e.ratios) {
                elements.Add(w);
                elements.Add(r);
            }
        }
        key += fmt::format(";sensor={}:{}:{}:{}", sensor->SensorId(), sensor->ResponseType(),
                           sensor->ElementCount(), elements.Text());
    }
    key += fmt::format(";derivative={}:{}:{}:{}:{}", derivative.order, derivative.id,
                       derivative.method, derivative.size, derivative.polynomial_order);
    if (feature_space) {
        const FeatureSpace& fs = *feature_space;
        Digest definition;
        for (const FeatureSpace::BandRange& r : fs.Ranges()) {
            definition.Add(r.wavelength1);
            definition.Add(r.wavelength2);
            definition.Add(r.start_band);
        }
        const Matrix& t = fs.Transform();
        for (int i = 1; i <= t.Nrows(); ++i)
            for (int j = 1; j <= t.Ncols(); ++j) definition.Add(t(i, j));
        key += fmt::format(";features={}:{}:{}:{}:{}", fs.Id(), fs.Type(), fs.Dimension(),
                           fs.PcaDataId(), definition.Text());
    }
    return key;
}

}  // namespace orvane
