// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <string>

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

    // Long operations: Begin, then Step per unit of work, then End. Cancelled() lets a
    // long run stop between units.
    virtual void BeginProgress(const std::string& /*title*/, int /*total*/) {}
    virtual void StepProgress(int /*done*/) {}
    virtual void EndProgress() {}
    virtual bool Cancelled() { return false; }

    // An OK / Cancel question; true for OK. A frontend that cannot ask answers Cancel, so
    // nothing destructive happens unasked.
    virtual bool Confirm(const std::string& /*question*/) { return false; }
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
