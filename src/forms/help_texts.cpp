// SPDX-License-Identifier: GPL-3.0-or-later
#include "forms/help_texts.h"

#include <fmt/format.h>

#include <filesystem>
#include <system_error>

#include "base/orvane_error.h"
#include "base/version.h"

namespace orvane {

std::string ManualPath(const DataFiles& files) {
    std::error_code error;
    if (files.manual.empty() || !std::filesystem::is_regular_file(files.manual, error))
        throw OrvaneError("The manual is missing: there is no " +
                          (files.manual.empty() ? std::string("README.md") : files.manual) +
                          (files.installed ? "; reinstall the orvane package to restore it."
                                           : "."));
    return files.manual;
}

std::string CitationText() {
    // The release is part of the citation: results depend on the chain of that release.
    return fmt::format(
        "When you publish results obtained with Orvane, please cite the program and the "
        "release you used:\n\n"
        "The Orvane developers. Orvane: a field spectroscopy workbench, version {0} "
        "[computer software]. Released under the GNU General Public License, version 3 or "
        "later.\n\n"
        "BibTeX:\n"
        "@software{{orvane,\n"
        "  author  = {{{{The Orvane developers}}}},\n"
        "  title   = {{Orvane: a field spectroscopy workbench}},\n"
        "  version = {{{0}}},\n"
        "  license = {{GPL-3.0-or-later}}\n"
        "}}\n",
        kOrvaneVersion);
}

std::string SiteAccuracyExplanation() {
    return "Choose the species whose sites you want to check. Each spectrum of each of its "
           "sites is classified with the current library, and the report gives, per site, the "
           "share of its spectra that each library class wins.";
}

}  // namespace orvane
