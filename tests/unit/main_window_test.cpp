// The built main window against its layout, written out independently of
// the program's own table: ids, kinds, texts, rectangles, fonts, typing
// limits, alignment and creation (tab) order.
#include <string>
#include <vector>

#include "tests/unit/fixture.h"

namespace {

// Font by face and weight; "" means the system's default GUI font.
struct F {
    const char* face;
    int points;
    bool bold;
};
const F none{"", 0, false}, ms8{"Microsoft Sans Serif", 8, false}, arial8{"Arial", 8, false},
    term6{"Terminal", 6, false}, arial7{"Arial", 7, false}, verd14{"Verdana", 14, true},
    verd10{"Verdana", 10, true};

struct Expect {
    int id;
    ControlKind kind;
    int panel;
    int x, y, w, h;
    std::string text;
    F font;
    int limit;
    int flags;
};

constexpr int R = CTL_ALIGN_RIGHT, C = CTL_ALIGN_CENTRE, D = CTL_DIGITS;

const std::vector<Expect> expected = {
    // Connection group; the edits show the default settings after start-up.
    {27, KIND_FRAME, -1, 10, 15, 455, 122, "Connection establishment with VYX-Server", ms8, 0, 0},
    {28, KIND_EDIT, -1, 128, 35, 140, 20, "localhost", ms8, 60, 0},
    {29, KIND_LABEL, -1, 20, 38, 105, 15, "IP-Add. or Hostname", arial8, 0, R},
    {30, KIND_LABEL, -1, 272, 38, 25, 15, "Port", arial8, 0, R},
    {31, KIND_EDIT, -1, 300, 35, 40, 20, "7784", ms8, 5, D},
    {32, KIND_CHECKBOX, -1, 25, 65, 290, 15, "automatically connect to VYX-Server at startup", arial8, 0, 0},
    {33, KIND_CHECKBOX, -1, 25, 90, 335, 15, "reconnect on disconnection / check connection to server",
     arial8, 0, 0},
    {34, KIND_EDIT, -1, 83, 110, 25, 15, "15", term6, 3, D},
    {35, KIND_LABEL, -1, 42, 110, 40, 15, "Interval:", arial8, 0, R},
    {36, KIND_LABEL, -1, 110, 112, 57, 10, "seconds", arial7, 0, 0},
    {37, KIND_BUTTON, -1, 370, 104, 75, 25, "Connect", ms8, 0, CTL_DEFAULT_BUTTON},
    {38, KIND_BUTTON, -1, 370, 73, 75, 25, "Disconnect", ms8, 0, 0},
    // Action group.
    {39, KIND_FRAME, -1, 10, 345, 525, 55, "execute action on VYX-Server (DSL-Modem/Router)", ms8, 0, 0},
    {40, KIND_BUTTON, -1, 20, 365, 110, 25, "Update/Refresh", ms8, 0, 0},
    {41, KIND_BUTTON, -1, 140, 365, 110, 25, "DSL-Resync", ms8, 0, 0},
    {42, KIND_BUTTON, -1, 260, 365, 110, 25, "Reboot+Resync", ms8, 0, 0},
    {43, KIND_BUTTON, -1, 415, 365, 110, 25, "VYX+Server shutdown", arial7, 0, 0},
    // Tray group and footer; 58 holds the version once start-up has run.
    {50, KIND_LABEL, -1, 550, 363, 33, 15, "Prefix", arial8, 0, R},
    {51, KIND_FRAME, -1, 545, 345, 135, 40, "SysTray-Icon", ms8, 0, 0},
    {52, KIND_EDIT, -1, 585, 361, 90, 18, "DSL-Modem 1", ms8, 25, 0},
    {58, KIND_LABEL, -1, 5, 410, 155, 10, "VYX Client v0.78", term6, 0, 0},
    {67, KIND_BUTTON, -1, 565, 390, 111, 25, "Minimize", ms8, 0, 0},
    // Monitoring panel.
    {53, KIND_PANEL, -1, 10, 150, 670, 185, "automatic DSL-Monitoring Config. (via VYX-Server)", none, 0, 0},
    {0, KIND_FRAME, 53, 253, 13, 210, 130, "if Trigger-Value ... ", ms8, 0, 0},
    {1, KIND_CHECKBOX, 53, 263, 88, 110, 15, "SNR Margin Down", ms8, 0, 0},
    {2, KIND_CHECKBOX, 53, 263, 38, 110, 15, "Downstream Bitrate", ms8, 0, 0},
    {3, KIND_CHECKBOX, 53, 263, 63, 110, 15, "Upstream Bitrate", ms8, 0, 0},
    {4, KIND_CHECKBOX, 53, 263, 118, 180, 15, "cant connect/logon (modem n/a)", ms8, 0, 0},
    {5, KIND_LABEL, 53, 373, 88, 15, 15, "<>", none, 0, 0},
    {6, KIND_LABEL, 53, 378, 38, 10, 15, "<", none, 0, 0},
    {7, KIND_LABEL, 53, 378, 63, 10, 15, "<", none, 0, 0},
    {8, KIND_EDIT, 53, 388, 85, 20, 20, "", ms8, 2, D},
    {9, KIND_EDIT, 53, 388, 35, 40, 20, "", ms8, 5, D},
    {10, KIND_EDIT, 53, 388, 60, 40, 20, "", ms8, 4, D},
    {11, KIND_LABEL, 53, 429, 38, 31, 15, "kbit/s", ms8, 0, 0},
    {12, KIND_LABEL, 53, 429, 63, 31, 15, "kbit/s", ms8, 0, 0},
    {13, KIND_LABEL, 53, 444, 88, 17, 15, "dB", ms8, 0, 0},
    {14, KIND_EDIT, 53, 148, 35, 30, 20, "", ms8, 4, D},
    {15, KIND_FRAME, 53, 8, 13, 235, 95, "Check-Interval", ms8, 0, 0},
    {16, KIND_LABEL, 53, 16, 38, 130, 15, "Interval between checks :", none, 0, R},
    {17, KIND_LABEL, 53, 181, 38, 40, 15, "minutes", ms8, 0, 0},
    {18, KIND_FRAME, 53, 473, 13, 185, 130, " ... then execute action : ", ms8, 0, 0},
    {19, KIND_CHECKBOX, 53, 23, 65, 125, 15, "write results to Logfile", ms8, 0, 0},
    {20, KIND_CHECKBOX, 53, 483, 38, 130, 15, "DSL-Resync. (retrain)", ms8, 0, 0},
    {21, KIND_CHECKBOX, 53, 483, 93, 165, 15, "Send 'Net-Send' message to :", ms8, 0, 0},
    {22, KIND_EDIT, 53, 553, 113, 95, 20, "", ms8, 40, 0},
    {23, KIND_CHECKBOX, 53, 483, 63, 170, 15, "Modem Reboot + DSL-Resync.", none, 0, 0},
    {24, KIND_BUTTON, 53, 163, 118, 80, 27, "apply/save", ms8, 0, 0},
    {25, KIND_BUTTON, 53, 8, 118, 65, 27, "activate", ms8, 0, 0},
    {26, KIND_BUTTON, 53, 80, 118, 65, 27, "deactivate", ms8, 0, 0},
    {59, KIND_BUTTON, 53, 165, 63, 65, 25, "show Logfile", arial7, 0, 0},
    {68, KIND_EDIT, 53, 423, 85, 20, 20, "", ms8, 2, D},
    {69, KIND_LABEL, 53, 408, 88, 15, 15, "to", ms8, 0, C},
    {70, KIND_CHECKBOX, 53, 48, 85, 85, 15, "IP detection", ms8, 0, 0},
    // DSL Data panel.
    {54, KIND_PANEL, -1, 480, 15, 200, 125, "DSL Data", none, 0, 0},
    {44, KIND_LABEL, 54, 11, 68, 62, 25, "SNRM", verd14, 0, 0},
    {45, KIND_LABEL, 54, 11, 8, 35, 25, "DN", verd14, 0, 0},
    {46, KIND_LABEL, 54, 11, 38, 35, 25, "UP", verd14, 0, 0},
    {47, KIND_LABEL, 54, 133, 13, 50, 15, "kbit/s", verd10, 0, 0},
    {48, KIND_LABEL, 54, 133, 43, 50, 15, "kbit/s", verd10, 0, 0},
    {49, KIND_LABEL, 54, 133, 73, 35, 15, "dB", verd10, 0, 0},
    {55, KIND_LABEL, 54, 53, 8, 75, 25, "", verd14, 0, R},
    {56, KIND_LABEL, 54, 53, 38, 75, 25, "", verd14, 0, R},
    {57, KIND_LABEL, 54, 78, 68, 50, 25, "", verd14, 0, R},
    // Added by start-up after the window is built.
    {707, KIND_LINK, -1, 411, 410, 122, 10, "", term6, 0, 0},
};

class MainWindowTest : public ProgramTest {
   protected:
    void SetUp() override {
        ProgramTest::SetUp();
        write_settings(QUIET_SETTINGS);
    }
};

TEST_F(MainWindowTest, EveryControlAsLaidOut) {
    start();
    auto& w = headless::world();
    ASSERT_EQ(w.windows.count(MAIN_WINDOW), 1u);
    const headless::Window& win = w.windows[MAIN_WINDOW];
    EXPECT_EQ(win.title, "VYX Client");
    EXPECT_EQ(win.client_w, 690);
    EXPECT_EQ(win.client_h, 421);
    EXPECT_TRUE(win.minimize_box);
    EXPECT_EQ(win.x, (1024 - 690) / 2) << "centred, not at the requested 197";

    // The status picture 555 is owned by the status display; everything else is here.
    int built = 0;
    for (const auto& [id, c] : w.controls) built += id != ID_STATUS_PICTURE;
    EXPECT_EQ(built, static_cast<int>(expected.size()));

    int previous_order = -1;
    for (const Expect& e : expected) {
        SCOPED_TRACE("control " + std::to_string(e.id));
        const headless::Control* c = headless::find_control(e.id);
        ASSERT_NE(c, nullptr);
        EXPECT_EQ(c->window, MAIN_WINDOW);
        EXPECT_EQ(c->kind, e.kind);
        EXPECT_EQ(c->panel, e.panel);
        EXPECT_EQ((std::vector<int>{c->x, c->y, c->w, c->h}), (std::vector<int>{e.x, e.y, e.w, e.h}));
        if (e.id != ID_HOME_LINK) {
            EXPECT_EQ(c->text, e.text);
        }
        EXPECT_EQ(c->limit, e.limit);
        EXPECT_EQ(c->flags, e.flags);
        if (e.font.face[0] == 0) {
            EXPECT_EQ(c->font, 0);
        } else {
            ASSERT_EQ(w.fonts.count(c->font), 1u);
            const headless::Font& f = w.fonts[c->font];
            EXPECT_EQ(f.face, e.font.face);
            EXPECT_EQ(f.height, -(e.font.points * 96 * 2 + 72) / 144);
            EXPECT_EQ(f.weight, e.font.bold ? 700 : 400);
        }
        // Creation order is the tab order.
        EXPECT_GT(c->order, previous_order);
        previous_order = c->order;
    }
    EXPECT_EQ(headless::find_control(ID_MINIMIZE)->tooltip,
              "hide/minimize program window and show Icon in SysTray");

    // The link's text is the home page it opens, once per click.
    const std::string home = get_control_text(ID_HOME_LINK);
    EXPECT_EQ(home.rfind("http://", 0), 0u) << home;
    headless::push_control(ID_HOME_LINK);
    main_loop_turn();
    EXPECT_EQ(w.shell_opens, std::vector<std::string>{home});
}

}  // namespace
