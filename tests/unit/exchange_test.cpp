// The transport and the data handler against a real loopback peer, and the bounds a hostile server meets.
#include "link/exchange.h"

#include <thread>

#include "tests/unit/connected_fixture.h"

namespace {

using namespace std::string_literals;
using ExchangeTest = ConnectedTest;
using TransportTest = ConnectedTest;

// The poll takes nothing; a read takes each byte once, a zero byte ending its piece, at most 100 pieces.
TEST_F(TransportTest, PollAndReadTakeEachPieceOnce) {
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
            EXPECT_TRUE(control_enabled(ID_CONNECT) && peer_.closed_within(1000));
            open_link();
            continue;
        }
        for (const char* sent : {refresh ? "get auto\r\n" : "", ""}) {
            server_says("md_bitdn: 1\r\n\r\nVYX>");
            EXPECT_EQ(state.md_bitdn, 1) << "nothing dropped is joined to the next answer";
            EXPECT_EQ(peer_.read_until("\r\n", *sent ? 2000 : 20), sent) << "get auto once, after a refresh";
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
        EXPECT_EQ(peer_.read_exact(line.size()), line);
    }
    const std::string long_line(6 << 20, 'a');
    std::string received;
    std::thread reader([&] { received = peer_.read_exact(long_line.size() + 2, 5000); });
    send_command(long_line.c_str());
    reader.join();
    EXPECT_TRUE(received == long_line + "\r\n") << received.size();
    EXPECT_EQ(send_text(state.connection, "get\0 all\r\n"s), 3);
    EXPECT_EQ(peer_.read_for(50), "get") << "nothing else";
}

TEST_F(ExchangeTest, EndlessTextWithoutPromptStaysBounded) {
    std::size_t most = 0;
    for (int i = 0; i < 40; ++i, most = std::max(most, state.answer_text.size()))
        server_says(std::string(64 << 10, 'x'));  // 2.5 MiB, no prompt
    EXPECT_LE(most, 1u << 20);
    server_says("\r\nmd_bitdn: 42\r\n\r\nVYX>");
    EXPECT_EQ(state.md_bitdn, 42) << "the link still works";
}

}  // namespace
