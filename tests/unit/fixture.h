// A fresh headless world in a private working directory, so settings files never leak between tests.
#pragma once

#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <sstream>
#include <string>
#include <vector>

#include "app/ids.h"
#include "app/main_loop.h"
#include "app/program.h"
#include "app/startup.h"
#include "app/state.h"
#include "platform/headless/headless.h"

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
    // The text of a tray popup item, "?" when there is none.
    static std::string tray_item(int id) {
        for (const auto& m : headless::world().menus.at(MENU_TRAY))
            if (m.item == id) return m.text;
        return "?";
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
    // How long (virtual ms) the first showing of a picture stayed; -1 if it is still shown or never was.
    static long long shown_for(int picture) {
        const auto& all = headless::world().pictures_shown;
        for (std::size_t i = 0; i + 1 < all.size(); ++i)
            if (all[i].picture == state.pictures[picture]) return all[i + 1].at_ms - all[i].at_ms;
        return -1;
    }

    void start() { ASSERT_EQ(start_program(), 1); }
    // Starts again from these settings, releasing what an earlier start left.
    void restart(const std::string& settings) {
        if (window_exists(MAIN_WINDOW)) release_everything();
        headless::reset();
        write_settings(settings);
        start();
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
    // Runs turns until the queue has been drained (timer ticks excluded).
    int drain() {
        int running = 1;
        while (running && !headless::world().queue.empty()) running = main_loop_turn();
        return running;
    }

    std::filesystem::path dir_, old_dir_;
};

// Started with the quiet settings, the loop not yet turned.
class StartedTest : public ProgramTest {
   protected:
    void SetUp() override {
        ProgramTest::SetUp();
        write_settings(QUIET_SETTINGS);
        start();
    }
};
