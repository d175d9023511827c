// SPDX-License-Identifier: GPL-3.0-or-later
#include "base/text_file.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdarg>
#include <cstring>

#include "base/orvane_error.h"
#include "base/regular_file.h"

namespace orvane {

TextFile::TextFile(std::string path, char comment) : path_(std::move(path)), comment_(comment) {}

TextFile::~TextFile() { Discard(); }

void TextFile::Discard() {
    if (stream_) std::fclose(stream_);
    stream_ = nullptr;
    // A version abandoned before Close never replaces the file.
    if (!temp_path_.empty()) ::unlink(temp_path_.c_str());
    temp_path_.clear();
}

void TextFile::NoteFailure(int error) {
    write_failed_ = true;
    if (failure_reason_.empty()) failure_reason_ = std::strerror(error ? error : EIO);
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
    const bool exists = ::stat(path_.c_str(), &st) == 0;
    // Through a link the file it points at is replaced, not the link.
    std::string target = path_;
    if (exists) {
        if (char* real = ::realpath(path_.c_str(), nullptr)) {
            target = real;
            std::free(real);
        }
    }
    const size_t slash = target.rfind('/');
    // A short name of its own, so that a target name at the length limit still has a partner.
    std::string temp =
        (slash == std::string::npos ? std::string("./") : target.substr(0, slash + 1)) +
        ".orvane-XXXXXX";
    const int fd = ::mkstemp(temp.data());
    if (fd < 0) {
        NoteFailure(errno);
        return false;
    }
    // mkstemp makes the file private; the finished file gets the mode a new file would get,
    // or the mode of the file it replaces.
    mode_t mode;
    if (exists) {
        mode = st.st_mode & 07777;
    } else {
        const mode_t mask = ::umask(0);
        ::umask(mask);
        mode = 0666 & ~mask;
    }
    ::fchmod(fd, mode);
    stream_ = ::fdopen(fd, "w");
    if (!stream_) {
        NoteFailure(errno);
        ::close(fd);
        ::unlink(temp.c_str());
        return false;
    }
    temp_path_ = temp;
    target_path_ = target;
    return true;
}

bool TextFile::Close() {
    if (!stream_) return true;
    errno = 0;
    if (std::fflush(stream_) != 0 || std::ferror(stream_) != 0) NoteFailure(errno);
    if (temp_path_.empty()) {
        if (std::fclose(stream_) != 0) NoteFailure(errno);
        stream_ = nullptr;
        return !write_failed_;
    }
    // The data must be on the disk before the name points at it.
    if (!write_failed_ && ::fsync(::fileno(stream_)) != 0) NoteFailure(errno);
    if (std::fclose(stream_) != 0) NoteFailure(errno);
    stream_ = nullptr;
    if (!write_failed_ && std::rename(temp_path_.c_str(), target_path_.c_str()) != 0)
        NoteFailure(errno);
    if (write_failed_) ::unlink(temp_path_.c_str());
    temp_path_.clear();
    return !write_failed_;
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
}  // namespace

void TextFile::WriteInt(int value) { Check(Put(stream_, "%i", value)); }
void TextFile::WriteDouble(double value) { Check(Put(stream_, "%.14E", value)); }
void TextFile::WriteString(const std::string& text) { Check(Put(stream_, "%s", text.c_str())); }
void TextFile::WriteEol() { Check(Put(stream_, "\n")); }
void TextFile::WriteDoubleLn(double value) { Check(Put(stream_, "%.14E\n", value)); }
void TextFile::WriteStringLn(const std::string& text) { Check(Put(stream_, "%s\n", text.c_str())); }
void TextFile::WriteDelimiter() { Check(Put(stream_, "%s", delimiter_.c_str())); }

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

std::string CannotWriteMessage(const std::string& path, const std::string& reason) {
    return "Could not open file:\n" + path +
           "\nCheck if file is open in another application and close it first before "
           "exporting data." +
           (reason.empty() ? std::string() : "\n" + reason);
}

}  // namespace orvane
