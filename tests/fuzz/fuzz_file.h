// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <unistd.h>

#include <cstdint>
#include <cstdlib>
#include <string>

// The readers take a path, as the program hands them one: each input is written to one
// private temporary file that lives as long as the fuzzer.
class FuzzFile {
  public:
    FuzzFile() {
        const char* tmp = std::getenv("TMPDIR");
        path_ = std::string(tmp && *tmp ? tmp : "/tmp") + "/orvane-fuzz-XXXXXX";
        fd_ = ::mkstemp(path_.data());
        if (fd_ < 0) std::abort();
    }
    ~FuzzFile() {
        ::close(fd_);
        ::unlink(path_.c_str());
    }
    const std::string& Write(const uint8_t* data, size_t size) {
        if (::ftruncate(fd_, 0) != 0) std::abort();
        size_t done = 0;
        while (done < size) {
            const ssize_t n = ::pwrite(fd_, data + done, size - done, static_cast<off_t>(done));
            if (n <= 0) std::abort();
            done += static_cast<size_t>(n);
        }
        return path_;
    }

  private:
    std::string path_;
    int fd_ = -1;
};

inline FuzzFile& TheFuzzFile() {
    static FuzzFile file;
    return file;
}
