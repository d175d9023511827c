// SPDX-License-Identifier: GPL-3.0-or-later
#include "base/report_journal.h"

#include <fcntl.h>
#include <sys/file.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <chrono>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <sstream>

#include "base/orvane_error.h"

namespace orvane {

namespace {
constexpr const char* kPrefix = "report-";
constexpr const char* kSuffix = ".journal";

bool IsJournal(const std::filesystem::path& path) {
    const std::string name = path.filename().string();
    return name.rfind(kPrefix, 0) == 0 && name.size() > std::strlen(kSuffix) &&
           name.compare(name.size() - std::strlen(kSuffix), std::string::npos, kSuffix) == 0;
}
}  // namespace

std::string OrvaneHomeFolder() {
    if (const char* set = std::getenv("ORVANE_HOME"); set && *set) return set;
    if (const char* user = std::getenv("HOME"); user && *user)
        return std::string(user) + "/.local/share/orvane";
    return "";
}

ReportJournal::ReportJournal(const std::string& folder) {
    std::error_code error;
    std::filesystem::create_directories(folder, error);
    // The time and process make the name unique among the windows of one user.
    const auto now = std::chrono::system_clock::now().time_since_epoch();
    path_ = folder + "/" + kPrefix +
            std::to_string(std::chrono::duration_cast<std::chrono::milliseconds>(now).count()) +
            "-" + std::to_string(getpid()) + kSuffix;
    fd_ = ::open(path_.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_APPEND | O_CLOEXEC, 0600);
    if (fd_ < 0)
        throw OrvaneError("The report cannot be kept in " + path_ + ": " + std::strerror(errno) +
                          ".");
    // Held until this run ends, however it ends: the system lets go of it for a dead process.
    flock(fd_, LOCK_EX | LOCK_NB);
}

ReportJournal::~ReportJournal() {
    if (fd_ >= 0) ::close(fd_);
}

bool ReportJournal::Append(const std::string& entry) {
    if (fd_ < 0) return false;
    const std::string text = entry + "\n";
    size_t done = 0;
    while (done < text.size()) {
        const ssize_t n = ::write(fd_, text.data() + done, text.size() - done);
        if (n < 0 && errno == EINTR) continue;
        if (n <= 0) return false;
        done += static_cast<size_t>(n);
    }
    return true;
}

void ReportJournal::Close() {
    if (fd_ < 0) return;
    ::unlink(path_.c_str());
    ::close(fd_);
    fd_ = -1;
}

std::vector<ReportJournal::Orphan> ReportJournal::Orphans(const std::string& folder) {
    std::vector<std::filesystem::path> found;
    std::error_code error;
    for (const auto& entry : std::filesystem::directory_iterator(folder, error))
        if (entry.is_regular_file(error) && IsJournal(entry.path())) found.push_back(entry.path());
    // The names begin with the start time, so their order is the runs' order.
    std::sort(found.begin(), found.end());
    std::vector<Orphan> orphans;
    for (const auto& path : found) {
        const int fd = ::open(path.c_str(), O_RDONLY | O_CLOEXEC);
        if (fd < 0) continue;
        // A window that still runs holds its journal.
        if (flock(fd, LOCK_EX | LOCK_NB) != 0) {
            ::close(fd);
            continue;
        }
        ::close(fd);
        std::ifstream in(path, std::ios::binary);
        std::ostringstream text;
        text << in.rdbuf();
        orphans.push_back({path.string(), text.str()});
    }
    return orphans;
}

}  // namespace orvane
