// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <cstddef>
#include <cstdint>
#include <functional>
#include <future>
#include <memory>
#include <string>
#include <vector>

#include "spectra/species.h"
#include "study/spectra_import.h"

namespace orvane {

class Database;
class Frontend;
class ProcessingSession;
class SpectraRepository;
struct SpectrumRecord;

// Reads a study's species, sites and enabled spectra back from the database into the spectra
// model.
class StudyLoader {
public:
    explicit StudyLoader(ProcessingSession& session);
    ~StudyLoader();

    void SetStudy(int study_id);
    int StudyId() const { return study_id_; }

    // Stores the current study's folder tree (see SpectraImport).
    ImportCounts ImportStudySpectra(Frontend& frontend);

    std::unique_ptr<Species> LoadSpecies(int64_t species_id);
    std::unique_ptr<Site> LoadSite(int64_t site_id);
    std::unique_ptr<Spectrum> LoadSpectrum(int64_t spectrum_id);

    // Each of these spectra (enabled or not) as LoadSpectrum gives it, with its stored row,
    // in the order of the ids, which must ascend. They come `batch` ids to a statement and
    // are dropped once `each` returns; the rows arrive while it runs, so it must not use the
    // database. Throws OrvaneError for an id without a spectrum.
    void ForEachSpectrum(const std::vector<int>& ids,
                         const std::function<void(Spectrum&, const SpectrumRecord&)>& each,
                         size_t batch);
    void ForEachSpectrum(const std::vector<int>& ids,
                         const std::function<void(Spectrum&, const SpectrumRecord&)>& each);

    // The species as LoadSpecies gives it, but without its sites: each enabled spectrum goes
    // to `each` with its site's number as it arrives, site by site, and is dropped after.
    // `each` must not use the database.
    std::unique_ptr<Species> StreamSpecies(
        int64_t species_id, const std::function<void(const Species&, int, Spectrum&)>& each);

    Database& Db();

private:
    std::unique_ptr<Species> SpeciesNamed(int64_t species_id, std::vector<int64_t>& site_ids);

    ProcessingSession& session_;
    int study_id_ = 0;
    std::unique_ptr<SpectraRepository> spectra_;
};

// Gives the species of `ids` one after another, as LoadSpecies does. When more than one thread
// may work, the next species is read on a thread of its own while the caller works on the one
// it has, so the server's reading and the rows' decoding overlap the computation. Between
// calls of Next() the connection belongs to that thread: the caller must not use the database
// until Next() returns nullptr or the reader is destroyed.
class SpeciesReadAhead {
public:
    SpeciesReadAhead(StudyLoader& loader, std::vector<int64_t> ids);
    // Waits for a read still running and gives the connection back to the calling thread.
    ~SpeciesReadAhead();
    SpeciesReadAhead(const SpeciesReadAhead&) = delete;
    SpeciesReadAhead& operator=(const SpeciesReadAhead&) = delete;

    // The next species; nullptr after the last. Throws what reading it threw.
    std::unique_ptr<Species> Next();

private:
    void StartReading();
    std::unique_ptr<Species> TakeRead();

    StudyLoader& loader_;
    std::vector<int64_t> ids_;
    size_t next_ = 0;
    bool ahead_ = false;
    std::future<std::unique_ptr<Species>> pending_;
};

}  // namespace orvane
