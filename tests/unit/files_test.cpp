// Saving a settings file over real files and links on Linux: what the replace
// at the end of a save leaves standing.
#include <gtest/gtest.h>
#include <sys/stat.h>

#include <cstdio>
#include <filesystem>
#include <functional>
#include <fstream>
#include <iterator>
#include <string>
#include <tuple>

#include "ui/ini_file.h"

namespace {

namespace fs = std::filesystem;

std::string contents(const fs::path& path) {
    std::ifstream in(path, std::ios::binary);
    return in ? std::string(std::istreambuf_iterator<char>(in), {}) : "(none)";
}

void make_file(const fs::path& path, fs::perms mode) {
    std::ofstream(path, std::ios::binary) << "old";
    fs::permissions(path, mode);
}

// Permission bits in octal, "-" when nothing is there.
std::string mode_of(const fs::path& path) {
    struct stat about;
    char octal[8] = "-";
    if (::stat(path.c_str(), &about) == 0) std::snprintf(octal, sizeof octal, "%o", about.st_mode & 0777);
    return octal;
}

class FileReplaceTest : public ::testing::Test {
   protected:
    void SetUp() override {
        dir_ = fs::temp_directory_path() / ("vyx_files_" + std::to_string(::getpid()) + "_" +
                                            ::testing::UnitTest::GetInstance()->current_test_info()->name());
        fs::remove_all(dir_);
        fs::create_directories(dir_ / "save");
        // Another file system where one is at hand (memory, while the temporary folder is on disk).
        struct stat shm, tmp;
        if (::stat("/dev/shm", &shm) == 0 && ::stat(dir_.c_str(), &tmp) == 0 && shm.st_dev != tmp.st_dev) {
            elsewhere_ = fs::path("/dev/shm") / dir_.filename();
            fs::remove_all(elsewhere_);
            fs::create_directories(elsewhere_);
        }
    }
    void TearDown() override {
        fs::remove_all(dir_);
        if (!elsewhere_.empty()) fs::remove_all(elsewhere_);
    }
    fs::path dir_, elsewhere_;
};

TEST_F(FileReplaceTest, ReadOnlyFilesStayAndLinksAreWrittenThrough) {
    using fs::perms;
    const perms rw = perms::owner_read | perms::owner_write | perms::group_read;  // 0640
    const perms ro = perms::owner_read | perms::group_read | perms::others_read;  // 0444
    // The settings file is save/settings.ini; what stands there and what it leads to.
    struct Row {
        const char* what;
        std::function<void(const fs::path& dir, const fs::path& elsewhere)> make;
        const char* target;  // the file the save writes, relative to dir
        bool saved;
        bool link;         // save/settings.ini is still a link
        std::string mode;  // of the target afterwards
    };
    const fs::path name = "save/settings.ini";
    const Row rows[] = {
        {"no file yet", [](auto&, auto&) {}, "save/settings.ini", true, false, "644"},
        {"a plain file", [&](auto& d, auto&) { make_file(d / name, rw); }, "save/settings.ini", true, false,
         "640"},
        {"a read-only file", [&](auto& d, auto&) { make_file(d / name, ro); }, "save/settings.ini", false,
         false, "444"},
        {"a file no one may write, nor read", [&](auto& d, auto&) { make_file(d / name, perms::none); },
         "save/settings.ini", false, false, "0"},
        {"a link to a file",
         [&](auto& d, auto&) {
             make_file(d / "save/real.ini", perms::owner_read | perms::owner_write);
             fs::create_symlink("real.ini", d / name);
         },
         "save/real.ini", true, true, "600"},
        {"a link to a read-only file",
         [&](auto& d, auto&) {
             make_file(d / "save/real.ini", ro);
             fs::create_symlink("real.ini", d / name);
         },
         "save/real.ini", false, true, "444"},
        {"a dangling link: the file it names is made",
         [&](auto& d, auto&) { fs::create_symlink("missing.ini", d / name); }, "save/missing.ini", true, true,
         "644"},
        {"a dangling link into a folder that is not there",
         [&](auto& d, auto&) { fs::create_symlink("nowhere/missing.ini", d / name); },
         "save/nowhere/missing.ini", false, true, "-"},
        {"a link into another folder",
         [&](auto& d, auto&) {
             fs::create_directory(d / "other");
             make_file(d / "other/real.ini", rw);
             fs::create_symlink("../other/real.ini", d / name);
         },
         "other/real.ini", true, true, "640"},
        {"a link to a link to a file",
         [&](auto& d, auto&) {
             make_file(d / "save/real.ini", rw);
             fs::create_symlink(d / "save/real.ini", d / "save/middle.ini");
             fs::create_symlink("middle.ini", d / name);
         },
         "save/real.ini", true, true, "640"},
        {"links in a loop",
         [&](auto& d, auto&) {
             fs::create_symlink("b.ini", d / name);
             fs::create_symlink("settings.ini", d / "save/b.ini");
         },
         "save/b.ini", false, true, "-"},
        {"a link to a file on another file system",
         [&](auto& d, auto& e) {
             make_file(e / "real.ini", rw);
             fs::create_symlink(e / "real.ini", d / name);
         },
         "@real.ini", true, true, "640"},
        {"a link to a file not there on another file system",
         [&](auto& d, auto& e) { fs::create_symlink(e / "missing.ini", d / name); }, "@missing.ini", true,
         true, "644"},
    };
    IniFile settings = ini_parse("");
    ini_select_group(settings, "CLIENT");
    ini_write_string(settings, "Port", "7784");
    const std::string saved = ini_serialize(settings);
    const mode_t umask = ::umask(022);
    for (const Row& r : rows) {
        SCOPED_TRACE(r.what);
        const bool other_fs = r.target[0] == '@';
        if (other_fs && elsewhere_.empty()) {
            ADD_FAILURE() << "no second file system at hand";
            continue;
        }
        fs::remove_all(dir_ / "save");
        fs::remove_all(dir_ / "other");
        fs::create_directory(dir_ / "save");
        if (other_fs) fs::remove_all(elsewhere_ / "real.ini");
        r.make(dir_, elsewhere_);
        const fs::path target = other_fs ? elsewhere_ / (r.target + 1) : dir_ / r.target;
        const std::string before = contents(target);

        const int ok = ini_write_file(settings, dir_ / name, dir_ / "save/settings.tmp");
        EXPECT_EQ(std::tuple(ok == 1, contents(target), fs::is_symlink(dir_ / name), mode_of(target),
                             fs::exists(dir_ / "save/settings.tmp")),
                  std::tuple(r.saved, r.saved ? saved : before, r.link, r.mode, false));
    }
    ::umask(umask);
}

}  // namespace
