// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QSettings>
#include <functional>
#include <string>
#include <vector>

#include "base/frontend.h"
#include "forms/analyses.h"

class QWidget;

namespace orvane {

class WorkbenchDocument;

// The desktop face of the core: report entries go to the document's report window, errors
// to a message box (and the report); the main window's status bar shows Progress(). A job on
// the worker thread may call Report, Error and Confirm: message boxes open on the UI thread.
class QtFrontend : public Frontend {
  public:
    QtFrontend(WorkbenchDocument& doc, QWidget* parent);
    ~QtFrontend() override;

    void Report(const std::string& text) override;
    void Error(const std::string& text) override;
    // A message box with OK and Cancel.
    bool Confirm(const std::string& question) override;

    // An existing file the user picks; empty when cancelled.
    std::string ChooseOpenFile(const std::string& title, const std::string& filter);
    // Several existing files at once, starting in the folder last used for opening; empty
    // when cancelled.
    std::vector<std::string> ChooseOpenFiles(const std::string& title, const std::string& filter);
    // A file to write, proposing `proposed` (folder and name); empty when cancelled.
    std::string ChooseSaveFile(const std::string& title, const std::string& proposed,
                               const std::string& filter);
    // An existing folder, starting at `start`; empty when cancelled.
    std::string ChooseFolder(const std::string& title, const std::string& start);
    // The modal "Discriminant Analysis" name-type dialog; false when cancelled.
    bool ChooseNameType(int& name_type);
    // The modal options dialog of a declared analysis; false when cancelled.
    bool ChooseAnalysisOptions(const Analysis& analysis, AnalysisValues& values);

    // Answers to the modal questions for runs without a user (the tests): while set, they
    // are asked instead of opening a modal window.
    using ConfirmAnswer = std::function<bool(const std::string& question)>;
    using NameTypeAnswer = std::function<bool(int& name_type)>;
    void SetConfirmAnswer(ConfirmAnswer answer) { confirm_answer_ = std::move(answer); }
    void SetNameTypeAnswer(NameTypeAnswer answer) { name_type_answer_ = std::move(answer); }
    // Given the analysis and its defaults.
    using AnalysisAnswer = std::function<bool(const Analysis& analysis, AnalysisValues& values)>;
    void SetAnalysisAnswer(AnalysisAnswer answer) { analysis_answer_ = std::move(answer); }
    using FileAnswer = std::function<std::string(const std::string& proposed)>;
    void SetSaveFileAnswer(FileAnswer answer) { save_file_answer_ = std::move(answer); }
    using FilesAnswer = std::function<std::vector<std::string>()>;
    void SetOpenFilesAnswer(FilesAnswer answer) { open_files_answer_ = std::move(answer); }

    // Without message boxes errors only reach the report and LastError(); for runs that no
    // one watches, such as the tests.
    void SetMessageBoxes(bool on) { message_boxes_ = on; }
    bool MessageBoxes() const { return message_boxes_; }
    const std::string& LastError() const { return last_error_; }

  private:
    bool OnUiThread() const;

    WorkbenchDocument& doc_;
    QWidget* parent_;
    bool message_boxes_ = true;
    std::string last_error_;
    ConfirmAnswer confirm_answer_;
    NameTypeAnswer name_type_answer_;
    AnalysisAnswer analysis_answer_;
    FileAnswer save_file_answer_;
    FilesAnswer open_files_answer_;
};

// The settings the windows keep between runs (window geometry, last folders, selections).
QSettings OrvaneSettings();

// Runs one user action at the single catch point: a failure becomes a message, and the
// window is brought up to date either way. True when the action completed.
using ActionRunner = std::function<bool(const std::function<void()>&)>;
// Starts `work` on the worker thread and, when it completed, runs `done` on the UI thread; a
// failure or a cancel is reported as ActionRunner does. False when nothing was started (another
// job runs). `work` must own what it uses: it runs after the caller has returned.
using JobRunner = std::function<bool(std::function<void()> work, std::function<void()> done)>;
// Queues `work` for the database thread behind everything asked before and returns at once;
// when it has completed, `done` runs on the UI thread (a failure is reported as ActionRunner
// does, and `done` is skipped). The window keeps answering meanwhile. `work` must own what it
// uses, and `done` must not rely on the widgets it saw when posting. False when nothing was
// queued (a long job runs or waits).
using WorkPoster = std::function<bool(std::function<void()> work, std::function<void()> done)>;

// Posts `work` and `done` as WorkPoster does, then `after` on the UI thread once the work has
// ended however it ended (a refusal skips `done` but not `after`), for a dialog that waits on
// its data and must come back to life either way. False when nothing was queued.
inline bool PostThen(const WorkPoster& post, std::function<void()> work, std::function<void()> done,
                     std::function<void()> after) {
    if (!post(std::move(work), std::move(done))) return false;
    post({}, std::move(after));
    return true;
}

}  // namespace orvane
