// A fresh headless world in a private working directory, so settings files never leak between tests; a
// program connected to a peer the test plays the server with; vyx_sim as a child process.
#pragma once

#include <fcntl.h>
#include <gtest/gtest.h>

#include <algorithm>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <optional>
#include <sstream>
#include <string>
#include <tuple>
#include <vector>

#include "app/ids.h"
#include "app/main_loop.h"
#include "app/program.h"
#include "app/short_wait.h"
#include "app/startup.h"
#include "app/state.h"
#include "link/connection.h"
#include "link/transport.h"
#include "platform/enter_shortcut.h"
#include "platform/event_queue.h"
#include "platform/headless/headless.h"
#include "tests/unit/loopback_peer.h"

class ProgramTest : public ::testing::Test {
   protected:
    void SetUp() override {
        const auto* run = ::testing::UnitTest::GetInstance();
        old_dir_ = std::filesystem::current_path();
        dir_ = std::filesystem::temp_directory_path() /
               ("vyx_test_" + std::to_string(run->random_seed()) + "_" + run->current_test_info()->name());
        std::filesystem::remove_all(dir_);
        std::filesystem::create_directories(dir_);
        std::filesystem::current_path(dir_);
        headless::reset();
    }
    void TearDown() override {
        std::filesystem::current_path(old_dir_);
        std::filesystem::remove_all(dir_);
    }

    // Settings that keep start-up quiet: window shown, no connection attempt.
    static constexpr const char* QUIET_SETTINGS = "[CLIENT]\r\nAutoConnect=0\r\nstartVYXCiconic=0\r\n";

    void write_settings(const std::string& s) { std::ofstream("vyxC_0.78_cfg.ini", std::ios::binary) << s; }
    static std::string read_file(const std::filesystem::path& path) {
        std::ifstream in(path, std::ios::binary);
        return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
    }
    static std::string settings_file() { return read_file("vyxC_0.78_cfg.ini"); }
    static std::string tray_item(int id) {
        for (const auto& m : headless::world().menus.at(MENU_TRAY))
            if (m.item == id) return m.text;
        return "?";
    }
    // The tray as the user sees it: icon, popup title, tooltip, and the popup's three lines.
    static std::string tray_look() {
        const headless::TrayIcon& icon = headless::world().tray.at(1);
        std::string look = std::to_string(icon.picture) + "|" + tray_item(MENU_TITLE) + "|" + icon.tooltip;
        for (int item : {MENU_LINE1, MENU_LINE2, MENU_LINE3}) look += "|" + tray_item(item);
        return look;
    }

    // The status pictures shown, by picture number, in order (clear world().pictures_shown first).
    static std::vector<int> pictures_seen() {
        std::vector<int> seen;
        for (const auto& s : headless::world().pictures_shown)
            for (Picture p : all_pictures)
                if (s.control == ID_STATUS_PICTURE && s.picture == state.pictures[p]) seen.push_back(p);
        return seen;
    }
    static bool saw_picture(int picture) { return std::ranges::count(pictures_seen(), picture) > 0; }

    // Releases what an earlier start left; no settings: whatever file is there.
    void restart(const std::optional<std::string>& settings) {
        if (window_exists(MAIN_WINDOW)) release_everything();
        headless::reset();
        if (settings) write_settings(*settings);
        ASSERT_EQ(start_program(), 1);
    }
    // Types "id=text|..." into the window; 0 or 1 for a check box.
    static void type_into(const std::string& edits) {
        std::istringstream in(edits);
        for (std::string edit; std::getline(in, edit, '|');) {
            const int id = std::stoi(edit);
            const std::string text = edit.substr(edit.find('=') + 1);
            headless::find_control(id)->kind == KIND_CHECKBOX ? set_checked(id, text == "1")
                                                              : set_control_text(id, text);
        }
    }
    // The modem data and monitoring panel as shown: texts, then the check boxes.
    static std::string panel_look() {
        std::string all;
        for (int id : {55, 56, 57, 14, 9, 10, 8, 68, 22}) all += get_control_text(id) + "|";
        for (int id : {2, 3, 1, 4, 19, 70, 20, 23, 21}) all += is_checked(id) ? '1' : '0';
        return all;
    }

    std::filesystem::path dir_, old_dir_;
};

// Started with the quiet settings, the loop not yet turned.
class StartedTest : public ProgramTest {
   protected:
    void SetUp() override {
        ProgramTest::SetUp();
        restart(QUIET_SETTINGS);
    }
};

// Connected, as after a greeting, to a loopback peer the test plays the server with.
class ConnectedTest : public StartedTest {
   protected:
    void SetUp() override {
        StartedTest::SetUp();
        open_link();
    }
    void open_link() {
        state.connection = open_connection("127.0.0.1", listener_.port());
        ASSERT_GT(state.connection, 0);
        peer_ = listener_.accept();
        ASSERT_TRUE(peer_.valid());
        watch_connection(state.connection);
        state.connected = 1;
    }
    void server_says(const std::string& bytes) {
        ASSERT_TRUE(peer_.send(bytes));
        ASSERT_TRUE(loopback::wait_until([&] { return bytes_waiting(state.connection) > 0; }));
        main_loop_turn();
    }

    loopback::Listener listener_;
    loopback::Peer peer_;
};

// vyx_sim on a free loopback port, stderr dropped, killed at the end.
namespace simproc {

inline pid_t spawn(const std::string& args, int out_fd) {
    std::istringstream in(args);
    std::vector<std::string> words{std::istream_iterator<std::string>(in), {}};
    std::vector<char*> argv{const_cast<char*>(VYX_SIM_PATH)};
    for (std::string& a : words) argv.push_back(a.data());
    argv.push_back(nullptr);
    const pid_t pid = ::fork();
    if (pid != 0) return pid;
    ::dup2(out_fd, 1);
    ::dup2(::open("/dev/null", O_WRONLY), 2);
    ::execv(VYX_SIM_PATH, argv.data());
    ::_exit(127);
}

// Exit code, or -1 (and killed) when still running after timeout_ms.
inline int exit_code(pid_t pid, int timeout_ms) {
    int status = 0;
    if (loopback::wait_until([&] { return ::waitpid(pid, &status, WNOHANG) != 0; }, timeout_ms))
        return WIFEXITED(status) ? WEXITSTATUS(status) : 128 + WTERMSIG(status);
    ::kill(pid, SIGKILL);
    ::waitpid(pid, nullptr, 0);
    return -1;
}

class Sim {
   public:
    explicit Sim(const std::string& args) {
        int out[2];
        ::socketpair(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0, out);
        pid_ = spawn("--port 0 --exit-after 60 " + args, out[1]);
        ::close(out[1]);
        // Its first line names the port.
        const std::string first = loopback::Peer(out[0]).read(10000, "\n");
        if (first.find(" port ") != std::string::npos)
            port_ = std::atoi(first.c_str() + first.find(" port ") + 6);
    }
    ~Sim() { exit_code(pid_, 0); }
    Sim(const Sim&) = delete;
    Sim& operator=(const Sim&) = delete;

    int port() const { return port_; }

   private:
    pid_t pid_ = -1;
    int port_ = 0;
};

}  // namespace simproc
