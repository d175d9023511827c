// SPDX-License-Identifier: GPL-3.0-or-later
#include "export/envi_library_file.h"

#include <cerrno>
#include <cmath>
#include <cstdint>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <limits>

#include <fmt/format.h>

#include "base/orvane_error.h"
#include "base/replaced_file.h"

namespace orvane {

namespace {

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
        std::string name = next_name_.empty() ? row_.front().text : next_name_;
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
    ReplacedFile* body = Replacement();
    // A device is written in place, values only.
    if (!IsOpen() || !body) return TextFile::Close();
    failed_path_ = Path();
    earlier_kept_ = true;
    std::vector<double> data = values_;
    if (!LittleEndian()) {
        for (double& v : data) {
            unsigned char b[sizeof(double)];
            std::memcpy(b, &v, sizeof b);
            for (size_t i = 0; i < sizeof b / 2; ++i) std::swap(b[i], b[sizeof b - 1 - i]);
            std::memcpy(&v, b, sizeof b);
        }
    }
    errno = 0;
    if (!data.empty() && std::fwrite(data.data(), sizeof(double), data.size(), Stream()) !=
                             data.size())
        body->Fail(errno);
    ReleaseStream();

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
            header += (i ? ",\n  " : "\n  ") + ListItem(axis_[i].text);
        header += "}\n";
    }
    header += "spectra names = {";
    for (size_t i = 0; i < names_.size(); ++i) header += (i ? ",\n  " : "\n  ") + names_[i];
    header += "}\n";

    // The body is finished before the header is begun, so that a body the disk refused is
    // reported as the body's failure.
    ReplacedFile header_file(header_path_);
    if (body->Finish()) {
        if (std::FILE* out = header_file.Open()) {
            errno = 0;
            if (std::fwrite(header.data(), 1, header.size(), out) != header.size())
                header_file.Fail(errno);
        }
    }
    const bool ok = CommitInOrder(*body, header_file, &earlier_kept_);
    if (!ok && body->Failed()) {
        NoteFailureReason(body->Reason());
    } else if (!ok) {
        failed_path_ = header_path_;
        NoteFailureReason(header_file.Reason());
    }
    DropReplacement();
    return ok;
}

std::string EnviLibraryFile::KeptNote() const {
    if (earlier_kept_)
        return "The previous " + Path() + " and " + header_path_ +
               ", if any, are kept as they were.";
    return "The new " + Path() + " is in place, but its header could not replace the previous " +
           header_path_ + "; export again once the cause is removed.";
}

}  // namespace orvane
