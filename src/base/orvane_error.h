// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <stdexcept>
#include <string>

namespace orvane {

// What the user can do about an error. The core's message says only what is missing; each
// face names the remedy in its own terms (a menu path in the window, a command in the CLI).
enum class Remedy {
    kNone,
    kImportSensor,
    kMarkEndmembers,
    kReturnEndmembers,
    kBuildLibrary,
    kGiveWavelengths,  // an image's wavelengths, from a file of the user's
};

// The one exception type of the core; each face (GUI, CLI) catches it in one place and shows
// its text, so the core never talks to the user directly.
class OrvaneError : public std::runtime_error {
public:
    explicit OrvaneError(const std::string& what, Remedy remedy = Remedy::kNone)
        : std::runtime_error(what), remedy_(remedy) {}
    Remedy GetRemedy() const { return remedy_; }

private:
    Remedy remedy_;
};

// The message with a face's hint in parentheses before its closing full stop, as in
// "... build it (Library > Build)."; an empty hint leaves the message as it is.
std::string WithHint(const std::string& message, const std::string& hint);

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
