// SPDX-License-Identifier: GPL-3.0-or-later
#include "spectra/spectrum_summary.h"

#include "spectra/spectrum.h"
#include "store/database.h"

namespace orvane {

std::string SpectrumSummary(const Spectrum& s) {
    const CaptureTime& t = s.capture_time_;
    return Sql("%s\t%i\t%04i-%02i-%02i %02i:%02i:%02i\t%.6f\t%.6f\t%.2f\t%s",
               s.DisplayName().c_str(), s.number_, t.year, t.month, t.day, t.hour, t.minute,
               t.second, s.latitude_, s.longitude_, s.altitude_, s.comment_.c_str());
}

}  // namespace orvane
