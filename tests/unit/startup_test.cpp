// Start-up: the pictures, the tray popup menu, the Enter key, the tick and the link; every way out.
#include <algorithm>
#include <string>
#include <tuple>
#include <vector>

#include "tests/unit/fixture.h"

namespace {

using StartupTest = StartedTest;

TEST_F(StartupTest, WhatAStartSetsUp) {
    auto& w = headless::world();
    for (auto [first, last, kind, size, bits] : {std::tuple{10, 14, PICTURE_ICON, 48, 32},
                                                 {15, 19, PICTURE_ICON, 16, 32},
                                                 {20, 20, PICTURE_ICON, 48, 32},
                                                 {60, 68, PICTURE_BITMAP, 12, 24}})
        for (int id = first; id <= last; ++id) {
            const headless::Picture& p = w.pictures[state.pictures[id]];
            EXPECT_EQ(std::tuple(p.kind, p.width, p.height, p.bits), std::tuple(kind, size, size, bits))
                << id;
        }

    // Items top to bottom (0: a separator), with their bitmap's picture number; "off" when disabled.
    std::string menu;
    for (const auto& m : w.menus.at(900)) {
        const auto picture = std::ranges::find(state.pictures, m.bitmap) - state.pictures.begin();
        menu += std::to_string(m.item) + (m.bitmap ? ":" + std::to_string(picture) : "") +
                (m.enabled ? " " : "off ");
    }
    EXPECT_EQ(menu, "980off 0 970:65 971:66 972:67 0 984:60 0 986:61 990:62 0 995:63 993:68 0 999:64 ");

    ASSERT_EQ(w.timers.size(), 1u);
    EXPECT_EQ(
        std::tuple(w.enter_shortcut_window, w.enter_shortcut_item, w.timers[0].id, w.timers[0].period_ms),
        std::tuple(0, 400, 499, 1000));
    headless::push_control(707);
    main_loop_turn();
    EXPECT_EQ(w.shell_opens, std::vector<std::string>{get_control_text(707)})
        << "the link opens the page it shows";
}

TEST_F(StartupTest, EveryWayOutReleasesEverythingAndOnlyARunSaves) {
    // What went wrong, and the message boxes shown as title|text|buttons; the save last.
    const std::tuple<const char*, bool, bool, std::string> cases[] = {
        {"no network", false, true, "Error|Can't initialize the network. TCP/IP-Stack !|0\n"},
        {"no main window", true, false, "Error|Can't create the main window.|0\n"},
        {"closed after a run", true, true, ""},
    };
    for (const auto& [what, network, windows, expected_boxes] : cases) {
        SCOPED_TRACE(what);
        headless::reset();
        auto& w = headless::world();
        w.network_starts = network;
        w.windows_build = windows;
        headless::push_close(MAIN_WINDOW);
        EXPECT_EQ(program_main(), 0);
        std::string boxes;
        for (const auto& b : w.message_boxes)
            boxes += b.title + "|" + b.text + "|" + std::to_string(b.buttons) + "\n";
        EXPECT_EQ(boxes, expected_boxes);
        EXPECT_EQ(settings_file() == QUIET_SETTINGS, !boxes.empty()) << "saved after a run only";
        EXPECT_EQ(std::tuple(headless::live_windows(), headless::live_controls(), headless::live_fonts(),
                             headless::live_pictures(), w.tray.size(), w.menus.size()),
                  std::tuple(0, 0, 0, 0, 0u, 0u));
    }
}

}  // namespace
