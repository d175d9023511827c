// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <string>
#include <vector>

#include "base/data_files.h"

namespace orvane {

class Frontend;

// The first start without a configuration, in one step: the private database server under
// $ORVANE_HOME (as "orvane-db init" makes it, with the sensors and starter feature spaces) and
// the demo study created in it and imported. What was done before is kept: an initialised
// folder is only started, and a study named "Demo study" is neither created again nor
// imported again.
class PrivateSetup {
  public:
    static constexpr const char* kDemoStudyName = "Demo study";

    explicit PrivateSetup(DataFiles files = DataFiles::ForThisProgram());

    // Why the step cannot be offered (the tool or the demo study is missing); empty when it can.
    std::string Unavailable() const;

    // Runs the step and returns the configuration file it wrote. `init_options` go to
    // "orvane-db init" (a test passes "--port", "auto"). Throws OrvaneError with the tool's
    // own output when the server could not be made, and the import's errors as they come.
    std::string Run(Frontend& frontend, const std::vector<std::string>& init_options = {});

  private:
    DataFiles files_;
};

}  // namespace orvane
