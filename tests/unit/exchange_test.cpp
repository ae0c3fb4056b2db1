// The data handler against a real loopback peer: answers in pieces and in
// bursts, the server's special texts inside and outside an answer, "get auto"
// after a refresh, exact command bytes, and the limits that keep a hostile
// server from growing memory or losing a command.
#include "link/exchange.h"

#include <thread>

#include "tests/unit/connected_fixture.h"

namespace {

class ExchangeTest : public ConnectedTest {
   protected:
    void SetUp() override {
        ConnectedTest::SetUp();
        headless::world().pictures_shown.clear();
    }
    bool showed(int picture_id) {
        for (const auto& s : headless::world().pictures_shown)
            if (s.picture == state.pictures[picture_id]) return true;
        return false;
    }
};

TEST_F(ExchangeTest, AnswerInPiecesIsParsedOnceWhenThePromptArrives) {
    const char* pieces[] = {"md_bitdn: 6016\r\n", "md_bitup: 576\r\nmd_snr", "dn: 6.5\r\n", "\r\nVYX>"};
    for (const char* piece : pieces) {
        EXPECT_EQ(state.md_bitdn, 0) << "parsed before the prompt";
        server_says(piece);
    }
    EXPECT_EQ(state.md_bitdn, 6016);
    EXPECT_EQ(state.md_bitup, 576);
    EXPECT_EQ(state.md_snrdn, "6.5");
    EXPECT_EQ(state.answer_text, "");
    EXPECT_EQ(state.update_in_progress, 0);
}

TEST_F(ExchangeTest, TwoAnswersInOneReadGoToTheParserTogether) {
    server_says("md_bitdn: 1000\r\n\r\nVYX>md_bitdn: 2000\r\n\r\nVYX>");
    EXPECT_EQ(state.md_bitdn, 1000) << "one parse of both: the first value wins";
    EXPECT_EQ(state.answer_text, "");
}

TEST_F(ExchangeTest, SpecialTextsInsideACompleteAnswerDoNothing) {
    server_says("auto_action_netsendadd: busy servus ok. please wait ...\r\nmd_bitdn: 7\r\n\r\nVYX>");
    EXPECT_EQ(state.connected, 1);
    EXPECT_EQ(state.server_busy, 0);
    EXPECT_EQ(state.get_auto_pending, 0);
    EXPECT_FALSE(showed(PIC_BUSY));
    EXPECT_EQ(peer_.read_for(100), "") << "no get auto";
    EXPECT_EQ(state.md_bitdn, 7);
}

TEST_F(ExchangeTest, BusyInAnUnfinishedAnswerDropsItAndShowsTheNotice) {
    enable_control(ID_REFRESH, 0);  // pressed; its command was refused
    const long long t0 = headless::world().now_ms;
    server_says("md_bitdn: 6016\r\nbusy");
    EXPECT_TRUE(showed(PIC_BUSY));
    EXPECT_GE(headless::world().now_ms - t0, 700);
    EXPECT_EQ(state.answer_text, "");
    EXPECT_EQ(state.server_busy, 0);
    EXPECT_EQ(state.update_in_progress, 0);
    EXPECT_EQ(state.auto_config_pending, 1);
    EXPECT_EQ(state.connected, 1) << "the connection stays open";
    for (int id : {ID_REFRESH, ID_RESYNC, ID_REBOOT, ID_SHUTDOWN}) EXPECT_TRUE(control_enabled(id)) << id;
    server_says("md_bitdn: 1\r\n\r\nVYX>");
    EXPECT_EQ(state.md_bitdn, 1) << "the dropped text is not joined to the next answer";
}

// Each search starts just before the new bytes; a text cut anywhere by the
// network must still be found once its last byte arrives.
TEST_F(ExchangeTest, TextsSplitAcrossTwoReadsAreFound) {
    const struct {
        const char *first, *second;
        int md_bitdn, connected, get_auto_pending;
        bool busy;
    } cases[] = {
        {"md_bitdn: 9\r\n\r\nV", "YX>", 9, 1, 0, false},
        {"md_bitdn: 9\r\n\r", "\nVYX>", 9, 1, 0, false},
        {"b", "usy", 0, 1, 0, true},
        {"bus", "y", 0, 1, 0, true},
        {"ok. please w", "ait ...", 0, 1, 1, false},
        {"s", "ervus", 0, 0, 0, false},
        {"servu", "s", 0, 0, 0, false},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(std::string(c.first) + "|" + c.second);
        if (!state.connected) {  // servus closed the last one
            state.connection = open_connection("127.0.0.1", listener_.port());
            peer_ = listener_.accept();
            watch_connection(state.connection);
            state.connected = 1;
        }
        state.md_bitdn = state.get_auto_pending = 0;
        headless::world().pictures_shown.clear();
        server_says(c.first);
        EXPECT_EQ(state.connected, 1) << "nothing acted on yet";
        server_says(c.second);
        EXPECT_EQ(state.md_bitdn, c.md_bitdn);
        EXPECT_EQ(state.connected, c.connected);
        EXPECT_EQ(state.get_auto_pending, c.get_auto_pending);
        EXPECT_EQ(showed(PIC_BUSY), c.busy);
    }
}

TEST_F(ExchangeTest, RefreshAnnouncedThenGetAutoOnceAfterTheNextAnswer) {
    server_says("ok. please wait ...");
    EXPECT_EQ(state.get_auto_pending, 1);
    EXPECT_EQ(state.auto_config_pending, 1);
    EXPECT_EQ(state.update_in_progress, 1) << "the please-wait look stays";
    EXPECT_TRUE(showed(PIC_REFRESH_NOTICE)) << "refresh notice";
    for (int id : {28, 31, 32, 33, 37, 38, 40, 41, 42, 43, 24, 25, 26, 59})
        EXPECT_FALSE(control_enabled(id)) << id;

    server_says("md_bitdn: 5000\r\n\r\nVYX>");
    EXPECT_EQ(peer_.read_until("\r\n"), "get auto\r\n");
    server_says("md_bitdn: 5000\r\n\r\nVYX>");
    EXPECT_EQ(peer_.read_for(150), "") << "get auto only once";
}

TEST_F(ExchangeTest, ServusDisconnects) {
    server_says("servus");
    EXPECT_EQ(state.connected, 0);
    EXPECT_EQ(state.connection, 0);
    EXPECT_TRUE(control_enabled(ID_CONNECT));
    EXPECT_TRUE(peer_.closed_within(1000));
}

TEST_F(ExchangeTest, ButtonsGoOffAndSendExactlyTheirLine) {
    struct {
        int id;
        const char* line;
    } cases[] = {{40, "refresh\r\n"},
                 {41, "resync\r\n"},
                 {42, "reboot\r\n"},
                 {43, "shutdown\r\n"},
                 {59, "get logfile\r\n"}};
    for (const auto& c : cases) {
        enable_control(c.id, 1);
        headless::push_control(c.id);
        main_loop_turn();
        EXPECT_FALSE(control_enabled(c.id)) << c.id;
        const std::string line = c.line;
        EXPECT_EQ(peer_.read_exact(line.size()), line);
        EXPECT_EQ(peer_.read_for(50), "") << "nothing else";
    }
}

TEST_F(ExchangeTest, EndlessTextWithoutPromptStaysBounded) {
    const std::string block(64 * 1024, 'x');
    std::thread flood([&] {
        for (int i = 0; i < 40; ++i) peer_.send(block);  // 2.5 MiB, no prompt
    });
    for (int turns = 0; turns < 400 && (flood.joinable() || bytes_waiting(state.connection) > 0); ++turns) {
        if (bytes_waiting(state.connection) > 0) handle_server_data();
        EXPECT_LE(state.answer_text.size(), 2 * MAX_ANSWER_BYTES);
        if (turns == 50 && flood.joinable()) flood.join();
        std::this_thread::sleep_for(std::chrono::milliseconds(2));
    }
    if (flood.joinable()) flood.join();
    while (bytes_waiting(state.connection) > 0) handle_server_data();
    EXPECT_LE(state.answer_text.size(), MAX_ANSWER_BYTES);
    server_says("\r\nmd_bitdn: 42\r\n\r\nVYX>");
    EXPECT_EQ(state.md_bitdn, 42) << "the link still works";
}

TEST_F(ExchangeTest, LongCommandIsSentWholeWhenTakenInParts) {
    // Far more than the socket buffers hold: the system takes it in parts.
    const std::string value(6 * 1024 * 1024, 'a');
    std::string received;
    std::thread reader([&] { received = peer_.read_exact(value.size() + 2, 5000); });
    send_command(value.c_str());
    reader.join();
    EXPECT_EQ(received.size(), value.size() + 2);
    EXPECT_EQ(received, value + "\r\n");
}

TEST_F(ExchangeTest, CommandToAResetConnectionReturnsAtOnce) {
    peer_.reset();
    ASSERT_TRUE(loopback::wait_until(
        [&] { return send_text(state.connection, "") < 0 || connection_ended(state.connection); }));
    for (int id : {ID_REFRESH, ID_RESYNC}) {
        enable_control(id, 1);
        const auto t0 = loopback::Clock::now();
        dispatch_control(id);
        EXPECT_LT(loopback::ms_since(t0), 200) << "a failed send is not retried";
    }
}

}  // namespace
