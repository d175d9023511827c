#pragma once

#include <iosfwd>

namespace orvane {

class CliFrontend;
class ConfigFile;
class ProcessingSession;

// "separability": the JM / B table of the loaded library's classes (name type 0-3, distance
// 0 JM, 1 B, 2 both). Returns the exit status.
int SeparabilityCommand(ConfigFile& config, ProcessingSession& session, CliFrontend& frontend,
                        int name_type, int distance);

// "pca": the principal component analysis of the study at the derived stage, then the score
// plot of the current PCT feature space as an SVG file; prints the paths of both files.
// Returns the exit status (1 when either file is missing).
int PcaCommand(ConfigFile& config, ProcessingSession& session, CliFrontend& frontend,
               std::ostream& out);

}  // namespace orvane
