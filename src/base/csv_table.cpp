// SPDX-License-Identifier: GPL-3.0-or-later
#include "base/csv_table.h"

#include <fmt/format.h>

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <memory>

#include "base/orvane_error.h"
#include "base/regular_file.h"

namespace orvane {

namespace {

[[noreturn]] void Refuse(const std::string& what, const std::string& path, int line,
                         const std::string& reason) {
    throw OrvaneError(fmt::format("{} {}: line {}: {}.", what, path, line, reason));
}

bool Blank(char c) { return c == ' ' || c == '\t' || c == '\r'; }

// The separator the first line uses: a comma wherever there is one, else a semicolon or a tab.
char SeparatorOf(const std::string& text, size_t start) {
    size_t end = text.find('\n', start);
    if (end == std::string::npos) end = text.size();
    const std::string first = text.substr(start, end - start);
    if (first.find(',') != std::string::npos) return ',';
    if (first.find(';') != std::string::npos) return ';';
    if (first.find('\t') != std::string::npos) return '\t';
    return ',';
}

std::string Trimmed(const std::string& field, char separator) {
    size_t begin = 0;
    size_t end = field.size();
    // A tab separates, so it is no blank to drop there.
    auto blank = [separator](char c) { return Blank(c) && c != separator; };
    while (begin < end && blank(field[begin])) ++begin;
    while (end > begin && blank(field[end - 1])) --end;
    return field.substr(begin, end - begin);
}

}  // namespace

CsvTable ParseCsvText(const std::string& text, const std::string& path, const std::string& what) {
    CsvTable table;
    size_t i = 0;
    if (text.compare(0, 3, "\xEF\xBB\xBF") == 0) i = 3;
    table.separator = SeparatorOf(text, i);
    const char sep = table.separator;
    int line = 1;
    CsvRecord record;
    record.line = line;
    std::string field;
    bool quoted_field = false;  // the current field was quoted (its blanks are its own)
    bool any_content = false;   // the record holds more than blanks
    auto end_field = [&] {
        record.fields.push_back(quoted_field ? field : Trimmed(field, sep));
        field.clear();
        quoted_field = false;
    };
    auto end_record = [&] {
        end_field();
        if (any_content) table.records.push_back(std::move(record));
        record = CsvRecord();
        any_content = false;
    };
    while (i < text.size()) {
        const char c = text[i];
        if (record.fields.empty() && field.empty() && !quoted_field) record.line = line;
        if (c == '"') {
            if (quoted_field || Trimmed(field, sep).size() > 0)
                Refuse(what, path, line,
                       "a quote inside a field that does not begin with one; quote the whole "
                       "field and write a quote inside it twice (\"a \"\"b\"\" c\")");
            const int opened = line;
            quoted_field = true;
            any_content = true;
            field.clear();
            ++i;
            bool closed = false;
            while (i < text.size()) {
                if (text[i] == '"') {
                    if (i + 1 < text.size() && text[i + 1] == '"') {
                        field += '"';
                        i += 2;
                        continue;
                    }
                    closed = true;
                    ++i;
                    break;
                }
                if (text[i] == '\n') ++line;
                field += text[i++];
            }
            if (!closed) Refuse(what, path, opened, "a quote opens a field that is never closed");
            while (i < text.size() && Blank(text[i]) && text[i] != sep) ++i;
            if (i < text.size() && text[i] != sep && text[i] != '\n')
                Refuse(what, path, line, "text follows a closing quote in the same field");
            continue;
        }
        if (c == sep) {
            end_field();
            any_content = true;
        } else if (c == '\n') {
            end_record();
            ++line;
        } else {
            if (quoted_field)
                Refuse(what, path, line, "text follows a closing quote in the same field");
            if (!Blank(c)) any_content = true;
            field += c;
        }
        ++i;
    }
    if (any_content || !field.empty() || !record.fields.empty()) end_record();
    return table;
}

std::string ReadWholeTextFile(const std::string& path, const std::string& what,
                              std::size_t max_bytes) {
    errno = 0;
    std::FILE* opened = nullptr;
    try {
        opened = OpenRegularFile(path);
    } catch (const NotRegularFileError& e) {
        throw OrvaneError(what + " " + path + " was not read: it is " + e.Kind() +
                          ", not a regular file.");
    } catch (const FileNotFoundError&) {
        throw OrvaneError(what + " " + path + " was not read: it cannot be opened (" +
                          std::strerror(errno) + ").");
    }
    std::unique_ptr<std::FILE, int (*)(std::FILE*)> file(opened, &std::fclose);
    std::string text;
    char buffer[1 << 16];
    for (size_t n; (n = std::fread(buffer, 1, sizeof buffer, file.get())) > 0;) {
        text.append(buffer, n);
        if (text.size() > max_bytes)
            throw OrvaneError(fmt::format("{} {} was not read: it is larger than {} MiB.", what,
                                          path, max_bytes >> 20));
    }
    if (std::ferror(file.get()))
        throw OrvaneError(what + " " + path + " was not read: " + std::strerror(errno) + ".");
    return text;
}

CsvTable ReadCsvTable(const std::string& path, const std::string& what, std::size_t max_bytes) {
    return ParseCsvText(ReadWholeTextFile(path, what, max_bytes), path, what);
}

}  // namespace orvane
