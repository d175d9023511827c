// SPDX-License-Identifier: GPL-3.0-or-later
#include "base/text_file.h"

#include <cstdarg>
#include <cstdlib>
#include <cstring>

#include "base/orvane_error.h"

namespace orvane {

TextFile::TextFile(std::string path, char comment) : path_(std::move(path)), comment_(comment) {}

TextFile::~TextFile() {
    if (stream_) std::fclose(stream_);
}

void TextFile::OpenForReading() {
    if (stream_) std::fclose(stream_);
    stream_ = std::fopen(path_.c_str(), "r");
    if (!stream_) throw FileNotFoundError(path_);
}

bool TextFile::OpenForWriting() {
    if (stream_) std::fclose(stream_);
    stream_ = std::fopen(path_.c_str(), "w");
    write_failed_ = false;
    return stream_ != nullptr;
}

bool TextFile::Close() {
    if (!stream_) return true;
    bool ok = !write_failed_ && std::ferror(stream_) == 0;
    if (std::fclose(stream_) != 0) ok = false;
    stream_ = nullptr;
    return ok;
}

void TextFile::MeasureLines() {
    if (!stream_) return;
    std::rewind(stream_);
    int longest = 0;
    int current = 0;
    int c;
    while ((c = std::fgetc(stream_)) != EOF) {
        ++current;
        if (c == '\n') {
            if (current > longest) longest = current;
            current = 0;
        }
    }
    if (current > longest) longest = current;
    line_width_ = longest + 1 < 81 ? 81 : longest + 1;
    std::rewind(stream_);
}

bool TextFile::ReadLine(std::string& dest) {
    if (!stream_) return false;
    buffer_.resize(static_cast<size_t>(line_width_) + 1);
    if (!std::fgets(buffer_.data(), line_width_, stream_)) return false;
    dest.assign(buffer_.data());
    return true;
}

void TextFile::StripLineEnd(std::string& text) {
    while (!text.empty() && (text.back() == '\n' || text.back() == '\r')) text.pop_back();
}

bool TextFile::GetValueWithSeparator(const std::string& key, const std::string& separator,
                                     std::string& dest) {
    if (!stream_ || separator.empty()) return false;
    const std::string search = key + separator;
    if (search != last_key_ && !sequential_) {
        std::rewind(stream_);
        last_key_ = search;
    }
    std::string line;
    while (ReadLine(line)) {
        if (line.compare(0, key.size(), key) != 0 || line.size() <= key.size() ||
            line[key.size()] != separator[0])
            continue;
        size_t pos = key.size();
        if (separator[0] != ' ' && separator[0] != '\t') pos += 1;
        while (pos < line.size() && (line[pos] == ' ' || line[pos] == '\t')) ++pos;
        dest = line.substr(pos);
        return true;
    }
    return false;
}

bool TextFile::GetValue(const std::string& key, std::string& dest) {
    return GetValueWithSeparator(key, " ", dest);
}

bool TextFile::GetString(const std::string& key, std::string& dest) {
    if (!GetValue(key, dest)) return false;
    StripLineEnd(dest);
    return true;
}

bool TextFile::GetInteger(const std::string& key, int& value) {
    std::string text;
    if (!GetValue(key, text)) return false;
    value = std::atoi(text.c_str());
    return true;
}

bool TextFile::NextLine(std::string& dest) {
    std::string line;
    while (ReadLine(line)) {
        if (!line.empty() && line[0] == comment_) continue;
        dest = line;
        return true;
    }
    return false;
}

namespace {
void Put(std::FILE* stream, bool& failed, const char* format, ...)
    __attribute__((format(printf, 3, 4)));
void Put(std::FILE* stream, bool& failed, const char* format, ...) {
    if (!stream) {
        failed = true;
        return;
    }
    va_list args;
    va_start(args, format);
    if (std::vfprintf(stream, format, args) < 0) failed = true;
    va_end(args);
}
}  // namespace

void TextFile::WriteInt(int value) { Put(stream_, write_failed_, "%i", value); }
void TextFile::WriteDouble(double value) { Put(stream_, write_failed_, "%.14E", value); }
void TextFile::WriteString(const std::string& text) {
    Put(stream_, write_failed_, "%s", text.c_str());
}
void TextFile::WriteEol() { Put(stream_, write_failed_, "\n"); }
void TextFile::WriteDoubleLn(double value) { Put(stream_, write_failed_, "%.14E\n", value); }
void TextFile::WriteStringLn(const std::string& text) {
    Put(stream_, write_failed_, "%s\n", text.c_str());
}
void TextFile::WriteDelimiter() { Put(stream_, write_failed_, "%s", delimiter_.c_str()); }

void TextFile::SetDelimiter(const std::string& delimiter) { delimiter_ = delimiter.substr(0, 20); }

std::string CsvQuoted(const std::string& text) {
    if (text.find_first_of(",\"\r\n") == std::string::npos) return text;
    std::string quoted = "\"";
    for (char c : text) {
        if (c == '"') quoted += '"';
        quoted += c;
    }
    return quoted + '"';
}

}  // namespace orvane
