#include "forms/orvane_doc.h"

#include "chain/processing_session.h"
#include "spectra/field_spectrum_reader.h"
#include "spectra/species.h"
#include "study/spectra_factory_class.h"
#include "study/z_profile_reader.h"
#include "stats/spectral_statistics.h"

namespace orvane {

COrvaneDoc::COrvaneDoc(const std::string& config_path) : report_(ReportBuffer::kDefaultCapacity) {
    ConfigFile config(config_path);
    config.Open();
    session_ = std::make_unique<ProcessingSession>(config);
    session_->SetFeatureSpaceType(fs_type_);
    session_->SetClassifier(0);
    factory_ = std::make_unique<Spectra_factory_class>(config, *session_);
    statistics_ = std::make_unique<SpectralStatistics>(*session_, *factory_);
}

COrvaneDoc::~COrvaneDoc() {
    // Spectra refer to the session; they go first.
    species_.clear();
    sites_.clear();
    loaded_.clear();
}

std::string COrvaneDoc::Title() const {
    return "Connected to " + session_->Db().Name() + " on " + session_->Db().Host();
}

void COrvaneDoc::Report(const std::string& text) {
    report_.Append(text);
    if (listener_) listener_->ReportChanged();
}

void COrvaneDoc::StudyChange(int study_id) {
    factory_->SetStudy(study_id);
    statistics_->SetStudy(study_id);
    session_->SetStudy(study_id);
    LoadLibrary();
}

bool COrvaneDoc::ChangeFeatureSpaceType(int type) {
    if (type == fs_type_) return false;
    fs_type_ = type;
    session_->SetFeatureSpaceType(type);
    Report("Changed Feature Space to " + session_->FeatureSpaceTypeName());
    return true;
}

void COrvaneDoc::LoadLibrary() { statistics_->LoadLibrary(); }

bool COrvaneDoc::IsLibraryValid() const { return statistics_->Valid(); }

std::string COrvaneDoc::LibraryStatus() const { return statistics_->StatusText(); }

bool COrvaneDoc::BuildLibrary(Frontend& frontend) { return statistics_->BuildLibrary(frontend); }

void COrvaneDoc::AddLoaded(std::unique_ptr<Spectrum> spectrum) {
    loaded_.push_back(std::move(spectrum));
    if (listener_) listener_->SpectrumLoaded();
}

void COrvaneDoc::LoadSpectrumFile(const std::string& path) {
    AddLoaded(ReadFieldSpectrumFile(path));
}

void COrvaneDoc::LoadZProfile(const std::string& path) {
    session_->RequireSensor();
    AddLoaded(ReadZProfile(path, session_.get()));
}

void COrvaneDoc::RemoveLoadedSpectra() {
    loaded_.clear();
    if (listener_) listener_->LoadedSpectraRemoved();
}

void COrvaneDoc::RemoveLoadedSpectraAt(const std::vector<size_t>& indices) {
    for (size_t i : indices)
        if (i < loaded_.size()) loaded_.erase(loaded_.begin() + static_cast<long>(i));
    if (listener_) listener_->LoadedSpectraRemoved();
}

void COrvaneDoc::SaveReportTo(const std::string& path) const { report_.Save(path); }

std::string COrvaneDoc::ReportPath() const {
    return factory_->MakeOutputPath("report_window_output", "txt");
}

std::string COrvaneDoc::SaveReport() const {
    const std::string path = ReportPath();
    report_.Save(path);
    return path;
}

}  // namespace orvane
