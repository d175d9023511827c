// SPDX-License-Identifier: GPL-3.0-or-later
#include "forms/workspace.h"

#include "base/config_file.h"
#include "base/orvane_error.h"
#include "base/output_folder.h"
#include "base/shown_text.h"
#include "chain/chain_options.h"
#include "chain/processing_session.h"
#include "stats/spectral_statistics.h"
#include "store/database.h"
#include "study/study_loader.h"

namespace orvane {

Workspace::Workspace(const std::string& config_path, const WarningSink& warn) {
    ConfigFile config(config_path);
    config.Open();
    const auto add = [&](const std::vector<std::string>& warnings) {
        for (const std::string& w : warnings) {
            startup_warnings_.push_back(w);
            if (warn) warn(w);
        }
    };
    add(config.Warnings());
    session_ = std::make_unique<ProcessingSession>(config);
    add(session_->Warnings());
    loader_ = std::make_unique<StudyLoader>(*session_);
    output_ = std::make_unique<OutputFolder>(config);
    library_ = std::make_unique<SpectralStatistics>(*session_, *loader_);
}

Workspace::~Workspace() = default;

std::string Workspace::Title() const {
    // The study's name is the one the session read when it opened the study: the title never
    // asks the server.
    const std::string study =
        session_->StudyId() != 0 ? " \u2014 " + EscapeControls(session_->StudyName()) : "";
    return "Orvane" + study + " (" + EscapeControls(session_->Db().Host()) + ")";
}

StudyLoader& Workspace::Loader() {
    // The chain options may have changed the study through the session alone; the loader
    // must not import into, or read from, the study before it.
    if (loader_->StudyId() != session_->StudyId()) loader_->SetStudy(session_->StudyId());
    return *loader_;
}

void Workspace::OpenStudy(int study_id) {
    loader_->SetStudy(study_id);
    library_->SetStudy(study_id);
    session_->SetStudy(study_id);
}

void Workspace::OpenStudy(const std::string& name_or_id) {
    OpenStudy(ResolveStudy(*session_, name_or_id));
}

void Workspace::Reconnect() {
    session_->Db().Reconnect();
    const int study = session_->StudyId();
    library_.reset();
    loader_ = std::make_unique<StudyLoader>(*session_);
    library_ = std::make_unique<SpectralStatistics>(*session_, *loader_);
    if (study != 0) OpenStudy(study);
}

int Workspace::RequireStudy(const std::string& how_to_create) const {
    if (session_->StudyId() == 0)
        throw OrvaneError("There is no study in the database; " + how_to_create + ".");
    return session_->StudyId();
}

SpectralStatistics& Workspace::LoadLibrary() {
    Loader();
    library_->LoadLibrary();
    return *library_;
}

bool Workspace::IsLibraryValid() const { return library_->Valid(); }

std::string Workspace::LibraryStatus() const { return library_->StatusLine(); }

bool Workspace::BuildLibrary(Frontend& frontend) {
    Loader();
    return library_->BuildLibrary(frontend);
}

}  // namespace orvane
