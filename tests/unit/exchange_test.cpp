// The transport, the data handler and the log transfer against a loopback peer; the log viewer.
#include "link/exchange.h"

#include "monitor/file_transfer.h"
#include "monitor/logfile.h"
#include "ui/log_window.h"
#include "tests/unit/fixture.h"

namespace {

namespace fs = std::filesystem;
using namespace std::string_literals;
using namespace std::chrono_literals;
using Ints = std::vector<int>;
using ExchangeTest = ConnectedTest;
using loopback::frame;
using loopback::frame_with_length;

// The poll takes nothing; a read takes each byte once, a zero byte ending its piece, at most 100 pieces.
TEST_F(ExchangeTest, PollAndReadTakeEachPieceOnce) {
    const struct {
        std::string bytes;
        int poll, chunk;  // poll: 2 text, 3 a file
        std::string read, rest = "";
    } cases[] = {
        {"QXMGSFL", 2, 10, "QXMGSFL"},
        {"QXMGSFLE", 3, 10, "QXMGSFLE"},
        {"QXMGSFLF", 2, 10, "QXMGSFLF"},
        {"servus\r\nQXMGSFLE\x01\0\0\0z"s, 2, 1000, "servus\r\nQXMGSFLE\x01"},
        {"ab\0cd"s, 2, 2, "abd"},
        {"abc", 2, 0, "", "abc"},
        {std::string(101, 'a'), 2, 1, std::string(100, 'a'), "a"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.bytes.substr(0, 20) + " read by " + std::to_string(c.chunk));
        open_link();
        ASSERT_TRUE(peer_.send(c.bytes));
        const int size = static_cast<int>(c.bytes.size());
        ASSERT_TRUE(loopback::wait_until([&] { return bytes_waiting(state.connection) == size; }));
        EXPECT_EQ(poll_connection(state.connection), c.poll);
        EXPECT_EQ(bytes_waiting(state.connection), size) << "the poll takes nothing";
        EXPECT_EQ(read_available_text(state.connection, c.chunk), c.read);
        EXPECT_EQ(read_available_text(state.connection, 1000), c.rest);
        EXPECT_EQ(poll_connection(state.connection), 0);
        close_connection(state.connection);
    }
}

// Each search covers only the new bytes and the end before them that a text cut in two may have left.
TEST_F(ExchangeTest, AnswersAndTheServersTextsWholeOrCutInTwo) {
    const std::tuple<const char*, const char*, const char*> cases[] = {
        {"md_bitdn: 9\r\n\r\nVYX", ">", "9"},
        {"auto_action_netsendadd: busy servus ok. please wait ...\r\nmd_bitdn: 7\r\n\r\nVYX>", "", "7"},
        {"md_bitdn: 6016\r\nbus", "y\r\n", "0 busy pending"},
        {"b", "usy\r\n", "0 busy pending"},
        {"ok. please w", "ait ...", "0 refresh wait pending"},
        {"\r\nservu", "s", "0 gone"},
    };
    for (const auto& [first, second, outcome] : cases) {
        SCOPED_TRACE(std::string(first) + "|" + second);
        state.md_bitdn = state.auto_config_pending = 0;
        enable_control(ID_REFRESH, 0);  // pressed; its command may be refused
        headless::world().pictures_shown.clear();
        server_says(first);
        EXPECT_EQ(*second ? state.md_bitdn + saw_picture(13) + saw_picture(20) + !state.connected : 0, 0)
            << "nothing acted on before the second piece";
        if (*second) server_says(second);
        const bool busy = saw_picture(13), refresh = saw_picture(20);
        EXPECT_EQ(std::to_string(state.md_bitdn) + (busy ? " busy" : "") + (refresh ? " refresh" : "") +
                      (state.update_in_progress ? " wait" : "") +
                      (state.auto_config_pending ? " pending" : "") + (state.connected ? "" : " gone") +
                      state.answer_text,
                  outcome);
        for (int id : {40, 41, 42, 43}) EXPECT_TRUE(control_enabled(id) || !busy) << "refused, so on again";
        for (int id : {38, 24, 59})
            EXPECT_FALSE(refresh && control_enabled(id)) << id << " locked in a refresh";
        if (!state.connected) {
            EXPECT_TRUE(control_enabled(ID_CONNECT) && (peer_.read(1000), peer_.closed()));
            open_link();
            continue;
        }
        for (const char* sent : {refresh ? "get auto\r\n" : "", ""}) {
            server_says("md_bitdn: 1\r\n\r\nVYX>");
            EXPECT_EQ(state.md_bitdn, 1) << "nothing dropped is joined to the next answer";
            EXPECT_EQ(peer_.read(*sent ? 2000 : 20, "\r\n"), sent) << "get auto once, after a refresh";
        }
    }
}

// Each button's line once; a line far longer than the socket buffers whole; a text up to its zero byte.
TEST_F(ExchangeTest, CommandsGoOutWholeAndOnce) {
    const std::pair<int, std::string> cases[] = {
        {40, "refresh\r\n"},  {41, "resync\r\n"},      {42, "reboot\r\n"},
        {43, "shutdown\r\n"}, {59, "get logfile\r\n"},
    };
    for (const auto& [id, line] : cases) {
        enable_control(id, 1);
        headless::push_control(id);
        main_loop_turn();
        EXPECT_FALSE(control_enabled(id)) << id;
        EXPECT_EQ(peer_.read(3000, "", line.size()), line);
    }
    const std::string long_line(6 << 20, 'a');
    std::string received;
    std::thread reader([&] { received = peer_.read(5000, "", long_line.size() + 2); });
    send_command(long_line.c_str());
    reader.join();
    EXPECT_TRUE(received == long_line + "\r\n") << received.size();
    EXPECT_EQ(send_text(state.connection, "get\0 all\r\n"s), 3);
    EXPECT_EQ(peer_.read(50), "get") << "nothing else";
}

TEST_F(ExchangeTest, EndlessTextWithoutPromptStaysBounded) {
    std::size_t most = 0;
    for (int i = 0; i < 40; ++i, most = std::max(most, state.answer_text.size()))
        server_says(std::string(64 << 10, 'x'));  // 2.5 MiB, no prompt
    EXPECT_LE(most, 1u << 20);
    server_says("\r\nmd_bitdn: 42\r\n\r\nVYX>");
    EXPECT_EQ(state.md_bitdn, 42) << "the link still works";
}

std::string lines(int from, int to, const char* last_end = "\r\n") {
    std::string text;
    for (int i = from; i <= to; ++i) text += "line " + std::to_string(i) + (i < to ? "\r\n" : last_end);
    return text;
}

// Close, Refresh, Delete: enabled or not.
Ints buttons() { return {control_enabled(61), control_enabled(62), control_enabled(63)}; }

TEST_F(ExchangeTest, ReceiveFileTakesTheFrameOffTheWireAndOnlyTheFrame) {
    const std::string abc = frame("abc\r\n"), CLOSE;
    const struct {
        const char* name;
        std::vector<std::string> sends;  // 30 ms apart; CLOSE closes
        int result;
        std::string file, left;  // left: what stays on the wire for the data handler
    } rows[] = {
        {"header in pieces", {abc.substr(0, 5), abc.substr(5, 5), abc.substr(10) + "ok"}, 1, "abc\r\n", "ok"},
        {"too large: dropped", {frame(std::string((16 << 20) + 1, 'y')) + "next"}, 0, "", "next"},
        {"sender closes halfway", {frame_with_length(100, "abc"), CLOSE}, 0, "abc", ""},
        {"sender closes inside the header", {abc.substr(0, 10), CLOSE}, 0, "", ""},
    };
    for (const auto& row : rows) {
        SCOPED_TRACE(row.name);
        std::thread sender([&] {
            for (const std::string& s : row.sends)
                s.empty() ? peer_.close() : void(peer_.send(s)), std::this_thread::sleep_for(30ms);
        });
        const auto start = loopback::Clock::now();
        EXPECT_EQ(receive_file(state.connection, TEMP_FILE_NAME), row.result);
        EXPECT_LT(loopback::ms_since(start), 5000) << "waited for a time-out";
        sender.join();
        EXPECT_EQ(read_file(TEMP_FILE_NAME), row.file);
        std::string left;
        loopback::wait_until([&] { return bytes_waiting(state.connection) >= std::ssize(row.left); }, 500);
        while (bytes_waiting(state.connection) > 0) left += read_available_text(state.connection, 4096);
        EXPECT_EQ(left, row.left);
        if (!peer_.valid()) close_connection(state.connection), open_link();
    }
}

// Silence or a too slow average rate ends a reception; both run at once, on connections of their own.
TEST_F(ExchangeTest, SlowSendersEndTheReceptionInBoundedTime) {
    const int dripped = open_connection("127.0.0.1", listener_.port());
    loopback::Peer dripper = listener_.accept();
    std::atomic<bool> done = false;
    std::thread senders([&] {
        dripper.send(frame_with_length(1 << 24, ""));
        peer_.send(frame_with_length(1 << 24, std::string(1 << 20, 'a')));  // then nothing
        for (int i = 0; i < 40 && !done; ++i) std::this_thread::sleep_for(1s), dripper.send("b");
    });
    long long ms[2];
    auto timed = [&ms](int connection, int i) {
        ms[i] =
            loopback::ms_taken([&] { EXPECT_EQ(receive_file(connection, i ? "dripped" : "quick"), 0) << i; });
    };
    std::thread other(timed, dripped, 1);
    timed(state.connection, 0);
    other.join();
    done = true;
    senders.join();
    close_connection(dripped);
    for (long long waited : ms) EXPECT_TRUE(waited > 9000 && waited < 20000) << waited;
}

// The editor ("|" where an append began), labels, file, buttons; the answer behind still gets through.
TEST_F(ExchangeTest, ArrivalIsShownInBlocksOrAsItsErrorLine) {
    // Under the file's name: what the reception made; a directory; later a link to nowhere or a directory.
    enum Stand { MADE, DIR_FIRST, LINK_LATER, DIR_LATER };
    const std::string a64k(65535, 'a'), error = "ERROR - 'vyx_tmp' file cannot be ", x = frame("x\n"),
                                        fresh = "please wait .....|\r\n" + error;
    const struct {
        const char* name;
        std::string sent;
        Stand stand;
        std::string editor;
        long long lines;  // in the size line, -1: not looked at
        bool name_taken;  // afterwards
    } rows[] = {
        {"no final line break", frame("a\r\nb"), MADE, "|a\r\nb\r\n", 2, false},
        {"negative, under the last log", frame_with_length(-1, ""), MADE,
         "|a\r\nb\r\n|\r\n" + error + "received.", -1, true},
        {"LF, zero byte, lone CR", frame(std::string("a\nb\0c\rd\r\re\r\n", 12)), MADE,
         "|a\r\nb\r\nc\r\nd\r\n\r\ne\r\n", 6, false},
        {"CR LF across reads", frame(a64k + "\r\nb"), MADE, "|" + a64k + "\r\nb\r\n", 2, false},
        {"1499 lines: a 1500th, empty", frame(lines(1, 1499)), MADE, "|" + lines(1, 1499), 1500, false},
        {"exactly one block", frame(lines(1, 1500)), MADE, "|" + lines(1, 1500, ""), 1500, false},
        {"3001 lines", frame(lines(1, 3001)), MADE,
         "|" + lines(1, 1500, "") + "|\r\n" + lines(1501, 3000, "") + "|\r\nline 3001\r\n", 3001, false},
        {"nothing announced", frame(""), MADE, fresh + "received.", -1, true},
        {"cannot be stored", x, DIR_FIRST, fresh + "received.", -1, true},
        {"cannot be opened", x, LINK_LATER, fresh + "opened.", -1, false},
        {"cannot be deleted", x, DIR_LATER, "|" + error + "deleted.", -1, true},
    };
    for (const auto& row : rows) {
        SCOPED_TRACE(row.name);
        if (row.editor.starts_with(fresh)) close_log_viewer();
        state.md_bitdn = 0;
        fs::remove_all(TEMP_FILE_NAME);
        if (row.stand == DIR_FIRST) fs::create_directory(TEMP_FILE_NAME);
        // The header first; the rest once the reception has made the file.
        ASSERT_TRUE(peer_.send(row.sent.substr(0, 12)));
        std::thread rest([&] {
            loopback::wait_until([] { return fs::exists(TEMP_FILE_NAME); });
            if (row.stand >= LINK_LATER) fs::remove(TEMP_FILE_NAME);
            if (row.stand == LINK_LATER) fs::create_symlink("nowhere", TEMP_FILE_NAME);
            if (row.stand == DIR_LATER) fs::create_directory(TEMP_FILE_NAME);
            peer_.send(row.sent.substr(12) + "md_bitdn:4711\r\nVYX>");
        });
        server_says("");
        rest.join();
        const headless::Control* text = headless::find_control(ID_LOG_TEXT);
        std::string shown = text->text;
        for (const std::string& piece : text->appended) shown.resize(shown.size() - piece.size());
        for (const std::string& piece : text->appended) shown += piece.empty() ? "" : "|" + piece;
        EXPECT_EQ(shown, row.editor);
        if (row.lines >= 0) {
            EXPECT_EQ(get_control_text(ID_LOG_SIZE), log_size_line(std::ssize(row.sent) - 12, row.lines));
        }
        EXPECT_EQ(get_control_text(ID_LOG_LOADING), "") << "the loading text goes once loaded";
        EXPECT_EQ(fs::exists(fs::symlink_status(TEMP_FILE_NAME)), row.name_taken);
        EXPECT_EQ(buttons(), (Ints{1, 1, 1}));
        EXPECT_EQ(headless::live_windows(), 2) << "one viewer, reloaded in place";
        server_says("");
        EXPECT_EQ(state.md_bitdn, 4711);
    }
}

TEST_F(ExchangeTest, FirstArrivalBuildsTheViewerAndItsSizeLine) {
    state.systray_icon_prefix = "Modem am Dach";
    server_says(frame("x\n"));
    const headless::Window& w = headless::world().windows.at(LOG_WINDOW);
    EXPECT_EQ(w.title, "VYXlog.txt");
    EXPECT_EQ((Ints{state.log_window_open, w.client_w, w.client_h, w.minimize_box, w.visible}),
              (Ints{1, 701, 560, false, true}));
    // Seven controls, each with a font, inside the window and clear of each other; the editor across the top.
    std::vector<headless::Control> viewer;
    for (const auto& [id, c] : headless::world().controls)
        if (c.window == LOG_WINDOW) viewer.push_back(c);
    ASSERT_EQ(viewer.size(), 7u);
    for (const headless::Control& c : viewer) {
        EXPECT_TRUE(c.font && c.x >= 0 && c.y >= 0 && c.x + c.w <= w.client_w && c.y + c.h <= w.client_h)
            << c.id;
        for (const headless::Control& d : viewer)
            EXPECT_TRUE(&c == &d || c.x + c.w <= d.x || d.x + d.w <= c.x || c.y + c.h <= d.y ||
                        d.y + d.h <= c.y)
                << c.id << " over " << d.id;
    }
    const headless::Control* text = headless::find_control(ID_LOG_TEXT);
    EXPECT_EQ((Ints{text->kind, text->x, text->y, text->w}), (Ints{KIND_RICHEDIT, 0, 0, w.client_w - 1}));
    EXPECT_EQ(text->tooltip, "copy selected text to clipboard with CTRL+C");
    EXPECT_EQ(text->background, 0xFFFFD8);
    EXPECT_EQ(get_control_text(66), "Modem am Dach");
    // The size line's fields have fixed widths and cut what is longer.
    EXPECT_EQ(log_size_line(12345, 321), "logfile size:   12345 bytes     321 lines");
    EXPECT_EQ(log_size_line(12345678, 1234567), "logfile size:12345678 bytes 1234567 lines");
    EXPECT_EQ(log_size_line(123456789, 12345678), "logfile size:12345678 bytes 1234567 lines");
}

// Refresh asks again; Close and a confirmed Delete close the viewer; without a connection the loop turns
// Refresh and Delete off, and "show Logfile" comes back only with a connection and no config pending.
TEST_F(ExchangeTest, ViewerButtons) {
    const std::string asked = "Delete VYXlog.txt on VYX-Server ?\r\n";
    const struct {
        const char* name;
        int connected, pending, press, answer;
        std::string box, sent;
        int closed, show_log;
    } rows[] = {
        {"refresh", 1, 0, ID_LOG_REFRESH, MB_ANSWER_OK, "", "get logfile\r\n", 0, 0},
        {"close", 1, 0, ID_LOG_CLOSE, MB_ANSWER_OK, "", "", 1, 1},
        {"close, config pending", 1, 1, ID_LOG_CLOSE, MB_ANSWER_OK, "", "", 1, 0},
        {"close, disconnected", 0, 0, ID_LOG_CLOSE, MB_ANSWER_OK, "", "", 1, 0},
        {"delete, ok", 1, 0, ID_LOG_DELETE, MB_ANSWER_OK, asked, "modify logfile action delete\r\n", 1, 1},
        {"delete, cancel", 1, 0, ID_LOG_DELETE, MB_ANSWER_CANCEL, asked, "", 0, 0},
        {"delete, disconnected", 0, 0, ID_LOG_DELETE, MB_ANSWER_OK, "", "", 0, 0},
        {"delete, config pending", 1, 1, ID_LOG_DELETE, MB_ANSWER_OK, "", "", 0, 0},
    };
    for (const auto& row : rows) {
        SCOPED_TRACE(row.name);
        state.connected = 1, state.auto_config_pending = 0;
        server_says(frame("x\n"));
        enable_control(ID_SHOW_LOG, 0);
        headless::world().message_boxes.clear(), headless::world().message_box_answers = {row.answer};
        state.connected = row.connected, state.auto_config_pending = row.pending;
        headless::push_control(row.press);
        main_loop_turn();
        std::string box;
        for (const auto& b : headless::world().message_boxes)
            if (b.window == LOG_WINDOW && b.title == "VYX Client" && b.buttons == MB_BUTTONS_OK_CANCEL)
                box += b.text;
        EXPECT_EQ(box, row.box);
        EXPECT_EQ(peer_.read(100), row.sent);
        EXPECT_EQ(window_exists(LOG_WINDOW) + state.log_window_open, row.closed ? 0 : 2);
        EXPECT_EQ(control_enabled(ID_SHOW_LOG), row.show_log);
        EXPECT_EQ(buttons(), (row.closed ? Ints{0, 0, 0} : Ints{1, row.connected, row.connected}));
        if (state.log_window_open == 1) close_log_viewer();
    }
}

}  // namespace
