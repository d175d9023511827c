// SPDX-License-Identifier: GPL-3.0-or-later
#include "cli/cli_frontend.h"

#include <algorithm>

#include "base/shown_text.h"

namespace orvane {

CliFrontend::CliFrontend(std::ostream& out, std::ostream& err, bool show_progress)
    : out_(out), err_(err) {
    if (show_progress)
        Progress().SetListener(
            [this](const std::string& title, int percent) { Draw(title, percent); });
}

CliFrontend::~CliFrontend() {
    Progress().SetListener(nullptr);
    ClearLine();
}

// Entries and messages keep their line ends and tabs; any other control character in them
// (from a name or file the core quoted) is shown escaped, never sent to the terminal.
void CliFrontend::Report(const std::string& entry) {
    ClearLine();
    const std::string text = EscapeEntryControls(entry);
    out_ << text;
    if (text.empty() || text.back() != '\n') out_ << '\n';
    out_.flush();
}

void CliFrontend::Error(const std::string& message) {
    ClearLine();
    const std::string text = EscapeEntryControls(message);
    err_ << "orvane-cli: " << text;
    if (text.empty() || text.back() != '\n') err_ << '\n';
    err_.flush();
}

void CliFrontend::Draw(const std::string& title, int percent) {
    percent = std::clamp(percent, 0, 100);
    const int width = 30;
    const int filled = percent * width / 100;
    const std::string line = EscapeControls(title) + " [" +
                             std::string(static_cast<size_t>(filled), '#') +
                             std::string(static_cast<size_t>(width - filled), ' ') + "] " +
                             std::to_string(percent) + '%';
    // A shorter line than the last one blanks the rest of it.
    err_ << '\r' << line << std::string(drawn_ > line.size() ? drawn_ - line.size() : 0, ' ');
    drawn_ = std::max(drawn_, line.size());
    err_.flush();
}

void CliFrontend::ClearLine() {
    if (drawn_ == 0) return;
    err_ << '\r' << std::string(drawn_, ' ') << '\r';
    err_.flush();
    drawn_ = 0;
}

void CliFrontend::EndProgress() {
    Frontend::EndProgress();
    ClearLine();
}

bool CliFrontend::Confirm(const std::string& asked) {
    ClearLine();
    const std::string question = EscapeEntryControls(asked);
    err_ << question;
    if (question.empty() || question.back() != '\n') err_ << '\n';
    err_.flush();
    return answer_;
}

}  // namespace orvane
