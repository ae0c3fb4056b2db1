// A started program connected, as after a greeting, to a loopback peer the test plays the server with.
#pragma once

#include <string>

#include "link/transport.h"
#include "tests/unit/fixture.h"
#include "tests/unit/loopback_peer.h"

class ConnectedTest : public StartedTest {
   protected:
    void SetUp() override {
        StartedTest::SetUp();
        open_link();
    }
    // A new connection; peer_ is its far end.
    void open_link() {
        state.connection = open_connection("127.0.0.1", listener_.port());
        ASSERT_GT(state.connection, 0);
        peer_ = listener_.accept();
        ASSERT_TRUE(peer_.valid());
        watch_connection(state.connection);
        state.connected = 1;
    }
    // The server sends bytes; the client takes one loop turn once they are there.
    void server_says(const std::string& bytes) {
        ASSERT_TRUE(peer_.send(bytes));
        ASSERT_TRUE(loopback::wait_until([&] { return bytes_waiting(state.connection) > 0; }));
        main_loop_turn();
    }

    loopback::Listener listener_;
    loopback::Peer peer_;
};
