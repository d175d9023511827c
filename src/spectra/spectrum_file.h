// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <memory>
#include <string>

#include "spectra/field_spectrum_reader.h"

namespace orvane {

// The kinds of file a spectrum can be loaded from.
enum class SpectrumFileKind {
    kInstrumentBinary,  // the binary field spectroradiometer file (field_spectrum_reader.h)
    kSig,               // SIG text (sig_spectrum_reader.h)
    kSed,               // SED text (sed_spectrum_reader.h)
    kZProfile,          // an ENVI Z profile of an image pixel, read onto a sensor's bands
};

// A file's kind by its first bytes: a text (no NUL byte in its first 4 KiB) that begins with the
// SIG first line, with "ENVI ASCII Plot File", or with an SED header. Where they tell nothing,
// the extension decides (".sig", ".sed", ".txt" for a Z profile, in any case), and everything
// else is an instrument binary file, whose reader names what is wrong with it.
SpectrumFileKind SpectrumFileKindOf(const std::string& path);

// The values of a binary, SIG or SED file, chosen by SpectrumFileKindOf. Throws OrvaneError
// naming the file (and the line of a text file) when it cannot be read, and for a Z profile,
// which lies on a sensor's bands rather than the 1 nm grid.
FieldSpectrumContents ReadSpectrumFileValues(const std::string& path);

// The same as a new spectrum: the name the header gives (else the file's name), the number the
// file's name carries, the path, the header fields and the reflectances, kStoredNoValue where
// the file measured nothing.
std::unique_ptr<Spectrum> ReadSpectrumFile(const std::string& path);

}  // namespace orvane
