// SPDX-License-Identifier: GPL-3.0-or-later
#include "forms/workbench_document.h"

#include <ctime>
#include <filesystem>

#include "base/output_folder.h"
#include "base/report_journal.h"
#include "base/shown_text.h"
#include "chain/processing_session.h"
#include "spectra/spectrum_file.h"
#include "spectra/species.h"
#include "study/study_loader.h"
#include "study/z_profile_reader.h"
#include "stats/spectral_statistics.h"

namespace orvane {

WorkbenchDocument::WorkbenchDocument(const std::string& config_path)
    : workspace_(config_path), report_(ReportBuffer::kDefaultCapacity) {
    Session().SetFeatureSpaceType(fs_type_);
    Session().SetClassifier(Classifier::kMahalanobis);
}

WorkbenchDocument::~WorkbenchDocument() {
    // An open journal stays on disk: only a normal close removes it.
    // Spectra refer to the session; they go first.
    species_.clear();
    sites_.clear();
    loaded_.clear();
}

void WorkbenchDocument::Report(const std::string& text) {
    // The report is shown, saved and perhaps printed on a terminal: no control but its own
    // line ends and tabs gets in.
    const std::string entry = TimedEntry(EscapeEntryControls(text), std::time(nullptr));
    {
        const std::lock_guard<std::mutex> lock(report_mutex_);
        report_.Append(entry);
        if (journal_ && !journal_failed_ && !journal_->Append(entry + ReportBuffer::kSeparator)) {
            journal_failed_ = true;
            report_.Append("The report could no longer be kept in " + journal_->Path() +
                           " (is the disk full?); save it with File > Save Report As.");
        }
    }
    if (listener_) listener_->ReportChanged();
}

void WorkbenchDocument::KeepReportIn(std::unique_ptr<ReportJournal> journal) {
    journal_ = std::move(journal);
    journal_failed_ = false;
    if (journal_) journal_->Append(report_.Text());
}

void WorkbenchDocument::RestoreKeptReport(const std::string& path, const std::string& text) {
    // The kept text ends with an entry's separator, which Report adds itself.
    std::string kept = text;
    while (!kept.empty() && (kept.back() == '\n' || kept.back() == ' ')) kept.pop_back();
    const std::string separator = ReportBuffer::kSeparator;
    const std::string tail = separator.substr(0, separator.size() - 1);
    if (kept.size() >= tail.size() && kept.compare(kept.size() - tail.size(), tail.size(), tail) == 0)
        kept.erase(kept.size() - tail.size());
    if (kept.find_first_not_of(" \n-") != std::string::npos)
        Report("The report of the session that ended without closing:\n" + kept);
    std::error_code error;
    std::filesystem::remove(path, error);
}

void WorkbenchDocument::SetKeptReportAside(const std::string& path) {
    std::string kept_as = path;
    const size_t suffix = kept_as.rfind(".journal");
    if (suffix != std::string::npos) kept_as.replace(suffix, std::string::npos, ".txt");
    std::error_code error;
    std::filesystem::rename(path, kept_as, error);
    Report("The report of the session that ended without closing is kept in " +
           (error ? path : kept_as) + ".");
}

void WorkbenchDocument::CloseReportJournal() {
    if (journal_) journal_->Close();
    journal_.reset();
}

void WorkbenchDocument::StudyChange(int study_id) {
    OpenStudy(study_id);
    LoadLibrary();
}

void WorkbenchDocument::OpenStudy(int study_id) { workspace_.OpenStudy(study_id); }

bool WorkbenchDocument::ChangeFeatureSpaceType(int type) {
    if (type == fs_type_) return false;
    fs_type_ = type;
    Session().SetFeatureSpaceType(type);
    Report("Changed Feature Space to " + Session().FeatureSpaceTypeName());
    return true;
}

void WorkbenchDocument::LoadLibrary() { workspace_.LoadLibrary(); }

bool WorkbenchDocument::IsLibraryValid() const { return workspace_.IsLibraryValid(); }

std::string WorkbenchDocument::LibraryStatus() const { return workspace_.LibraryStatus(); }

bool WorkbenchDocument::BuildLibrary(Frontend& frontend) {
    return workspace_.BuildLibrary(frontend);
}

void WorkbenchDocument::AddLoaded(std::unique_ptr<Spectrum> spectrum) {
    loaded_.push_back(std::move(spectrum));
    if (listener_) listener_->SpectrumLoaded();
}

void WorkbenchDocument::LoadSpectrumFile(const std::string& path) {
    AddLoaded(ReadSpectrumFile(path));
}

void WorkbenchDocument::LoadZProfile(const std::string& path) {
    Session().RequireSensor();
    AddLoaded(ReadZProfile(path, &Session()));
}

void WorkbenchDocument::RemoveLoadedSpectra() {
    loaded_.clear();
    if (listener_) listener_->LoadedSpectraRemoved();
}

void WorkbenchDocument::RemoveLoadedSpectraAt(const std::vector<size_t>& indices) {
    for (size_t i : indices)
        if (i < loaded_.size()) loaded_.erase(loaded_.begin() + static_cast<long>(i));
    if (listener_) listener_->LoadedSpectraRemoved();
}

void WorkbenchDocument::SaveReportTo(const std::string& path) const { report_.Save(path); }

std::string WorkbenchDocument::ReportPath() const {
    return Output().PathFor("report_window_output", "txt");
}

std::string WorkbenchDocument::SaveReport() const {
    const std::string path = ReportPath();
    report_.Save(path);
    return path;
}

}  // namespace orvane
