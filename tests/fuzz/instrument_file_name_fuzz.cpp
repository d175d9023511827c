// SPDX-License-Identifier: GPL-3.0-or-later
#include <cstdint>
#include <cstdlib>
#include <optional>
#include <string>
#include <string_view>

#include "spectra/field_spectrum_reader.h"

// Any name either is no instrument file or gives a number of at most nine digits, the number
// the spectrum read from that file carries; a name with a number has a dot and a digit.
extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    const std::string_view name(reinterpret_cast<const char*>(data), size);
    const std::optional<int> number = orvane::InstrumentFileNumber(name);
    if (!number) return 0;
    if (*number < 0 || *number > 999999999) std::abort();
    if (orvane::SpectrumNumberOfFileName(std::string(name)) != *number) std::abort();
    if (name.find('.') == std::string_view::npos ||
        name.find_first_of("0123456789") == std::string_view::npos)
        std::abort();
    return 0;
}
