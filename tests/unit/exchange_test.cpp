// The data handler against a real loopback peer: answers and the server's
// own texts whole and cut in two, exact command bytes, and the limits that
// keep a hostile server from growing memory or holding up a command.
#include "link/exchange.h"

#include <atomic>
#include <thread>

#include "tests/unit/connected_fixture.h"

namespace {

using ExchangeTest = ConnectedTest;

// Each search covers only the new bytes and the end before them that a text cut in two may have left.
TEST_F(ExchangeTest, AnswersAndTheServersTextsWholeOrCutInTwo) {
    const struct {
        const char *first, *second;  // second empty: one read
        int md_bitdn, connected;
        bool busy, refresh;
    } cases[] = {
        {"md_bitdn: 6016\r\nmd_snr", "dn: 6.5\r\n\r\nVYX>", 6016, 1, false, false},
        {"md_bitdn: 9\r\n\r\nVYX", ">", 9, 1, false, false},
        {"md_bitdn: 1000\r\n\r\nVYX>md_bitdn: 2000\r\n\r\nVYX>", "", 1000, 1, false, false},  // parsed as one
        {"auto_action_netsendadd: busy servus ok. please wait ...\r\nmd_bitdn: 7\r\n\r\nVYX>", "", 7, 1,
         false, false},
        {"md_bitdn: 6016\r\nbus", "y\r\n", 0, 1, true, false},
        {"b", "usy\r\n", 0, 1, true, false},
        {"ok. please w", "ait ...", 0, 1, false, true},
        {"s", "ervus\r\n", 0, 0, false, false},
        {"\r\nservu", "s", 0, 0, false, false},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(std::string(c.first) + "|" + c.second);
        state.md_bitdn = state.auto_config_pending = 0;
        enable_control(ID_REFRESH, 0);  // pressed; its command may be refused
        headless::world().pictures_shown.clear();
        server_says(c.first);
        EXPECT_EQ(*c.second ? state.md_bitdn + saw_picture(13) + saw_picture(20) + !state.connected : 0, 0)
            << "nothing acted on before the second piece";
        if (*c.second) server_says(c.second);
        EXPECT_EQ(state.md_bitdn, c.md_bitdn);
        EXPECT_EQ(state.connected, c.connected);
        EXPECT_EQ(saw_picture(13), c.busy);
        EXPECT_EQ(saw_picture(20), c.refresh);
        EXPECT_EQ(state.update_in_progress, c.refresh ? 1 : 0) << "the please-wait look";
        EXPECT_EQ(state.answer_text, "");
        EXPECT_EQ(state.auto_config_pending, c.busy || c.refresh);
        EXPECT_GE(c.busy ? shown_for(13) : 700, 700) << "the busy notice";
        for (int id : {40, 41, 42, 43}) EXPECT_TRUE(control_enabled(id) || !c.busy) << "refused, so on again";
        for (int id : {28, 31, 32, 33, 37, 38, 40, 24, 25, 26, 59})
            EXPECT_FALSE(c.refresh && control_enabled(id)) << id << " locked during a refresh";
        if (!c.connected) {
            EXPECT_TRUE(control_enabled(ID_CONNECT));
            EXPECT_TRUE(peer_.closed_within(1000));
            open_link();
            continue;
        }
        for (const char* sent : {c.refresh ? "get auto\r\n" : "", ""}) {
            server_says("md_bitdn: 1\r\n\r\nVYX>");
            EXPECT_EQ(state.md_bitdn, 1) << "nothing dropped is joined to the next answer";
            EXPECT_EQ(peer_.read_until("\r\n", *sent ? 2000 : 20), sent) << "get auto once, after a refresh";
        }
    }
}

// Each button's line once; a line far longer than the socket buffers whole; nothing retried once reset.
TEST_F(ExchangeTest, CommandsGoOutWholeAndOnce) {
    const std::string long_line(6 << 20, 'a');
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
    std::string received;
    std::thread reader([&] { received = peer_.read_exact(long_line.size() + 2, 5000); });
    send_command(long_line.c_str());
    reader.join();
    EXPECT_TRUE(received == long_line + "\r\n") << received.size();
    EXPECT_EQ(peer_.read_for(50), "") << "nothing else";
    peer_.reset();
    ASSERT_TRUE(loopback::wait_until(
        [] { return send_text(state.connection, "") < 0 || connection_ended(state.connection); }));
    enable_control(ID_REFRESH, 1);
    const auto start = loopback::Clock::now();
    dispatch_control(ID_REFRESH);
    EXPECT_LT(loopback::ms_since(start), 500) << "a failed send is not retried";
}

TEST_F(ExchangeTest, EndlessTextWithoutPromptStaysBounded) {
    std::atomic<bool> sent{false};
    std::thread flood([&] {
        for (int i = 0; i < 40; ++i) peer_.send(std::string(64 << 10, 'x'));  // 2.5 MiB, no prompt
        sent = true;
    });
    std::size_t most = 0;
    while (!sent || bytes_waiting(state.connection) > 0) {
        handle_server_data();
        most = std::max(most, state.answer_text.size());
    }
    flood.join();
    EXPECT_LE(most, 2u << 20);
    EXPECT_LE(state.answer_text.size(), 1u << 20);
    server_says("\r\nmd_bitdn: 42\r\n\r\nVYX>");
    EXPECT_EQ(state.md_bitdn, 42) << "the link still works";
}

}  // namespace
