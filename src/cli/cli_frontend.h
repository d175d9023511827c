// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <ostream>

#include "base/frontend.h"

namespace orvane {

// Report entries go to standard output, errors to standard error; progress shows as one
// rewritten line on standard error, only on a terminal, and is cleared when it ends.
class CliFrontend : public Frontend {
  public:
    CliFrontend(std::ostream& out, std::ostream& err, bool show_progress);
    ~CliFrontend() override;
    void Report(const std::string& text) override;
    void Error(const std::string& text) override;
    void EndProgress() override;
    // The question goes to standard error; the answer is the one the command line gave.
    bool Confirm(const std::string& question) override;
    void SetAnswer(bool yes) { answer_ = yes; }

  private:
    void Draw(const std::string& title, int percent);
    // Wipes the progress line, so that text written after it starts on a clean line.
    void ClearLine();

    std::ostream& out_;
    std::ostream& err_;
    size_t drawn_ = 0;  // characters of the progress line now on the terminal
    bool answer_ = false;
};

}  // namespace orvane
