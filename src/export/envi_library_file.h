// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <string>
#include <vector>

#include "base/text_file.h"

namespace orvane {

// A binary ENVI spectral library (.sli) with its .hdr, written from the same rows as the csv
// export: it collects the header row (the band wavelengths or feature names) and one row per
// spectrum or mean (name, site number with site means, values), and on Close writes the values
// as little-endian 64-bit floats, one line per spectrum, so every value is the csv's value. A
// band without a value is NaN, which ENVI and its readers take as no data.
class EnviLibraryFile : public TextFile {
  public:
    // `path` is the .sli file; the header goes beside it with the extension .hdr. With
    // `site_column` every data row's second field is its site number.
    EnviLibraryFile(std::string path, bool site_column, std::string description);

    void WriteInt(int value) override;
    void WriteDouble(double value) override;
    void WriteString(const std::string& text) override;
    void WriteEol() override;
    void WriteDoubleLn(double value) override;
    void WriteStringLn(const std::string& text) override;
    void WriteDelimiter() override {}
    void WriteEmptyField() override;

    // The name the next data row gets in the library instead of its first field.
    void SetNextRowName(const std::string& name) { next_name_ = name; }

    // Writes the values and the header, each to a temporary file, and moves them into place
    // (the header last) only when both were written whole; false otherwise.
    bool Close() override;
    // After a failed Close: the file that could not be written, and a sentence saying what
    // became of the earlier library and header.
    const std::string& FailedPath() const { return failed_path_; }
    std::string KeptNote() const;

    const std::string& HeaderPath() const { return header_path_; }
    int Rows() const { return static_cast<int>(names_.size()); }
    int Columns() const { return static_cast<int>(axis_.size()); }

  private:
    struct Field {
        std::string text;
        double value;
        bool number;
    };
    void Add(Field field);

    std::string header_path_;
    std::string failed_path_;
    bool earlier_kept_ = true;
    bool site_column_;
    std::string description_;
    std::string next_name_;
    bool header_done_ = false;
    std::vector<Field> row_;
    std::vector<Field> axis_;
    std::vector<std::string> names_;
    std::vector<double> values_;
};

}  // namespace orvane
