// SPDX-License-Identifier: GPL-3.0-or-later
#include "study/folder_walker.h"

#include <algorithm>
#include <cerrno>
#include <cstdlib>
#include <filesystem>
#include <limits>
#include <system_error>
#include <utility>

#include "base/orvane_error.h"

namespace orvane {

namespace {

namespace fs = std::filesystem;

EntryKind KindOf(fs::file_type type) {
    switch (type) {
        case fs::file_type::directory:
            return EntryKind::kFolder;
        case fs::file_type::regular:
            return EntryKind::kFile;
        case fs::file_type::symlink:
            return EntryKind::kLink;
        default:
            return EntryKind::kOther;
    }
}

}  // namespace

std::vector<FolderEntry> FolderWalker::Entries(const std::string& folder) {
    std::error_code ec;
    fs::directory_iterator it(folder, ec);
    if (ec) throw OrvaneError("The folder " + folder + " cannot be listed: " + ec.message());
    std::vector<std::pair<std::string, EntryKind>> names;
    for (; it != fs::directory_iterator(); it.increment(ec)) {
        const std::string name = it->path().filename().string();
        if (name.empty() || name[0] == '.') continue;
        std::error_code status_ec;
        names.emplace_back(name, KindOf(it->symlink_status(status_ec).type()));
    }
    if (ec) throw OrvaneError("The folder " + folder + " cannot be listed: " + ec.message());
    // std::string compares as unsigned bytes through char_traits, which is UTF-8 code order.
    std::sort(names.begin(), names.end());
    std::vector<FolderEntry> entries;
    entries.reserve(names.size());
    const bool has_separator = !folder.empty() && folder.back() == '/';
    for (const auto& [name, kind] : names)
        entries.push_back({folder + (has_separator ? "" : "/") + name, kind});
    return entries;
}

std::string LinkDescription(const std::string& path) {
    std::error_code ec;
    const fs::file_status target = fs::status(path, ec);
    if (ec.value() == ELOOP) return "a symbolic link loop";
    if (ec || target.type() == fs::file_type::not_found) return "a symbolic link to nothing";
    if (target.type() == fs::file_type::directory) return "a symbolic link to a folder";
    return "a symbolic link to a file";
}

std::string LastPathPart(const std::string& path) {
    std::string trimmed = path;
    while (trimmed.size() > 1 && trimmed.back() == '/') trimmed.pop_back();
    // A backslash is an ordinary character of a name here.
    const size_t slash = trimmed.rfind('/');
    return slash == std::string::npos ? trimmed : trimmed.substr(slash + 1);
}

int SiteFolderNumber(const std::string& folder_name, int position) {
    if (folder_name.size() <= 4 || folder_name.compare(0, 4, "site") != 0) return position;
    // The number is read as the C library reads an integer (blanks, a sign, then digits), so
    // "site-1" and "site-2" stay two sites; values beyond an int are clamped. A name with no
    // number there is numbered like any other name: "site'2" and "site;3" as site 0 would
    // share one site and lose each other's spectra.
    const char* text = folder_name.c_str() + 4;
    char* end = nullptr;
    const long long value = std::strtoll(text, &end, 10);
    if (end == text) return position;
    return static_cast<int>(std::clamp<long long>(value, std::numeric_limits<int>::min(),
                                                  std::numeric_limits<int>::max()));
}

}  // namespace orvane
