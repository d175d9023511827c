// SPDX-License-Identifier: GPL-3.0-or-later
#include "study/study_loader.h"

#include <algorithm>
#include <optional>
#include <stdexcept>
#include <unordered_map>
#include <utility>

#include <fmt/format.h>

#include "base/orvane_error.h"
#include "chain/processing_session.h"
#include "base/parallel.h"
#include "store/database.h"
#include "store/spectra_repository.h"
#include "store/study_repository.h"

namespace orvane {

namespace {
// The spectrum of a stored row; a NULL position keeps the spectrum's default.
std::unique_ptr<Spectrum> SpectrumOf(const SpectrumRecord& row) {
    auto spectrum = std::make_unique<Spectrum>();
    spectrum->number_ = row.spectrum_no;
    if (row.latitude) spectrum->latitude_ = *row.latitude;
    if (row.longitude) spectrum->longitude_ = *row.longitude;
    if (row.altitude) spectrum->altitude_ = *row.altitude;
    spectrum->SetReflectances(row.reflectances);
    return spectrum;
}
}  // namespace

StudyLoader::StudyLoader(ProcessingSession& session)
    : session_(session), spectra_(std::make_unique<SpectraRepository>(session.Db())) {}

StudyLoader::~StudyLoader() = default;

void StudyLoader::SetStudy(int study_id) { study_id_ = study_id; }

ImportCounts StudyLoader::ImportStudySpectra(Frontend& frontend) {
    // Read here rather than at every change of study, which never needs it; a study that is
    // not found has no path, so an import can't go to another one's.
    const std::optional<std::string> path = StudyRepository(session_.Db()).DataPath(study_id_);
    if (!path || path->empty())
        throw OrvaneError(fmt::format("Study {} has no data folder to import from.", study_id_));
    return SpectraImport(session_, frontend).ImportStudySpectra(study_id_, *path);
}

std::unique_ptr<Species> StudyLoader::SpeciesNamed(int64_t species_id,
                                                   std::vector<int64_t>& site_ids) {
    StoredSpeciesSites stored = spectra_->SpeciesSites(species_id);
    auto species = std::make_unique<Species>(stored.site_count);
    species->species_id_ = species_id;
    species->common_name_ = stored.common;
    species->latin_name_ = stored.latin;
    species->maori_name_ = stored.local;
    species->folder_name_ = stored.folder;
    site_ids = std::move(stored.site_ids);
    return species;
}

std::unique_ptr<Species> StudyLoader::LoadSpecies(int64_t species_id) {
    std::vector<int64_t> site_ids;
    std::unique_ptr<Species> species = SpeciesNamed(species_id, site_ids);
    // The sites as LoadSite gives each: every one is there, also one without enabled spectra
    // (its number then 0), its spectra in id order. A site made after the names were read is
    // not, as it was not asked for.
    struct Gathered {
        int site_no = 0;
        std::vector<std::unique_ptr<Spectrum>> spectra;
    };
    std::vector<Gathered> gathered(site_ids.size());
    std::unordered_map<int64_t, Gathered*> by_id;
    for (size_t i = 0; i < site_ids.size(); ++i) by_id.emplace(site_ids[i], &gathered[i]);
    spectra_->EnabledSpectraOfSpecies(species_id, [&by_id](const SpectrumRecord& row) {
        const auto found = by_id.find(row.site_id);
        if (found == by_id.end()) return;
        found->second->site_no = row.site_no;
        found->second->spectra.push_back(SpectrumOf(row));
        found->second->spectra.back()->spectrum_id_ = row.spectrum_id;
    });
    for (Gathered& g : gathered) {
        std::sort(g.spectra.begin(), g.spectra.end(), [](const auto& a, const auto& b) {
            return a->spectrum_id_ < b->spectrum_id_;
        });
        auto site = std::make_unique<Site>(g.site_no, static_cast<int>(g.spectra.size()));
        for (std::unique_ptr<Spectrum>& spectrum : g.spectra) site->AddMember(std::move(spectrum));
        species->AddSite(std::move(site));
    }
    species->GatherSpectra();
    return species;
}

std::unique_ptr<Species> StudyLoader::StreamSpecies(
    int64_t species_id, const std::function<void(const Species&, int, Spectrum&)>& each) {
    std::vector<int64_t> site_ids;
    std::unique_ptr<Species> species = SpeciesNamed(species_id, site_ids);
    const auto stream = [&](const SpectrumRecord& row) {
        std::unique_ptr<Spectrum> spectrum = SpectrumOf(row);
        spectrum->spectrum_id_ = row.spectrum_id;
        each(*species, row.site_no, *spectrum);
    };
    // The sites come in their numbers' order; where that is also their ids' order (as an
    // import makes them) one statement gives every row in order, else each site is asked apart.
    if (std::is_sorted(site_ids.begin(), site_ids.end()) &&
        std::adjacent_find(site_ids.begin(), site_ids.end()) == site_ids.end()) {
        spectra_->EnabledSpectraOfSites(site_ids, stream);
    } else {
        for (int64_t site_id : site_ids) spectra_->EnabledSpectraOfSite(site_id, stream);
    }
    return species;
}

std::unique_ptr<Site> StudyLoader::LoadSite(int64_t site_id) {
    // The site's enabled spectra come in one round trip; a site without any gives no row and
    // so, as its count query would, number 0.
    auto site = std::make_unique<Site>(0, 0);
    spectra_->EnabledSpectraOfSite(site_id, [&site](const SpectrumRecord& row) {
        site->SetSiteNumber(row.site_no);
        std::unique_ptr<Spectrum> spectrum = SpectrumOf(row);
        spectrum->spectrum_id_ = row.spectrum_id;
        site->AddMember(std::move(spectrum));
    });
    return site;
}

std::unique_ptr<Spectrum> StudyLoader::LoadSpectrum(int64_t spectrum_id) {
    std::unique_ptr<Spectrum> spectrum;
    spectra_->Spectrum(spectrum_id, [&spectrum, spectrum_id](const SpectrumRecord& row) {
        spectrum = SpectrumOf(row);
        spectrum->spectrum_id_ = spectrum_id;
    });
    if (!spectrum)
        throw OrvaneError("There is no spectrum with id " + std::to_string(spectrum_id) + ".");
    return spectrum;
}

void StudyLoader::ForEachSpectrum(
    const std::vector<int>& ids, const std::function<void(Spectrum&, const SpectrumRecord&)>& each) {
    ForEachSpectrum(ids, each, kSpectraBatch);
}

void StudyLoader::ForEachSpectrum(
    const std::vector<int>& ids, const std::function<void(Spectrum&, const SpectrumRecord&)>& each,
    size_t batch) {
    for (size_t i = 1; i < ids.size(); ++i)
        if (ids[i] <= ids[i - 1])
            throw std::invalid_argument("StudyLoader::ForEachSpectrum needs ascending ids");
    // The server gives the rows in id order and none for a missing id, so a row that is not
    // the next id asked for means that id has no spectrum.
    size_t next = 0;
    const auto missing = [&ids](size_t i) {
        return OrvaneError("There is no spectrum with id " + std::to_string(ids[i]) + ".");
    };
    spectra_->SpectraWithIds(ids, batch, [&](const SpectrumRecord& row) {
        if (next < ids.size() && row.spectrum_id != ids[next]) throw missing(next);
        std::unique_ptr<Spectrum> spectrum = SpectrumOf(row);
        spectrum->spectrum_id_ = row.spectrum_id;
        ++next;
        each(*spectrum, row);
    });
    if (next < ids.size()) throw missing(next);
}

Database& StudyLoader::Db() { return session_.Db(); }

SpeciesReadAhead::SpeciesReadAhead(StudyLoader& loader, std::vector<int64_t> ids)
    : loader_(loader), ids_(std::move(ids)), ahead_(WorkersFor(ids_.size()) > 1) {}

SpeciesReadAhead::~SpeciesReadAhead() {
    if (!pending_.valid()) return;
    pending_.wait();
    loader_.Db().Adopt();
}

void SpeciesReadAhead::StartReading() {
    Database& db = loader_.Db();
    const int64_t id = ids_[next_++];
    // Given up first, so that nothing is sent from here while the reader has it.
    db.Release();
    pending_ = std::async(std::launch::async, [this, &db, id] {
        db.Adopt();
        struct GiveBack {
            Database& db;
            ~GiveBack() { db.Release(); }
        } give_back{db};
        return loader_.LoadSpecies(id);
    });
}

std::unique_ptr<Species> SpeciesReadAhead::TakeRead() {
    std::unique_ptr<Species> species;
    try {
        species = pending_.get();
    } catch (...) {
        loader_.Db().Adopt();
        throw;
    }
    loader_.Db().Adopt();
    return species;
}

std::unique_ptr<Species> SpeciesReadAhead::Next() {
    if (!ahead_) return next_ < ids_.size() ? loader_.LoadSpecies(ids_[next_++]) : nullptr;
    if (!pending_.valid()) {
        if (next_ >= ids_.size()) return nullptr;
        StartReading();
    }
    std::unique_ptr<Species> species = TakeRead();
    if (next_ < ids_.size()) StartReading();
    return species;
}

}  // namespace orvane
