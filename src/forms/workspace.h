// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <functional>
#include <memory>
#include <string>
#include <vector>

namespace orvane {

class Frontend;
class OutputFolder;
class ProcessingSession;
class SpectralStatistics;
class StudyLoader;

// What both faces work in: the connection opened from a configuration, the processing
// session with its sensors, the current study, its loader and the current library, and the
// output folder. A face adds only what it shows.
class Workspace {
  public:
    // Called with each start-up warning as it is found, so that a face can show the
    // configuration's warnings even when the connection then fails.
    using WarningSink = std::function<void(const std::string&)>;

    // Reads the configuration (FileNotFoundError when it is missing) and connects
    // (ConnectError with the server's text); the configuration is not kept open.
    explicit Workspace(const std::string& config_path, const WarningSink& warn = nullptr);
    ~Workspace();
    Workspace(const Workspace&) = delete;
    Workspace& operator=(const Workspace&) = delete;

    // "Orvane \u2014 <study> (<server>)", or "Orvane (<server>)" while no study is open.
    std::string Title() const;
    // What start-up found worth a warning: the configuration file's, then the session's.
    const std::vector<std::string>& StartupWarnings() const { return startup_warnings_; }

    ProcessingSession& Session() { return *session_; }
    const ProcessingSession& Session() const { return *session_; }
    const OutputFolder& Output() const { return *output_; }
    // The loader of the session's current study, whichever way that study was chosen.
    StudyLoader& Loader();
    SpectralStatistics& Library() { return *library_; }
    const SpectralStatistics& Library() const { return *library_; }

    // Makes a study current for every component: the loader, the library, then the session.
    void OpenStudy(int study_id);
    // The same for a study given by name or id; throws OrvaneError when none matches.
    void OpenStudy(const std::string& name_or_id);
    // The current study's id; throws OrvaneError when the database holds no study, with
    // `how_to_create` telling the user how to make one.
    int RequireStudy(const std::string& how_to_create) const;

    // Opens the connection again after it was lost (ConnectError when the server still cannot
    // be reached) and makes the current study current again on it: the loader and the
    // library are made anew, since their prepared statements went with the old connection.
    void Reconnect();

    // Reloads the library of the current chain settings and returns it.
    SpectralStatistics& LoadLibrary();
    bool IsLibraryValid() const;
    // "Ready (M of K classes modelled)" or "Not Ready", from the last load or build.
    std::string LibraryStatus() const;
    // Builds the library of the current chain settings and reloads it; false without a
    // current feature space.
    bool BuildLibrary(Frontend& frontend);

  private:
    std::vector<std::string> startup_warnings_;
    std::unique_ptr<ProcessingSession> session_;
    std::unique_ptr<StudyLoader> loader_;
    std::unique_ptr<OutputFolder> output_;
    // After the loader, which it uses, so that it goes first.
    std::unique_ptr<SpectralStatistics> library_;
};

}  // namespace orvane
