// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <string>
#include <vector>

namespace orvane {

// The folder of the user's Orvane files: $ORVANE_HOME, else ~/.local/share/orvane; empty when
// neither ORVANE_HOME nor HOME is set.
std::string OrvaneHomeFolder();

// The report of a running window, written to a file entry by entry as it grows, so that a
// crash or a killed program loses none of it. The file stays locked while its window runs;
// the window removes it when it closes normally, so a journal that nobody holds is the report
// of a run that ended without closing.
class ReportJournal {
  public:
    // A report left behind by an earlier run.
    struct Orphan {
        std::string path;
        std::string text;
    };

    // Starts a new journal in `folder` (created when missing). Throws OrvaneError when the
    // file cannot be made.
    explicit ReportJournal(const std::string& folder);
    // Keeps the file: only Close() says that the run ended normally.
    ~ReportJournal();
    ReportJournal(const ReportJournal&) = delete;
    ReportJournal& operator=(const ReportJournal&) = delete;

    // The journals in `folder` that no running window holds, oldest first.
    static std::vector<Orphan> Orphans(const std::string& folder);

    // Adds an entry and hands it to the system at once; false when it could not be written
    // (a full disk), which the caller may tell the user once.
    bool Append(const std::string& entry);
    // The run ended normally: the file goes.
    void Close();
    const std::string& Path() const { return path_; }

  private:
    std::string path_;
    int fd_ = -1;
};

}  // namespace orvane
