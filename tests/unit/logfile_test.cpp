// The log transfer against a real loopback peer: framing, slow and broken
// senders, loading in blocks, the size line, the error lines, the viewer
// window and the delete dialogue.
#include "monitor/logfile.h"

#include <atomic>
#include <thread>
#include <vector>

#include "monitor/file_transfer.h"
#include "tests/unit/connected_fixture.h"
#include "ui/status.h"

namespace {

std::string frame_with_length(std::int32_t length, const std::string& content) {
    std::string bytes(FILE_MARKER, FILE_MARKER_SIZE);
    const auto u = static_cast<std::uint32_t>(length);
    for (int shift = 0; shift < 32; shift += 8) bytes += static_cast<char>((u >> shift) & 0xFF);
    return bytes + content;
}
std::string frame(const std::string& content) {
    return frame_with_length(static_cast<std::int32_t>(content.size()), content);
}

std::string numbered_lines(int count, const char* end = "\n") {
    std::string text;
    for (int i = 1; i <= count; ++i) text += "line " + std::to_string(i) + end;
    return text;
}

class LogFileTest : public ConnectedTest {
   protected:
    static std::string editor() { return get_control_text(ID_LOG_TEXT); }
    static const std::vector<std::string>& pieces() { return headless::find_control(ID_LOG_TEXT)->appended; }
};

// ---- receive_file -----------------------------------------------------------

struct ReceiveRow {
    const char* name;
    std::vector<std::string> sends;  // sent 30 ms apart
    bool close_after;
    int result;
    std::string file;
    std::string left;  // what the reception must leave on the wire for the data handler
};

TEST_F(LogFileTest, ReceiveFileTakesTheFrameOffTheWireAndOnlyTheFrame) {
    const std::string big(50000, 'x');
    const std::string whole = frame("abc\r\n");
    const std::string oversized(MAX_FILE_LENGTH + 1, 'y');
    const ReceiveRow rows[] = {
        {"whole, then an answer", {whole + "md_bitdn:1\r\nVYX>"}, false, 1, "abc\r\n", "md_bitdn:1\r\nVYX>"},
        {"header in pieces",
         {whole.substr(0, 5), whole.substr(5, 5), whole.substr(10)},
         false,
         1,
         "abc\r\n",
         ""},
        {"content in pieces",
         {frame("0123456789").substr(0, 15), frame("0123456789").substr(15) + "next"},
         false,
         1,
         "0123456789",
         "next"},
        {"more than one read buffer", {frame(big)}, false, 1, big, ""},
        {"nothing announced", {frame("") + "next"}, false, 0, "", "next"},
        // Of a negative length nothing can be taken; the bytes go on as text.
        {"negative length", {frame_with_length(-5, "abcde")}, false, 0, "", "abcde"},
        {"too large: taken whole and dropped", {frame(oversized) + "next"}, false, 0, "", "next"},
        {"sender closes halfway", {frame_with_length(100, "abc")}, true, 0, "abc", ""},
        {"sender closes inside the header", {whole.substr(0, 10)}, true, 0, "", ""},
    };
    for (const ReceiveRow& row : rows) {
        SCOPED_TRACE(row.name);
        std::thread sender([&] {
            for (const std::string& s : row.sends) {
                peer_.send(s);
                std::this_thread::sleep_for(std::chrono::milliseconds(30));
            }
            if (row.close_after) peer_.close();
        });
        const auto start = loopback::Clock::now();
        EXPECT_EQ(receive_file(state.connection, TEMP_FILE_NAME), row.result);
        EXPECT_LT(loopback::ms_since(start), 5000) << "waited for a time-out";
        sender.join();
        EXPECT_EQ(read_file(TEMP_FILE_NAME), row.file);
        std::string left;
        loopback::wait_until([&] { return left.size() >= row.left.size(); }, 500);
        while (bytes_waiting(state.connection) > 0) left += read_available_text(state.connection, 4096);
        EXPECT_EQ(left, row.left);
        if (row.close_after) {
            close_connection(state.connection);
            state.connection = open_connection("127.0.0.1", listener_.port());
            peer_ = listener_.accept();
            watch_connection(state.connection);
        }
    }
}

// A peer that keeps sending, but too slowly, cannot hold the window: the
// reception ends some seconds after bytes stop, or when the average rate
// has fallen too low, whichever comes first.
TEST_F(LogFileTest, SlowSendersEndTheReceptionInBoundedTime) {
    const struct {
        const char* name;
        std::string first;  // sent at once after the header
        int trickle_ms;     // then one byte this often, 0 for none
        long long ends_after_ms;
    } rows[] = {
        {"a quick megabyte, then silence", std::string(1 << 20, 'a'), 0, RECEIVE_IDLE_TIMEOUT_MS},
        {"a byte every 1.5 s", "", 1500, RECEIVE_GRACE_MS},
    };
    for (const auto& row : rows) {
        SCOPED_TRACE(row.name);
        std::atomic<bool> done = false;
        std::thread sender([&] {
            peer_.send(frame_with_length(1 << 24, row.first));
            while (row.trickle_ms && !done) {
                std::this_thread::sleep_for(std::chrono::milliseconds(row.trickle_ms));
                if (!done) peer_.send("b");
            }
        });
        std::this_thread::sleep_for(std::chrono::milliseconds(200));  // the quick part is there
        const auto start = loopback::Clock::now();
        EXPECT_EQ(receive_file(state.connection, TEMP_FILE_NAME), 0);
        const long long waited = loopback::ms_since(start);
        done = true;
        sender.join();
        EXPECT_GE(waited, row.ends_after_ms - 1000);
        EXPECT_LT(waited, row.ends_after_ms + 3000);
    }
}

// ---- loading into the viewer ------------------------------------------------

struct LoadRow {
    const char* name;
    std::string file;
    std::vector<std::string> pieces;  // what the editor received, in order
    long long lines;                  // as the size line reports them
};

std::string shown_lines(int from, int to, bool last_break) {
    std::string text;
    for (int i = from; i <= to; ++i)
        text += "line " + std::to_string(i) + (i < to || last_break ? "\r\n" : "");
    return text;
}

TEST_F(LogFileTest, LogIsShownInBlocksOfLinesWithItsSize) {
    const LoadRow rows[] = {
        {"final line break", "a\nb\r\n", {"a\r\nb\r\n"}, 2},
        {"no final line break", "a\r\nb", {"a\r\nb\r\n"}, 2},
        {"lone CR splits", "a\rb\r\rc", {"a\r\nb\r\n\r\nc\r\n"}, 4},
        {"zero byte ends a line", std::string("a\0b\n", 4), {"a\r\nb\r\n"}, 2},
        // The file is read in pieces of 64 KiB: a CR LF across two pieces is one line end.
        {"CR LF across a read",
         std::string(65535, 'a') + "\r\nb",
         {std::string(65535, 'a') + "\r\nb\r\n"},
         2},
        {"1499 lines read a 1500th, empty", numbered_lines(1499), {shown_lines(1, 1499, true)}, 1500},
        {"exactly one block", numbered_lines(1500), {shown_lines(1, 1500, false)}, 1500},
        {"3001 lines",
         numbered_lines(3001, "\r\n"),
         {shown_lines(1, 1500, false), "\r\n" + shown_lines(1501, 3000, false), "\r\nline 3001\r\n"},
         3001},
    };
    for (const LoadRow& row : rows) {
        SCOPED_TRACE(row.name);
        server_says(frame(row.file));
        EXPECT_EQ(pieces(), row.pieces);
        EXPECT_EQ(get_control_text(64), log_size_line(static_cast<long long>(row.file.size()), row.lines));
        EXPECT_EQ(get_control_text(65), "");
        EXPECT_FALSE(std::filesystem::exists(TEMP_FILE_NAME)) << "temporary file left behind";
        for (int id : {ID_LOG_CLOSE, ID_LOG_REFRESH, ID_LOG_DELETE}) EXPECT_EQ(control_enabled(id), 1) << id;
    }
}

TEST_F(LogFileTest, SizeLineHasFixedWidthFieldsThatCutLongNumbers) {
    const struct {
        long long bytes, lines;
        const char* text;
    } rows[] = {
        {12345, 321, "logfile size:   12345 bytes     321 lines"},
        {0, 0, "logfile size:       0 bytes       0 lines"},
        {12345678, 1234567, "logfile size:12345678 bytes 1234567 lines"},
        {123456789, 12345678, "logfile size:12345678 bytes 1234567 lines"},
    };
    for (const auto& row : rows) EXPECT_EQ(log_size_line(row.bytes, row.lines), row.text);
}

TEST_F(LogFileTest, FailedTransferAppendsTheErrorLineUnderWhatIsShown) {
    const std::string error = "ERROR - 'vyx_tmp' file cannot be received.";
    server_says(frame(""));
    EXPECT_EQ(editor(), "please wait .....\r\n" + error);
    EXPECT_TRUE(std::filesystem::exists(TEMP_FILE_NAME)) << "an empty temporary file stays";
    for (int id : {ID_LOG_CLOSE, ID_LOG_REFRESH, ID_LOG_DELETE}) EXPECT_EQ(control_enabled(id), 1) << id;

    server_says(frame("old\n"));
    server_says(frame_with_length(-1, ""));
    EXPECT_EQ(editor(), "old\r\n\r\n" + error);
}

TEST_F(LogFileTest, TransferThatCannotBeStoredIsTakenOffTheWireOnce) {
    std::filesystem::create_directory(TEMP_FILE_NAME);  // "vyx_tmp" cannot be created
    server_says(frame("x\n") + "md_bitdn:4711\r\nVYX>");
    headless::push(0, MAIN_WINDOW);
    main_loop_turn();
    EXPECT_EQ(editor(), "please wait .....\r\nERROR - 'vyx_tmp' file cannot be received.");
    EXPECT_EQ(state.md_bitdn, 4711) << "the answer behind the transfer is shown";
}

// ---- the window -------------------------------------------------------------

TEST_F(LogFileTest, FirstArrivalBuildsTheViewer) {
    state.systray_icon_prefix = "Modem am Dach";
    server_says(frame("x\n"));
    ASSERT_EQ(state.log_window_open, 1);
    const headless::Window& w = headless::world().windows.at(LOG_WINDOW);
    EXPECT_EQ(w.title, "VYXlog.txt");
    EXPECT_EQ(w.client_w, 701);
    EXPECT_EQ(w.client_h, 560);
    EXPECT_FALSE(w.minimize_box);
    EXPECT_TRUE(w.visible);
    const struct {
        int id;
        ControlKind kind;
        int x, y, w, h, font, flags;
    } rows[] = {
        {60, KIND_RICHEDIT, 0, 0, 700, 510, state.fonts[FONT_SANS_8], 0},
        {61, KIND_BUTTON, 600, 525, 90, 25, state.fonts[FONT_SANS_8], 0},
        {62, KIND_BUTTON, 10, 525, 90, 25, state.fonts[FONT_SANS_8], 0},
        {63, KIND_BUTTON, 125, 525, 65, 25, state.fonts[FONT_SANS_8], 0},
        {64, KIND_LABEL, 260, 536, 260, 10, state.fonts[FONT_TERMINAL_6], 0},
        {65, KIND_LABEL, 235, 547, 300, 11, state.fonts[FONT_TERMINAL_6], CTL_ALIGN_CENTRE},
        {66, KIND_LABEL, 258, 518, 265, 12, state.fonts[FONT_ARIAL_8_BOLD], CTL_ALIGN_CENTRE},
    };
    for (const auto& row : rows) {
        SCOPED_TRACE(row.id);
        const headless::Control* c = headless::find_control(row.id);
        ASSERT_NE(c, nullptr);
        EXPECT_EQ(c->window, LOG_WINDOW);
        EXPECT_EQ(c->kind, row.kind);
        EXPECT_EQ((std::vector<int>{c->x, c->y, c->w, c->h, c->font, c->flags}),
                  (std::vector<int>{row.x, row.y, row.w, row.h, row.font, row.flags}));
    }
    const headless::Control* text = headless::find_control(ID_LOG_TEXT);
    EXPECT_EQ(text->tooltip, "copy selected text to clipboard with CTRL+C");
    EXPECT_EQ(text->background, 0xFFFFD8);
    EXPECT_EQ(get_control_text(66), "Modem am Dach");

    server_says(frame("y\n"));
    EXPECT_EQ(editor(), "y\r\n") << "a further arrival reloads in place";
    EXPECT_EQ(headless::live_windows(), 2);
}

TEST_F(LogFileTest, ShowButtonStaysOffWhileTheViewerIsOpen) {
    const struct {
        const char* name;
        int connected, pending, enabled_after_close;
    } rows[] = {
        {"connected", 1, 0, 1},
        {"monitoring config pending", 1, 1, 0},
        {"disconnected", 0, 0, 0},
    };
    for (const auto& row : rows) {
        SCOPED_TRACE(row.name);
        state.connected = 1;
        state.auto_config_pending = 0;
        server_says(frame("x\n"));
        enable_action_controls(1);
        EXPECT_EQ(control_enabled(ID_SHOW_LOG), 0);
        state.connected = row.connected;
        state.auto_config_pending = row.pending;
        headless::push_control(ID_LOG_CLOSE);
        drain();
        EXPECT_EQ(state.log_window_open, 0);
        EXPECT_EQ(window_exists(LOG_WINDOW), 0);
        EXPECT_EQ(control_enabled(ID_SHOW_LOG), row.enabled_after_close);
    }
}

// ---- delete -----------------------------------------------------------------

TEST_F(LogFileTest, DeleteAsksAndSendsOnlyOnOk) {
    const struct {
        const char* name;
        int connected, pending, answer;
        bool asked, sent;
    } rows[] = {
        {"ok", 1, 0, MB_ANSWER_OK, true, true},
        {"cancel", 1, 0, MB_ANSWER_CANCEL, true, false},
        {"not connected", 0, 0, MB_ANSWER_OK, false, false},
        {"config pending", 1, 1, MB_ANSWER_OK, false, false},
    };
    for (const auto& row : rows) {
        SCOPED_TRACE(row.name);
        state.connected = 1;
        state.auto_config_pending = 0;
        server_says(frame("x\n"));
        headless::world().message_boxes.clear();
        headless::world().message_box_answers = {row.answer};
        state.connected = row.connected;
        state.auto_config_pending = row.pending;
        delete_server_log();
        ASSERT_EQ(headless::world().message_boxes.size(), row.asked ? 1u : 0u);
        if (row.asked) {
            const headless::MessageBoxCall& box = headless::world().message_boxes[0];
            EXPECT_EQ(box.window, LOG_WINDOW);
            EXPECT_EQ(box.title, "VYX Client");
            EXPECT_EQ(box.text, "Delete VYXlog.txt on VYX-Server ?\r\n");
            EXPECT_EQ(box.buttons, MB_BUTTONS_OK_CANCEL);
        }
        EXPECT_EQ(peer_.read_for(100), row.sent ? "modify logfile action delete\r\n" : "");
        EXPECT_EQ(state.log_window_open, row.sent ? 0 : 1);
        if (state.log_window_open == 1) close_log_viewer();
    }
}

}  // namespace
