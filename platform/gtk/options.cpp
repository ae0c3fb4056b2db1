// The command line and the working folder of a start from the desktop's menu:
// $XDG_CONFIG_HOME/vyx-client, or ~/.config/vyx-client when the variable is
// unset, empty or relative. GLib's g_get_user_config_dir() would take a
// relative value as it is, which the base-directory rules call invalid, so
// the rule is applied here.
#include "platform/gtk/options.h"

#include <glib.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <string>
#include <string_view>

namespace {

constexpr const char* USAGE = "usage: vyx_client [--from-menu] [--help]";
constexpr const char* HELP =
    "  --from-menu  work in $XDG_CONFIG_HOME/vyx-client (~/.config/vyx-client),\n"
    "               where the settings file is kept; the menu entry passes it\n"
    "Without it the settings file is kept in the folder the program starts in.\n";

std::string config_folder() {
    const char* base = g_getenv("XDG_CONFIG_HOME");
    const std::string root = base && base[0] == '/' ? base : std::string(g_get_home_dir()) + "/.config";
    return root + "/vyx-client";
}

// Folders made here (the parents too) are the user's alone: 0700.
void enter_config_folder() {
    const std::string folder = config_folder();
    if (g_mkdir_with_parents(folder.c_str(), 0700) == 0 && chdir(folder.c_str()) == 0) return;
    const int error = errno;
    char* here = g_get_current_dir();
    std::fprintf(stderr, "vyx_client: cannot work in %s (%s); working in %s instead\n", folder.c_str(),
                 g_strerror(error), here);
    g_free(here);
}

}  // namespace

int apply_options(int argc, char** argv) {
    bool from_menu = false;
    for (int i = 1; i < argc; ++i) {
        const std::string_view arg = argv[i];
        if (arg == "--help") {
            std::printf("%s\n%s", USAGE, HELP);
            return 0;
        }
        if (arg != "--from-menu") {
            std::fprintf(stderr, "vyx_client: unknown argument '%s'; %s\n", argv[i], USAGE);
            return 2;
        }
        from_menu = true;
    }
    if (from_menu) enter_config_folder();
    return OPTIONS_RUN;
}
