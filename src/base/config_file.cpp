// SPDX-License-Identifier: GPL-3.0-or-later
#include "base/config_file.h"

#include <cstdlib>
#include <filesystem>

#include "base/data_files.h"
#include "base/number_text.h"
#include "base/orvane_error.h"
#include "base/shown_text.h"

namespace orvane {

namespace {
std::string KeyName(const std::string& key) { return "The configuration key \"" + key + "\""; }

// A number or flag may be followed by a comment ("port 3306  # private server").
std::string WithoutComment(std::string text) {
    for (size_t i = 1; i < text.size(); ++i)
        if (text[i] == '#' && (text[i - 1] == ' ' || text[i - 1] == '\t')) {
            text.erase(i);
            break;
        }
    const size_t end = text.find_last_not_of(" \t");
    text.erase(end == std::string::npos ? 0 : end + 1);
    return text;
}

// A path as a shell reads it back, so the suggested command can be pasted as it stands.
std::string ShellWord(const std::string& path) {
    if (!path.empty() &&
        path.find_first_not_of("abcdefghijklmnopqrstuvwxyzABCDEFGHIJKLMNOPQRSTUVWXYZ"
                               "0123456789_./+-") == std::string::npos)
        return path;
    std::string quoted = "'";
    for (const char c : path) quoted += c == '\'' ? std::string("'\\''") : std::string(1, c);
    return quoted + "'";
}
}  // namespace

ConfigFile::ConfigFile(std::string path) : TextFile(std::move(path), '#') {}

std::vector<std::string> ConfigFile::SearchPaths() {
    std::string home;
    if (const char* set = std::getenv("ORVANE_HOME"); set && *set) {
        home = set;
    } else if (const char* user = std::getenv("HOME"); user && *user) {
        home = std::string(user) + "/.local/share/orvane";
    }
    std::vector<std::string> paths = {kDefaultName};
    if (!home.empty()) paths.push_back(home + "/" + kDefaultName);
    return paths;
}

std::string ConfigFile::Locate() {
    for (const std::string& path : SearchPaths()) {
        std::error_code error;
        if (std::filesystem::is_regular_file(path, error)) return path;
    }
    return "";
}

std::string ConfigFile::NotFoundMessage() {
    std::error_code error;
    const std::vector<std::string> paths = SearchPaths();
    std::string text = "No configuration file was found. Orvane looked for:\n";
    for (const std::string& path : paths)
        text += "  " + std::filesystem::absolute(path, error).string() + "\n";
    text += DataFiles::ForThisProgram().DbToolCommand() +
            " init writes one for a private database server in $ORVANE_HOME "
            "(default ~/.local/share/orvane).";
    return text;
}

void ConfigFile::Open() {
    OpenForReading();
    MeasureLines();
    // The file holds the database password: a copy others can read is still used, since
    // refusing would lock the owner out, but the owner is told how to close it.
    warnings_.clear();
    std::error_code error;
    const std::filesystem::perms mode = std::filesystem::status(Path(), error).permissions();
    using std::filesystem::perms;
    if (!error && (mode & (perms::group_read | perms::others_read)) != perms::none) {
        const std::string shown = EscapeControls(Path());
        // Two short lines: the report window does not wrap.
        warnings_.push_back("Warning: other users can read the configuration file " + shown +
                            ",\nwhich holds the database password. Make it private with: chmod 600 " +
                            EscapeControls(ShellWord(Path())));
    }
}

ConnectionParams ConfigFile::Connection() {
    ConnectionParams params;
    GetString("server", params.host);
    GetString("user", params.user);
    GetString("password", params.password);
    GetString("database", params.database);
    std::string text;
    if (GetString("port", text))
        params.port =
            static_cast<unsigned>(ParseInt(WithoutComment(text), 1, 65535, KeyName("port")));
    if (GetString("timeout", text))
        params.timeout =
            static_cast<unsigned>(ParseInt(WithoutComment(text), 1, 3600, KeyName("timeout")));
    // A relative file name is read beside the configuration, so that a lab's administrator can
    // hand out the configuration and the lab's CA file as one folder.
    const auto get_file = [this](const char* key, std::string& path) {
        if (!GetString(key, path) || path.empty()) return;
        const std::filesystem::path given(path);
        const std::filesystem::path folder = std::filesystem::path(Path()).parent_path();
        if (given.is_relative() && !folder.empty()) path = (folder / given).string();
    };
    get_file("ssl_ca", params.ssl_ca);
    get_file("ssl_cert", params.ssl_cert);
    get_file("ssl_key", params.ssl_key);
    if (GetString("ssl_verify", text)) {
        text = WithoutComment(text);
        if (text == "true" || text == "1" || text == "yes")
            params.ssl_verify = true;
        else if (text == "false" || text == "0" || text == "no")
            params.ssl_verify = false;
        else
            throw OrvaneError(KeyName("ssl_verify") + " must be true or false; \"" +
                              EscapeControls(text) + "\" is neither.");
    }
    return params;
}

std::string ConfigFile::OutputDrive() {
    std::string drive;
    GetString("output_drive", drive);
    return drive.substr(0, 2);
}

std::string ConfigFile::OutputDir() {
    std::string dir;
    GetString("output_dir", dir);
    return dir;
}

std::vector<ConfigFile::FilterEntry> ConfigFile::DefaultFilter() {
    std::vector<FilterEntry> entries;
    std::string text;
    while (GetString("filter_b", text)) {
        text = WithoutComment(text);
        const int band = ParseInt(text, 0, kMaxTypedWavelength, KeyName("filter_b"));
        entries.push_back({true, band, band});
    }
    while (GetString("filter_br", text)) {
        text = WithoutComment(text);
        // Two numbers, "1800 1950"; written "1800-1950" the dash reads as the upper number's
        // sign, which is why that sign is dropped.
        size_t gap = text.find_first_not_of(" \t");
        if (gap != std::string::npos && (text[gap] == '-' || text[gap] == '+')) ++gap;
        while (gap != std::string::npos && gap < text.size() && text[gap] >= '0' && text[gap] <= '9')
            ++gap;
        if (gap == std::string::npos || gap >= text.size())
            throw OrvaneError(KeyName("filter_br") + " needs two wavelengths, \"LOWER UPPER\"; \"" +
                              EscapeControls(text) + "\" is not that.");
        const int lower =
            ParseInt(text.substr(0, gap), 0, kMaxTypedWavelength, KeyName("filter_br") + " (lower)");
        const int upper = ParseInt(text.substr(gap), -kMaxTypedWavelength, kMaxTypedWavelength,
                                   KeyName("filter_br") + " (upper)");
        entries.push_back({false, lower, std::abs(upper)});
    }
    return entries;
}

}  // namespace orvane
