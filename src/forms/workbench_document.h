// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <memory>
#include <mutex>
#include <string>
#include <vector>

#include "base/config_file.h"
#include "base/report_buffer.h"
#include "forms/workspace.h"

namespace orvane {

class Frontend;
class OutputFolder;
class ReportJournal;
class ProcessingSession;
class Site;
class Species;
class StudyLoader;
class SpectralStatistics;
class Spectrum;

// What the document tells the form it serves: the three notifications the form acts on.
class DocumentListener {
  public:
    virtual ~DocumentListener() = default;
    virtual void SpectrumLoaded() {}
    virtual void ReportChanged() {}
    virtual void LoadedSpectraRemoved() {}
};

// The window's document: the workspace every face opens, plus what only the window keeps
// (the report buffer, the loaded spectra and the feature-space type its buttons choose).
class WorkbenchDocument {
  public:
    // Reads the configuration once (FileNotFoundError when it is missing) and connects
    // (ConnectError with the server's text); the configuration is not kept open.
    explicit WorkbenchDocument(const std::string& config_path = ConfigFile::kDefaultName);
    ~WorkbenchDocument();
    WorkbenchDocument(const WorkbenchDocument&) = delete;
    WorkbenchDocument& operator=(const WorkbenchDocument&) = delete;

    // The window's title: "Orvane — STUDY (server)".
    std::string Title() const { return workspace_.Title(); }

    Workspace& Space() { return workspace_; }
    ProcessingSession& Session() { return workspace_.Session(); }
    // What start-up found worth a warning: the configuration file's, then the session's.
    const std::vector<std::string>& StartupWarnings() const {
        return workspace_.StartupWarnings();
    }
    StudyLoader& Loader() { return workspace_.Loader(); }
    const OutputFolder& Output() const { return workspace_.Output(); }
    SpectralStatistics& Statistics() { return workspace_.Library(); }
    const SpectralStatistics& Statistics() const { return workspace_.Library(); }
    const ReportBuffer& ReportText() const { return report_; }

    // Appends an entry to the report, timed, and tells the listener.
    void Report(const std::string& text);
    // From now on every entry is also written to the journal, so that the report outlives a
    // crash; CloseReportJournal() removes it when the window closes normally.
    void KeepReportIn(std::unique_ptr<ReportJournal> journal);
    void CloseReportJournal();
    // A report an earlier run left (see ReportJournal::Orphans): taken into this report and
    // its file removed, or set aside as a .txt file beside it that is not offered again; both
    // say so in the report. An empty one just goes.
    void RestoreKeptReport(const std::string& path, const std::string& text);
    void SetKeptReportAside(const std::string& path);
    void SetListener(DocumentListener* listener) { listener_ = listener; }

    // The study change every component must see; the library of the new study's
    // configuration is loaded after it.
    void StudyChange(int study_id);
    // The same without loading the library, for a caller that chooses the feature space next,
    // which loads it.
    void OpenStudy(int study_id);

    // The type the DI / NTBI / PCT buttons choose. A new type is recorded, its name loaded
    // and reported; the current type again does nothing. Returns whether it changed.
    bool ChangeFeatureSpaceType(int type);
    int FeatureSpaceType() const { return fs_type_; }

    // Reloads the library of the current configuration, and whether one is current for it
    // (as the last load or build found).
    void LoadLibrary();
    bool IsLibraryValid() const;
    // "Ready (M of K classes modelled)" or "Not Ready", from the last load or build.
    std::string LibraryStatus() const;
    // Builds the library of the current configuration and reloads it; false without a
    // current feature space.
    bool BuildLibrary(Frontend& frontend);

    // Reads a file into the loaded-spectra list and tells the listener.
    void LoadSpectrumFile(const std::string& path);
    void LoadZProfile(const std::string& path);
    void RemoveLoadedSpectra();
    // Removes the loaded spectra at these positions (given from the last one up) and tells
    // the listener.
    void RemoveLoadedSpectraAt(const std::vector<size_t>& indices);
    const std::vector<std::unique_ptr<Spectrum>>& LoadedSpectra() const { return loaded_; }
    std::vector<Site*>& Sites() { return sites_; }
    std::vector<std::unique_ptr<Species>>& SpeciesList() { return species_; }

    // Where the report is saved: output folder, "report_window_output", "txt".
    std::string ReportPath() const;
    // Saves the report there and returns the path; throws OrvaneError when it cannot.
    std::string SaveReport() const;
    void SaveReportTo(const std::string& path) const;

  private:
    void AddLoaded(std::unique_ptr<Spectrum> spectrum);

    Workspace workspace_;
    ReportBuffer report_;
    int fs_type_ = 0;
    DocumentListener* listener_ = nullptr;
    std::unique_ptr<ReportJournal> journal_;
    // Entries may come from a job's thread and, for a failure, from the window's at once.
    std::mutex report_mutex_;
    bool journal_failed_ = false;
    // Declared last so that spectra go before the session they refer to.
    std::vector<std::unique_ptr<Spectrum>> loaded_;
    std::vector<Site*> sites_;
    std::vector<std::unique_ptr<Species>> species_;
};

}  // namespace orvane
