// SPDX-License-Identifier: GPL-3.0-or-later
#include "export/envi_library_file.h"

#include <cmath>
#include <cstdint>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <limits>

#include <fmt/format.h>

#include "base/orvane_error.h"

namespace orvane {

namespace {

// A csv field as the writer quoted it, back to its text.
std::string Unquoted(const std::string& text) {
    if (text.size() < 2 || text.front() != '"' || text.back() != '"') return text;
    std::string plain;
    for (size_t i = 1; i + 1 < text.size(); ++i) {
        plain += text[i];
        if (text[i] == '"' && text[i + 1] == '"') ++i;
    }
    return plain;
}

// Header lists are split at commas and end at a brace, so names must hold neither.
std::string ListItem(std::string text) {
    for (char& c : text)
        if (c == ',' || c == '{' || c == '}' || c == '\n' || c == '\r') c = '_';
    return text.empty() ? "_" : text;
}

std::string Number(double v) { return fmt::format("{:.14g}", v); }

std::string HeaderPathOf(const std::string& path) {
    return std::filesystem::path(path).replace_extension(".hdr").string();
}

bool LittleEndian() {
    const uint16_t probe = 1;
    unsigned char first = 0;
    std::memcpy(&first, &probe, 1);
    return first == 1;
}

}  // namespace

EnviLibraryFile::EnviLibraryFile(std::string path, bool site_column, std::string description)
    : TextFile(path, '#'),
      header_path_(HeaderPathOf(path)),
      site_column_(site_column),
      description_(std::move(description)) {}

void EnviLibraryFile::Add(Field field) { row_.push_back(std::move(field)); }

void EnviLibraryFile::WriteInt(int value) {
    Add({std::to_string(value), static_cast<double>(value), true});
}
void EnviLibraryFile::WriteDouble(double value) { Add({Number(value), value, true}); }
void EnviLibraryFile::WriteString(const std::string& text) { Add({text, 0.0, false}); }
void EnviLibraryFile::WriteEmptyField() {
    Add({"", std::numeric_limits<double>::quiet_NaN(), true});
}
void EnviLibraryFile::WriteDoubleLn(double value) {
    WriteDouble(value);
    WriteEol();
}
void EnviLibraryFile::WriteStringLn(const std::string& text) {
    WriteString(text);
    WriteEol();
}

void EnviLibraryFile::WriteEol() {
    const size_t skip = site_column_ ? 2 : 1;
    if (!header_done_) {
        // "species", "site", then one field per band or feature.
        if (row_.size() >= skip) axis_.assign(row_.begin() + static_cast<long>(skip), row_.end());
        header_done_ = true;
    } else if (!row_.empty()) {
        std::string name = next_name_.empty() ? Unquoted(row_.front().text) : next_name_;
        if (next_name_.empty() && site_column_ && row_.size() > 1)
            name += " site " + row_[1].text;
        next_name_.clear();
        names_.push_back(ListItem(name));
        for (size_t i = skip; i < skip + axis_.size(); ++i)
            values_.push_back(i < row_.size() && row_[i].number
                                  ? row_[i].value
                                  : std::numeric_limits<double>::quiet_NaN());
    }
    row_.clear();
}

bool EnviLibraryFile::Close() {
    if (!IsOpen()) return TextFile::Close();
    bool ok = true;
    std::vector<double> data = values_;
    if (!LittleEndian()) {
        for (double& v : data) {
            unsigned char b[sizeof(double)];
            std::memcpy(b, &v, sizeof b);
            for (size_t i = 0; i < sizeof b / 2; ++i) std::swap(b[i], b[sizeof b - 1 - i]);
            std::memcpy(&v, b, sizeof b);
        }
    }
    if (!data.empty() && std::fwrite(data.data(), sizeof(double), data.size(), Stream()) !=
                             data.size())
        ok = false;
    ok = TextFile::Close() && ok;

    const bool wavelengths = !axis_.empty() && axis_.front().number;
    std::string header = "ENVI\ndescription = {\n  " + ListItem(description_) + "}\n";
    header += "samples = " + std::to_string(axis_.size()) + "\n";
    header += "lines = " + std::to_string(names_.size()) + "\n";
    header +=
        "bands = 1\nheader offset = 0\nfile type = ENVI Spectral Library\ndata type = 5\n"
        "interleave = bsq\nbyte order = 0\n";
    if (wavelengths) {
        header += "wavelength units = Nanometers\nwavelength = {";
        for (size_t i = 0; i < axis_.size(); ++i)
            header += (i ? ",\n  " : "\n  ") + Number(axis_[i].value);
        header += "}\n";
    } else if (!axis_.empty()) {
        header += "band names = {";
        for (size_t i = 0; i < axis_.size(); ++i)
            header += (i ? ",\n  " : "\n  ") + ListItem(Unquoted(axis_[i].text));
        header += "}\n";
    }
    header += "spectra names = {";
    for (size_t i = 0; i < names_.size(); ++i) header += (i ? ",\n  " : "\n  ") + names_[i];
    header += "}\n";
    std::ofstream out(header_path_, std::ios::binary | std::ios::trunc);
    out << header;
    out.close();
    if (!out) ok = false;
    if (!ok) {
        std::error_code ec;
        std::filesystem::remove(header_path_, ec);
    }
    return ok;
}

}  // namespace orvane
