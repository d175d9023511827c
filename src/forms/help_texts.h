// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <string>

#include "base/data_files.h"

namespace orvane {

// Help > Orvane Manual: the README of this checkout, or of the installed package. Throws
// OrvaneError naming where it looked when the file is not there.
std::string ManualPath(const DataFiles& files = DataFiles::ForThisProgram());

// Help > How to Cite: how a paper names the program and the release it used.
std::string CitationText();

// What the "Site Accuracy" dialog asks the user to choose, and what the check then reports.
std::string SiteAccuracyExplanation();
// Why its OK waits.
constexpr const char* kSiteAccuracyNoChoice = "Choose a species in the list first.";

}  // namespace orvane
