// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <stdexcept>
#include <string>

namespace orvane {

// The one exception type of the core; each face (GUI, CLI) catches it in one place and shows
// its text, so the core never talks to the user directly.
class OrvaneError : public std::runtime_error {
public:
    using std::runtime_error::runtime_error;
};

// A text file that must exist could not be opened; the message is the program's own
// "not found" text so that start-up can print it and end with exit code 1.
class FileNotFoundError : public OrvaneError {
public:
    explicit FileNotFoundError(const std::string& path);
    const std::string& Path() const { return path_; }

private:
    std::string path_;
};

}  // namespace orvane
