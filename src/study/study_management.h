// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <string>

namespace orvane {

class Frontend;
class ProcessingSession;

// The fields of the create-study dialog.
struct StudyFields {
    std::string name;
    std::string description;
    std::string data_path;
    int min_samples = 15;  // samples per species for library inclusion, 0..10000
};

// Creating, deleting and reporting on studies: the rows every study starts with, the removal
// of everything that belongs to one, and its summary in the report.
class StudyManagement {
public:
    StudyManagement(ProcessingSession& session, Frontend& frontend);

    // Stores the study with its initial chain rows (smoothing type 0, derivative method 2, a
    // waveband filter) in one transaction and makes it current. Throws OrvaneError and stores
    // nothing when a field is out of range, the name is empty or a statement fails.
    int CreateStudy(const StudyFields& fields);

    // Asks the frontend first, with the warning of what goes followed by the face's own
    // `question` line when one is given; false when the user cancelled. Deletes every row of
    // the session's current study in one transaction, reports each step, then makes the first
    // remaining study current (0 when none is left).
    bool DeleteCurrentStudy(const std::string& question = {});

    // The current study's name, description, data path, minimum, counts and capture
    // timeframe as one report entry; the text is also returned.
    std::string StudyReport();

private:
    ProcessingSession& session_;
    Frontend& frontend_;
};

// The folder browser's status line: a path longer than 35 characters shows its first 35
// followed by "...".
std::string FolderBrowserStatusText(const std::string& path);

}  // namespace orvane
