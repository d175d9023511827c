// SPDX-License-Identifier: GPL-3.0-or-later
#include "base/replaced_file.h"

#include <dirent.h>
#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <ctime>

namespace orvane {

namespace {

constexpr char kTemporaryPrefix[] = ".orvane-";
constexpr size_t kTemporaryNameLength = sizeof kTemporaryPrefix - 1 + 6;

timespec Now() {
    timespec now{};
    ::clock_gettime(CLOCK_REALTIME, &now);
    return now;
}

// Taken when the program is loaded: a temporary file last written before it cannot belong to
// this run.
const timespec kRunStart = Now();

bool Before(const timespec& a, const timespec& b) {
    return a.tv_sec < b.tv_sec || (a.tv_sec == b.tv_sec && a.tv_nsec < b.tv_nsec);
}

std::string FolderOf(const std::string& path) {
    const size_t slash = path.rfind('/');
    if (slash == std::string::npos) return ".";
    return slash == 0 ? "/" : path.substr(0, slash);
}

std::string TemporaryPattern(const std::string& folder) {
    return (folder == "/" ? folder : folder + "/") + kTemporaryPrefix + "XXXXXX";
}

// Makes a rename in the folder survive a power cut; a folder that refuses is left as it is.
void SyncFolder(const std::string& folder) {
    const int fd = ::open(folder.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (fd < 0) return;
    ::fsync(fd);
    ::close(fd);
}

}  // namespace

int RemoveLeftoverTemporaries(const std::string& folder) {
    DIR* dir = ::opendir(folder.c_str());
    if (!dir) return 0;
    const int dir_fd = ::dirfd(dir);
    int removed = 0;
    while (const dirent* entry = ::readdir(dir)) {
        const char* name = entry->d_name;
        if (std::strlen(name) != kTemporaryNameLength ||
            std::strncmp(name, kTemporaryPrefix, sizeof kTemporaryPrefix - 1) != 0)
            continue;
        struct stat st {};
        if (::fstatat(dir_fd, name, &st, AT_SYMLINK_NOFOLLOW) != 0 || !S_ISREG(st.st_mode) ||
            st.st_uid != ::geteuid() || !Before(st.st_mtim, kRunStart))
            continue;
        const int fd = ::openat(dir_fd, name, O_RDONLY | O_NOFOLLOW | O_NONBLOCK | O_CLOEXEC);
        if (fd < 0) continue;
        // A live run holds a lock on its temporary files; a killed run's locks are gone.
        if (::flock(fd, LOCK_EX | LOCK_NB) == 0 && ::unlinkat(dir_fd, name, 0) == 0) ++removed;
        ::close(fd);
    }
    ::closedir(dir);
    return removed;
}

ReplacedFile::ReplacedFile(std::string path) : path_(std::move(path)), target_(path_) {}

ReplacedFile::~ReplacedFile() { Discard(); }

void ReplacedFile::Fail(int error) {
    failed_ = true;
    if (reason_.empty()) reason_ = std::strerror(error ? error : EIO);
}

std::FILE* ReplacedFile::Open() {
    Discard();
    failed_ = false;
    finished_ = false;
    reason_.clear();
    struct stat st {};
    const bool exists = ::stat(path_.c_str(), &st) == 0;
    // Through a link the file it points at is replaced, not the link.
    target_ = path_;
    if (exists) {
        if (char* real = ::realpath(path_.c_str(), nullptr)) {
            target_ = real;
            std::free(real);
        }
    }
    const std::string folder = FolderOf(target_);
    RemoveLeftoverTemporaries(folder);
    // A short name of its own, so that a target name at the length limit still has a partner.
    std::string temp = TemporaryPattern(folder);
    const int fd = ::mkostemp(temp.data(), O_CLOEXEC);
    if (fd < 0) {
        Fail(errno);
        return nullptr;
    }
    temp_ = temp;
    ::flock(fd, LOCK_EX | LOCK_NB);
    // The lock belongs to the open file, which this duplicate keeps open after the stream
    // is closed.
    lock_fd_ = ::fcntl(fd, F_DUPFD_CLOEXEC, 0);
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
        Fail(errno);
        ::close(fd);
        Discard();
        return nullptr;
    }
    return stream_;
}

bool ReplacedFile::Finish() {
    if (!stream_) return finished_ && !failed_;
    errno = 0;
    if (std::fflush(stream_) != 0 || std::ferror(stream_) != 0) Fail(errno);
    // The data must be on the disk before the name points at it.
    if (!failed_ && ::fsync(::fileno(stream_)) != 0) Fail(errno);
    if (std::fclose(stream_) != 0) Fail(errno);
    stream_ = nullptr;
    finished_ = !failed_;
    return finished_;
}

bool ReplacedFile::Commit() {
    if (!finished_ || failed_ || temp_.empty()) {
        Discard();
        return false;
    }
    if (std::rename(temp_.c_str(), target_.c_str()) != 0) {
        Fail(errno);
        Discard();
        return false;
    }
    temp_.clear();
    Discard();
    SyncFolder(FolderOf(target_));
    return true;
}

void ReplacedFile::Discard() {
    if (stream_) std::fclose(stream_);
    stream_ = nullptr;
    if (!temp_.empty()) ::unlink(temp_.c_str());
    temp_.clear();
    if (lock_fd_ >= 0) ::close(lock_fd_);
    lock_fd_ = -1;
    finished_ = false;
}

bool CommitInOrder(ReplacedFile& first, ReplacedFile& last, bool* first_kept) {
    *first_kept = true;
    if (!first.Finish() || !last.Finish()) {
        first.Discard();
        last.Discard();
        return false;
    }
    // The earlier `first` stays reachable under a temporary name, locked like any live
    // temporary file, until `last` is in place too.
    std::string backup;
    int backup_fd = -1;
    const bool existed = ::access(first.Target().c_str(), F_OK) == 0;
    if (existed) {
        backup = TemporaryPattern(FolderOf(first.Target()));
        const int fd = ::mkostemp(backup.data(), O_CLOEXEC);
        if (fd >= 0) {
            ::close(fd);
            ::unlink(backup.c_str());
            if (::link(first.Target().c_str(), backup.c_str()) == 0) {
                backup_fd = ::open(backup.c_str(), O_RDONLY | O_NOFOLLOW | O_NONBLOCK | O_CLOEXEC);
                if (backup_fd >= 0) ::flock(backup_fd, LOCK_EX | LOCK_NB);
            } else {
                backup.clear();
            }
        } else {
            backup.clear();
        }
    }
    bool ok = first.Commit();
    if (!ok) {
        last.Discard();
    } else if (!last.Commit()) {
        ok = false;
        // Without an earlier `first` the state as it was is no `first` at all.
        *first_kept = existed ? !backup.empty() &&
                                    std::rename(backup.c_str(), first.Target().c_str()) == 0
                              : ::unlink(first.Target().c_str()) == 0;
        if (*first_kept) backup.clear();
    }
    if (!backup.empty()) ::unlink(backup.c_str());
    if (backup_fd >= 0) ::close(backup_fd);
    return ok;
}

}  // namespace orvane
