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
    // A name in save/ (a link's text as written), "@" one on the other file system, "/" in the test's folder.
    const auto path = [&](const std::string& p, const fs::path& in = "save") {
        return p[0] == '@' ? elsewhere / p.substr(1) : p[0] == '/' ? dir_ / p.substr(1) : in / p;
    };
    // What stands in save/ ("name=mode" a file, "name>to" a link), the file the save of settings.ini
    // writes, and afterwards: saved, the file's mode. A link stays a link.
    const int none = static_cast<int>(fs::perms::unknown);  // nothing there
    const std::tuple<const char*, const char*, const char*, bool, int> rows[] = {
        {"no file yet", "", "settings.ini", true, 0644},
        {"a plain file", "settings.ini=640", "settings.ini", true, 0640},
        {"a read-only file", "settings.ini=444", "settings.ini", false, 0444},
        {"a link to a read-only file", "real.ini=444 settings.ini>real.ini", "real.ini", false, 0444},
        {"a dangling link: the file it names is made", "settings.ini>missing.ini", "missing.ini", true, 0644},
        {"a dangling link into no folder", "settings.ini>no/missing.ini", "no/missing.ini", false, none},
        {"a link into another folder", "../x/real.ini=640 settings.ini>../x/real.ini", "../x/real.ini", true,
         0640},
        {"a link to a link", "real.ini=640 mid.ini>/save/real.ini settings.ini>mid.ini", "real.ini", true,
         0640},
        {"links in a loop", "settings.ini>b.ini b.ini>settings.ini", "b.ini", false, none},
        {"a link to another file system", "@real.ini=640 settings.ini>@real.ini", "@real.ini", true, 0640},
        {"a dangling link to another file system", "settings.ini>@missing.ini", "@missing.ini", true, 0644},
    };
    ASSERT_FALSE(elsewhere.empty()) << "no second file system at hand";
    const IniFile settings = ini_parse("[CLIENT]\r\nPort=7784\r\n");
    const mode_t umask = ::umask(022);
    for (const auto& [what, standing, written, saved, mode] : rows) {
        SCOPED_TRACE(what);
        for (const fs::path& d : {fs::path("save"), fs::path("x"), elsewhere}) fs::remove_all(d);
        for (const fs::path& d : {fs::path("save"), elsewhere}) fs::create_directories(d);
        std::istringstream in(standing);
        for (std::string item; in >> item;) {
            const std::size_t at = item.find_first_of("=>");
            const fs::path made = path(item.substr(0, at));
            if (item[at] == '>') {
                fs::create_symlink(path(item.substr(at + 1), ""), made);
            } else {
                fs::create_directories(made.parent_path());
                std::ofstream(made) << "old";
                fs::permissions(made, fs::perms(std::stoi(item.substr(at + 1), nullptr, 8)));
            }
        }
        const fs::path target = path(written);
        const std::string before = read_file(target);
        std::error_code error;
        const int ok = ini_write_file(settings, "save/settings.ini", "save/settings.tmp");
        EXPECT_EQ(std::tuple(ok == 1, read_file(target), fs::is_symlink("save/settings.ini"),
                             static_cast<int>(fs::status(target, error).permissions()),
                             fs::exists("save/settings.tmp")),
                  std::tuple(saved, saved ? ini_serialize(settings) : before,
                             std::string(standing).find("settings.ini>") != std::string::npos, mode, false));
    }
    ::umask(umask);
    fs::remove_all(elsewhere);
}

}  // namespace
