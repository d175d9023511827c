// SPDX-License-Identifier: GPL-3.0-or-later
#include "study/loadable_file.h"

#include <algorithm>

#include "spectra/spectrum_file.h"
#include "study/z_profile_reader.h"

namespace orvane {

std::unique_ptr<Spectrum> ReadLoadableFile(const std::string& path,
                                           const ProcessingSession* session) {
    if (SpectrumFileKindOf(path) == SpectrumFileKind::kZProfile) return ReadZProfile(path, session);
    return ReadSpectrumFile(path);
}

bool AnyZProfile(const std::vector<std::string>& paths) {
    return std::any_of(paths.begin(), paths.end(), [](const std::string& path) {
        return SpectrumFileKindOf(path) == SpectrumFileKind::kZProfile;
    });
}

}  // namespace orvane
