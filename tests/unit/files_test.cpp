// Saving a settings file over real files and links on Linux: what the replace
// at the end of a save leaves standing.
#include <sys/stat.h>

#include "tests/unit/fixture.h"
#include "ui/ini_file.h"

namespace {

namespace fs = std::filesystem;
using FileReplaceTest = ProgramTest;

TEST_F(FileReplaceTest, ReadOnlyFilesStayAndLinksAreWrittenThrough) {
    // Another file system ("@"), where one is at hand: memory, while the temporary folder is on disk.
    struct stat shm, here;
    const fs::path elsewhere =
        ::stat("/dev/shm", &shm) == 0 && ::stat(".", &here) == 0 && shm.st_dev != here.st_dev
            ? fs::path("/dev/shm") / dir_.filename()
            : fs::path();
    const auto path = [&](const std::string& p) {
        return p[0] == '@' ? elsewhere / p.substr(1) : p[0] == '/' ? dir_ / p.substr(1) : fs::path(p);
    };
    // What stands at save/settings.ini ("name=mode" a file, "name>to" a link; "/" the test's folder),
    // the file the save writes, and afterwards: saved, still a link, the file's mode.
    const int none = static_cast<int>(fs::perms::unknown);  // nothing there
    const std::tuple<const char*, const char*, const char*, bool, bool, int> rows[] = {
        {"no file yet", "", "save/settings.ini", true, false, 0644},
        {"a plain file", "save/settings.ini=640", "save/settings.ini", true, false, 0640},
        {"a read-only file", "save/settings.ini=444", "save/settings.ini", false, false, 0444},
        {"a link to a read-only file", "save/real.ini=444 save/settings.ini>real.ini", "save/real.ini", false,
         true, 0444},
        {"a dangling link: the file it names is made", "save/settings.ini>missing.ini", "save/missing.ini",
         true, true, 0644},
        {"a dangling link into a folder that is not there", "save/settings.ini>nowhere/missing.ini",
         "save/nowhere/missing.ini", false, true, none},
        {"a link into another folder", "other/real.ini=640 save/settings.ini>../other/real.ini",
         "other/real.ini", true, true, 0640},
        {"a link to a link to a file",
         "save/real.ini=640 save/middle.ini>/save/real.ini save/settings.ini>middle.ini", "save/real.ini",
         true, true, 0640},
        {"links in a loop", "save/settings.ini>b.ini save/b.ini>settings.ini", "save/b.ini", false, true,
         none},
        {"a link to a file on another file system", "@real.ini=640 save/settings.ini>@real.ini", "@real.ini",
         true, true, 0640},
        {"a link to a file not there on another file system", "save/settings.ini>@missing.ini",
         "@missing.ini", true, true, 0644},
    };
    ASSERT_FALSE(elsewhere.empty()) << "no second file system at hand";
    const IniFile settings = ini_parse("[CLIENT]\r\nPort=7784\r\n");
    const mode_t umask = ::umask(022);
    for (const auto& [what, standing, written, saved, link, mode] : rows) {
        SCOPED_TRACE(what);
        for (const fs::path& d : {fs::path("save"), fs::path("other"), elsewhere}) fs::remove_all(d);
        for (const fs::path& d : {fs::path("save"), elsewhere}) fs::create_directories(d);
        std::istringstream in(standing);
        for (std::string item; in >> item;) {
            const std::size_t at = item.find_first_of("=>");
            const fs::path name = path(item.substr(0, at));
            if (item[at] == '>') {
                fs::create_symlink(path(item.substr(at + 1)), name);
            } else {
                fs::create_directories(name.parent_path());
                std::ofstream(name) << "old";
                fs::permissions(name, fs::perms(std::stoi(item.substr(at + 1), nullptr, 8)));
            }
        }
        const fs::path target = path(written);
        const std::string before = read_file(target);
        std::error_code error;
        const int ok = ini_write_file(settings, "save/settings.ini", "save/settings.tmp");
        EXPECT_EQ(std::tuple(ok == 1, read_file(target), fs::is_symlink("save/settings.ini"),
                             static_cast<int>(fs::status(target, error).permissions()),
                             fs::exists("save/settings.tmp")),
                  std::tuple(saved, saved ? ini_serialize(settings) : before, link, mode, false));
    }
    ::umask(umask);
    fs::remove_all(elsewhere);
}

}  // namespace
