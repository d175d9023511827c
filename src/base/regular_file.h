// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <cstdio>
#include <string>

#include "base/orvane_error.h"

namespace orvane {

// A path that names something other than a regular file: reading a named pipe would wait
// forever, a device may never end, a folder holds no lines.
class NotRegularFileError : public OrvaneError {
  public:
    NotRegularFileError(const std::string& path, const std::string& kind);
    const std::string& Path() const { return path_; }
    // "a named pipe", "a folder", "a device", "a socket".
    const std::string& Kind() const { return kind_; }

  private:
    std::string path_;
    std::string kind_;
};

// Opens `path` (links followed) for reading, or for reading and writing with `update`, only
// when it is a regular file. The check is made on the opened descriptor, which is opened
// without waiting, so a named pipe is refused at once rather than hanging the program.
// Throws FileNotFoundError when the file cannot be opened (errno tells why) and
// NotRegularFileError when it is not a regular file.
std::FILE* OpenRegularFile(const std::string& path, bool update = false);

// The name "stem.extension", shortened at a character boundary so that it fits the longest
// file name the folder's file system takes (a long study name in UTF-8 easily exceeds it).
std::string FitFileName(const std::string& folder, const std::string& stem,
                        const std::string& extension);

}  // namespace orvane
