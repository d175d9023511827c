// SPDX-License-Identifier: GPL-3.0-or-later
#include "spectra/spectrum_summary.h"

#include <fmt/format.h>

#include "base/shown_text.h"
#include "spectra/spectrum.h"

namespace orvane {

std::string SpectrumSummary(const Spectrum& s) {
    const CaptureTime& t = s.capture_time_;
    return fmt::format("{}\t{}\t{:04}-{:02}-{:02} {:02}:{:02}:{:02}\t{:.6f}\t{:.6f}\t{:.2f}\t{}",
                       EscapeControls(s.DisplayName()), s.number_, t.year, t.month, t.day, t.hour,
                       t.minute, t.second, s.latitude_, s.longitude_, s.altitude_,
                       EscapeControls(s.comment_));
}

}  // namespace orvane
