#pragma once

#include <cstdint>
#include <memory>
#include <string>

#include "spectra/species.h"
#include "study/spectra_import.h"

namespace orvane {

class ConfigFile;
class Frontend;
class ProcessingSession;
class Statement;

// Reads a study's species, sites and enabled spectra back from the database into the spectra
// model, and builds the paths of the files the program writes.
class Spectra_factory_class {
public:
    Spectra_factory_class(ConfigFile& config, ProcessingSession& session);
    Spectra_factory_class(std::string output_drive, std::string output_dir,
                          ProcessingSession& session);
    ~Spectra_factory_class();

    void SetStudy(int study_id);
    int StudyId() const { return study_id_; }
    const std::string& DataPath() const { return data_path_; }

    // Stores the current study's folder tree (see SpectraImport).
    ImportCounts ImportStudySpectra(Frontend& frontend);

    std::unique_ptr<Species> LoadSpecies(int64_t species_id);
    std::unique_ptr<Site> LoadSite(int64_t site_id);
    std::unique_ptr<Spectrum> LoadSpectrum(int64_t spectrum_id);

    // Output drive + directory + name + "." + extension. The folder is created when missing;
    // throws OrvaneError when it cannot be.
    std::string MakeOutputPath(const std::string& name, const std::string& extension) const;
    const std::string& OutputDir() const { return output_dir_; }

private:
    ProcessingSession& session_;
    std::string output_drive_;
    std::string output_dir_;
    int study_id_ = 0;
    std::string data_path_;
    std::unique_ptr<Statement> site_spectra_;
    std::unique_ptr<Statement> one_spectrum_;
};

}  // namespace orvane
