// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <deque>
#include <string>
#include <vector>

#include "base/frontend.h"

namespace orvane::test {

// Keeps everything the core shows and answers questions from a script (Cancel when the script
// has run out).
class RecordingFrontend : public Frontend {
  public:
    void Report(const std::string& text) override { reports.push_back(text); }
    void Error(const std::string&) override {}
    void StepProgress(int done) override {
        steps.push_back(done);
        Frontend::StepProgress(done);
        // The user's Cancel, as if clicked once the run had done this many steps.
        if (cancel_after_steps > 0 && static_cast<int>(steps.size()) >= cancel_after_steps)
            Progress().RequestCancel();
    }
    bool Confirm(const std::string& question) override {
        questions.push_back(question);
        if (answers.empty()) return false;
        const bool answer = answers.front();
        answers.pop_front();
        return answer;
    }

    std::vector<std::string> reports;
    std::vector<std::string> questions;
    std::vector<int> steps;
    std::deque<bool> answers;
    int cancel_after_steps = 0;  // 0: never
};

}  // namespace orvane::test
