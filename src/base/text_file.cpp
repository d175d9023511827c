// SPDX-License-Identifier: GPL-3.0-or-later
#include "base/text_file.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstdarg>
#include <cstring>
#include <string_view>

#include "base/number_text.h"
#include "base/orvane_error.h"
#include "base/regular_file.h"
#include "base/replaced_file.h"

namespace orvane {

TextFile::TextFile(std::string path, char comment) : path_(std::move(path)), comment_(comment) {}

TextFile::~TextFile() { Discard(); }

void TextFile::Discard() {
    // A version abandoned before Close never replaces the file.
    if (replacement_) {
        replacement_->Discard();
    } else if (stream_) {
        std::fclose(stream_);
    }
    stream_ = nullptr;
    replacement_.reset();
    std::free(memory_);
    memory_ = nullptr;
    memory_size_ = 0;
}

void TextFile::NoteFailure(int error) {
    write_failed_ = true;
    if (failure_reason_.empty()) failure_reason_ = std::strerror(error ? error : EIO);
    if (replacement_) replacement_->Fail(error);
}

void TextFile::DropReplacement() {
    stream_ = nullptr;
    replacement_.reset();
}

void TextFile::NoteFailureReason(const std::string& reason) {
    write_failed_ = true;
    if (failure_reason_.empty()) failure_reason_ = reason;
}

std::string TextFile::FailureReason() const {
    if (!failure_reason_.empty() || !replacement_) return failure_reason_;
    return replacement_->Reason();
}

void TextFile::OpenForReading() {
    Discard();
    stream_ = OpenRegularFile(path_, false);
}

bool TextFile::OpenForWriting() {
    Discard();
    write_failed_ = false;
    failure_reason_.clear();
    struct stat st {};
    // A device or pipe is written in place: it cannot be replaced, and must not be.
    if (::stat(path_.c_str(), &st) == 0 && !S_ISREG(st.st_mode)) {
        stream_ = std::fopen(path_.c_str(), "w");
        if (!stream_) NoteFailure(errno);
        return stream_ != nullptr;
    }
    replacement_ = std::make_unique<ReplacedFile>(path_);
    stream_ = replacement_->Open();
    if (!stream_) {
        failure_reason_ = replacement_->Reason();
        write_failed_ = true;
        replacement_.reset();
        return false;
    }
    return true;
}

bool TextFile::OpenInMemory() {
    Discard();
    write_failed_ = false;
    failure_reason_.clear();
    stream_ = open_memstream(&memory_, &memory_size_);
    if (!stream_) NoteFailure(errno);
    return stream_ != nullptr;
}

std::string TextFile::TakeText() {
    if (!stream_ || replacement_) return "";
    if (std::fflush(stream_) != 0) NoteFailure(errno);
    std::string text(memory_ ? memory_ : "", memory_ ? memory_size_ : 0);
    // A fresh buffer for the next text: the stream's own size rules after a rewind differ
    // from one C library to the next.
    OpenInMemory();
    return text;
}

bool TextFile::Close() {
    if (!replacement_) {
        if (!stream_) return !write_failed_;
        errno = 0;
        if (std::fflush(stream_) != 0 || std::ferror(stream_) != 0) NoteFailure(errno);
        if (std::fclose(stream_) != 0) NoteFailure(errno);
        stream_ = nullptr;
        return !write_failed_;
    }
    stream_ = nullptr;  // the replacement closes it
    const bool ok = replacement_->Finish() && replacement_->Commit();
    if (!ok && failure_reason_.empty()) failure_reason_ = replacement_->Reason();
    write_failed_ = write_failed_ || !ok;
    replacement_.reset();
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
    if (search != last_key_) {
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
// Returns the errno of a failed write, 0 when it succeeded.
int Put(std::FILE* stream, const char* format, ...) __attribute__((format(printf, 2, 3)));
int Put(std::FILE* stream, const char* format, ...) {
    if (!stream) return EBADF;
    va_list args;
    va_start(args, format);
    errno = 0;
    const int written = std::vfprintf(stream, format, args);
    const int error = errno;
    va_end(args);
    return written < 0 ? (error ? error : EIO) : 0;
}

// Returns the errno of a failed write, 0 when it succeeded; the stream belongs to one thread.
int PutText(std::FILE* stream, const char* text, size_t size) {
    if (!stream) return EBADF;
    errno = 0;
    if (fwrite_unlocked(text, 1, size, stream) == size) return 0;
    return errno ? errno : EIO;
}
int PutText(std::FILE* stream, const char* text) { return PutText(stream, text, std::strlen(text)); }
}  // namespace

void TextFile::WriteInt(int value) { Check(Put(stream_, "%i", value)); }
void TextFile::WriteDouble(double value) {
    char text[kScientificChars];
    Check(PutText(stream_, text, static_cast<size_t>(ScientificNumber(value, text))));
}
void TextFile::WriteString(const std::string& text) { Check(PutText(stream_, text.c_str())); }
void TextFile::WriteEol() { Check(PutText(stream_, "\n", 1)); }
void TextFile::WriteDoubleLn(double value) {
    char text[kScientificChars + 1];
    const int size = ScientificNumber(value, text);
    text[size] = '\n';
    Check(PutText(stream_, text, static_cast<size_t>(size) + 1));
}
void TextFile::WriteStringLn(const std::string& text) {
    WriteString(text);
    WriteEol();
}
void TextFile::WriteDelimiter() { Check(PutText(stream_, delimiter_.c_str())); }

void TextFile::SetDelimiter(const std::string& delimiter) { delimiter_ = delimiter.substr(0, 20); }

namespace {
// A plain decimal number as spreadsheets read one: sign, digits, point, exponent.
bool IsPlainNumber(const std::string& text) {
    size_t i = 0;
    auto digits = [&] {
        const size_t from = i;
        while (i < text.size() && text[i] >= '0' && text[i] <= '9') ++i;
        return i - from;
    };
    if (i < text.size() && (text[i] == '+' || text[i] == '-')) ++i;
    size_t mantissa = digits();
    if (i < text.size() && text[i] == '.') {
        ++i;
        mantissa += digits();
    }
    if (mantissa == 0) return false;
    if (i < text.size() && (text[i] == 'e' || text[i] == 'E')) {
        ++i;
        if (i < text.size() && (text[i] == '+' || text[i] == '-')) ++i;
        if (digits() == 0) return false;
    }
    return i == text.size();
}
}  // namespace

std::string CsvQuoted(const std::string& text) {
    std::string field = text;
    if (!field.empty() && std::string_view("=+-@\t\r").find(field[0]) != std::string_view::npos &&
        !IsPlainNumber(field))
        field.insert(0, 1, '\'');
    if (field.find_first_of(",\"\r\n") == std::string::npos) return field;
    std::string quoted = "\"";
    for (char c : field) {
        if (c == '"') quoted += '"';
        quoted += c;
    }
    return quoted + '"';
}

std::string CannotWriteMessage(const std::string& path, const std::string& reason) {
    return "Could not open file:\n" + path +
           "\nCheck if file is open in another application and close it first before "
           "exporting data." +
           (reason.empty() ? std::string() : "\n" + reason);
}

std::string CannotReplaceMessage(const std::string& path, const std::string& reason) {
    return CannotWriteMessage(path, reason) + "\nThe previous file, if any, is kept as it was.";
}

}  // namespace orvane
