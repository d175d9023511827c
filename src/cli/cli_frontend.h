#pragma once

#include <ostream>

#include "base/frontend.h"

namespace orvane {

// Report entries go to standard output, errors to standard error; progress shows as a bar
// only on a terminal.
class CliFrontend : public Frontend {
  public:
    CliFrontend(std::ostream& out, std::ostream& err, bool show_progress);
    void Report(const std::string& text) override;
    void Error(const std::string& text) override;
    void BeginProgress(const std::string& title, int total) override;
    void StepProgress(int done) override;
    void EndProgress() override;
    // The question goes to standard error; the answer is the one the command line gave.
    bool Confirm(const std::string& question) override;
    void SetAnswer(bool yes) { answer_ = yes; }

  private:
    std::ostream& out_;
    std::ostream& err_;
    bool show_progress_;
    std::string title_;
    int total_ = 0;
    int shown_ = -1;
    bool answer_ = false;
};

}  // namespace orvane
