// SPDX-License-Identifier: GPL-3.0-or-later
#include "imagery/envi_header.h"

#include <sys/stat.h>

#include <cctype>
#include <charconv>
#include <cmath>
#include <cstdio>
#include <memory>

#include "base/orvane_error.h"
#include "base/regular_file.h"
#include "base/shown_text.h"

namespace orvane {

namespace {

// A header is a few kilobytes; a file much larger than this is something else.
constexpr long kMaxHeaderBytes = 64L * 1024 * 1024;

std::string KeyOf(const std::string& text) {
    std::string key;
    bool blank = false;
    for (char c : TrimmedText(text)) {
        if (c == ' ' || c == '\t') {
            blank = true;
            continue;
        }
        if (blank && !key.empty()) key += ' ';
        blank = false;
        key += static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
    }
    return key;
}

std::string FileText(const std::string& path) {
    std::unique_ptr<std::FILE, int (*)(std::FILE*)> file(OpenRegularFile(path), &std::fclose);
    std::string text;
    char buffer[65536];
    size_t got = 0;
    while ((got = std::fread(buffer, 1, sizeof buffer, file.get())) > 0) {
        text.append(buffer, got);
        if (static_cast<long>(text.size()) > kMaxHeaderBytes)
            throw OrvaneError("The ENVI header " + path + " is larger than " +
                              std::to_string(kMaxHeaderBytes / (1024 * 1024)) +
                              " MB; it is not a header.");
    }
    if (std::ferror(file.get())) throw OrvaneError("The ENVI header " + path + " cannot be read.");
    return text;
}

bool IsRegularFile(const std::string& path) {
    struct stat st = {};
    return ::stat(path.c_str(), &st) == 0 && S_ISREG(st.st_mode);
}

}  // namespace

std::optional<double> NumberIn(const std::string& text) {
    const std::string t = TrimmedText(text);
    if (t.empty()) return std::nullopt;
    const char* begin = t.c_str();
    if (*begin == '+') ++begin;
    double value = 0.0;
    const auto [end, error] = std::from_chars(begin, t.c_str() + t.size(), value);
    if (error != std::errc() || end != t.c_str() + t.size() || !std::isfinite(value))
        return std::nullopt;
    return value;
}

std::optional<EnviHeader> EnviHeader::Read(const std::string& path) {
    std::string text;
    try {
        text = FileText(path);
    } catch (const FileNotFoundError&) {
        throw OrvaneError("The ENVI header " + path + " cannot be opened.");
    }
    size_t pos = 0;
    auto next_line = [&](std::string& line) {
        if (pos >= text.size()) return false;
        const size_t end = text.find('\n', pos);
        const size_t stop = end == std::string::npos ? text.size() : end;
        line = text.substr(pos, stop - pos);
        pos = stop + 1;
        return true;
    };
    std::string line;
    if (!next_line(line) || TrimmedText(line).compare(0, 4, "ENVI") != 0) return std::nullopt;
    EnviHeader header;
    header.path_ = path;
    int line_no = 1;
    while (next_line(line)) {
        ++line_no;
        const size_t eq = line.find('=');
        if (eq == std::string::npos) continue;  // blank lines, comments (";") and stray text
        const std::string key = KeyOf(line.substr(0, eq));
        if (key.empty() || key[0] == ';') continue;
        std::string value = TrimmedText(line.substr(eq + 1));
        if (!value.empty() && value[0] == '{') {
            const int opened = line_no;
            while (value.find('}') == std::string::npos) {
                if (!next_line(line))
                    throw OrvaneError("The ENVI header " + path + ": the value of \"" + key +
                                      "\" opened on line " + std::to_string(opened) +
                                      " has no closing brace.");
                ++line_no;
                value += ' ' + TrimmedText(line);
            }
            value = TrimmedText(value.substr(1, value.rfind('}') - 1));
        }
        header.fields_[key] = value;
    }
    return header;
}

std::optional<EnviHeader> EnviHeader::Beside(const std::string& image_path) {
    const size_t slash = image_path.rfind('/');
    const size_t dot = image_path.rfind('.');
    std::vector<std::string> candidates;
    if (dot != std::string::npos && (slash == std::string::npos || dot > slash)) {
        candidates.push_back(image_path.substr(0, dot) + ".hdr");
        candidates.push_back(image_path.substr(0, dot) + ".HDR");
    }
    candidates.push_back(image_path + ".hdr");
    candidates.push_back(image_path + ".HDR");
    for (const std::string& candidate : candidates)
        if (candidate != image_path && IsRegularFile(candidate))
            if (std::optional<EnviHeader> header = Read(candidate)) return header;
    return std::nullopt;
}

std::string EnviHeader::Value(const std::string& key) const {
    const auto found = fields_.find(key);
    return found == fields_.end() ? std::string() : found->second;
}

std::vector<std::string> EnviHeader::List(const std::string& key) const {
    std::vector<std::string> items;
    const auto found = fields_.find(key);
    if (found == fields_.end() || found->second.empty()) return items;
    const std::string& value = found->second;
    size_t start = 0;
    while (true) {
        const size_t comma = value.find(',', start);
        items.push_back(TrimmedText(value.substr(start, comma - start)));
        if (comma == std::string::npos) break;
        start = comma + 1;
    }
    return items;
}

}  // namespace orvane
