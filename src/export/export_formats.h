// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <memory>
#include <string>
#include <vector>

#include "export/export_spectra.h"

namespace orvane {

class TextFile;

// One band column of an exported file: its index in the stage's values and its wavelength.
struct ExportColumn {
    int index;
    double x;
};

// What a file's header describes, whatever the format lays out.
struct ExportHeader {
    std::string relation;              // what the file holds: the study and the stage
    std::vector<std::string> species;  // every species value, for formats that list them first
    bool site_column = false;          // each row's second field is its site number
    bool spectrum_column = false;      // and its third the spectrum's number (with site_column)
    bool feature_columns = false;      // the columns are `features`, not `bands`
    std::vector<std::string> features;
    std::vector<ExportColumn> bands;
    bool whole_wavelengths = true;  // bands named by their 1 nm index, otherwise by their x
};

// What the file object needs besides its path.
struct ExportFileFacts {
    bool transposed = false;
    bool site_column = false;
    std::string description;  // the study and stage, for formats that keep a description
};

// A format's share of writing one file: the file object, the header and the fields whose
// spelling the format decides. Values and delimiters are written by the file itself.
class ExportWriter {
  public:
    virtual ~ExportWriter() = default;
    // A text table, transposed on Close when asked.
    virtual std::unique_ptr<TextFile> MakeFile(const std::string& path,
                                               const ExportFileFacts& facts) const;
    // What separates the fields of a row.
    virtual const char* Delimiter() const { return ","; }
    virtual void WriteHeader(TextFile& file, const ExportHeader& header) = 0;
    // A row's first field: the species' name, or its number for "Auto number".
    virtual void WriteName(TextFile& file, const std::string& name) = 0;
    virtual void WriteNumber(TextFile& file, int number) = 0;
    // The field of a band that has no value, so that later values keep their columns.
    virtual void WriteMissing(TextFile& file) = 0;
    // A value (a band's, a feature's or a wavelength in the header) in the chosen format.
    virtual void WriteValue(TextFile& file, double value);

    // ExportSettings::NumberFormat; set before the header is written.
    int number_format = ExportSettings::kScientific;

  protected:
    // A number as the chosen format spells it in text (a header name, an ARFF attribute).
    std::string NumberText(double value) const;
};

// Whether a format's rows may, must or must not become columns.
enum class Transposition { kOptional, kAlways, kNever };

// One export format: the word the command line takes, the label (and tooltip) the export
// dialog shows, the file's extension, the transposition rule, a second file written beside it,
// and its writer. `species_listed` formats get every species value in the header.
struct ExportFormatEntry {
    ExportSettings::Format id;
    const char* word;
    const char* label;
    const char* tooltip;  // null for none
    const char* extension;
    Transposition transposition;
    const char* transpose_refusal;    // why "transpose" is refused; null to ignore it quietly
    const char* companion_extension;  // null for none
    bool species_listed;
    std::unique_ptr<ExportWriter> (*make)(const std::vector<std::string>& species);
    // The spectra names carry site and spectrum numbers already, so "ids" adds no columns.
    bool ids_in_names = false;
};

// Every export format, in the order the export dialog lists them.
const std::vector<ExportFormatEntry>& ExportFormatRegistry();
// The entry of a format; null for a value that has none.
const ExportFormatEntry* FindExportFormat(int id);
// The command line's words joined by '|', the default format's first.
std::string ExportFormatWords();
// Whether the rows of that format become columns in the file.
bool Transposed(const ExportFormatEntry& format, bool transpose_requested);

}  // namespace orvane
