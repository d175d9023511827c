// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <string>

#include "base/feedback.h"

namespace orvane {

// What the core needs from whoever shows it: the GUI answers with windows and dialogs, the
// CLI with standard output and flags, a test with a recorder.
class Frontend {
public:
    virtual ~Frontend() = default;

    // Appends one entry to the report window.
    virtual void Report(const std::string& text) = 0;
    // A failure the user must see (a message box in the GUI, standard error in the CLI).
    virtual void Error(const std::string& text) = 0;

    // Long operations: Begin, then Step per unit of work, then End; they reach Progress(),
    // scaled onto the slice a ProgressSlice chose. Cancelled() lets a long run stop between
    // units, and the run then throws orvane::Cancelled.
    virtual void BeginProgress(const std::string& title, int total) {
        current_.SetTitle(title);
        total_ = total;
        current_.Set(0.0);
    }
    virtual void StepProgress(int done) { current_.Step(done, total_); }
    virtual void EndProgress() { total_ = 0; }
    virtual bool Cancelled() { return current_.CancelRequested(); }

    // The progress and cancel request of the run in hand; a face shows and cancels it.
    Feedback& Progress() { return current_; }

    // Which part of the whole run the progress now reports.
    void SetProgressSlice(const Feedback& slice) { current_ = slice; }

    // An OK / Cancel question; true for OK. A frontend that cannot ask answers Cancel, so
    // nothing destructive happens unasked.
    virtual bool Confirm(const std::string& /*question*/) { return false; }

  private:
    Feedback current_;
    int total_ = 0;
};

// While it lives, the frontend's progress 0..100 covers [from, to] of what it covered before:
// a step hands a part of its work a slice without that part knowing how the whole is divided.
class ProgressSlice {
  public:
    ProgressSlice(Frontend& frontend, double from, double to)
        : frontend_(frontend), outer_(frontend.Progress()) {
        frontend_.SetProgressSlice(outer_.Slice(from, to));
    }
    ~ProgressSlice() { frontend_.SetProgressSlice(outer_); }
    ProgressSlice(const ProgressSlice&) = delete;
    ProgressSlice& operator=(const ProgressSlice&) = delete;

  private:
    Frontend& frontend_;
    Feedback outer_;
};

// Shows a progress display for as long as it lives, so that every way out of a long operation
// ends the display.
class ProgressScope {
public:
    ProgressScope(Frontend& frontend, const std::string& title, int total) : frontend_(frontend) {
        frontend_.BeginProgress(title, total);
    }
    ~ProgressScope() { frontend_.EndProgress(); }
    ProgressScope(const ProgressScope&) = delete;
    ProgressScope& operator=(const ProgressScope&) = delete;

private:
    Frontend& frontend_;
};

// A frontend that drops everything and answers every question as it was constructed to; for
// callers that need none.
class SilentFrontend : public Frontend {
public:
    explicit SilentFrontend(bool confirm = false) : confirm_(confirm) {}
    void Report(const std::string&) override {}
    void Error(const std::string&) override {}
    bool Confirm(const std::string&) override { return confirm_; }

private:
    bool confirm_;
};

}  // namespace orvane
