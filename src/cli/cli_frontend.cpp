// SPDX-License-Identifier: GPL-3.0-or-later
#include "cli/cli_frontend.h"

#include "base/shown_text.h"

namespace orvane {

CliFrontend::CliFrontend(std::ostream& out, std::ostream& err, bool show_progress)
    : out_(out), err_(err), show_progress_(show_progress) {}

// Entries and messages keep their line ends and tabs; any other control character in them
// (from a name or file the core quoted) is shown escaped, never sent to the terminal.
void CliFrontend::Report(const std::string& entry) {
    const std::string text = EscapeEntryControls(entry);
    out_ << text;
    if (text.empty() || text.back() != '\n') out_ << '\n';
    out_.flush();
}

void CliFrontend::Error(const std::string& message) {
    const std::string text = EscapeEntryControls(message);
    err_ << "orvane-cli: " << text;
    if (text.empty() || text.back() != '\n') err_ << '\n';
    err_.flush();
}

void CliFrontend::BeginProgress(const std::string& title, int total) {
    title_ = title;
    total_ = total;
    shown_ = -1;
    StepProgress(0);
}

void CliFrontend::StepProgress(int done) {
    if (!show_progress_ || total_ <= 0) return;
    const int percent = static_cast<int>(100LL * done / total_);
    if (percent == shown_) return;
    shown_ = percent;
    const int width = 30;
    const int filled = percent * width / 100;
    err_ << '\r' << title_ << " [" << std::string(static_cast<size_t>(filled), '#')
         << std::string(static_cast<size_t>(width - filled), ' ') << "] " << percent << '%';
    err_.flush();
}

void CliFrontend::EndProgress() {
    if (show_progress_ && total_ > 0) err_ << '\n';
    total_ = 0;
}

bool CliFrontend::Confirm(const std::string& asked) {
    const std::string question = EscapeEntryControls(asked);
    err_ << question;
    if (question.empty() || question.back() != '\n') err_ << '\n';
    err_.flush();
    return answer_;
}

}  // namespace orvane
