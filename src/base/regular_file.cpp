// SPDX-License-Identifier: GPL-3.0-or-later
#include "base/regular_file.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>

namespace orvane {

NotRegularFileError::NotRegularFileError(const std::string& path, const std::string& kind)
    : OrvaneError(path + " is " + kind + ", not a regular file; only regular files are read."),
      path_(path),
      kind_(kind) {}

namespace {
std::string KindOf(mode_t mode) {
    if (S_ISFIFO(mode)) return "a named pipe";
    if (S_ISDIR(mode)) return "a folder";
    if (S_ISCHR(mode) || S_ISBLK(mode)) return "a device";
    if (S_ISSOCK(mode)) return "a socket";
    return "not a file";
}
}  // namespace

std::FILE* OpenRegularFile(const std::string& path, bool update) {
    const int fd = ::open(path.c_str(), (update ? O_RDWR : O_RDONLY) | O_NONBLOCK | O_CLOEXEC);
    if (fd < 0) throw FileNotFoundError(path);
    struct stat st {};
    if (::fstat(fd, &st) != 0 || !S_ISREG(st.st_mode)) {
        const int saved = errno;
        const mode_t mode = st.st_mode;
        ::close(fd);
        errno = saved;
        throw NotRegularFileError(path, KindOf(mode));
    }
    // Regular files never block; the flag only mattered for the open itself.
    ::fcntl(fd, F_SETFL, ::fcntl(fd, F_GETFL) & ~O_NONBLOCK);
    std::FILE* stream = ::fdopen(fd, update ? "r+" : "r");
    if (!stream) {
        const int saved = errno;
        ::close(fd);
        errno = saved;
        throw FileNotFoundError(path);
    }
    return stream;
}

std::string FitFileName(const std::string& folder, const std::string& stem,
                        const std::string& extension) {
    long limit = ::pathconf(folder.empty() ? "." : folder.c_str(), _PC_NAME_MAX);
    if (limit <= 0) limit = 255;
    const std::string suffix = extension.empty() ? "" : "." + extension;
    const size_t room = static_cast<size_t>(limit) > suffix.size() + 1
                            ? static_cast<size_t>(limit) - suffix.size()
                            : 1;
    if (stem.size() <= room) return stem + suffix;
    size_t cut = room;
    // Never end inside a UTF-8 sequence: back up over continuation bytes to a lead byte.
    while (cut > 0 && (static_cast<unsigned char>(stem[cut]) & 0xC0) == 0x80) --cut;
    return stem.substr(0, cut) + suffix;
}

}  // namespace orvane
