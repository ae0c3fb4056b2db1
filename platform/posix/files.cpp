// Files for the Linux build, over POSIX descriptors.
// The hard part is the replace a save ends with. rename() asks only for a
// writable folder, so on its own it would replace a file the user made
// read-only (and leave it writable) and turn a symbolic link into a plain
// file. So a replace follows the links to the real file, leaves a read-only
// one alone as Windows does, keeps the file's permissions, and writes the file
// in place when it lies on another file system than the new one.
#include <dirent.h>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>

#include "platform/platform.h"

namespace {

// As many links in a row as the system itself follows.
constexpr int MOST_LINKS = 40;

// The file a name finally stands for: the name itself, or the end of its
// chain of symbolic links, which need not exist. Empty for a loop.
std::string follow_links(std::string name) {
    for (int hops = 0; hops < MOST_LINKS; ++hops) {
        struct stat about;
        if (::lstat(name.c_str(), &about) != 0 || !S_ISLNK(about.st_mode)) return name;
        std::string target(static_cast<std::size_t>(about.st_size > 0 ? about.st_size : 255) + 1, '\0');
        const ssize_t n = ::readlink(name.c_str(), target.data(), target.size());
        if (n <= 0 || static_cast<std::size_t>(n) >= target.size()) return {};
        target.resize(static_cast<std::size_t>(n));
        // A relative link counts from the link's own folder.
        const std::size_t slash = name.rfind('/');
        name = target[0] == '/' || slash == std::string::npos ? target : name.substr(0, slash + 1) + target;
    }
    return {};
}

// Read-only: no write permission bit at all (which even root, whom access()
// lets write anything, respects here), or not writable for this user.
bool read_only(const std::string& name, const struct stat& about) {
    return (about.st_mode & (S_IWUSR | S_IWGRP | S_IWOTH)) == 0 ||
           ::faccessat(AT_FDCWD, name.c_str(), W_OK, AT_EACCESS) != 0;
}

// Copies from over to's own bytes, then removes from: for where rename cannot
// go. A failure midway leaves the file cut short; there is no better choice.
bool write_in_place(const std::string& from, const std::string& to) {
    const int in = file_open(from, FILE_READ), out = file_open(to, FILE_WRITE);
    bool ok = in && out;
    char buffer[65536];
    for (int n; ok && (n = file_read(in, buffer, sizeof buffer)) != 0;)
        ok = n > 0 && file_write(out, buffer, n) == n;
    file_close(in);
    file_close(out);
    return ok && file_delete(from);
}

}  // namespace

int file_open(const std::string& name, int mode) {
    // Append is O_APPEND and no buffer of ours: each write reaches the file at
    // once and whole, at its end, even if another program writes there too.
    const int flags = mode == FILE_WRITE    ? O_WRONLY | O_CREAT | O_TRUNC
                      : mode == FILE_APPEND ? O_WRONLY | O_CREAT | O_APPEND
                                            : O_RDONLY;
    const int fd = ::open(name.c_str(), flags | O_CLOEXEC, 0644);
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
    const std::string target = follow_links(to);
    if (target.empty()) return 0;
    struct stat about;
    if (::stat(target.c_str(), &about) == 0) {
        if (read_only(target, about)) return 0;
        // The new file gets the old one's permissions, and its owner when root
        // saves someone else's file (only root may give a file away).
        if (::chmod(from.c_str(), about.st_mode & 0777) != 0) return 0;
        if (::geteuid() == 0 && ::chown(from.c_str(), about.st_uid, about.st_gid) != 0) return 0;
    }
    if (std::rename(from.c_str(), target.c_str()) == 0) return 1;
    return errno == EXDEV && write_in_place(from, target) ? 1 : 0;
}

int make_folder(const std::string& name) {
    ::mkdir(name.c_str(), 0755);  // it may be there already: what counts is what stands afterwards
    struct stat about;
    return ::stat(name.c_str(), &about) == 0 && S_ISDIR(about.st_mode) ? 1 : 0;
}

std::vector<std::string> list_folder(const std::string& name) {
    std::vector<std::string> names;
    DIR* folder = ::opendir(name.c_str());
    if (!folder) return names;
    while (const dirent* entry = ::readdir(folder)) {
        const std::string file = entry->d_name;
        bool plain = entry->d_type == DT_REG;
        // Some file systems do not say; links count as what they lead to.
        if (entry->d_type == DT_UNKNOWN || entry->d_type == DT_LNK) {
            struct stat about;
            plain = ::stat((name + "/" + file).c_str(), &about) == 0 && S_ISREG(about.st_mode);
        }
        if (plain) names.push_back(file);
    }
    ::closedir(folder);
    return names;
}
