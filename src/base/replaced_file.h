// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <cstdio>
#include <string>

namespace orvane {

// A new version of a file, written under a temporary name (".orvane-XXXXXX") in the same folder
// and moved onto the file's name by Commit. Until then, and whenever anything fails, the earlier
// file stays as it was; a version that is never committed is removed. Every result file goes
// through this, so a full disk or a killed run never destroys the last good file nor leaves a
// cut-off one under its name. Files that must change together (a library and its header) are
// each finished first and committed only when all finished well.
class ReplacedFile {
  public:
    explicit ReplacedFile(std::string path);
    ~ReplacedFile();
    ReplacedFile(const ReplacedFile&) = delete;
    ReplacedFile& operator=(const ReplacedFile&) = delete;

    // Creates the temporary file and returns its stream (owned by this object), nullptr when
    // it cannot be created. Temporary files that a killed run left in the folder are removed
    // first.
    std::FILE* Open();
    // Flushes, syncs and closes the temporary file; false when anything written could not
    // reach the disk.
    bool Finish();
    // Moves the finished temporary file onto the path; false when it could not (the earlier
    // file is then kept). Without a successful Finish it only discards.
    bool Commit();
    // Removes the temporary file; the earlier file is kept.
    void Discard();
    // Records a failure of a write made through the stream.
    void Fail(int error);

    bool Failed() const { return failed_; }
    // The system's reason for the first failure.
    const std::string& Reason() const { return reason_; }
    // The file the path resolves to (a link is followed), which Commit replaces.
    const std::string& Target() const { return target_; }

  private:
    std::string path_;
    std::string target_;
    std::string temp_;
    std::FILE* stream_ = nullptr;
    // A second descriptor of the temporary file that holds its lock until it is committed or
    // discarded, so that another run never takes a live temporary file for a leftover.
    int lock_fd_ = -1;
    bool finished_ = false;
    bool failed_ = false;
    std::string reason_;
};

// Removes the temporary files of earlier runs from `folder`: regular files named
// ".orvane-XXXXXX", owned by this user, last written before this run began and not held by a
// live run. Returns how many were removed.
int RemoveLeftoverTemporaries(const std::string& folder);

// Commits `first`, then `last`, both finished; a reader never finds a new `last` beside an
// earlier `first`. When `last` cannot be committed the earlier `first` is put back where the
// file system allows it; `*first_kept` then says whether the earlier `first` is in place.
// False when either could not be committed (both are discarded when `first` failed).
bool CommitInOrder(ReplacedFile& first, ReplacedFile& last, bool* first_kept);

}  // namespace orvane
