// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <string>
#include <vector>

namespace orvane {

class Frontend;
class ProcessingSession;

// A spectral library as its file holds it, before it is put on the 1 nm grid.
struct SpectralLibraryFile {
    std::string path;                         // the file read (the .sli of an ENVI library)
    std::string layout;                       // how it was read, for the report
    std::vector<std::string> names;           // one per spectrum, blanks around them dropped
    std::vector<double> wavelengths;          // nm, rising
    std::vector<std::vector<double>> values;  // per spectrum, per wavelength; NaN: no value
    // What the file says values are multiplied by (ENVI's "reflectance scale factor"); 0 when
    // it says nothing.
    double scale = 0.0;
    std::vector<std::string> notes;  // what was inferred rather than read, one sentence each
};

// Reads an ENVI spectral library (FILE.sli or FILE.hdr, the other beside it) or a CSV table,
// told apart by the extension (.csv or .txt is a table).
//
// ENVI: the header's samples (wavelengths), lines (spectra), bands (1), data type (1-6, 12-15),
// byte order, header offset, "spectra names", "wavelength" and "wavelength units"
// (nanometers, micrometers, millimeters, meters, wavenumber in cm-1; missing or Unknown:
// micrometers when every wavelength is below 30, nanometers otherwise, and the note says so),
// "reflectance scale factor" and "data ignore value" (no value, as NaN is).
// CSV: either one column per spectrum (the first column the wavelengths, the header naming the
// spectra) or one row per spectrum (the header's fields after the first are the wavelengths,
// each row's first field its name); the units inferred as for ENVI. An empty field, "nan" or
// "NA" is no value.
//
// Refused with OrvaneError naming the file (and the line or spectrum): a file that cannot be
// read, a header without a needed key or with a value out of range, a data file shorter than
// the header describes, a table whose rows differ in length or hold a field that is no
// number, a layout that cannot be told (numbers both across the first line and down the first
// column), wavelengths that repeat or are not positive, wavelengths that cover no band from
// 350 to 2499 nm, a spectrum without a name.
SpectralLibraryFile ReadSpectralLibrary(const std::string& path);

// One spectrum of the library on the 1 nm grid, 350..2499 nm, as the SIG and SED readers put
// their channels there (ResampleOntoGrid): linear between neighbouring values, no value outside
// them. A run of values without value between them is resampled on its own, so a gap stays a
// gap rather than being bridged. `scale` divides every value. Refuses, naming the spectrum, a
// value a stored float cannot hold.
std::vector<double> LibrarySpectrumOnGrid(const SpectralLibraryFile& library, size_t spectrum,
                                          double scale);

// What `study import-library` is given.
struct LibraryImportOptions {
    std::string path;          // the library file
    std::string study_name;    // empty: the file's name without its extension
    std::string classes_path;  // optional CSV "spectrum,class": the species of each spectrum
    std::string description;   // empty: "Spectral library <path>"
    int min_samples = 15;      // as study create takes it
    double scale = 0.0;        // divides the values; 0: the file's, else inferred
};

struct LibraryImportResult {
    int study_id = 0;
    std::string study_name;
    int species = 0;
    int sites = 0;
    int spectra = 0;
    int left_out = 0;  // spectra the classes file maps to no class
};

// Makes a new study of a spectral library and makes it current. Each spectrum's species is its
// name, or its class from the classes file; a name as Orvane's library export writes it,
// "SPECIES site N spectrum M", is spectrum M of site N of species SPECIES, so that an exported
// library comes back as the study it came from; every other spectrum is in site 1, numbered in
// the library's order. Spectra that share a name are spectra of one species. The values are
// divided by the scale (the option's, else the file's reflectance scale factor, else 100 when
// their median lies above 1.5 and at most 150 and 10000 above that, which the report says; the
// median, since the noisy ends of field spectra reach far beyond 1 in a library of fractions)
// and put on
// the 1 nm grid by LibrarySpectrumOnGrid. Every spectrum is read and checked before anything
// is stored; a refusal of the database removes the new study again, so a failed import leaves
// no study behind. Throws OrvaneError for what ReadSpectralLibrary refuses, a name longer than
// a species folder's 80 characters, a classes file that maps a spectrum to two classes or
// leaves one out, two spectra that would be the same spectrum of the same site, and a name the
// new study cannot take.
LibraryImportResult ImportLibraryAsStudy(ProcessingSession& session, Frontend& frontend,
                                         const LibraryImportOptions& options);

}  // namespace orvane
