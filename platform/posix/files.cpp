// Files for the Linux build, over POSIX descriptors.
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cstdio>

#include "platform/platform.h"

int file_open(const std::string& name, int mode) {
    const int fd = mode == FILE_WRITE ? ::open(name.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0644)
                                      : ::open(name.c_str(), O_RDONLY | O_CLOEXEC);
    // Descriptor 0 is never handed out here, but keep handles strictly positive.
    return fd < 0 ? 0 : fd + 1;
}

int file_read(int file, char* buffer, int size) {
    if (file <= 0 || size < 0) return -1;
    const ssize_t n = ::read(file - 1, buffer, static_cast<size_t>(size));
    return n < 0 ? -1 : static_cast<int>(n);
}

int file_write(int file, const char* data, int size) {
    if (file <= 0 || size < 0) return -1;
    int done = 0;
    while (done < size) {
        const ssize_t n = ::write(file - 1, data + done, static_cast<size_t>(size - done));
        if (n <= 0) return -1;
        done += static_cast<int>(n);
    }
    return done;
}

void file_close(int file) {
    if (file > 0) ::close(file - 1);
}

long long file_size(int file) {
    struct stat about;
    return file > 0 && ::fstat(file - 1, &about) == 0 ? static_cast<long long>(about.st_size) : -1;
}

int file_exists(const std::string& name) {
    struct stat about;
    return ::lstat(name.c_str(), &about) == 0 ? 1 : 0;
}

int file_delete(const std::string& name) { return ::unlink(name.c_str()) == 0 ? 1 : 0; }

int file_replace(const std::string& from, const std::string& to) {
    return std::rename(from.c_str(), to.c_str()) == 0 ? 1 : 0;
}
